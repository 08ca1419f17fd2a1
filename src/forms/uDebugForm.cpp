#include "uDebugForm.h"

TfDebug::TfDebug(QWidget* parent) : QWidget(parent)
{
    setWindowTitle("Debuging");
    setWindowFlag(Qt::WindowStaysOnTopHint);
    resize(670, 611);
}
