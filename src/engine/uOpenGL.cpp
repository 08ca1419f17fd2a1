// Sections: error checking; interface creation and projections; frames;
// untextured drawing; full screen and textures of the interface; tGltexture.
#include "uOpenGL.h"

#include "uAssert.h"
#include "uFormat.h"
#include "uGraphicsFailure.h"
#include "uLog.h"
#include "uPage.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <numbers>
#include <vector>

// ---------------------------------------------------------------------------
// Error checking
// ---------------------------------------------------------------------------

namespace {
#ifdef NDEBUG
bool glErrorChecking = false;
#else
bool glErrorChecking = true;
#endif

std::string GLErrorText(GLenum error)
{
    const auto* text = reinterpret_cast<const char*>(gluErrorString(error));
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(error));
    return text ? std::string(code) + " (" + text + ")" : std::string(code);
}
} // namespace

void SetGLErrorChecking(bool on) { glErrorChecking = on; }
bool GLErrorChecking() { return glErrorChecking; }

void CheckGL(const char* after)
{
    if (!glErrorChecking)
        return;
    std::string errors;
    // A lost context keeps reporting errors; a bounded loop cannot hang.
    for (int i = 0; i < 16; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR)
            break;
        errors += (errors.empty() ? "" : ", ") + GLErrorText(error);
    }
    if (errors.empty())
        return;
    const std::string message = std::string("OpenGL error ") + errors + " after " + after;
    LogWarning(1, message);
    AssertionFailure(message, "uOpenGL", __LINE__);
}

void ReadBackBuffer(int32_t width, int32_t height, tPage& page)
{
    page.SetSize(width, height, pfRGBA);
    std::vector<uint32_t> bottomUp(static_cast<size_t>(width) * height);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    CheckGL("ReadBackBuffer");
    uint32_t* rows = page.Words();
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* source = bottomUp.data() + static_cast<size_t>(height - 1 - y) * width;
        uint32_t* target = rows + static_cast<size_t>(y) * (page.Stride() / 4);
        for (int32_t x = 0; x < width; ++x)
            target[x] = source[x] | 0xFF000000u;
    }
}

double GLVersionStep(const std::string& versionText)
{
    int major = 0;
    int minor = 0;
    if (std::sscanf(versionText.c_str(), "%d.%d", &major, &minor) != 2 || major < 1)
        return 1.0;
    if (major > 1 || minor >= 5)
        return 1.5;
    static constexpr double kSteps[] = {1.0, 1.1, 1.2, 1.3, 1.4};
    return kSteps[std::max(minor, 0)];
}

// ---------------------------------------------------------------------------
// Creation and projections
// ---------------------------------------------------------------------------

std::unique_ptr<tOpenGLInterface> tOpenGLInterface::Create(tWindowHandle window)
{
    std::unique_ptr<tOpenGLInterface> gl(new tOpenGLInterface());
    gl->Setup(std::move(window));
    return gl;
}

std::unique_ptr<tOpenGLInterface> tOpenGLInterface::CreateOnForm(tWindowHandle form)
{
    std::unique_ptr<tOpenGLInterface> gl = Create(form);
    gl->form_ = std::move(form);
    gl->textureMemory_ = 0;
    return gl;
}

void tOpenGLInterface::Setup(tWindowHandle window)
{
    initialised_ = false;
    Assert(window != nullptr, "uOpenGL", 834, "OpenGL interface must be assosiated with a valid handle");
    renderParams_ = std::make_unique<tGLrenderParams>();
    form_ = nullptr;
    window_ = std::move(window);
    drawColor = PackRGBA(0, 255, 0, 255);
    fullScreenWidth = 640;
    fullScreenHeight = 480;
    fullScreenBits = 32;
    fullScreen_ = false;

    // A context that exists but cannot be made current is as useless as none.
    try {
        context_ = std::make_unique<tGLContext>(window_);
        if (!context_->MakeCurrent())
            throw std::runtime_error("The OpenGL context could not be made current");
    } catch (const std::exception&) {
        throw EGraphicsFailure(EGraphicsFailure::tKind::NoContext, "Could not create OpenGL render context");
    }
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    glVersion_ = GLVersionStep(version ? version : "");

    SetupOrtho(WindowWidth(), WindowHeight());

    glShadeModel(GL_SMOOTH);
    glClearDepth(1.0);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_TEXTURE_2D);
    CheckGL("the fixed render state");

    ClearBlack();
    initialised_ = true;
}

tOpenGLInterface::~tOpenGLInterface()
{
    // Textures that outlive the interface lose their names with the context.
    for (tGltexture* texture : textures_)
        texture->Detach();
    textures_.clear();
    renderParams_.reset();
    if (context_) {
        if (context_->MakeCurrent())
            DeleteDeferredTextures();
        context_->DoneCurrent();
        context_.reset();
    }
}

