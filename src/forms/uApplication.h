#pragma once
// Application-level glue of the windows: the main window (the first window
// created in a run; closing it ends the message loop) and a clean shutdown
// when the process is asked to terminate (SIGTERM, SIGINT, SIGHUP), which is
// how screen-saver daemons end their savers.
#include <QObject>
#include <QWidget>

class QSocketNotifier;

/// Makes w the main window unless one is set already.
void RegisterForm(QWidget* w);
QWidget* MainForm();

/// Installs the termination handler: the signal closes the main window, so
/// the run ends through its normal path with exit code 0.
void InstallTerminationHandler();

/// Ends the message loop when the main window is closed or destroyed.
class tMainWindowWatcher : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
