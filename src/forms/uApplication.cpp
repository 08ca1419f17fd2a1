#include "uApplication.h"

#include "uInputWatch.h"
#include "uKeyCodes.h"
#include "uDisplayCheck.h"
#include "uLog.h"
#include "uPlatform.h"

#include <QApplication>
#include <QEvent>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
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

namespace {

QHash<const QWidget*, tInputSink*> gSinks;

bool IsToolkitModifier(int key)
{
    switch (key) {
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

tInputSink* SinkOf(QObject* receiver)
{
    if (gSinks.isEmpty() || !receiver->isWidgetType())
        return nullptr;
    return gSinks.value(static_cast<QWidget*>(receiver)->window(), nullptr);
}

/// Keys and mouse of the whole application. Events travel from a window to
/// its widgets and on to their parents, so a filter sees one input several
/// times: everything done here may be repeated without harm.
class tInputFilter : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool down = event->type() == QEvent::KeyPress;
            // Held keys repeat as release-press pairs; the key stays down.
            if (!down && key->isAutoRepeat())
                break;
            const uint32_t code = VirtualKeyOf(key->key());
            if (code != 0)
                KeyboardHook().KeyEvent(code, down);
            if (down)
                if (tInputSink* sink = SinkOf(receiver)) {
                    const bool alt = key->modifiers().testFlag(Qt::AltModifier);
                    sink->FormKeyDown(code, alt);
                    // Keys without a code of their own (media keys, ...) count
                    // as presses, modifiers the table does not know do not.
                    const bool unknownModifier = code == 0 && IsToolkitModifier(key->key());
                    if (!unknownModifier && IsStoppingKey(code, alt))
                        sink->FormKeyPress();
                }
            break;
        }
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QPointF at = mouse->globalPosition();
            tMouse& tracker = MouseTracker();
            tracker.x = at.x();
            tracker.y = at.y();
            if (event->type() != QEvent::MouseMove) {
                const bool down = event->type() == QEvent::MouseButtonPress;
                if (mouse->button() == Qt::LeftButton)
                    tracker.leftDown = down;
                else if (mouse->button() == Qt::RightButton)
                    tracker.rightDown = down;
            } else if (tInputSink* sink = SinkOf(receiver)) {
                sink->FormMouseMove(static_cast<int>(at.x()), static_cast<int>(at.y()));
            }
            break;
        }
        default:
            break;
        }
        return false;
    }
};

} // namespace

void InstallInputWatchers()
{
    static tInputFilter* filter = nullptr;
    if (filter || !qApp)
        return;
    filter = new tInputFilter(qApp);
    qApp->installEventFilter(filter);
}

void RouteInput(QWidget* window, tInputSink* sink)
{
    if (!window)
        return;
    if (!sink) {
        gSinks.remove(window);
        return;
    }
    if (!gSinks.contains(window))
        QObject::connect(window, &QObject::destroyed, [window] { gSinks.remove(window); });
    gSinks.insert(window, sink);
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
        // A box waiting for a user would hold the run (and the close below,
        // which may want to show one) for ever.
        EndMessageBoxes();
        CloseMainForm();
    });
}

bool DisplayAvailable(int argc, char** argv)
{
    const auto problem = UnreachableDisplay(argc, argv);
    if (!problem)
        return true;
    std::string text = "Cannot open the display \"" + problem->name + "\"";
    if (!problem->why.empty())
        text += " (" + problem->why + ")";
    LogWarning(1, text);
    std::fprintf(stderr, "%s\n", text.c_str());
    return false;
}
