#include "uAboutBox.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("About");
    auto* layout = new QVBoxLayout(this);
    for (const char* text : {"Quorex", "Mandelbrot zoom screen saver", "Version 1.4.0", "Halvornet"})
        layout->addWidget(new QLabel(text, this));
    auto* ok = new QPushButton("OK", this);
    layout->addWidget(ok);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
