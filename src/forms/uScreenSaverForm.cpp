#include "uScreenSaverForm.h"

#include "uDebugForm.h"
#include "uDesktopTransitions.h"
#include "uDisplayPower.h"
#include "uForeignWindow.h"
#include "uGlobalSettings.h"
#include "uHideScreenForm.h"
#include "uHosting.h"
#include "uLog.h"
#include "uOpenGL.h"
#include "uPage.h"
#include "uPlatform.h"
#include "uRunModes.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QImage>
#include <QPainter>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <exception>

namespace {

constexpr int kDesignWidth = 876;
constexpr int kDesignHeight = 824;
/// Room for the window manager's frame around the Demo window.
constexpr QSize kFrameAllowance{16, 48};
/// How often a hosting window is checked while the zoom is not pumping events.
constexpr int kHostWatchMs = 100;
/// How often the monitors' power state is asked for.
constexpr int kMonitorCheckMs = 1000;

} // namespace

TfScreenSaver::TfScreenSaver(int runMode, const tGlobalSettings& settings, QWidget* parent)
    : QWidget(parent), runMode_(runMode), settings_(settings)
{
    setWindowTitle("Quorex - Mandelbrot zoom screen saver by Halvornet V1.4.0");
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    RouteInput(this, this);

    // Only the Demo window has a frame and a taskbar button.
    Qt::WindowFlags flags = Qt::Window;
    if (runMode_ != rmDemo)
        flags |= Qt::FramelessWindowHint | Qt::Tool;
    QScreen* screen = QGuiApplication::primaryScreen();
    switch (runMode_) {
    case rmScreenSaver:
        // The picture must be taken before the window covers the screen.
        if (screen)
            capture_ = CaptureDesktopPage(tRect{screen->geometry().left(), screen->geometry().top(),
                                                screen->geometry().right() + 1, screen->geometry().bottom() + 1});
        // Above everything, panels included, and out of the window manager's
        // hands; the keyboard is grabbed once shown.
        flags |= Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint;
        if (screen)
            setGeometry(QRect(screen->geometry().topLeft(), screen->geometry().size() + QSize(1, 1)));
        setCursor(Qt::BlankCursor);
        break;
    case rmPreview:
    case rmHosted:
        break;
    default: {
        capture_ = CaptureDesktopPage();
        flags |= Qt::WindowStaysOnTopHint;
        // Demo is an ordinary window with the window manager's title and
        // close box, which is how it ends; it opens in the middle of the
        // primary screen, frame included, at the design size where that fits.
        QRect r(QPoint(0, 0), QSize(kDesignWidth, kDesignHeight));
        if (screen) {
            const QRect avail = screen->availableGeometry();
            r.setSize(r.size().boundedTo(avail.size() - kFrameAllowance));
            r.moveCenter(avail.center());
        }
        setGeometry(r);
        break;
    }
    }
    setWindowFlags(flags);

    // Where the display reports it, a monitor going to sleep ends the run.
    auto* power = new QTimer(this);
    connect(power, &QTimer::timeout, this, [this] {
        if (!closed_ && MonitorPoweredOff()) {
            LogNote(1, "Monitor has been turned off, terminating application");
            close();
        }
    });
    power->start(kMonitorCheckMs);
}

TfScreenSaver::~TfScreenSaver()
{
    // The zoom draws on a window that is a child of this one: it goes first.
    runner_.reset();
    surface_.reset();
    unsetCursor();
}

void TfScreenSaver::SetDebugWindow(TfDebug* debug)
{
    debug_ = debug;
    if (debug)
        debug->Watch([this] { return runner_.get(); });
}

void TfScreenSaver::AddCoverWindow(QWidget* cover)
{
    if (!cover)
        return;
    covers_.append(cover);
    cover->setMouseTracking(true);
    RouteInput(cover, this);
}

