#include "uDesktopCapture.h"

#include "uLog.h"
#include "uWayland.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

namespace {

/// How long one output's copy may take before the capture goes without it.
constexpr int kOutputCopyTimeoutMs = 1000;

/// The toolkit cannot grab the screens of a Wayland desktop; the
/// compositor's screen-copy protocol can, where the compositor offers it.
/// Draws each output that meets the wanted area where it lies.
bool DrawOutputsFromCompositor(QPainter& painter, const QRect& wanted)
{
    const std::optional<std::string> display = WaylandSessionDisplay();
    if (!display)
        return false;
    bool drawn = false;
    try {
        tWaylandClient client(*display);
        for (const tWaylandOutput& output : client.Outputs()) {
            const QRect place(output.x, output.y, output.width / output.scale, output.height / output.scale);
            if (!place.intersects(wanted))
                continue;
            const std::optional<tBitmap> picture = client.CaptureOutput(output.id, kOutputCopyTimeoutMs);
            if (!picture)
                continue;
            // B, G, R, A bytes are QImage's ARGB32 on little-endian machines.
            const QImage image(picture->pixels.data(), picture->width, picture->height, picture->width * 4,
                               QImage::Format_ARGB32);
            painter.drawImage(QRect(place.topLeft() - wanted.topLeft(), place.size()), image);
            drawn = true;
        }
    } catch (const std::exception& e) {
        LogNote(2, std::string("No copy of the desktop from the compositor: ") + e.what());
    }
    return drawn;
}

} // namespace

tBitmap CaptureDesktop(std::optional<tRect> area)
{
    tBitmap result;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return result;
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return result;

    const QRect desktop = screens.first()->virtualGeometry();
    const QRect wanted = area ? QRect(QPoint(area->left, area->top), QPoint(area->right - 1, area->bottom - 1))
                              : desktop;
    if (wanted.isEmpty())
        return result;

    // Each screen is grabbed on its own and placed where it lies, which also
    // holds when the screens leave gaps or differ in size.
    QImage composed(wanted.size(), QImage::Format_ARGB32);
    composed.fill(Qt::black);
    bool grabbed = false;
    {
        QPainter painter(&composed);
        for (QScreen* screen : screens) {
            const QRect part = screen->geometry().intersected(wanted);
            if (part.isEmpty())
                continue;
            const QPixmap shot = screen->grabWindow(0);
            if (shot.isNull())
                continue;
            // A screen with a device pixel ratio above 1 gives more pixels
            // than its geometry: the pixmap's own ratio scales it back.
            painter.drawPixmap(screen->geometry().topLeft() - wanted.topLeft(), shot);
            grabbed = true;
        }
        if (!grabbed)
            grabbed = DrawOutputsFromCompositor(painter, wanted);
    }
    if (!grabbed)
        return result;

    // QImage's ARGB32 is B, G, R, A in memory on little-endian machines, the
    // bitmap's order; convert explicitly so that byte order never matters.
    result.width = composed.width();
    result.height = composed.height();
    result.pixels.resize(static_cast<size_t>(result.width) * static_cast<size_t>(result.height) * 4);
    for (int y = 0; y < result.height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(composed.constScanLine(y));
        uint8_t* out = result.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(result.width) * 4;
        for (int x = 0; x < result.width; ++x) {
            const QRgb c = line[x];
            out[4 * x + 0] = static_cast<uint8_t>(qBlue(c));
            out[4 * x + 1] = static_cast<uint8_t>(qGreen(c));
            out[4 * x + 2] = static_cast<uint8_t>(qRed(c));
            out[4 * x + 3] = 255;
        }
    }
    return result;
}
