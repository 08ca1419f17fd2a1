#include "uOptionsForm.h"

#include <QHBoxLayout>
#include <QPushButton>

TfOptions::TfOptions(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Quorex Screen Saver Options");
    resize(437, 118);
    move(200, 118);
    auto* layout = new QHBoxLayout(this);
    layout->addStretch();
    auto* ok = new QPushButton("OK", this);
    layout->addWidget(ok, 0, Qt::AlignBottom);
    connect(ok, &QPushButton::clicked, this, &QDialog::close);
}
