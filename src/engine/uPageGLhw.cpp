// Sections: pbuffer link; page manager; hardware page life cycle; the draws.
#include "uPageGLhw.h"

#include "uAssert.h"
#include "uLog.h"

#include <GL/gl.h>

#include <algorithm>

// ---------------------------------------------------------------------------
// Pbuffer link
// ---------------------------------------------------------------------------

void tPbufferLink::MakeCurrent()
{
    Assert(deviceContext != 0, "uPbuffer", 47);
    Assert(renderingContext != nullptr, "uPbuffer", 48);
    if (!renderingContext->MakeCurrent())
        LogWarning(2, "Could not change current context");
}

void tPbufferLink::BindAsTexture() { glBindTexture(GL_TEXTURE_2D, textureName); }

void tPbufferLink::Release() {}

// ---------------------------------------------------------------------------
// Page manager
// ---------------------------------------------------------------------------

void tPageManager::Add(tPageGLhw* page)
{
    Assert(page != nullptr, "uPageManager", 77);
    if (IndexOf(page) < 0)
        pages_.push_back(page);
}

int tPageManager::IndexOf(const tPageGLhw* page) const
{
    if (!page)
        return -1;
    const auto it = std::find(pages_.begin(), pages_.end(), page);
    return it == pages_.end() ? -1 : static_cast<int>(it - pages_.begin());
}

tPageGLhw* tPageManager::Get(int i) const
{
    return i >= 0 && i < Count() ? pages_[static_cast<size_t>(i)] : nullptr;
}

void tPageManager::Remove(tPageGLhw* page)
{
    if (const int i = IndexOf(page); i >= 0)
        pages_.erase(pages_.begin() + i);
}

void tPageManager::PageChanged(tPageGLhw* /*page*/) { state = 0; }

// ---------------------------------------------------------------------------
// Hardware page
// ---------------------------------------------------------------------------

tPageGLhw::tPageGLhw(tOpenGLInterface& gl, tPageManager* manager)
{
    texture_ = std::make_unique<tGltexture>(&gl, "TEX_" + Name());
    if (manager) {
        manager_ = manager;
        manager->Add(this);
    }
    mipmapped = false;
}

tPageGLhw::~tPageGLhw()
{
    texture_.reset();
    if (manager_)
        manager_->Remove(this);
}

void tPageGLhw::Changed()
{
    if (manager_)
        manager_->PageChanged(this);
}

int tPageGLhw::SetSize(int32_t width, int32_t height, uint8_t format, bool /*makeGdiBitmap*/)
{
    const int result = tPage::SetSize(width, height, format, false);
    if (texture_) {
        if (result == 0 && static_cast<int64_t>(Width()) * Height() > 0)
            texture_->SetSize(Width(), Height());
        else
            texture_->FreeStorage();
    }
    Changed();
    return result;
}

void tPageGLhw::Upload()
{
    if (texture_)
        texture_->UploadPage(this, mipmapped);
    Changed();
}

void tPageGLhw::FreeTexture()
{
    if (drawnTexture_ == texture_.get())
        drawnTexture_ = nullptr;
    texture_.reset();
    Changed();
}

bool tPageGLhw::HasStorage() const
{
    const tGltexture* t = DrawnTexture();
    return t && t->IsValid();
}

// ---------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------

namespace {

struct tRGBA {
    GLfloat r = 1, g = 1, b = 1, a = 1;
};

/// Sets the blend state of the mode and returns the colour alpha it asks
/// for. The constant-alpha mode 2 is not offered to 3-D polygons.
GLfloat ApplyBlendMode(const tDrawParams& params, bool constantAlpha)
{
    const auto alpha = static_cast<GLfloat>(params.Alpha);
    switch (params.BlendMode) {
    case 0:
        glDisable(GL_BLEND);
        return 1;
    case 1:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        return 1;
    case 2:
        if (constantAlpha) {
            glEnable(GL_BLEND);
            glBlendFunc(GL_CONSTANT_ALPHA, GL_ONE_MINUS_CONSTANT_ALPHA);
            glBlendColor(1, 1, 1, alpha);
        }
        return 1;
    case 3:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        return alpha;
    case 4:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        return alpha;
    default:
        return 1;
    }
}

tRGBA DrawColorOf(const tDrawParams& params, bool constantAlpha, GLfloat tintScale)
{
    tRGBA c;
    c.a = ApplyBlendMode(params, constantAlpha);
    if (params.Tinted) {
        c.r = params.Tint.r / tintScale;
        c.g = params.Tint.g / tintScale;
        c.b = params.Tint.b / tintScale;
    }
    return c;
}

GLfloat F(extended v) { return static_cast<GLfloat>(v); }

} // namespace