bool tOpenGLInterface::MakeCurrent() { return context_ && (context_->IsCurrent() || context_->MakeCurrent()); }

void tOpenGLInterface::SetupOrtho(int32_t width, int32_t height)
{
    width_ = width;
    height_ = height;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, width - 1, 0, height - 1);
    glViewport(0, 0, width - 1, height - 1);
    // Flipping y about the top edge of the (height − 1)-unit projection puts
    // pixel row 0 at the top of the window. Shifting by the full height would
    // move every 2-D draw one row up and leave the bottom row undrawn.
    glScalef(1, -1, 1);
    glTranslatef(0, static_cast<GLfloat>(-(height - 1)), 0);
    glMatrixMode(GL_MODELVIEW);
    CheckGL("SetupOrtho");
}

void tOpenGLInterface::SetupPerspective(int32_t width, int32_t height)
{
    width_ = width;
    height_ = height;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glViewport(0, 0, width - 1, height - 1);
    // A near plane of 0 makes every depth 1 (the far plane), which is
    // harmless: there is no depth buffer and depth testing is off. It also
    // keeps points far beyond 5000 units (the 10 000-unit floor) unclipped.
    gluPerspective(90, 1, 0, 5000);
    glScalef(2000, 2000, 1);
    glTranslatef(-0.5f, 0.5f, 0);
    glScalef(1.0f / static_cast<GLfloat>(width - 1), 1.0f / static_cast<GLfloat>(height - 1), 1);
    glScalef(1, 1, -1);
    glScalef(1, -1, 1);
    glTranslatef(0, 0, 1000);
    glMatrixMode(GL_MODELVIEW);
    CheckGL("SetupPerspective");
}

void tOpenGLInterface::SetupFog()
{
    const GLfloat black[4] = {0, 0, 0, 1};
    glFogi(GL_FOG_MODE, GL_EXP);
    glFogfv(GL_FOG_COLOR, black);
    glFogf(GL_FOG_DENSITY, 0.0015f);
    glHint(GL_FOG_HINT, GL_NICEST);
    glFogf(GL_FOG_START, 1);
    glFogf(GL_FOG_END, 10000);
    glEnable(GL_FOG);
    CheckGL("SetupFog");
}

void tOpenGLInterface::DisableFog()
{
    glDisable(GL_FOG);
    CheckGL("DisableFog");
}

int32_t tOpenGLInterface::WindowWidth() const
{
    Assert(window_ != nullptr, "uOpenGL", 693);
    const tRect r = WindowRect(window_);
    return r.right - r.left + 1;
}

int32_t tOpenGLInterface::WindowHeight() const
{
    Assert(window_ != nullptr, "uOpenGL", 693);
    const tRect r = WindowRect(window_);
    return r.bottom - r.top + 1;
}

// ---------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------

