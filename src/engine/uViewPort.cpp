#include "uViewPort.h"

#include "uAssert.h"
#include "uFormat.h"
#include "uLog.h"
#include "uOpenGL.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace {
bool HasWindow(const tOpenGLInterface* gl) { return gl && WindowExists(gl->Window()); }
} // namespace

tViewPortGL::tViewPortGL(tOpenGLInterface* gl, std::string name) : tNamedClass(std::move(name)), gl_(gl)
{
    const tVector2 area = HasWindow(gl) ? tVector2{static_cast<extended>(gl->WindowWidth()),
                                                   static_cast<extended>(gl->WindowHeight())}
                                        : tVector2{800, 600};
    SetArea({0, 0}, area);
    SetCamera(area * 0.5L, {1, 1}, 0);
    pitch = 0;
    yaw = 0;
    displayMode = 0;
}

tViewPortGL::~tViewPortGL() = default;

std::string tViewPortGL::GetName() const
{
    return "Viewport \"" + Name() + "\" [" + IntToStr(IntWidth()) + "," + IntToStr(IntHeight()) + "]";
}

void tViewPortGL::SetArea(const tVector2& offset, const tVector2& newSize)
{
    size = newSize;
    // Without an interface the area itself stands in for the window.
    const extended windowHeight = HasWindow(gl_) ? static_cast<extended>(gl_->WindowHeight()) : size.y;
    screenOffset = {offset.x, windowHeight - (size.y + offset.y)};
    cameraPosition = {size.x / 2, size.y / 2, 0};
}

void tViewPortGL::SetCamera(const tVector2& position, const tVector2& scale, extended newRoll)
{
    cameraPosition = {position.x, position.y, 0};
    cameraScale = {scale.x, scale.y, 1};
    roll = newRoll;
    ApplyCamera();
}

void tViewPortGL::ApplyCamera()
{
    if (!gl_)
        return;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(static_cast<double>(size.x / 2), static_cast<double>(size.y / 2), 0);
    glScaled(static_cast<double>(cameraScale.x), static_cast<double>(cameraScale.y),
             static_cast<double>(cameraScale.z));
    glRotated(static_cast<double>(pitch), 1, 0, 0);
    glRotated(static_cast<double>(yaw), 0, 1, 0);
    glRotated(static_cast<double>(roll), 0, 0, 1);
    glTranslated(static_cast<double>(-cameraPosition.x), static_cast<double>(-cameraPosition.y),
                 static_cast<double>(-cameraPosition.z));
    CheckGL("tViewPortGL.ApplyCamera");
}

void tViewPortGL::MakeCurrent()
{
    if (pbuffer) {
        pbuffer->MakeCurrent();
        return;
    }
    if (!gl_ || gl_->Context().IsCurrent())
        return;
    const uint64_t fromContext = tGLContext::CurrentContextId();
    const uint64_t fromDrawable = tGLContext::CurrentDrawableId();
    if (!gl_->Context().MakeCurrent())
        LogWarning(2, "Could not set default rendering context!  Switching from [" + std::to_string(fromContext) + "/" +
                          std::to_string(fromDrawable) + "] to [" + std::to_string(gl_->Context().ContextId()) + "/" +
                          std::to_string(gl_->Context().DrawableId()) + "]");
}

void tViewPortGL::SetupProjection()
{
    // The viewport's size is the interface's window size plus one, which is
    // what the perspective takes to match the window's pixels exactly.
    if (gl_)
        gl_->SetupPerspective(IntWidth(), IntHeight());
}

void tViewPortGL::BeginFrame()
{
    MakeCurrent();
    SetupProjection();
    ApplyCamera();
}

void tViewPortGL::Present()
{
    if (gl_)
        gl_->Present();
}

void tViewPortGL::EnableRenderTexture()
{
    Assert(gl_ != nullptr, "uViewPort", __LINE__, "A render texture needs the viewport's OpenGL interface");
    renderTexture = std::make_unique<tPageGLhw>(*gl_);
    renderTexture->SetName("render texture of " + Name());
    renderTexture->SetSize(IntWidth(), IntHeight(), pfRGBA);
}

void tViewPortGL::CaptureToTexture()
{
    if (!renderTexture || pbuffer)
        return;
    tGltexture* texture = renderTexture->Texture();
    if (!texture || !texture->IsValid())
        return;
    texture->Bind();
    // Never past the storage: the frame can be larger than the texture.
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, std::min(IntWidth(), texture->Width()),
                        std::min(IntHeight(), texture->Height()));
    CheckGL("tViewPortGL.CaptureToTexture");
}

void tViewPortGL::ShowRenderTexture()
{
    if (!renderTexture)
        return;
    const int32_t w = IntWidth();
    const int32_t h = IntHeight();
    switch (displayMode) {
    case 0: {
        // The frame buffer is stored bottom-up: flip it right way up.
        tDrawParams params = InitDrawParams();
        params.ScaleY = -1;
        renderTexture->DrawEx({0, 0, w, h}, {0, static_cast<extended>(h)}, params);
        break;
    }
    case 1:
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glTranslatef(static_cast<GLfloat>(w) / 2, static_cast<GLfloat>(h) / 2, 1);
        glRotatef(45, 1, 0, 0);
        glRotatef(45, 0, 0, 1);
        glTranslatef(-static_cast<GLfloat>(w) / 2, -static_cast<GLfloat>(h) / 2, 0);
        renderTexture->Draw({0, 0}, InitDrawParams());
        glPopMatrix();
        break;
    case 2:
        DrawBowl();
        break;
    default:
        break;
    }
}

void tViewPortGL::DrawBowl()
{
    tGltexture* texture = renderTexture->Texture();
    if (!texture)
        return;
    texture->Bind();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(400, 300, 0);
    glTranslatef(72, 54, 0);
    glTranslatef(-400, -300, 0);
    const auto corner = [](int ci, int cj) {
        const double dx = ci - 40;
        const double dy = cj - 30;
        const double z = -5 * std::sqrt(dx * dx + 4.0 / 3.0 * dy * dy);
        glTexCoord2f(static_cast<GLfloat>(ci) / 80, static_cast<GLfloat>(cj) / 60);
        glVertex3f(static_cast<GLfloat>(10 * ci), static_cast<GLfloat>(10 * cj), static_cast<GLfloat>(z));
    };
    for (int i = 0; i <= 80; ++i)
        for (int j = 0; j <= 60; ++j) {
            glBegin(GL_POLYGON);
            corner(i, j);
            corner(i + 1, j);
            corner(i + 1, j + 1);
            corner(i, j + 1);
            glEnd();
        }
    glPopMatrix();
    CheckGL("tViewPortGL.DrawBowl");
}

void tViewPortGL::DisableRenderTexture()
{
    LogNote(2, "Disableing render texture on " + GetName());
    renderTexture.reset();
    pbuffer.reset();
}
