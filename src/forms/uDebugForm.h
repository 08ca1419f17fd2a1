#pragma once
#include <QWidget>

/// The developer's view of a running zoom.
class TfDebug : public QWidget {
    Q_OBJECT
public:
    explicit TfDebug(QWidget* parent = nullptr);
};
