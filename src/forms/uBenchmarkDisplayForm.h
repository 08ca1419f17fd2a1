#pragma once
#include <QWidget>

/// Shows the benchmark image while it is generated.
class TfBenchmarkDisplay : public QWidget {
    Q_OBJECT
public:
    explicit TfBenchmarkDisplay(QWidget* parent = nullptr);
};
