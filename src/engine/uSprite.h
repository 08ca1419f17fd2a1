#pragma once
// Sprites: drawable pieces of hardware pages.
//   - tSprite: the base, a name and a hotspot; draws nothing
//   - tImageSprite: an integer rectangle of a page; tPatternSprite owns its page
//   - tSpriteImage: a float rectangle; tSpriteImageRef belongs to a sprite page
//   - tSpritePage: one picture file on a hardware page, cut into sprites
// A sprite whose Page() is none draws nothing.
#include "uMath.h"
#include "uPage.h"
#include "uPageGLhw.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class tSprite {
public:
    tSprite() = default;
    virtual ~tSprite() = default;
    tSprite(const tSprite&) = delete;
    tSprite& operator=(const tSprite&) = delete;

    virtual int32_t Width() const { return 0; }
    virtual int32_t Height() const { return 0; }
    /// Brings the sprite's texture up to date with its pixels.
    virtual void Refresh() {}
    virtual std::string Describe() const { return "dummy"; }
    /// Unscaled and opaque, the hotspot at (x, y).
    virtual void DrawAt(int32_t /*x*/, int32_t /*y*/) {}
    /// Through the draw parameters, the pivot at (x, y).
    virtual void DrawWith(const tDrawParams& /*params*/, double /*x*/, double /*y*/) {}
    virtual void Dump(std::ostream& /*out*/) const {}
    /// The page the sprite draws from; none for the base kinds.
    virtual tPageGLhw* Page() const { return nullptr; }

    std::string name = "sprite";
    /// The sprite's point that DrawAt places at the given position.
    tVector2 hotspot;
    /// Free for the owner's use.
    uint32_t tag = 0;
};

/// A list of sprites that sprite pages can add to.
using tSpriteList = std::vector<tSprite*>;

class tImageSprite : public tSprite {
public:
    int32_t Width() const override { return rect.right - rect.left + 1; }
    int32_t Height() const override { return rect.bottom - rect.top + 1; }
    std::string Describe() const override;
    void DrawAt(int32_t x, int32_t y) override;
    void DrawWith(const tDrawParams& params, double x, double y) override;
    /// The middle of the rectangle in whole pixels (halves rounded down).
    void CentreHotspot();

    /// Inclusive rectangle on the page.
    tRect rect;
};

class tPatternSprite : public tImageSprite {
public:
    /// A sprite of width × height pixels with its rectangle at (left, top) on
    /// a new pfRGBA hardware page of the interface whose sides are the powers
    /// of two at or above width and height. With a source page, the sprite's
    /// rectangle of it is copied to the same place of the new page (what
    /// falls outside is dropped); then the page is uploaded. Callers fill
    /// the page and Refresh.
    tPatternSprite(tOpenGLInterface& gl, const tPage* source, int32_t width, int32_t height, int32_t left = 0,
                   int32_t top = 0);

    void Refresh() override;
    tPageGLhw* Page() const override { return page_.get(); }

private:
    std::unique_ptr<tPageGLhw> page_;
};

class tSpriteImage : public tSprite {
public:
    /// Width and height of the inclusive float rectangle, rounded.
    int32_t Width() const override;
    int32_t Height() const override;
    void DrawAt(int32_t x, int32_t y) override;
    void DrawWith(const tDrawParams& params, double x, double y) override;
    /// "    TopLeft   [x,y]" and "    Size      [w,h]" on two lines.
    void Dump(std::ostream& out) const override;

    /// Top-left (x, y); bottom-right (x + width − 1, y + height − 1); hotspot (0, 0).
    void SetRect(extended x, extended y, extended width, extended height);
    /// The exact middle of the rectangle.
    void CentreHotspot();
    /// The float rectangle rounded to whole pixels.
    tRect IntRect() const;

    tVector2 topLeft;
    tVector2 bottomRight;
    /// Spare vector of the owner's.
    tVector2 extra;
};

class tSpritePage;

class tSpriteImageRef : public tSpriteImage {
public:
    /// A sprite of the sprite page (not owned); without one it still works
    /// but draws nothing.
    explicit tSpriteImageRef(tSpritePage* spritePage);
    /// The sprite page's page; without a sprite page a warning and none.
    tPageGLhw* Page() const override;
    tSpritePage* SpritePage() const { return spritePage_; }

private:
    tSpritePage* spritePage_ = nullptr;
};

class tSpritePage {
public:
    /// An empty sprite page whose picture goes onto a page of the interface.
    tSpritePage(tOpenGLInterface& gl, std::string name);
    virtual ~tSpritePage();
    tSpritePage(const tSpritePage&) = delete;
    tSpritePage& operator=(const tSpritePage&) = delete;

    int Count() const { return static_cast<int>(sprites_.size()); }
    /// Sprite i, none when out of range.
    tSpriteImageRef* Sprite(int i) const;
    void Clear();

    void LoadFromFile(const std::string& fileName);
    /// Reloads the picture file (a PNG whatever its extension) and uploads it.
    void Restore();
    /// A sprite of the rectangle (x, y, width, height), each rounded to whole
    /// pixels, centred when centreHotspots is on, owned by this page and also
    /// appended to the collection when one is given. None when the sprite
    /// cannot be made.
    tSpriteImageRef* AddSprite(tSpriteList* collection, double x, double y, double width, double height);

    tPageGLhw* Page() const { return page_.get(); }
    const std::string& FileName() const { return fileName_; }
    const std::string& Name() const { return name_; }
    bool centreHotspots = true;
    /// Larger pictures are refused as damaged ones are.
    int64_t maxPicturePixels = tPage::kMaxPngPixels;

protected:
    /// Makes one sprite; a seam for tests of running out of memory.
    virtual std::unique_ptr<tSpriteImageRef> NewSprite();

private:
    std::string fileName_;
    std::vector<std::unique_ptr<tSpriteImageRef>> sprites_;
    std::string name_;
    std::unique_ptr<tPageGLhw> page_;
};
