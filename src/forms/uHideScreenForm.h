#pragma once
#include <QWidget>

/// Blank cover window: borderless and black, meant to black out further monitors.
class TfHideScreen : public QWidget {
    Q_OBJECT
public:
    explicit TfHideScreen(QWidget* parent = nullptr);
};
