#pragma once
// The window the zoom runs in (Demo, Screen Saver and Preview modes).
#include <QWidget>

class TfScreenSaver : public QWidget {
    Q_OBJECT
public:
    explicit TfScreenSaver(QWidget* parent = nullptr);

    /// Preview mode: draws inside the host's window with the given X11 id.
    void EmbedInto(uint64_t windowId);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
};
