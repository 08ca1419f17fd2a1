#include "uPlatform.h"

#include "uLog.h"

#include <QApplication>
#include <QCursor>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "uX11Display.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <fpu_control.h>
#include <xmmintrin.h>
#endif

std::string ExecutableFolder()
{
    char buf[PATH_MAX + 1];
    const ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0)
        return "./";
    std::string path(buf, static_cast<size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

void SetFloatingPointControl()
{
#if defined(__x86_64__) || defined(__i386__)
    fpu_control_t cw = 0x133F;
    _FPU_SETCW(cw);
    _mm_setcsr(_mm_getcsr() | 0x1F80);
#endif
}

bool DialogsAllowed()
{
    const char* v = std::getenv("FRACTAL_NO_DIALOGS");
    return !(v && *v && std::strcmp(v, "0") != 0);
}

namespace {
// The boxes open now (nested: a box may open while another waits), and
// whether a termination request has ended them for good.
QList<QPointer<QMessageBox>> gOpenBoxes;
bool gBoxesEnded = false;
} // namespace

void ShowMessageBox(const std::string& text, const std::string& caption)
{
    if (gBoxesEnded || !DialogsAllowed() || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
        return;
    }
    // A window that holds the keyboard (the full-screen saver) would keep
    // Return and Space from the box.
    if (QWidget* grabber = QWidget::keyboardGrabber())
        grabber->releaseKeyboard();
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, QApplication::activeWindow());
    gOpenBoxes.append(&box);
    box.exec();
    gOpenBoxes.removeAll(&box);
}

void EndMessageBoxes()
{
    gBoxesEnded = true;
    for (const QPointer<QMessageBox>& box : gOpenBoxes)
        if (box)
            box->reject();
}

void ShowFatalError(const std::string& message)
{
    LogWarning(1, message);
    if (QCoreApplication::instance()) {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
        // Nothing of the run goes on: its windows (a full-screen saver above
        // everything) make way for the message.
        for (QWidget* w : QApplication::topLevelWidgets()) {
            w->unsetCursor();
            w->hide();
        }
    }
    ShowMessageBox(message);
}

void ProcessMessages()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

uint64_t ParentWindowOf(uint64_t windowId)
{
    if (windowId == 0)
        return 0;
    tX11Connection d;
    if (!d)
        return 0;
    Window root = 0, parent = 0;
    const bool ok = d.Checked([&] {
        Window* children = nullptr;
        unsigned int count = 0;
        const Status queried = XQueryTree(d.Get(), static_cast<Window>(windowId), &root, &parent, &children, &count);
        if (children)
            XFree(children);
        return queried != 0;
    });
    if (!ok || parent == root)
        return 0;
    return static_cast<uint64_t>(parent);
}

std::string ProcessorBrand()
{
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(0x80000000u, &a, &b, &c, &d) && a >= 0x80000004u) {
        char brand[49] = {};
        for (unsigned i = 0; i < 3; ++i) {
            __get_cpuid(0x80000002u + i, &a, &b, &c, &d);
            std::memcpy(brand + 16 * i + 0, &a, 4);
            std::memcpy(brand + 16 * i + 4, &b, 4);
            std::memcpy(brand + 16 * i + 8, &c, 4);
            std::memcpy(brand + 16 * i + 12, &d, 4);
        }
        std::string s(brand);
        const auto first = s.find_first_not_of(' ');
        return first == std::string::npos ? std::string() : s.substr(first);
    }
    if (__get_cpuid(0, &a, &b, &c, &d)) {
        char vendor[13] = {};
        std::memcpy(vendor + 0, &b, 4);
        std::memcpy(vendor + 4, &d, 4);
        std::memcpy(vendor + 8, &c, 4);
        return vendor;
    }
#endif
    return "Unknown";
}
