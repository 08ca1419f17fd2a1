#pragma once
// tViewPortGL: a scene's camera and screen area on one OpenGL interface.
// Before a frame it makes that interface's context current and sets the
// perspective and the camera; it presents the frame, and can keep the frame
// in a render texture and show it again. What draws in a scene draws onto
// its viewport and with its viewport's interface.
#include "uMath.h"
#include "uNamedClass.h"
#include "uPageGLhw.h"

#include <cstdint>
#include <memory>
#include <string>

class tOpenGLInterface;

class tViewPortGL : public tNamedClass {
public:
    /// Sized to the interface's window (WindowWidth × WindowHeight), or
    /// 800 × 600 without an interface or window, with the camera at the
    /// centre. Without an interface nothing is ever drawn (scenes that are
    /// only moved, in tests of their logic).
    tViewPortGL(tOpenGLInterface* gl, std::string name);
    ~tViewPortGL() override;

    /// "Viewport \"main\" [1024,768]".
    std::string GetName() const override;

    /// The screen area; the camera moves to its centre.
    void SetArea(const tVector2& offset, const tVector2& newSize);
    /// Camera position (x, y, 0), scale (x, y, 1) and roll, then ApplyCamera.
    void SetCamera(const tVector2& position, const tVector2& scale, extended newRoll);
    /// Loads the model-view camera: the camera position is shown at the
    /// centre of the viewport, scaled and turned (pitch, yaw, roll) about it.
    /// Nothing without an interface.
    void ApplyCamera();
    /// Makes the interface's context current unless it is already.
    void MakeCurrent();
    /// The interface's perspective on the viewport's size.
    void SetupProjection();
    /// MakeCurrent, SetupProjection, ApplyCamera.
    void BeginFrame();
    void Present();

    /// Gives the viewport a render texture of its size (asserts an interface).
    void EnableRenderTexture();
    /// Copies the frame buffer into the render texture.
    void CaptureToTexture();
    /// Draws the render texture by the display mode: 0 flat, 1 tilted,
    /// 2 on a bowl.
    void ShowRenderTexture();
    void DisableRenderTexture();

    /// The interface it draws with; none for a viewport that never draws.
    tOpenGLInterface* GL() const { return gl_; }
    int32_t IntWidth() const { return static_cast<int32_t>(Round(size.x)); }
    int32_t IntHeight() const { return static_cast<int32_t>(Round(size.y)); }

    tVector3 cameraPosition;
    tVector3 cameraScale{1, 1, 1};
    /// Degrees about z, x and y.
    extended roll = 0;
    extended pitch = 0;
    extended yaw = 0;
    /// Bottom-up offset of the area in the window.
    tVector2 screenOffset;
    tVector2 size;
    std::unique_ptr<tPageGLhw> renderTexture;
    std::unique_ptr<tPbufferLink> pbuffer;
    uint8_t displayMode = 0;

private:
    void DrawBowl();

    tOpenGLInterface* gl_;
};
