// Sections: image sprites; pattern sprites; float-rectangle sprites; sprite pages.
#include "uSprite.h"

#include "uFormat.h"
#include "uLog.h"

#include <new>

// ---------------------------------------------------------------------------
// tImageSprite
// ---------------------------------------------------------------------------

std::string tImageSprite::Describe() const { return "image " + IntToStr(Width()) + "x" + IntToStr(Height()); }

void tImageSprite::DrawAt(int32_t x, int32_t y)
{
    if (tPageGLhw* page = Page())
        page->DrawRect(rect, static_cast<int32_t>(Round(x - hotspot.x)), static_cast<int32_t>(Round(y - hotspot.y)));
}

void tImageSprite::DrawWith(const tDrawParams& params, double x, double y)
{
    if (tPageGLhw* page = Page())
        page->DrawEx(rect, {x, y}, params);
}

void tImageSprite::CentreHotspot()
{
    hotspot = {static_cast<extended>((rect.right - rect.left) / 2), static_cast<extended>((rect.bottom - rect.top) / 2)};
}

// ---------------------------------------------------------------------------
// tPatternSprite
// ---------------------------------------------------------------------------

tPatternSprite::tPatternSprite(tOpenGLInterface& gl, const tPage* source, int32_t width, int32_t height, int32_t left,
                               int32_t top)
{
    rect = {left, top, left + width - 1, top + height - 1};
    hotspot = {0, 0};
    page_ = std::make_unique<tPageGLhw>(gl);
    page_->SetSize(TextureSide(width), TextureSide(height), pfRGBA);
    if (source)
        source->CopyToPageSlow(rect, *page_, left, top);
    page_->Upload();
}

void tPatternSprite::Refresh() { page_->Upload(); }

// ---------------------------------------------------------------------------
// tSpriteImage
// ---------------------------------------------------------------------------

int32_t tSpriteImage::Width() const { return static_cast<int32_t>(Round(bottomRight.x - topLeft.x + 1)); }
int32_t tSpriteImage::Height() const { return static_cast<int32_t>(Round(bottomRight.y - topLeft.y + 1)); }

tRect tSpriteImage::IntRect() const
{
    return {static_cast<int32_t>(Round(topLeft.x)), static_cast<int32_t>(Round(topLeft.y)),
            static_cast<int32_t>(Round(bottomRight.x)), static_cast<int32_t>(Round(bottomRight.y))};
}

void tSpriteImage::DrawAt(int32_t x, int32_t y)
{
    if (tPageGLhw* page = Page())
        page->DrawRect(IntRect(), static_cast<int32_t>(Round(x - hotspot.x)),
                       static_cast<int32_t>(Round(y - hotspot.y)));
}

void tSpriteImage::DrawWith(const tDrawParams& params, double x, double y)
{
    if (tPageGLhw* page = Page())
        page->DrawEx(IntRect(), {x, y}, params);
}

void tSpriteImage::Dump(std::ostream& out) const
{
    const tVector2 size{bottomRight.x - topLeft.x + 1, bottomRight.y - topLeft.y + 1};
    out << "    TopLeft   " << VectorText(topLeft) << "\n";
    out << "    Size      " << VectorText(size) << "\n";
}

void tSpriteImage::SetRect(extended x, extended y, extended width, extended height)
{
    topLeft = {x, y};
    bottomRight = {x + width - 1, y + height - 1};
    hotspot = {0, 0};
}

void tSpriteImage::CentreHotspot()
{
    hotspot = {(bottomRight.x - topLeft.x) / 2, (bottomRight.y - topLeft.y) / 2};
}

// ---------------------------------------------------------------------------
// tSpriteImageRef
// ---------------------------------------------------------------------------

tSpriteImageRef::tSpriteImageRef(tSpritePage* spritePage) : spritePage_(spritePage)
{
    if (!spritePage)
        LogWarning(1, "Creating tImageSprite with unassinged parent page!");
}

tPageGLhw* tSpriteImageRef::Page() const
{
    if (!spritePage_) {
        LogWarning(1, "Sprite has not parent!");
        return nullptr;
    }
    return spritePage_->Page();
}

// ---------------------------------------------------------------------------
// tSpritePage
// ---------------------------------------------------------------------------

tSpritePage::tSpritePage(tOpenGLInterface& gl, std::string name)
    : name_(std::move(name)), page_(std::make_unique<tPageGLhw>(gl))
{
}

tSpritePage::~tSpritePage()
{
    Clear();
    page_.reset();
}

tSpriteImageRef* tSpritePage::Sprite(int i) const
{
    return i >= 0 && i < Count() ? sprites_[static_cast<size_t>(i)].get() : nullptr;
}

void tSpritePage::Clear() { sprites_.clear(); }

void tSpritePage::LoadFromFile(const std::string& fileName)
{
    fileName_ = fileName;
    Restore();
}

void tSpritePage::Restore()
{
    if (!page_) {
        LogWarning(1, "Restore page called on \"" + fileName_ + "\", but no page exists!");
        return;
    }
    page_->FreeBuffer();
    if (page_->LoadFromPng(fileName_, maxPicturePixels))
        page_->Upload();
    else
        LogWarning(1, "Could not open file \"" + fileName_ + "\"");
}

std::unique_ptr<tSpriteImageRef> tSpritePage::NewSprite() { return std::make_unique<tSpriteImageRef>(this); }

tSpriteImageRef* tSpritePage::AddSprite(tSpriteList* collection, double x, double y, double width, double height)
{
    std::unique_ptr<tSpriteImageRef> made;
    try {
        made = NewSprite();
    } catch (const std::bad_alloc&) {
        made.reset();
    }
    if (!made)
        LogWarning(1, "Could not allocate sprite object!");
    tSpriteImageRef* sprite = made.get();
    if (sprite) {
        sprite->SetRect(static_cast<extended>(Round(x)), static_cast<extended>(Round(y)),
                        static_cast<extended>(Round(width)), static_cast<extended>(Round(height)));
        if (centreHotspots)
            sprite->CentreHotspot();
        sprites_.push_back(std::move(made));
    }
    if (collection) {
        if (sprite)
            collection->push_back(sprite);
        else
            LogWarning(1, "Could not assign sprite to collection as it is not assigned!");
    }
    return sprite;
}