void tOpenGLInterface::Clear(tPackedColor color)
{
    glClearColor(RedOf(color) / 255.0f, GreenOf(color) / 255.0f, BlueOf(color) / 255.0f, AlphaOf(color) / 255.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    CheckGL("Clear");
}

void tOpenGLInterface::ClearBlack() { Clear(PackRGBA(0, 0, 0, 255)); }

void tOpenGLInterface::Present()
{
    DeleteDeferredTextures();
    glFlush();
    CheckGL("glFlush");
    if (!context_)
        return;
    std::string reason;
    if (!context_->SwapBuffers(reason))
        LogNote(2, "Could not swap openGL buffer because \"" + reason + "\"");
}

// ---------------------------------------------------------------------------
// Untextured drawing
// ---------------------------------------------------------------------------

namespace {
// Two scales are in use: the line draws divide by 256, the polygon fills by 255.
void ColorBy256(tPackedColor c)
{
    glColor4f(RedOf(c) / 256.0f, GreenOf(c) / 256.0f, BlueOf(c) / 256.0f, AlphaOf(c) / 256.0f);
}
void ColorBy255(tPackedColor c)
{
    glColor4f(RedOf(c) / 255.0f, GreenOf(c) / 255.0f, BlueOf(c) / 255.0f, AlphaOf(c) / 255.0f);
}
GLfloat F(extended v) { return static_cast<GLfloat>(v); }
} // namespace

void tOpenGLInterface::StandardBlend()
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void tOpenGLInterface::DrawLine(const tVector2& a, const tVector2& b)
{
    ColorBy256(drawColor);
    glBindTexture(GL_TEXTURE_2D, 0);
    StandardBlend();
    glBegin(GL_LINE_LOOP);
    glVertex2f(F(a.x), F(a.y));
    glVertex2f(F(b.x), F(b.y));
    glEnd();
    CheckGL("DrawLine");
}

void tOpenGLInterface::DrawCircle(const tVector2& centre, extended radius)
{
    ColorBy256(drawColor);
    glBindTexture(GL_TEXTURE_2D, 0);
    StandardBlend();
    const int64_t n = Round(2 * std::numbers::pi_v<extended> * radius / 4);
    glBegin(GL_LINE_LOOP);
    for (int64_t i = 1; i <= n; ++i) {
        const extended t = static_cast<extended>(i) * 360 / static_cast<extended>(n);
        glVertex2f(F(centre.x + radius * SinDeg(t)), F(centre.y - radius * CosDeg(t)));
    }
    glEnd();
    CheckGL("DrawCircle");
}

void tOpenGLInterface::FillRect(const tVector2& a, const tVector2& b)
{
    FillPolygon({0, 0}, {}, {a, {b.x, a.y}, b, {a.x, b.y}});
}

void tOpenGLInterface::FillPolygon(const tVector2& position, const std::vector<tPackedColor>& /*colors*/,
                                   const std::vector<tVector2>& vertices)
{
    ColorBy255(drawColor);
    glBindTexture(GL_TEXTURE_2D, 0);
    StandardBlend();
    glBegin(GL_POLYGON);
    for (const tVector2& v : vertices)
        glVertex3f(F(position.x + v.x), F(position.y + v.y), 0);
    glEnd();
    CheckGL("FillPolygon");
}

void tOpenGLInterface::FillPolygon3D(const tVector3& position, const std::vector<tPackedColor>& colors,
                                     const std::vector<tVector3>& vertices)
{
    ColorBy256(drawColor);
    glBindTexture(GL_TEXTURE_2D, 0);
    StandardBlend();
    glBegin(GL_POLYGON);
    for (size_t i = 0; i < vertices.size(); ++i) {
        ColorBy255(i < colors.size() ? colors[i] : drawColor);
        const tVector3 v = position + vertices[i];
        glVertex3f(F(v.x), F(v.y), F(v.z));
    }
    glEnd();
    CheckGL("FillPolygon3D");
}

// ---------------------------------------------------------------------------
// Full screen and texture bookkeeping
// ---------------------------------------------------------------------------

bool tOpenGLInterface::SwitchToFullScreen()
{
    if (!form_) {
        LogWarning(2, "Can not switch to fullscreen when attached to forien device context");
        return false;
    }
    if (!ModeSupported(fullScreenBits))
        return false;
    // The display mode stays as it is: the window covers the screen instead.
    if (!ShowWindowFullScreen(form_))
        return false;
    fullScreen_ = true;
    return true;
}

void tOpenGLInterface::LeaveFullScreen()
{
    if (!fullScreen_ || !form_)
        return;
    ShowWindowNormal(form_);
    fullScreen_ = false;
}

bool tOpenGLInterface::ModeSupported(int32_t /*bits*/) const { return true; }

void tOpenGLInterface::AddTexture(tGltexture* texture)
{
    Assert(texture != nullptr, "uOpenGL", 968, "Tried to add an invalud texture to openGL interface.");
    textures_.push_back(texture);
    texture->gl_ = this;
}

void tOpenGLInterface::RemoveTexture(tGltexture* texture)
{
    textures_.erase(std::remove(textures_.begin(), textures_.end(), texture), textures_.end());
}

void tOpenGLInterface::DeleteDeferredTextures()
{
    for (int i = 0; i < deferredDeletions_.Count(); ++i) {
        const auto name = static_cast<GLuint>(deferredDeletions_.IntValue(i));
        glDeleteTextures(1, &name);
    }
    deferredDeletions_.Clear();
}

// ---------------------------------------------------------------------------
// tGltexture
// ---------------------------------------------------------------------------

namespace {
void SetPixelTransferScale(GLfloat scale)
{
    glPixelTransferf(GL_RED_SCALE, scale);
    glPixelTransferf(GL_GREEN_SCALE, scale);
    glPixelTransferf(GL_BLUE_SCALE, scale);
    glPixelTransferf(GL_ALPHA_SCALE, scale);
}
} // namespace

int32_t TextureSide(int32_t n)
{
    if (n <= 0)
        return 0;
    int32_t side = 1;
    while (side < n && side < (1 << 30))
        side <<= 1;
    return side;
}

tGltexture::tGltexture(tOpenGLInterface* gl, std::string name) : tNamedClass(std::move(name))
{
    Assert(gl != nullptr, "uOpenGL", 353, "Texture must be assosiated with an OpenGL interface");
    gl_ = gl;
    Generate();
    gl->AddTexture(this);
}

tGltexture::~tGltexture()
{
    Delete(false);
    if (gl_)
        gl_->RemoveTexture(this);
}

void tGltexture::Generate()
{
    Delete(false);
    GLuint name = 0;
    glGenTextures(1, &name);
    textureName_ = name;
    glBindTexture(GL_TEXTURE_2D, name);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStoref(GL_UNPACK_ROW_LENGTH, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    CheckGL("tGltexture.Generate");
}

void tGltexture::Delete(bool deferred)
{
    if (textureName_ != 0 && gl_) {
        gl_->textureMemory_ -= MemorySize();
        if (deferred) {
            gl_->deferredDeletions_.Add(textureName_);
        } else {
            const GLuint name = textureName_;
            glDeleteTextures(1, &name);
            CheckGL("glDeleteTextures");
        }
    }
    textureName_ = 0;
    width_ = 0;
    height_ = 0;
}

void tGltexture::Detach()
{
    gl_ = nullptr;
    textureName_ = 0;
    width_ = 0;
    height_ = 0;
}

void tGltexture::SetSize(int32_t width, int32_t height)
{
    if (!HasName() || !gl_)
        return;
    int32_t w = TextureSide(width);
    int32_t h = TextureSide(height);
    if (w == 0 || h == 0)
        w = h = 0;
    if (w == width_ && h == height_)
        return;
    gl_->textureMemory_ -= MemorySize();
    width_ = w;
    height_ = h;
    Bind();
    // A 0 × 0 image releases the storage of the old size.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    CheckGL("glTexImage2D");
    gl_->textureMemory_ += MemorySize();
}

void tGltexture::FreeStorage()
{
    if (IsValid())
        SetSize(0, 0);
}

void tGltexture::Bind() const { glBindTexture(GL_TEXTURE_2D, textureName_); }

void tGltexture::UploadPage(const tPage* page, bool mipmaps)
{
    if (!HasName() || !gl_)
        return;
    Assert(page != nullptr, "uOpenGL", 312);
    GLenum format = GL_RGBA;
    GLenum type = GL_UNSIGNED_BYTE;
    switch (page->Format()) {
    case pfRGBA:
        break;
    case pfBGRA:
        format = GL_BGRA;
        break;
    case pfFloat4:
        type = GL_FLOAT;
        break;
    default:
        LogWarning(1, "Could not upload data video card as source format is not supported");
        return;
    }
    SetSize(page->Width(), page->Height());
    if (!IsValid() || !page->Pixels())
        return;
    Bind();
    // Alignment 1 and the row length in pixels let padded rows go up uncopied.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStoref(GL_UNPACK_ROW_LENGTH, static_cast<GLfloat>(page->Stride() * 8 / page->BitsPerPixel()));
    // A mipmap chain rescales the picture to fill its own power-of-two
    // square, which agrees with the storage only when the page has exactly
    // the storage's size; other pages keep the corner upload so that their
    // texture coordinates and the memory count stay true.
    // Float pages hold 0..255 while OpenGL reads floats as 0..1: scale them
    // on the way in, or every component above 1 would upload as full.
    const GLfloat scale = type == GL_FLOAT ? 1.0f / 255.0f : 1.0f;
    SetPixelTransferScale(scale);
    if (mipmaps && page->Width() == width_ && page->Height() == height_) {
        gluBuild2DMipmaps(GL_TEXTURE_2D, 4, page->Width(), page->Height(), format, type, page->Pixels());
    } else {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, page->Width(), page->Height(), format, type, page->Pixels());
    }
    SetPixelTransferScale(1.0f);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    CheckGL("tGltexture.UploadPage");
}

void tGltexture::UploadPageRows(const tPage* page, int32_t firstRow, int32_t endRow, bool clearBelow)
{
    if (!HasName() || !gl_)
        return;
    Assert(page != nullptr, "uOpenGL", __LINE__);
    if (page->Format() != pfRGBA) {
        UploadPage(page, false);
        return;
    }
    SetSize(page->Width(), page->Height());
    if (!IsValid() || !page->Pixels())
        return;
    const int32_t width = page->Width();
    const int32_t height = page->Height();
    const int32_t first = std::clamp(firstRow, 0, height);
    const int32_t end = std::clamp(endRow, first, height);
    Bind();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (end > first) {
        glPixelStoref(GL_UNPACK_ROW_LENGTH, static_cast<GLfloat>(page->Stride() / 4));
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, first, width, end - first, GL_RGBA, GL_UNSIGNED_BYTE,
                        page->Pixels() + static_cast<ptrdiff_t>(first) * page->Stride());
        glPixelStoref(GL_UNPACK_ROW_LENGTH, 0);
    }
    if (clearBelow && end < height) {
        // A band of transparent rows at a time, from one small buffer.
        constexpr int32_t kBand = 64;
        const std::vector<uint32_t> zeros(static_cast<size_t>(width) * kBand, 0u);
        for (int32_t y = end; y < height; y += kBand)
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, y, width, std::min(kBand, height - y), GL_RGBA, GL_UNSIGNED_BYTE,
                            zeros.data());
    }
    CheckGL("tGltexture.UploadPageRows");
}
