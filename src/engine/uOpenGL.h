#pragma once
// The OpenGL side of the engine.
//   - CheckGL: the error check after each group of OpenGL calls
//   - tOpenGLInterface: one rendering context on one window, its fixed
//     state, the two projections, untextured drawing and the texture
//     bookkeeping
//   - tGltexture: one texture with power-of-two sides, filled from a page
// Nothing here is global: several interfaces, each on its own window, may
// exist at once. Whoever holds an interface (a viewport, a page, a texture)
// draws with it; the owner of a frame makes its context current before the
// frame's work (MakeCurrent), which lasts until another owner does the same.
#include "uColor.h"
#include "uGLSurface.h"
#include "uMath.h"
#include "uNamedClass.h"
#include "uSequence.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class tPage;
class tGltexture;

// ---------------------------------------------------------------------------
// Error checking
// ---------------------------------------------------------------------------

/// Whether CheckGL asks OpenGL for errors. On by default in debug builds;
/// the tests switch it on for every build.
void SetGLErrorChecking(bool on);
bool GLErrorChecking();
/// When checking is on: logs every pending OpenGL error (level 1) and then
/// fails an assertion that names the call the errors followed. Never call
/// it between glBegin and glEnd.
void CheckGL(const char* after);

// ---------------------------------------------------------------------------
// Interface
// ---------------------------------------------------------------------------

/// Drawing parameters of the interface. Textured draws carry theirs in
/// tDrawParams; the class is kept so that the interface owns one object.
class tGLrenderParams {};

class tOpenGLInterface {
public:
    /// Binds a new context to a window the program does not manage (no
    /// full-screen switching) and sets the engine's fixed state; the context
    /// is current afterwards. Raises EGraphicsFailure (NoContext) when no
    /// context can be made on the window or made current there.
    static std::unique_ptr<tOpenGLInterface> Create(tWindowHandle window);
    /// Create on a form's window; the form can then be switched to full screen.
    static std::unique_ptr<tOpenGLInterface> CreateOnForm(tWindowHandle form);
    ~tOpenGLInterface();
    tOpenGLInterface(const tOpenGLInterface&) = delete;

    /// Makes the interface's context current on this thread, unless it is
    /// already. Whatever draws a frame calls it first, since several GL
    /// windows may exist at once. False when the context cannot be made
    /// current (its window is gone).
    bool MakeCurrent();
    tOpenGLInterface& operator=(const tOpenGLInterface&) = delete;

    /// 2-D pixel coordinates, origin at the top left, y downwards. Takes the
    /// window sizes plus one (WindowWidth, WindowHeight), as the viewport
    /// then covers the window exactly.
    void SetupOrtho(int32_t width, int32_t height);
    /// A perspective that agrees with the 2-D pixel coordinates on the plane
    /// z = 0 and shows (x, y, z) scaled by 1000 ÷ (1000 + z) about the centre
    /// of the window. Takes the same sizes as SetupOrtho.
    void SetupPerspective(int32_t width, int32_t height);
    /// Exponential black fog.
    void SetupFog();
    /// Turns the fog off again for the draws that follow.
    void DisableFog();

    /// Width and height of the window's rectangle counted inclusively:
    /// one more than the drawable width and height.
    int32_t WindowWidth() const;
    int32_t WindowHeight() const;

    void Clear(tPackedColor color);
    void ClearBlack();
    /// Flushes and shows the frame. A failed swap is noted in the log and
    /// the frame is lost.
    void Present();

    void StandardBlend();
    /// Untextured drawing in drawColor.
    void DrawLine(const tVector2& a, const tVector2& b);
    /// A closed loop of round(2π r ÷ 4) vertices.
    void DrawCircle(const tVector2& centre, extended radius);
    void FillRect(const tVector2& a, const tVector2& b);
    /// The colours are accepted for symmetry with FillPolygon3D and not used.
    void FillPolygon(const tVector2& position, const std::vector<tPackedColor>& colors,
                     const std::vector<tVector2>& vertices);
    /// Vertex i takes colors[i] where the array has one, else drawColor.
    void FillPolygon3D(const tVector3& position, const std::vector<tPackedColor>& colors,
                       const std::vector<tVector3>& vertices);

    /// The implementation's version as 1.0 … 1.5 (1.5 for anything newer).
    double GLVersion() const { return glVersion_; }

    bool SwitchToFullScreen();
    void LeaveFullScreen();
    bool IsFullScreen() const { return fullScreen_; }
    bool ModeSupported(int32_t bits) const;

