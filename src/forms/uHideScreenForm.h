#pragma once
#include <QWidget>

/// Blank cover window: borderless and black, meant to black out further monitors.
class TfHideScreen : public QWidget {
    Q_OBJECT
public:
    /// In Screen Saver mode it stays above everything and hides the cursor.
    explicit TfHideScreen(int runMode, QWidget* parent = nullptr);
};
