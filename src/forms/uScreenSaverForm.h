#pragma once
// The window the zoom runs in (Demo, Screen Saver, Preview and Hosted modes).
// The zoom itself is a tZoomRunner; this window gives it an OpenGL surface,
// the screen's facts and the window events, places itself and the cover
// windows for the run mode, and turns mouse and keys into stop requests.
#include "uApplication.h"
#include "uGLSurface.h"
#include "uGraphicsFailure.h"
#include "uInputWatch.h"
#include "uZoomRunner.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

class QLabel;
class TfDebug;
class tForeignWindow;
class tGlobalSettings;
class tPage;

class TfScreenSaver : public QWidget, public tInputSink, private tZoomHost {
    Q_OBJECT
public:
    /// The window of a run in the mode (Demo, Screen Saver, Preview or
    /// Hosted) with the run's settings, which must outlive it and are loaded
    /// by the time the window is first shown.
    TfScreenSaver(int runMode, const tGlobalSettings& settings, QWidget* parent = nullptr);
    /// Frees the zoom: the GUI, the paths, the OpenGL interface.
    ~TfScreenSaver() override;
    /// The debug window the settings show or hide; it watches this zoom.
    void SetDebugWindow(TfDebug* debug);
    /// A blank window for another screen; it forwards its input here. More
    /// are made when there are more screens.
    void AddCoverWindow(QWidget* cover);
    /// Preview and Hosted modes: draws inside the X11 window with this id,
    /// follows its size and ends when it is destroyed. False when the id
    /// names no window that can be drawn in.
    bool EmbedInto(uint64_t windowId);
    /// Shows the frame rate over the zoom.
    void SetShowFramesPerSecond(bool shown) { showFramesPerSecond_ = shown; }

    /// The running zoom; none before the window's timer started it and
    /// after the window is gone.
    tZoomRunner* Runner() const { return runner_.get(); }
    /// Why the run could not go on, when graphics it needs were missing; the
    /// window has closed then.
    const std::optional<EGraphicsFailure>& Failure() const { return failure_; }

    // Input of this window and of the cover windows.
    void FormMouseMove(int screenX, int screenY) override;
    void FormKeyDown(uint32_t virtualKey, bool altHeld) override;
    void FormKeyPress() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    /// The whole life of the zoom, 1 ms after the window is first shown: the
    /// runner's ticks with this window's events in between.
    void Timer2Timer();
    void WatchHostWindow();
    int SaverState() const;

    // tZoomHost
    std::unique_ptr<tOpenGLInterface> OpenGL() override;
    int ScreenDepth() override;
    int ScreenRefreshRate() override;
    void ProcessMessages() override;
    void SetStayOnTop(bool onTop) override;
    void BringToFront() override;
    void PlaceForms() override;
    void ShowDebugWindow(bool shown) override;
    void ShowOverlayText(const std::string& text) override;

    const tWindowHandle& Surface();

    /// Preview and Hosted: drawing in a window another program owns.
    bool Embedded() const;

    int runMode_;
    const tGlobalSettings& settings_;
    std::unique_ptr<tZoomRunner> runner_;
    std::optional<EGraphicsFailure> failure_;
    /// The desktop as it was when the window was made; none in Preview mode
    /// or where the platform refuses screen grabs.
    std::unique_ptr<tPage> capture_;
    tWindowHandle surface_;
    tMouseStopRule mouseRule_;
    QPointer<TfDebug> debug_;
    QList<QPointer<QWidget>> covers_;
    std::unique_ptr<tForeignWindow> hostWindow_;
    QLabel* overlay_ = nullptr;
    bool showFramesPerSecond_ = false;
    bool started_ = false;
    bool closed_ = false;
    /// A stop asked for before the zoom existed.
    bool stopBeforeStart_ = false;
};
