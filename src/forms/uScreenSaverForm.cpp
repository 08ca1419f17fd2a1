#include "uScreenSaverForm.h"

#include "uLog.h"
#include "uRunMode.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWindow>

namespace {
constexpr int kDesignWidth = 876;
constexpr int kDesignHeight = 824;
constexpr QPoint kDesignPosition{1473, 120};
} // namespace

TfScreenSaver::TfScreenSaver(QWidget* parent) : QWidget(parent)
{
    setWindowTitle("Quorex - Mandelbrot zoom screen saver V1.4.0");
    setWindowFlag(Qt::FramelessWindowHint);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    if (HideFromTaskbar)
        setWindowFlag(Qt::Tool);

    QScreen* screen = QGuiApplication::primaryScreen();
    switch (RunMode) {
    case rmScreenSaver:
        if (screen)
            setGeometry(QRect(QPoint(0, 0), screen->geometry().size() + QSize(1, 1)));
        setWindowFlag(Qt::WindowStaysOnTopHint);
        setCursor(Qt::BlankCursor);
        break;
    case rmPreview:
        break;
    default: {
        // The design-time place lies right of a 1280-pixel screen; keep the
        // window's size but move it onto the screen it would otherwise miss.
        QRect r(kDesignPosition, QSize(kDesignWidth, kDesignHeight));
        if (screen) {
            const QRect avail = screen->availableGeometry();
            if (!avail.contains(r)) {
                r.moveLeft(std::max(avail.left(), std::min(r.left(), avail.right() - r.width() + 1)));
                r.moveTop(std::max(avail.top(), std::min(r.top(), avail.bottom() - r.height() + 1)));
            }
        }
        setGeometry(r);
        break;
    }
    }
}

void TfScreenSaver::EmbedInto(uint64_t windowId)
{
    QWindow* host = QWindow::fromWinId(static_cast<WId>(windowId));
    if (!host)
        return;
    setWindowFlag(Qt::FramelessWindowHint);
    winId(); // creates the native window so that it can be reparented
    windowHandle()->setParent(host);
    setGeometry(QRect(QPoint(0, 0), host->geometry().size()));
}

void TfScreenSaver::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (RunMode == rmScreenSaver) {
        raise();
        activateWindow();
    }
}

void TfScreenSaver::closeEvent(QCloseEvent* event)
{
    LogNote(1, "Starting shutdown process");
    event->accept();
}
