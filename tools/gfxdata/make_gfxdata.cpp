// make-gfxdata OUT: draws the program's transition graphics file, a PNG of
// 256 × 128 pixels whose first sprite, at (1, 1) and 250 × 72 pixels, is the
// product's logo: a round emblem holding a small Mandelbrot set, and the word
// "Quorex". The desktop transition draws the logo with its centre 100 pixels
// above the screen's bottom edge, and its progress bar (177 × 11 pixels)
// falls into the logo's lower part, so the logo leaves that band clear and
// frames it with a faint outline.
//
// Rebuild the committed picture with
//   cmake --build build --target gfxdata-picture
// which runs this tool on the offscreen platform and writes data/gfxdata.dat.
//
// make-gfxdata --icon SIZE OUT: draws the program's icon, the same emblem
// alone on a square of SIZE × SIZE pixels (the build makes the sizes the
// desktop's icon theme wants).
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kPageWidth = 256;
constexpr int kPageHeight = 128;
constexpr QPoint kLogoCorner{1, 1};
constexpr QSize kLogoSize{250, 72};

// The progress bar in the logo's own pixels (see the header comment).
constexpr QRectF kBarSlot{32.5, 56.5, 177, 11};

// The emblem: a disc at the logo's top left.
struct tEmblem {
    QPointF centre;
    double radius;
    /// Widths and offsets are drawn for the logo's emblem and grow with it.
    double Scale() const { return radius / 25.5; }
};
constexpr tEmblem kLogoEmblem{{27.5, 27.5}, 25.5};

QColor Mix(const QColor& a, const QColor& b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t),
                            static_cast<float>(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

/// Colour of the point c of the plane: deep blue inside the set, a glow from
/// night blue through teal to gold towards its boundary outside.
QColor SetColour(std::complex<double> c)
{
    constexpr int kLimit = 200;
    std::complex<double> z = 0;
    int n = 0;
    while (n < kLimit && std::norm(z) < 256) {
        z = z * z + c;
        ++n;
    }
    if (n == kLimit)
        return QColor(8, 10, 34);
    // Smooth count: grows towards the boundary.
    const double smooth = n + 1 - std::log2(std::log2(std::norm(z)) / 2);
    const double t = std::clamp(std::log(1 + smooth) / std::log(1.0 + 40), 0.0, 1.0);
    const QColor night(14, 22, 58);
    const QColor teal(24, 150, 170);
    const QColor gold(255, 206, 96);
    return t < 0.55 ? Mix(night, teal, t / 0.55) : Mix(teal, gold, (t - 0.55) / 0.45);
}

/// The emblem's disc, supersampled 4 × 4 per pixel: the set inside, with a
/// soft edge. Pixels outside the disc stay transparent.
void DrawEmblemSet(QImage& logo, const tEmblem& emblem)
{
    constexpr int kSub = 4;
    const double span = 2.9;  // plane units across the disc
    const std::complex<double> middle(-0.62, 0.0);
    for (int y = 0; y < logo.height(); ++y)
        for (int x = 0; x < logo.width(); ++x) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < kSub; ++sy)
                for (int sx = 0; sx < kSub; ++sx) {
                    const double px = x + (sx + 0.5) / kSub;
                    const double py = y + (sy + 0.5) / kSub;
                    const double dx = px - emblem.centre.x();
                    const double dy = py - emblem.centre.y();
                    if (std::hypot(dx, dy) > emblem.radius)
                        continue;
                    // Turned a little, so the set leans like a comet.
                    const double u = dx / (2 * emblem.radius) * span;
                    const double v = dy / (2 * emblem.radius) * span;
                    const double turn = -0.35;
                    const std::complex<double> c =
                        middle + std::complex<double>(u * std::cos(turn) - v * std::sin(turn),
                                                      u * std::sin(turn) + v * std::cos(turn));
                    const QColor colour = SetColour(c);
                    r += colour.redF();
                    g += colour.greenF();
                    b += colour.blueF();
                    a += 1;
                }
            if (a == 0)
                continue;
            logo.setPixelColor(x, y,
                               QColor::fromRgbF(static_cast<float>(r / a), static_cast<float>(g / a),
                                                static_cast<float>(b / a),
                                                static_cast<float>(a / (kSub * kSub))));
        }
}

void DrawEmblemRing(QPainter& painter, const tEmblem& emblem)
{
    // A bright rim from cyan (top left) to violet (bottom right) and a soft
    // light over the upper half, like glass.
    const QPointF c = emblem.centre;
    const double r = emblem.radius;
    const double k = emblem.Scale();
    QLinearGradient rim(c - QPointF(r, r), c + QPointF(r, r));
    rim.setColorAt(0, QColor(120, 235, 255));
    rim.setColorAt(0.5, QColor(90, 150, 255));
    rim.setColorAt(1, QColor(190, 110, 255));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QBrush(rim), 2.2 * k));
    painter.drawEllipse(c, r - 1.2 * k, r - 1.2 * k);

    QRadialGradient shine(c + QPointF(-6 * k, -12 * k), r * 1.1);
    shine.setColorAt(0, QColor(255, 255, 255, 70));
    shine.setColorAt(0.6, QColor(255, 255, 255, 10));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shine);
    painter.drawEllipse(c, r - 2.5 * k, r - 2.5 * k);
}

