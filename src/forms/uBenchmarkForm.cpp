#include "uBenchmarkForm.h"

TfBenchmark::TfBenchmark(QWidget* parent) : QWidget(parent)
{
    setWindowTitle("Quorex Benchmark V1.4.0");
    resize(352, 206);
}
