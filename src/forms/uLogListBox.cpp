#include "uLogListBox.h"

TLogListBox::TLogListBox(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::NoSelection);
    // Long lines wrap instead of running out of the pane.
    setWordWrap(true);
    setTextElideMode(Qt::ElideNone);
    setResizeMode(QListView::Adjust);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

TLogListBox::~TLogListBox()
{
    if (LogNotesList() == this)
        SetLogNotesList(nullptr);
    if (LogWarningsList() == this)
        SetLogWarningsList(nullptr);
}

void TLogListBox::AddLine(const std::string& line)
{
    addItem(QString::fromStdString(line));
    scrollToBottom();
}
