#include "uHideScreenForm.h"

#include <QPalette>

TfHideScreen::TfHideScreen(QWidget* parent) : QWidget(parent)
{
    setWindowTitle("Blank");
    setWindowFlag(Qt::FramelessWindowHint);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
}
