#include "uTextMask.h"

#include "uGuiApplication.h"
#include "uLog.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>

namespace {
// 96 dots per inch, the desktop's usual logical resolution, in dots per metre:
// point sizes then give the same pixel sizes on every platform plugin.
constexpr int kDotsPerMetre = 3780;

QFont ToolkitFont(const tFont& font)
{
    QFont f(QString::fromStdString(font.family));
    if (font.pixelSize > 0)
        f.setPixelSize(font.pixelSize);
    else if (font.pointSize > 0)
        f.setPointSize(font.pointSize);
    f.setBold(font.bold);
    return f;
}
} // namespace

tTextMask RenderTextMask(int32_t pageWidth, int32_t pageHeight, int32_t x, int32_t y, const tFont& font,
                         const std::string& text)
{
    tTextMask mask;
    if (text.empty() || pageWidth <= 0 || pageHeight <= 0)
        return mask;
    if (!EnsureGuiApplication()) {
        LogWarning(1, "Could not draw text: no graphical application");
        return mask;
    }

    // Metrics against an image of the same resolution as the one drawn on.
    QImage probe(1, 1, QImage::Format_RGB32);
    probe.setDotsPerMeterX(kDotsPerMetre);
    probe.setDotsPerMeterY(kDotsPerMetre);
    const QFont f = ToolkitFont(font);
    const QString s = QString::fromStdString(text);
    const QFontMetrics metrics(f, &probe);
    mask.textWidth = metrics.horizontalAdvance(s);
    mask.textHeight = metrics.height();

    // Only the text's box inside the page is ever blended, so only that part is drawn.
    const int64_t left = std::max<int64_t>(x, 0);
    const int64_t top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(static_cast<int64_t>(x) + mask.textWidth, pageWidth - 1);
    const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + mask.textHeight, pageHeight - 1);
    if (left > right || top > bottom)
        return mask;
    mask.left = static_cast<int32_t>(left);
    mask.top = static_cast<int32_t>(top);
    mask.width = static_cast<int32_t>(right - left + 1);
    mask.height = static_cast<int32_t>(bottom - top + 1);

    QImage image(mask.width, mask.height, QImage::Format_RGB32);
    image.setDotsPerMeterX(kDotsPerMetre);
    image.setDotsPerMeterY(kDotsPerMetre);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        painter.setFont(f);
        painter.setPen(QColor(255, 0, 0));
        // The image's corner is page pixel (left, top); the text's top-left is (x, y).
        const int baseline = static_cast<int>(y - top) + metrics.ascent();
        painter.drawText(QPoint(static_cast<int>(x - left), baseline), s);
    }
    mask.red.resize(static_cast<size_t>(mask.width) * static_cast<size_t>(mask.height));
    for (int32_t row = 0; row < mask.height; ++row) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(row));
        for (int32_t col = 0; col < mask.width; ++col)
            mask.red[static_cast<size_t>(row) * static_cast<size_t>(mask.width) + static_cast<size_t>(col)] =
                static_cast<uint8_t>(qRed(line[col]));
    }
    return mask;
}