    /// Registers a texture made on this interface (not owned).
    void AddTexture(tGltexture* texture);
    /// Forgets a texture that is being destroyed.
    void RemoveTexture(tGltexture* texture);
    const std::vector<tGltexture*>& Textures() const { return textures_; }
    /// Bytes held by all textures (4 per texel).
    int64_t TextureMemory() const { return textureMemory_; }
    /// Texture names whose deletion was deferred to the end of the frame.
    tSequence& DeferredDeletions() { return deferredDeletions_; }
    /// Deletes the deferred texture names now (Present does it every frame).
    void DeleteDeferredTextures();

    bool Initialised() const { return initialised_; }
    /// The sizes passed to the last projection set-up.
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    const tWindowHandle& Window() const { return window_; }
    bool HasForm() const { return form_ != nullptr; }
    tGLContext& Context() { return *context_; }
    tGLrenderParams& RenderParams() { return *renderParams_; }

    int32_t fullScreenWidth = 640;
    int32_t fullScreenHeight = 480;
    int32_t fullScreenBits = 32;
    /// Colour of the untextured draws; callers set it before each draw.
    tPackedColor drawColor = PackRGBA(0, 255, 0, 255);

private:
    friend class tGltexture;
    tOpenGLInterface() = default;
    void Setup(tWindowHandle window);

    tWindowHandle form_;
    int64_t textureMemory_ = 0;
    tSequence deferredDeletions_;
    bool initialised_ = false;
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::unique_ptr<tGLContext> context_;
    tWindowHandle window_;
    bool fullScreen_ = false;
    std::unique_ptr<tGLrenderParams> renderParams_;
    std::vector<tGltexture*> textures_;
    double glVersion_ = 1.0;
};

/// The current context's back buffer, top row first and opaque, as a
/// pfRGBA page of width × height pixels from the window's top-left corner.
void ReadBackBuffer(int32_t width, int32_t height, tPage& page);

/// The steps 1.0 … 1.5 for a GL_VERSION text ("4.5 (Compatibility Profile)
/// Mesa 22.3.6" gives 1.5); 1.0 for anything unreadable.
double GLVersionStep(const std::string& versionText);

// ---------------------------------------------------------------------------
// Textures
// ---------------------------------------------------------------------------

/// Rounds a texture side up: 0 and below give 0, 1 stays 1, n ≥ 2 gives the
/// smallest power of two not below n (at most 2^30).
int32_t TextureSide(int32_t n);

class tGltexture : public tNamedClass {
public:
    /// A named texture without storage, registered with the interface.
    tGltexture(tOpenGLInterface* gl, std::string name);
    ~tGltexture() override;
    tGltexture(const tGltexture&) = delete;
    tGltexture& operator=(const tGltexture&) = delete;

    /// A fresh texture name with the engine's parameters (linear filtering,
    /// repeat, modulate); no storage yet.
    void Generate();
    /// Releases the name; deferred hands it to the interface's deferred
    /// deletions instead of deleting it at once.
    void Delete(bool deferred);

    bool HasName() const { return textureName_ != 0; }
    bool IsValid() const { return HasName() && static_cast<int64_t>(width_) * height_ > 0; }
    int64_t MemorySize() const { return static_cast<int64_t>(width_) * height_ * 4; }

    /// Storage of the rounded size (see TextureSide); a side of 0 means no
    /// storage at all (both sides 0). Storage is allocated only when the
    /// rounded size changes, and its content is undefined until an upload.
    void SetSize(int32_t width, int32_t height);
    void FreeStorage();
    /// Copies the page's pixels into the top-left corner of the storage
    /// (sized to the page first); with mipmaps, a full mipmap chain.
    void UploadPage(const tPage* page, bool mipmaps);
    /// Rows firstRow … endRow - 1 of a pfRGBA page into the same rows of the
    /// storage (sized to the page first), reading no other row of the page;
    /// with clearBelow, the storage's rows from endRow to the page's height
    /// become transparent black. Pages of other formats go up whole.
    void UploadPageRows(const tPage* page, int32_t firstRow, int32_t endRow, bool clearBelow);

    void Bind() const;
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    uint32_t TextureName() const { return textureName_; }
    tOpenGLInterface* Interface() const { return gl_; }

private:
    friend class tOpenGLInterface;
    /// The interface is going away with its context: forget name and storage.
    void Detach();

    tOpenGLInterface* gl_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    uint32_t textureName_ = 0;
};
