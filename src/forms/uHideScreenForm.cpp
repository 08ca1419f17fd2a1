#include "uHideScreenForm.h"

#include "uRunModes.h"

#include <QPalette>

TfHideScreen::TfHideScreen(int runMode, QWidget* parent) : QWidget(parent)
{
    setWindowTitle("Blank");
    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint | Qt::Tool;
    if (runMode == rmScreenSaver) {
        flags |= Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint;
        setCursor(Qt::BlankCursor);
    }
    setWindowFlags(flags);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
}
