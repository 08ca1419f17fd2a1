#include "ScreenShot.h"

#include "uPage.h"

#include <algorithm>
#include <cmath>
#include <set>

int tScreenShot::Colours() const { return static_cast<int>(std::set<uint32_t>(pixels.begin(), pixels.end()).size()); }

double tScreenShot::ChangedShare(const tScreenShot& other) const
{
    if (pixels.empty() || pixels.size() != other.pixels.size())
        return 1.0;
    size_t changed = 0;
    for (size_t i = 0; i < pixels.size(); ++i)
        changed += pixels[i] != other.pixels[i];
    return static_cast<double>(changed) / static_cast<double>(pixels.size());
}

int tScreenShot::Count(uint32_t colour, int tolerance) const
{
    int n = 0;
    for (const uint32_t p : pixels) {
        bool near = true;
        for (int shift : {0, 8, 16})
            near = near && std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((colour >> shift) & 0xFF)) <=
                               tolerance;
        n += near;
    }
    return n;
}

tScreenShot tScreenShot::Part(int x, int y, int w, int h) const
{
    tScreenShot part;
    x = std::clamp(x, 0, width);
    y = std::clamp(y, 0, height);
    part.width = std::clamp(w, 0, width - x);
    part.height = std::clamp(h, 0, height - y);
    for (int j = 0; j < part.height; ++j)
        for (int i = 0; i < part.width; ++i)
            part.pixels.push_back(At(x + i, y + j));
    return part;
}

bool tScreenShot::Save(const std::string& path) const
{
    tPage page;
    page.SetSize(width, height, pfRGBA);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t c = At(x, y);
            page.SetPixel(x, y, PackRGBA((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF, 255));
        }
    return page.SaveToPngFile(path);
}

double Difference(const tScreenShot& a, const tScreenShot& b)
{
    if (a.pixels.size() != b.pixels.size() || a.pixels.empty())
        return 1;
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        for (int shift : {0, 8, 16}) {
            const double d = (static_cast<int>((a.pixels[i] >> shift) & 0xFF) -
                              static_cast<int>((b.pixels[i] >> shift) & 0xFF)) / 255.0;
            sum += d * d;
        }
    return std::sqrt(sum / (3.0 * static_cast<double>(a.pixels.size())));
}

tScreenShot LoadShot(const std::string& path)
{
    tScreenShot shot;
    tPage page;
    if (!page.LoadFromPng(path))
        return shot;
    shot.width = page.Width();
    shot.height = page.Height();
    shot.pixels.reserve(static_cast<size_t>(shot.width) * shot.height);
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const uint32_t c = page.GetPixel(x, y);
            shot.pixels.push_back((c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF));
        }
    return shot;
}
