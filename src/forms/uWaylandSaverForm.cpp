// Sections: one output's zoom; the saver (outputs, stepping, input, end).
#include "uWaylandSaverForm.h"

#include "uDebugForm.h"
#include "uDesktopTransitions.h"
#include "uFormat.h"
#include "uGlobalSettings.h"
#include "uLog.h"
#include "uOpenGL.h"
#include "uPage.h"
#include "uPlatform.h"
#include "uRunMode.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <exception>

namespace {

/// How long the copy of one output may take before the zoom starts without.
constexpr int kDesktopCopyTimeoutMs = 1000;
/// Without a frame due, how soon to look again: a frame callback may have
/// been read off the connection by EGL rather than by the event notifier.
constexpr int kIdleCheckMs = 10;

std::string Describe(const tWaylandOutput& output)
{
    return (output.name.empty() ? "an output" : output.name) + " (" + IntToStr(output.width) + "x" +
           IntToStr(output.height) + " at " + IntToStr(output.x) + "," + IntToStr(output.y) + ")";
}

} // namespace

// ---------------------------------------------------------------------------
// One output's zoom
// ---------------------------------------------------------------------------

tOutputZoom::tOutputZoom(TfWaylandSaver& owner, tWaylandClient& client, const tWaylandOutput& output,
                         tSurfaceLayer layer, const tGlobalSettings& settings, int runMode,
                         std::unique_ptr<tPage> desktop)
    : owner_(owner), surface_(client, output.id, layer), desktop_(std::move(desktop)),
      runner_(settings, static_cast<tZoomHost&>(*this), runMode)
{
    runner_.SetDesktopCapture(desktop_.get());
}

tOutputZoom::~tOutputZoom() = default;

bool tOutputZoom::Due() const { return !over_ && surface_.Configured() && !surface_.Closed() && surface_.FrameDue(); }

bool tOutputZoom::Step()
{
    if (over_)
        return false;
    // The compositor's new size applies from a frame's start.
    if (surface_.BeginFrame())
        runner_.Resize();
    over_ = !runner_.Tick();
    return !over_;
}

std::unique_ptr<tOpenGLInterface> tOutputZoom::OpenGL() { return tOpenGLInterface::CreateOnForm(surface_.Window()); }

int tOutputZoom::ScreenDepth() { return ::ScreenDepth(surface_.Window()); }

int tOutputZoom::ScreenRefreshRate() { return ::ScreenRefreshRate(surface_.Window()); }

void tOutputZoom::ProcessMessages() { owner_.ProcessMessages(); }

void tOutputZoom::ShowDebugWindow(bool shown) { owner_.ShowDebugWindow(shown); }

// ---------------------------------------------------------------------------
// The saver
// ---------------------------------------------------------------------------

TfWaylandSaver::TfWaylandSaver(int runMode, const tGlobalSettings& settings, const std::string& display,
                               tSurfaceLayer layer)
    : runMode_(runMode), settings_(settings), layer_(layer), client_(std::make_unique<tWaylandClient>(display))
{
    // Shown but never on screen: it stands for the surfaces as the run's main
    // window, so that closing it ends the run as closing the saver's window
    // does, and refusing to close keeps the run going.
    setWindowTitle("Quorex");
    setAttribute(Qt::WA_DontShowOnScreen);
    if (layer == tSurfaceLayer::Background && !client_->HasLayerShell())
        throw std::runtime_error("this desktop has no background layer (layer-shell) to draw on");
    if (!client_->HasLayerShell() && !client_->HasXdgShell())
        throw std::runtime_error("this desktop offers no way to cover its outputs");
    client_->onOutputAdded = [this](const tWaylandOutput& output) {
        if (started_ && !stopping_ && !closing_)
            AddOutput(output);
    };
    client_->onKey = [this](const tWaylandKey& key) { OnKey(key); };
    client_->onPointer = [this](int x, int y, bool moved) { OnPointer(x, y, moved); };

    ticker_ = new QTimer(this);
    ticker_->setSingleShot(true);
    connect(ticker_, &QTimer::timeout, this, &TfWaylandSaver::TickRound);
    events_ = new QSocketNotifier(client_->Fd(), QSocketNotifier::Read, this);
    connect(events_, &QSocketNotifier::activated, this, [this] {
        client_->Dispatch();
        if (stepping_ == 0 && std::any_of(zooms_.begin(), zooms_.end(), [](const auto& z) { return z->Due(); }))
            ticker_->start(0);
    });
}

TfWaylandSaver::~TfWaylandSaver()
{
    // The zooms draw through the connection: they go before it.
    zooms_.clear();
}

void TfWaylandSaver::SetDebugWindow(TfDebug* debug)
{
    debug_ = debug;
    if (debug)
        debug->Watch([this]() -> tZoomRunner* { return zooms_.empty() ? nullptr : &zooms_.front()->Runner(); });
}

void TfWaylandSaver::ShowDebugWindow(bool shown)
{
    if (debug_)
        debug_->setVisible(shown);
}

