#include "uCoreGraphics.h"

#include "uLog.h"
#include "uOpenGL.h"
#include "uSprite.h"

#include <exception>
#include <stdexcept>

namespace {

/// The sprites of the page, in the order the program refers to them.
constexpr tSpriteArea kSpriteAreas[] = {kLogoSpriteArea};

bool HoldsArea(const tPage& page, const tSpriteArea& area)
{
    return page.Width() >= area.x + area.width && page.Height() >= area.y + area.height;
}

} // namespace

std::unique_ptr<tSpritePage> LoadCoreGraphics(tOpenGLInterface& gl, const std::string& fileName)
{
    LogNote(1, "Loading core graphics");
    auto page = std::make_unique<tSpritePage>(gl, "GfxData");
    page->maxPicturePixels = kMaxCoreGraphicsPixels;
    try {
        page->LoadFromFile(fileName);
        for (const tSpriteArea& area : kSpriteAreas) {
            // A picture that cannot hold a sprite is no usable resource file.
            if (!HoldsArea(*page->Page(), area))
                throw std::runtime_error("the picture is too small for its sprites");
            tSpriteImageRef* sprite = page->AddSprite(nullptr, area.x, area.y, area.width, area.height);
            if (!sprite)
                throw std::runtime_error("a sprite could not be made");
            sprite->Refresh();
        }
    } catch (const std::exception&) {
        page->Clear();
        LogWarning(1, "Could not load resource file " + fileName);
    }
    return page;
}

tSprite* CoreGraphicsLogo(const tSpritePage* page) { return page ? page->Sprite(0) : nullptr; }
