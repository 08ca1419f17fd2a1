#pragma once
// A list box that mirrors the log (the benchmark window's and the debug
// window's lists). It takes lines while it sits in a window and detaches
// itself from the log when it is destroyed.
#include "uLog.h"

#include <QListWidget>

class TLogListBox : public QListWidget, public tLogList {
    Q_OBJECT
public:
    explicit TLogListBox(QWidget* parent = nullptr);
    ~TLogListBox() override;

    bool HasParent() const override { return parentWidget() != nullptr; }
    bool IsEnabled() const override { return isEnabled(); }
    void AddLine(const std::string& line) override;
};