int tPageGLhw::DrawRect(const tRect& source, int32_t x, int32_t y)
{
    if (!HasStorage())
        return -1;
    const tGltexture& t = *DrawnTexture();
    t.Bind();
    const int32_t w = source.right - source.left + 1;
    const int32_t h = source.bottom - source.top + 1;
    const GLfloat tw = static_cast<GLfloat>(t.Width());
    const GLfloat th = static_cast<GLfloat>(t.Height());
    const GLfloat u0 = static_cast<GLfloat>(source.left) / tw;
    const GLfloat u1 = static_cast<GLfloat>(source.right) / tw;
    const GLfloat v0 = static_cast<GLfloat>(source.top) / th;
    const GLfloat v1 = static_cast<GLfloat>(source.bottom) / th;
    const auto fx = static_cast<GLfloat>(x);
    const auto fy = static_cast<GLfloat>(y);
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_TRIANGLE_STRIP);
    glTexCoord2f(u0, v1);
    glVertex3f(fx, fy + static_cast<GLfloat>(h), 0);
    glTexCoord2f(u1, v1);
    glVertex3f(fx + static_cast<GLfloat>(w), fy + static_cast<GLfloat>(h), 0);
    glTexCoord2f(u0, v0);
    glVertex3f(fx, fy, 0);
    glTexCoord2f(u1, v0);
    glVertex3f(fx + static_cast<GLfloat>(w), fy, 0);
    glEnd();
    CheckGL("tPageGLhw.DrawRect");
    return 0;
}

int tPageGLhw::DrawEx(const tRect& source, const tVector2& position, const tDrawParams& params)
{
    if (!HasStorage() || static_cast<int64_t>(Width()) * Height() == 0)
        return -1;
    const tGltexture& t = *DrawnTexture();
    if (pbuffer)
        pbuffer->BindAsTexture();
    else
        t.Bind();

    const extended w = source.right - source.left;
    const extended h = source.bottom - source.top;
    tVector2 corners[4] = {{0, h}, {w, h}, {0, 0}, {w, 0}};
    for (tVector2& c : corners) {
        c = c - params.Pivot;
        if (params.ScaleX != 1 || params.ScaleY != 1) {
            c.x *= params.ScaleX;
            c.y *= params.ScaleY;
        }
        if (params.Angle != 0)
            c = c.Rotated(params.Angle);
        c += position;
    }

    const tRGBA color = DrawColorOf(params, true, 256);
    const GLfloat tw = static_cast<GLfloat>(t.Width());
    const GLfloat th = static_cast<GLfloat>(t.Height());
    const GLfloat u[4] = {source.left / tw, source.right / tw, source.left / tw, source.right / tw};
    const GLfloat v[4] = {source.bottom / th, source.bottom / th, source.top / th, source.top / th};
    glColor4f(color.r, color.g, color.b, color.a);
    glBegin(GL_TRIANGLE_STRIP);
    for (int i = 0; i < 4; ++i) {
        glTexCoord2f(u[i], v[i]);
        glVertex3f(F(corners[i].x), F(corners[i].y), 0);
    }
    glEnd();
    if (pbuffer)
        pbuffer->Release();
    CheckGL("tPageGLhw.DrawEx");
    return 0;
}

int tPageGLhw::DrawPolygon(const tVector2& position, const std::vector<tVector2>& vertices,
                           const std::vector<tVector2>& texCoords, const tDrawParams& params)
{
    if (!HasStorage())
        return -1;
    Assert(vertices.size() == texCoords.size(), "uPageGLhw", 153);
    DrawnTexture()->Bind();
    const tRGBA color = DrawColorOf(params, true, 256);
    glColor4f(color.r, color.g, color.b, color.a);
    glBegin(GL_POLYGON);
    for (size_t i = 0; i < vertices.size(); ++i) {
        tVector2 v = vertices[i].Rotated(params.Angle);
        v.x = v.x * params.ScaleX + position.x;
        v.y = v.y * params.ScaleY + position.y;
        glTexCoord2f(F(texCoords[i].x), F(texCoords[i].y));
        glVertex3f(F(v.x), F(v.y), 0);
    }
    glEnd();
    CheckGL("tPageGLhw.DrawPolygon");
    return -1;
}

void tPageGLhw::DrawPolygon3D(const tVector3& translation, const tVector3& rotation,
                              const std::vector<tVector3>& vertices, const std::vector<tVector2>& texCoords,
                              const std::vector<tPackedColor>& colors, const tDrawParams& params)
{
    if (!HasStorage())
        return;
    Assert(vertices.size() == texCoords.size(), "uPageGLhw", 409);
    DrawnTexture()->Bind();
    const tRGBA color = DrawColorOf(params, false, 255);
    glColor4f(color.r, color.g, color.b, color.a);
    glPushMatrix();
    glTranslatef(F(translation.x), F(translation.y), F(translation.z));
    glRotatef(F(rotation.x), 1, 0, 0);
    glRotatef(F(rotation.y), 0, 1, 0);
    glRotatef(F(rotation.z), 0, 0, 1);
    glBegin(GL_POLYGON);
    for (size_t i = 0; i < vertices.size(); ++i) {
        if (i < colors.size()) {
            const tPackedColor c = colors[i];
            glColor4f(RedOf(c) / 255.0f, GreenOf(c) / 255.0f, BlueOf(c) / 255.0f, AlphaOf(c) / 255.0f);
        } else {
            glColor4f(color.r, color.g, color.b, color.a);
        }
        glTexCoord2f(F(texCoords[i].x), F(texCoords[i].y));
        glVertex3f(F(vertices[i].x), F(vertices[i].y), F(vertices[i].z));
    }
    glEnd();
    glPopMatrix();
    CheckGL("tPageGLhw.DrawPolygon3D");
}
