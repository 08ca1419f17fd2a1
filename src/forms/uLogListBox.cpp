#include "uLogListBox.h"

TLogListBox::TLogListBox(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::NoSelection);
    setUniformItemSizes(true);
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