void TfWaylandSaver::Start()
{
    if (started_)
        return;
    started_ = true;
    show();
    LogNote(1, layer_ == tSurfaceLayer::Overlay
                   ? (client_->HasLayerShell() ? " -Covering every output above all windows (Wayland overlay layer)"
                                               : " -Covering every output with a full-screen window (Wayland)")
                   : " -Drawing on every output below all windows (Wayland background layer)");
    // Every output is copied before any is covered.
    std::vector<std::unique_ptr<tPage>> desktops;
    const std::vector<tWaylandOutput> outputs = client_->Outputs();
    for (const tWaylandOutput& output : outputs) {
        std::unique_ptr<tPage> desktop;
        if (runMode_ == rmScreenSaver)
            if (const auto shot = client_->CaptureOutput(output.id, kDesktopCopyTimeoutMs))
                desktop = DesktopPageFrom(*shot);
        desktops.push_back(std::move(desktop));
    }
    if (runMode_ == rmScreenSaver && !client_->HasScreenCopy())
        LogNote(2, " -The compositor copies no outputs: the zoom fades in from the frame colour");
    for (size_t i = 0; i < outputs.size(); ++i) {
        LogNote(2, " -Output " + Describe(outputs[i]));
        zooms_.push_back(std::make_unique<tOutputZoom>(*this, *client_, outputs[i], layer_, settings_, runMode_,
                                                       std::move(desktops[i])));
    }
    ticker_->start(0);
}

void TfWaylandSaver::AddOutput(const tWaylandOutput& output)
{
    LogNote(2, " -New output " + Describe(output));
    std::unique_ptr<tPage> desktop;
    if (runMode_ == rmScreenSaver)
        if (const auto shot = client_->CaptureOutput(output.id, kDesktopCopyTimeoutMs))
            desktop = DesktopPageFrom(*shot);
    try {
        zooms_.push_back(
            std::make_unique<tOutputZoom>(*this, *client_, output, layer_, settings_, runMode_, std::move(desktop)));
    } catch (const std::exception& e) {
        LogWarning(1, std::string("The new output stays uncovered: ") + e.what());
    }
}

void TfWaylandSaver::ProcessMessages()
{
    client_->Dispatch();
    QCoreApplication::processEvents();
}

void TfWaylandSaver::TickRound()
{
    // A zoom's start-up handles events itself; that is no time for a round.
    if (stepping_ > 0)
        return;
    if (!client_->Connected()) {
        LogWarning(1, "The Wayland compositor has gone, closing");
        zooms_.clear();
        close();
        return;
    }
    client_->Dispatch();
    // Zooms made meanwhile join the next round; the list may grow inside a step.
    const size_t count = zooms_.size();
    for (size_t i = 0; i < count; ++i) {
        tOutputZoom& zoom = *zooms_[i];
        if (!zoom.Due() || zoom.Gone())
            continue;
        ++stepping_;
        try {
            zoom.Step();
        } catch (const EGraphicsFailure& e) {
            // The program's entry tells the user, once the surfaces that
            // would hide its message are gone.
            failure_ = e;
        }
        --stepping_;
        if (failure_) {
            zooms_.clear();
            close();
            return;
        }
    }
    client_->Dispatch();
    RemoveFinished();

    const bool allOver = std::all_of(zooms_.begin(), zooms_.end(), [](const auto& z) { return z->Over(); });
    if ((stopping_ || closing_) && allOver) {
        close();
        return;
    }
    const bool due = std::any_of(zooms_.begin(), zooms_.end(), [](const auto& z) { return z->Due(); });
    ticker_->start(due ? 0 : kIdleCheckMs);
}

void TfWaylandSaver::RemoveFinished()
{
    const auto gone = std::remove_if(zooms_.begin(), zooms_.end(), [](const auto& zoom) {
        if (!zoom->Gone())
            return false;
        LogNote(2, " -An output went away with its zoom");
        return true;
    });
    zooms_.erase(gone, zooms_.end());
}

int TfWaylandSaver::SaverState() const
{
    int state = ssBeforeStart;
    for (const auto& zoom : zooms_)
        state = std::max(state, zoom->Runner().Status().state);
    return state;
}

void TfWaylandSaver::StopAll()
{
    stopping_ = true;
    for (const auto& zoom : zooms_)
        zoom->Runner().BeginStop();
}

void TfWaylandSaver::OnKey(const tWaylandKey& key)
{
    if (key.virtualKey != 0)
        KeyboardHook().KeyEvent(key.virtualKey, key.down);
    if (!key.down || !KeyPressStops(runMode_))
        return;
    // Keys without a code of their own count as presses, unless they only
    // modify others.
    const bool unknownModifier = key.virtualKey == 0 && key.modifier;
    if (!unknownModifier && IsStoppingKey(key.virtualKey, key.altHeld)) {
        if (!stopping_)
            LogNote(1, "Key press... stop event triggered");
        StopAll();
    }
}

void TfWaylandSaver::OnPointer(int x, int y, bool moved)
{
    tMouse& tracker = MouseTracker();
    tracker.x = x;
    tracker.y = y;
    // A surface appearing under the pointer, or the pointer crossing onto
    // another output's surface, is no move.
    if (!moved)
        mouseRule_.Remember(x, y);
    else if (mouseRule_.Moved(x, y, runMode_, SaverState()))
        StopAll();
}

void TfWaylandSaver::closeEvent(QCloseEvent* event)
{
    const bool comingBack = std::any_of(zooms_.begin(), zooms_.end(), [](const auto& zoom) {
        return !zoom->Over() && zoom->Runner().Phase() == tRunPhase::DesktopFadeIn;
    });
    closing_ = true;
    for (const auto& zoom : zooms_)
        if (zoom->Runner().Phase() != tRunPhase::DesktopFadeIn)
            zoom->Runner().RequestClose();
    if (comingBack)
        event->ignore();
    else
        event->accept();
}
