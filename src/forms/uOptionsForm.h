#pragma once
#include <QDialog>

/// The settings dialog (Configure mode's main window; hidden in the other modes).
class TfOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfOptions(QWidget* parent = nullptr);
};
