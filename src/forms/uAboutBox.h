#pragma once
#include <QDialog>

/// The about box: four text labels and an "OK" button.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};
