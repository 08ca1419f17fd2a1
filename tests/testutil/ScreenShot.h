#pragma once
// What an end-to-end test sees of a screen: the pixels of an area, with the
// measures the tests judge a picture by, from any display system (an X
// server's root window, a Wayland compositor's output).
#include <cstdint>
#include <string>
#include <vector>

/// Pixels of a screen area, 0xRRGGBB, row by row.
struct tScreenShot {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    bool Empty() const { return pixels.empty(); }
    /// Number of different colours.
    int Colours() const;
    /// Share of pixels that differ from the other shot's (1 when sizes differ).
    double ChangedShare(const tScreenShot& other) const;
    /// Pixels within the tolerance of the colour, per channel.
    int Count(uint32_t colour, int tolerance = 8) const;
    /// The part x, y, w, h of the shot.
    tScreenShot Part(int x, int y, int w, int h) const;
    /// Writes the shot as a PNG file (to look at what a test saw).
    bool Save(const std::string& path) const;
};
/// Root mean square difference of two equally sized shots, 0 to 1.
double Difference(const tScreenShot& a, const tScreenShot& b);

/// A PNG file as a shot (empty when it cannot be read).
tScreenShot LoadShot(const std::string& path);
