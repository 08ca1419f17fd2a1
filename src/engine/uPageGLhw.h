#pragma once
// Pages that draw themselves through OpenGL.
//   - tPbufferLink: an off-screen context whose image can replace a texture
//   - tPageManager: a registry of hardware pages
//   - tPageGLhw: a page with its own texture, drawn as textured quads and
//     polygons with scale, rotation, pivot, blend modes and tint
#include "uColor.h"
#include "uMath.h"
#include "uOpenGL.h"
#include "uPage.h"

#include <cstdint>
#include <memory>
#include <vector>

class tPageGLhw;

/// An off-screen rendering context whose image a page can draw instead of its
/// own texture. Nothing in the program creates one; the drawing code keeps
/// the hook. Binding a pbuffer's image as a texture has no counterpart on
/// GLX, so BindAsTexture binds the link's texture name and Release does
/// nothing: a link is drawn from whatever was copied into that texture.
struct tPbufferLink {
    /// The drawable (device context) and the rendering context.
    uint64_t deviceContext = 0;
    tGLContext* renderingContext = nullptr;
    uint32_t textureName = 0;
    uint64_t pbuffer = 0;

    /// Asserts both contexts and makes the link's context current; a failure
    /// is logged.
    void MakeCurrent();
    void BindAsTexture();
    void Release();
};

/// A list of hardware pages that hears about every change of theirs.
class tPageManager {
public:
    /// Appends the page unless it is listed already (the page is required).
    void Add(tPageGLhw* page);
    /// Position in the list, -1 when not listed (or none).
    int IndexOf(const tPageGLhw* page) const;
    /// The page at i, none when out of range.
    tPageGLhw* Get(int i) const;
    void Remove(tPageGLhw* page);
    /// A page was resized, uploaded or lost its texture.
    void PageChanged(tPageGLhw* page);
    int Count() const { return static_cast<int>(pages_.size()); }

    /// Reset to 0 by every change; not read by the engine.
    uint32_t state = 0;

private:
    std::vector<tPageGLhw*> pages_;
};

class tPageGLhw : public tPage {
public:
    /// A page with a texture (named "TEX_" + the page's name) on the given
    /// OpenGL interface, registered with the manager when one is given. The
    /// page draws in whatever scene of that interface it is drawn in.
    explicit tPageGLhw(tOpenGLInterface& gl, tPageManager* manager = nullptr);
    ~tPageGLhw() override;

    /// Resizes the page (never with a bitmap of the platform) and the
    /// texture storage with it; a page without pixels releases the storage.
    int SetSize(int32_t width, int32_t height, uint8_t format, bool makeGdiBitmap = false) override;
    /// The inclusive source rectangle unscaled and opaque, its corner at (x, y):
    /// (0, 0, 9, 9) covers 10 × 10 pixels. 0 when drawn, -1 without storage.
    int DrawRect(const tRect& source, int32_t x, int32_t y) override;
    /// The source rectangle as a quad of (right − left) × (bottom − top)
    /// units, its pivot at the position, scaled, turned (clockwise on screen
    /// for a positive angle) and blended by the parameters. 0 when drawn, -1
    /// without storage or for a page of zero size.
    int DrawEx(const tRect& source, const tVector2& position, const tDrawParams& params) override;
    /// A textured polygon: each vertex turned by the angle, scaled and moved
    /// to the position; texture coordinates are given normalised. The arrays
    /// must match in length. Always returns -1.
    int DrawPolygon(const tVector2& position, const std::vector<tVector2>& vertices,
                    const std::vector<tVector2>& texCoords, const tDrawParams& params) override;
    /// A textured 3-D polygon turned about x, then y, then z (degrees) and
    /// moved by the translation; vertex i is coloured by colors[i] where the
    /// array has one. The tint is divided by 255 here.
    void DrawPolygon3D(const tVector3& translation, const tVector3& rotation, const std::vector<tVector3>& vertices,
                       const std::vector<tVector2>& texCoords, const std::vector<tPackedColor>& colors,
                       const tDrawParams& params);

    /// Copies the pixels into the texture (a full mipmap chain when mipmapped).
    void Upload();
    /// Destroys the texture object; the page draws nothing afterwards.
    void FreeTexture();

    tGltexture* Texture() const { return texture_.get(); }
    /// Draws another texture (not owned) in place of the page's own; none
    /// returns to the own texture. The zoom path's keyframe sprites show
    /// their path's textures this way.
    void SetDrawnTexture(tGltexture* texture) { drawnTexture_ = texture; }
    /// The texture the draws use.
    tGltexture* DrawnTexture() const { return drawnTexture_ ? drawnTexture_ : texture_.get(); }
    tPageManager* Manager() const { return manager_; }

    /// When set the draws bind the pbuffer's image (not owned).
    tPbufferLink* pbuffer = nullptr;
    bool mipmapped = false;

private:
    void Changed();
    bool HasStorage() const;

    tPageManager* manager_ = nullptr;
    std::unique_ptr<tGltexture> texture_;
    tGltexture* drawnTexture_ = nullptr;
};
