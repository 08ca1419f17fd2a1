#include "uBenchmarkDisplayForm.h"

#include <QPalette>

TfBenchmarkDisplay::TfBenchmarkDisplay(QWidget* parent) : QWidget(parent)
{
    setWindowTitle("Display");
    resize(902, 778);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
}