void DrawWordmark(QPainter& painter)
{
    QFont font("DejaVu Sans");
    font.setBold(true);
    font.setPixelSize(42);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
    font.setHintingPreference(QFont::PreferNoHinting);
    QPainterPath word;
    word.addText(0, 0, font, "Quorex");
    // Centred in the space right of the emblem, its baseline low enough that
    // the descender of the Q stays clear of the bar.
    const QRectF box = word.boundingRect();
    const double left = 60;
    const double right = kLogoSize.width() - 4;
    word.translate(left + (right - left - box.width()) / 2 - box.left(), 42);

    // A dark halo keeps the light letters readable over a bright desktop.
    painter.setBrush(Qt::NoBrush);
    for (const auto& [width, alpha] : {std::pair{6.0, 40}, std::pair{3.5, 70}, std::pair{1.8, 110}}) {
        painter.setPen(QPen(QColor(0, 8, 24, alpha), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(word.translated(0.8, 1.2));
    }
    QLinearGradient fill(0, 6, 0, 46);
    fill.setColorAt(0, QColor(255, 255, 255));
    fill.setColorAt(0.55, QColor(214, 236, 255));
    fill.setColorAt(1, QColor(150, 196, 255));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPath(word);
}

void DrawBarFrame(QPainter& painter)
{
    // A faint rounded outline two pixels around the progress bar's place.
    const QRectF frame = kBarSlot.adjusted(-2.5, -2.5, 2.5, 2.5);
    painter.setBrush(QColor(0, 8, 24, 60));
    painter.setPen(QPen(QColor(200, 225, 255, 120), 1.0));
    painter.drawRoundedRect(frame, 3, 3);
    // The bar's own place stays clear.
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRect(kBarSlot.adjusted(-0.5, -0.5, 0.5, 0.5));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

/// Transparent pixels take the colour of a visible neighbour, so that the
/// texture's linear filter fades the logo's edges into its own colours, not
/// into black.
void BleedColours(QImage& image)
{
    for (int pass = 0; pass < 3; ++pass) {
        const QImage source = image.copy();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(source.pixel(x, y)) != 0)
                    continue;
                int r = 0, g = 0, b = 0, n = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= image.width() || ny >= image.height())
                            continue;
                        const QRgb c = source.pixel(nx, ny);
                        if (qAlpha(c) == 0 && (qRed(c) | qGreen(c) | qBlue(c)) == 0)
                            continue;
                        r += qRed(c);
                        g += qGreen(c);
                        b += qBlue(c);
                        ++n;
                    }
                if (n > 0)
                    image.setPixel(x, y, qRgba(r / n, g / n, b / n, 0));
            }
    }
}

/// The icon: the emblem filling the square but for a small margin, on a
/// transparent ground.
QImage DrawIcon(int size)
{
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    const tEmblem emblem{{size / 2.0, size / 2.0}, size / 2.0 - std::max(1.0, size / 32.0)};
    DrawEmblemSet(icon, emblem);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawEmblemRing(painter, emblem);
    return icon;
}

bool Save(const QImage& image, const char* path)
{
    if (image.save(QString::fromLocal8Bit(path), "PNG"))
        return true;
    std::fprintf(stderr, "make-gfxdata: could not write %s\n", path);
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    const bool icon = argc == 4 && std::string(argv[1]) == "--icon";
    const int iconSize = icon ? std::atoi(argv[2]) : 0;
    if ((argc != 2 && !icon) || (icon && (iconSize < 16 || iconSize > 1024))) {
        std::fprintf(stderr, "usage: make-gfxdata OUT.png\n       make-gfxdata --icon SIZE OUT.png\n");
        return 2;
    }
    QGuiApplication application(argc, argv);
    if (icon)
        return Save(DrawIcon(iconSize), argv[3]) ? 0 : 1;

    QImage logo(kLogoSize, QImage::Format_ARGB32);
    logo.fill(Qt::transparent);
    DrawEmblemSet(logo, kLogoEmblem);
    {
        QPainter painter(&logo);
        painter.setRenderHint(QPainter::Antialiasing);
        DrawEmblemRing(painter, kLogoEmblem);
        DrawWordmark(painter);
        DrawBarFrame(painter);
    }
    BleedColours(logo);

    QImage page(kPageWidth, kPageHeight, QImage::Format_ARGB32);
    page.fill(Qt::transparent);
    for (int y = 0; y < logo.height(); ++y)
        for (int x = 0; x < logo.width(); ++x)
            page.setPixel(kLogoCorner.x() + x, kLogoCorner.y() + y, logo.pixel(x, y));
    return Save(page, argv[1]) ? 0 : 1;
}
