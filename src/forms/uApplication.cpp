#include "uApplication.h"

#include "uDisplayCheck.h"
#include "uLog.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {
QPointer<QWidget> gMainForm;
int gSignalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(gSignalPipe[1], &c, 1);
}

void CloseMainForm()
{
    if (gMainForm)
        gMainForm->close();
    else
        QCoreApplication::quit();
}
} // namespace

void RegisterForm(QWidget* w)
{
    if (gMainForm || !w)
        return;
    gMainForm = w;
    auto* watcher = new tMainWindowWatcher(w);
    w->installEventFilter(watcher);
    QObject::connect(w, &QObject::destroyed, [] { QCoreApplication::quit(); });
}

QWidget* MainForm() { return gMainForm; }

bool tMainWindowWatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close && watched == gMainForm.data()) {
        // Quit once the close has been handled (a form may refuse it).
        QTimer::singleShot(0, [] {
            if (!gMainForm || !gMainForm->isVisible())
                QCoreApplication::quit();
        });
    }
    return QObject::eventFilter(watched, event);
}

void InstallTerminationHandler()
{
    if (gSignalPipe[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) != 0)
        return;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
}

void WatchTerminationRequests()
{
    if (gSignalPipe[0] < 0 || !qApp)
        return;
    // A signal that came before the toolkit started is still in the pipe:
    // the notifier fires as soon as the message loop runs.
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char buf[16];
        [[maybe_unused]] ssize_t n = ::read(gSignalPipe[0], buf, sizeof buf);
        CloseMainForm();
    });
}

bool DisplayAvailable(int argc, char** argv)
{
    const auto display = UnreachableDisplay(argc, argv);
    if (!display)
        return true;
    std::string text = "Cannot open the display \"" + *display + "\"";
    if (display->empty())
        text += " (DISPLAY is not set)";
    LogWarning(1, text);
    std::fprintf(stderr, "%s\n", text.c_str());
    return false;
}