bool TfScreenSaver::EmbedInto(uint64_t windowId)
{
    if (!WindowDrawable(windowId))
        return false;
    QWindow* host = QWindow::fromWinId(static_cast<WId>(windowId));
    if (!host)
        return false;
    hostWindow_ = std::make_unique<tForeignWindow>(windowId);
    // A host that covers the screen for its saver leaves its own picture of
    // the desktop on the window; without one there is nothing to fade from.
    if (runMode_ == rmHosted)
        if (const auto shot = HostScreenshot(windowId))
            capture_ = DesktopPageFrom(*shot);
    winId(); // the native window must exist to be given a parent
    windowHandle()->setParent(host);
    setGeometry(0, 0, std::max(hostWindow_->Width(), 1), std::max(hostWindow_->Height(), 1));
    // Until the zoom pumps events itself a timer keeps an eye on the host.
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, &TfScreenSaver::WatchHostWindow);
    watch->start(kHostWatchMs);
    return true;
}

void TfScreenSaver::WatchHostWindow()
{
    if (!hostWindow_)
        return;
    if (!hostWindow_->Exists()) {
        hostWindow_.reset();
        LogNote(1, "The host window has gone, closing");
        close();
        return;
    }
    const QSize hostSize(std::max(hostWindow_->Width(), 1), std::max(hostWindow_->Height(), 1));
    // The host's size is in device pixels; the window's in the toolkit's.
    const qreal ratio = devicePixelRatioF();
    const QSize wanted(static_cast<int>(hostSize.width() / ratio), static_cast<int>(hostSize.height() / ratio));
    if (size() != wanted)
        setGeometry(QRect(QPoint(0, 0), wanted));
}

bool TfScreenSaver::Embedded() const { return runMode_ == rmPreview || runMode_ == rmHosted; }

int TfScreenSaver::SaverState() const { return runner_ ? runner_->Status().state : ssBeforeStart; }

// ---------------------------------------------------------------------------
// Window events
// ---------------------------------------------------------------------------

void TfScreenSaver::paintEvent(QPaintEvent* event)
{
    // Until the graphics take over the window shows the desktop it covers.
    if (capture_ && SaverState() < ssInitialised) {
        const QImage picture(capture_->Pixels(), capture_->Width(), capture_->Height(), capture_->Stride(),
                             QImage::Format_RGBX8888);
        QPainter(this).drawImage(rect(), picture);
        return;
    }
    QWidget::paintEvent(event);
}

void TfScreenSaver::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The pointer stays where it is when the window appears: only a move
    // away from there ends the saver, never a click.
    const QPoint pointer = QCursor::pos();
    mouseRule_.Remember(pointer.x(), pointer.y());
    if (runMode_ == rmScreenSaver) {
        raise();
        activateWindow();
        QTimer::singleShot(0, this, [this] {
            if (isVisible())
                grabKeyboard();
        });
    }
    if (!started_) {
        started_ = true;
        QTimer::singleShot(1, this, &TfScreenSaver::Timer2Timer);
    }
}

void TfScreenSaver::closeEvent(QCloseEvent* event)
{
    // The desktop coming back is never cut short; the run closes the window
    // once it is there.
    if (runner_ && runner_->Phase() == tRunPhase::DesktopFadeIn) {
        event->ignore();
        return;
    }
    if (runner_) {
        runner_->RequestClose();
    } else if (!closed_) {
        LogNote(1, "Starting shutdown process");
    }
    closed_ = true;
    releaseKeyboard();
    event->accept();
}

void TfScreenSaver::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (runner_)
        runner_->Resize();
}

void TfScreenSaver::Timer2Timer()
{
    ::ProcessMessages();
    if (closed_)
        return;
    runner_ = std::make_unique<tZoomRunner>(settings_, static_cast<tZoomHost&>(*this), runMode_);
    runner_->showFramesPerSecond = showFramesPerSecond_;
    runner_->SetDesktopCapture(capture_.get());
    if (stopBeforeStart_)
        runner_->BeginStop();
    try {
        while (runner_->Tick())
            ProcessMessages();
    } catch (const EGraphicsFailure& e) {
        // The program's entry tells the user and ends with the failure's code.
        failure_ = e;
    }
    close();
}

