#include "uHosting.h"

#include "uX11Display.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <sys/resource.h>

namespace {

Pixmap ScreenshotPixmapOf(Display* d, Window w)
{
    const Atom property = XInternAtom(d, "_SCREENSAVER_SCREENSHOT", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Pixmap p = None;
    if (XGetWindowProperty(d, w, property, 0, 1, False, XA_PIXMAP, &type, &format, &count, &after, &data) ==
            Success &&
        data && type == XA_PIXMAP && format == 32 && count == 1)
        p = static_cast<Pixmap>(*reinterpret_cast<unsigned long*>(data)); // format 32 arrives as longs
    if (data)
        XFree(data);
    return p;
}

// The byte of a pixel value under a colour mask.
uint8_t Channel(unsigned long pixel, unsigned long mask)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const unsigned long value = (pixel & mask) >> shift;
    const int bits = std::popcount(mask);
    return static_cast<uint8_t>(bits >= 8 ? value >> (bits - 8) : value * 255 / ((1ul << bits) - 1));
}
} // namespace

uint64_t RootWindowId()
{
    const tX11Connection d;
    return d ? static_cast<uint64_t>(DefaultRootWindow(d.Get())) : 0;
}

namespace {
// The window's attributes; false for an id that names no window, and
// without a display.
bool AttributesOf(uint64_t windowId, XWindowAttributes& attributes)
{
    if (windowId == 0 || windowId > 0xFFFFFFFFu) // X11 ids are 29 bits
        return false;
    tX11Connection d;
    return d && d.Checked([&] {
        return XGetWindowAttributes(d.Get(), static_cast<Window>(windowId), &attributes) != 0;
    });
}

std::optional<tBitmap> ScreenshotOf(Display* d, Window window)
{
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(d, window, &attributes))
        return std::nullopt;
    Pixmap pixmap = ScreenshotPixmapOf(d, window);
    if (pixmap == None)
        pixmap = ScreenshotPixmapOf(d, attributes.root);
    if (pixmap == None)
        return std::nullopt;

    Window root = None;
    int x = 0, y = 0;
    unsigned int width = 0, height = 0, border = 0, depth = 0;
    if (!XGetGeometry(d, pixmap, &root, &x, &y, &width, &height, &border, &depth))
        return std::nullopt;
    // A pixmap carries no visual: its colours are laid out as the screen's
    // true-colour visual of that depth lays them out.
    XVisualInfo visual{};
    if ((depth != 24 && depth != 32) || width == 0 || height == 0 || width > 16384 || height > 16384 ||
        !XMatchVisualInfo(d, XScreenNumberOfScreen(attributes.screen), static_cast<int>(depth), TrueColor, &visual))
        return std::nullopt;
    XImage* image = XGetImage(d, pixmap, 0, 0, width, height, AllPlanes, ZPixmap);
    if (!image)
        return std::nullopt;

    tBitmap bitmap;
    bitmap.width = static_cast<int32_t>(width);
    bitmap.height = static_cast<int32_t>(height);
    bitmap.pixels.resize(static_cast<size_t>(width) * height * 4);
    uint8_t* out = bitmap.pixels.data();
    for (int row = 0; row < static_cast<int>(height); ++row) {
        for (int column = 0; column < static_cast<int>(width); ++column) {
            const unsigned long pixel = XGetPixel(image, column, row);
            *out++ = Channel(pixel, visual.blue_mask);
            *out++ = Channel(pixel, visual.green_mask);
            *out++ = Channel(pixel, visual.red_mask);
            *out++ = 255;
        }
    }
    XDestroyImage(image);
    return bitmap;
}
} // namespace

bool WindowExists(uint64_t windowId)
{
    XWindowAttributes attributes{};
    return AttributesOf(windowId, attributes);
}

bool WindowDrawable(uint64_t windowId)
{
    XWindowAttributes attributes{};
    return AttributesOf(windowId, attributes) && attributes.c_class == InputOutput;
}

std::optional<tBitmap> HostScreenshot(uint64_t windowId)
{
    if (windowId == 0 || windowId > 0xFFFFFFFFu)
        return std::nullopt;
    tX11Connection d;
    if (!d)
        return std::nullopt;
    std::optional<tBitmap> shot;
    // A pixmap or window that went meanwhile spoils the picture.
    if (!d.Checked([&] {
            shot = ScreenshotOf(d.Get(), static_cast<Window>(windowId));
            return shot.has_value();
        }))
        return std::nullopt;
    return shot;
}

int ProcessNiceness()
{
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0);
    return errno == 0 ? nice : 0;
}

bool SetProcessNiceness(int nice)
{
    // Linux keeps the nice value per thread: threads the toolkit has already
    // started are changed one by one; later ones inherit it.
    bool ok = ::setpriority(PRIO_PROCESS, 0, nice) == 0;
    if (DIR* tasks = ::opendir("/proc/self/task")) {
        while (const dirent* entry = ::readdir(tasks)) {
            const int id = std::atoi(entry->d_name);
            if (id > 0 && ::setpriority(PRIO_PROCESS, static_cast<id_t>(id), nice) != 0)
                ok = false;
        }
        ::closedir(tasks);
    }
    return ok;
}
