#pragma once
// The saver on a Wayland desktop: a zoom of its own on every output, on a
// surface above all windows (Screen Saver mode) or below them (the
// background role of --root), through the saver's own Wayland client.
//   - tOutputZoom: one output's surface, the zoom on it, and what the zoom
//     needs of it
//   - TfWaylandSaver: the outputs' zooms as they come and go, their input,
//     the end of the run
// The zooms advance one step at a time from the toolkit's event loop; each
// output's frames follow that output's frame callbacks.
#include "uGraphicsFailure.h"
#include "uInputWatch.h"
#include "uWayland.h"
#include "uZoomRunner.h"

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;
class QTimer;
class TfDebug;
class TfWaylandSaver;
class tGlobalSettings;
class tPage;

class tOutputZoom : private tZoomHost {
public:
    /// A surface on the output's layer and a zoom for it; desktop is what the
    /// output showed before (none: the zoom fades in from the frame colour).
    tOutputZoom(TfWaylandSaver& owner, tWaylandClient& client, const tWaylandOutput& output, tSurfaceLayer layer,
                const tGlobalSettings& settings, int runMode, std::unique_ptr<tPage> desktop);
    ~tOutputZoom() override;
    tOutputZoom(const tOutputZoom&) = delete;
    tOutputZoom& operator=(const tOutputZoom&) = delete;

    /// The compositor has sized the surface and is ready for its next frame.
    bool Due() const;
    /// One step of the zoom: a step of its start-up or one frame. False once
    /// the zoom is over. Raises EGraphicsFailure when the graphics it needs
    /// are missing.
    bool Step();
    bool Over() const { return over_; }
    /// The output went away: nothing shows the surface any more.
    bool Gone() const { return surface_.Closed(); }
    tZoomRunner& Runner() { return runner_; }

private:
    // tZoomHost
    std::unique_ptr<tOpenGLInterface> OpenGL() override;
    int ScreenDepth() override;
    int ScreenRefreshRate() override;
    void ProcessMessages() override;
    /// Frames follow the output's frame callbacks.
    bool PacedByDisplay() override { return true; }
    void ShowDebugWindow(bool shown) override;

    TfWaylandSaver& owner_;
    tWaylandSurface surface_;
    std::unique_ptr<tPage> desktop_;
    tZoomRunner runner_;
    bool over_ = false;
};

class TfWaylandSaver : public QWidget {
    Q_OBJECT
public:
    /// A run in the mode (Screen Saver: the overlay; Hosted: the background)
    /// through the compositor the display names, with the run's settings,
    /// which must outlive it and are loaded by the time Start runs. Raises
    /// std::runtime_error when there is no compositor, or when the layer is
    /// the background and the compositor has no desktop layers (GNOME).
    TfWaylandSaver(int runMode, const tGlobalSettings& settings, const std::string& display, tSurfaceLayer layer);
    ~TfWaylandSaver() override;

    /// The debug window the settings show or hide; it watches the first
    /// output's zoom.
    void SetDebugWindow(TfDebug* debug);
    /// Copies what the outputs show (Screen Saver mode), covers every output
    /// and starts their zooms.
    void Start();
    /// Why the run could not go on, when graphics it needs were missing; the
    /// surfaces are gone and the form has closed then.
    const std::optional<EGraphicsFailure>& Failure() const { return failure_; }

    /// Handles pending events of the compositor and of the toolkit (the
    /// zooms' hosts call it while they start up).
    void ProcessMessages();
    void ShowDebugWindow(bool shown);

protected:
    /// The process is asked to end (SIGTERM): every zoom ends after its
    /// current frame. A desktop coming back is never cut short: the form
    /// closes itself once it is back.
    void closeEvent(QCloseEvent* event) override;

private:
    void AddOutput(const tWaylandOutput& output);
    void TickRound();
    void OnKey(const tWaylandKey& key);
    void OnPointer(int x, int y, bool moved);
    void StopAll();
    /// The furthest start-up state of the zooms (the stop rules' state).
    int SaverState() const;
    void RemoveFinished();

    int runMode_;
    const tGlobalSettings& settings_;
    tSurfaceLayer layer_;
    std::unique_ptr<tWaylandClient> client_;
    std::optional<EGraphicsFailure> failure_;
    std::vector<std::unique_ptr<tOutputZoom>> zooms_;
    QSocketNotifier* events_ = nullptr;
    QTimer* ticker_ = nullptr;
    QPointer<TfDebug> debug_;
    tMouseStopRule mouseRule_;
    bool started_ = false;
    bool stopping_ = false;
    bool closing_ = false;
    /// Inside a zoom's step: events may come in, zooms may not go.
    int stepping_ = 0;
};
