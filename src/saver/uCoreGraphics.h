#pragma once
// The core graphics: the picture file "gfxdata.dat" beside the program, a
// PNG cut into sprites. Its first sprite is the product's logo, which the
// desktop transition shows over its progress bar.
#include <cstdint>
#include <memory>
#include <string>

class tOpenGLInterface;
class tSprite;
class tSpritePage;

/// A sprite's place on the page, in pixels.
struct tSpriteArea {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

inline constexpr tSpriteArea kLogoSpriteArea{1, 1, 250, 72};
/// The largest picture the file may hold: a few sprites need far less, and
/// a huge one would hold up every start for seconds and take gigabytes.
inline constexpr int64_t kMaxCoreGraphicsPixels = 2048 * 2048;

/// "Loading core graphics": makes the sprite page "GfxData" on the interface
/// (whose context is current), loads the file into it and cuts the sprites,
/// the logo first. A file that is missing, unreadable, too small for the logo
/// or larger than kMaxCoreGraphicsPixels gives the warning "Could not load
/// resource file " + fileName and a page without sprites; nothing stops.
std::unique_ptr<tSpritePage> LoadCoreGraphics(tOpenGLInterface& gl, const std::string& fileName);

/// The logo (sprite 0), or none when the page has no sprites.
tSprite* CoreGraphicsLogo(const tSpritePage* page);
