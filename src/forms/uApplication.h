#pragma once
// Application-level glue of the windows: the main window (the first window
// created in a run; closing it ends the message loop) and a clean shutdown
// when the process is asked to terminate (SIGTERM, SIGINT, SIGHUP), which is
// how screen-saver daemons end their savers.
#include <QObject>
#include <QWidget>

#include <cstdint>

class QSocketNotifier;

/// Makes w the main window unless one is set already.
void RegisterForm(QWidget* w);
QWidget* MainForm();

/// Installs the termination handler, before anything else so that a host
/// that stops the program at once still sees a clean end: the signal closes
/// the main window (once the message loop runs), so the run ends through its
/// normal path with exit code 0. Needs no application object.
void InstallTerminationHandler();
/// Connects the handler to the message loop; after the application object
/// is made.
void WatchTerminationRequests();

/// True when the toolkit can start on its display (or needs none). Else
/// "Cannot open the display" with the display's name goes to the log and to
/// standard error, and the result is false. Before the application object
/// is made.
bool DisplayAvailable(int argc, char** argv);

/// Ends the message loop when the main window is closed or destroyed.
class tMainWindowWatcher : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

/// Receives the input of a window: its own, and that of windows that
/// forward theirs to it (the cover windows).
class tInputSink {
public:
    virtual ~tInputSink() = default;
    /// The mouse moved to a screen position.
    virtual void FormMouseMove(int screenX, int screenY) = 0;
    /// A key went down (auto-repeats included).
    virtual void FormKeyDown(uint32_t virtualKey, bool altHeld) = 0;
    /// A key was pressed that is neither a modifier alone (Shift, Control,
    /// Alt, ...) nor Alt+Enter.
    virtual void FormKeyPress() = 0;
};

/// The application-wide event filter that feeds the key table and the mouse
/// tracker and hands the input of routed windows to their sinks. Installed
/// once, right after the application object is made.
void InstallInputWatchers();
/// Sends the input of the top-level window to the sink (none: stops).
void RouteInput(QWidget* window, tInputSink* sink);
