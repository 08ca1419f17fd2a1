#pragma once
#include <QWidget>

/// The benchmark's control window (Benchmark mode's main window).
class TfBenchmark : public QWidget {
    Q_OBJECT
public:
    explicit TfBenchmark(QWidget* parent = nullptr);
};