// ---------------------------------------------------------------------------
// Input
// ---------------------------------------------------------------------------

void TfScreenSaver::FormMouseMove(int screenX, int screenY)
{
    if (mouseRule_.Moved(screenX, screenY, runMode_, SaverState()) && runner_)
        runner_->BeginStop();
}

void TfScreenSaver::FormKeyDown(uint32_t virtualKey, bool altHeld)
{
    if (!altHeld || virtualKey != 0x0D || !runner_ || !runner_->GL())
        return;
    tOpenGLInterface* gl = runner_->GL();
    if (gl->IsFullScreen())
        gl->LeaveFullScreen();
    else
        gl->SwitchToFullScreen();
}

void TfScreenSaver::FormKeyPress()
{
    if (!KeyPressStops(runMode_))
        return;
    if (runner_)
        runner_->BeginStop();
    else
        stopBeforeStart_ = true;
}

// ---------------------------------------------------------------------------
// What the zoom needs of the window
// ---------------------------------------------------------------------------

const tWindowHandle& TfScreenSaver::Surface()
{
    if (!surface_)
        surface_ = WindowHandleFor(static_cast<QWidget*>(this));
    return surface_;
}

std::unique_ptr<tOpenGLInterface> TfScreenSaver::OpenGL() { return tOpenGLInterface::CreateOnForm(Surface()); }

int TfScreenSaver::ScreenDepth() { return ::ScreenDepth(Surface()); }

int TfScreenSaver::ScreenRefreshRate() { return ::ScreenRefreshRate(Surface()); }

void TfScreenSaver::ProcessMessages()
{
    ::ProcessMessages();
    WatchHostWindow();
}

void TfScreenSaver::SetStayOnTop(bool onTop)
{
    // Changing the flags of a shown widget would make its native window
    // anew, and with it the OpenGL surface; the native window takes them
    // in place.
    if (Embedded() || !windowHandle())
        return;
    windowHandle()->setFlag(Qt::WindowStaysOnTopHint, onTop);
}

void TfScreenSaver::BringToFront()
{
    if (Embedded())
        return;
    SetStayOnTop(true);
    raise();
}

void TfScreenSaver::PlaceForms()
{
    // One cover window on every screen but the saver's own; screens of one
    // desktop side by side and screens of their own (separate X screens) alike.
    QScreen* own = screen();
    int used = 0;
    for (QScreen* other : QGuiApplication::screens()) {
        if (other == own)
            continue;
        if (used == covers_.size())
            AddCoverWindow(new TfHideScreen(runMode_, this));
        QWidget* cover = covers_[used++];
        if (!cover)
            continue;
        cover->setScreen(other);
        cover->setGeometry(other->geometry());
    }
    if (runMode_ == rmScreenSaver) {
        // The other screens go black while the saver runs.
        for (int i = 0; i < used; ++i)
            if (covers_[i])
                covers_[i]->show();
        BringToFront();
        activateWindow();
    } else if (Embedded()) {
        WatchHostWindow();
        show();
    }
}

void TfScreenSaver::ShowDebugWindow(bool shown)
{
    if (debug_)
        debug_->setVisible(shown);
}

void TfScreenSaver::ShowOverlayText(const std::string& text)
{
    if (!overlay_) {
        // A native child of its own stays above the OpenGL child window.
        overlay_ = new QLabel(this);
        overlay_->setAttribute(Qt::WA_NativeWindow);
        overlay_->setStyleSheet("QLabel { background: black; color: white; padding: 2px 6px; }");
        overlay_->move(8, 8);
    }
    overlay_->setText(QString::fromStdString(text));
    overlay_->adjustSize();
    overlay_->setVisible(!text.empty());
    overlay_->raise();
}
