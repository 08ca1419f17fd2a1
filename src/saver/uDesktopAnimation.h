#pragma once
// tDesktopAnimation: the "desktop fade out" scene. The photographed desktop
// stands where the screen was, then slides away into a fogged 3-D space over
// a floor, turning a little and mirrored below the floor line, while a
// progress bar under the product's logo shows how far the first keyframes
// of the zoom are; once they are complete the picture fades to black.
//
// Scene units are pixels: x to the right, y downwards, z into the screen; at
// depth 0 a point falls on its own pixel.
#include "uMath.h"

class tOpenGLInterface;
class tPageGLhw;
class tSprite;
class tViewPortGL;

class tDesktopAnimation {
public:
    /// Slide speed gained per second and its limit (pixels per second).
    static constexpr float kSlideAcceleration = 100;
    static constexpr float kMaxSlideSpeed = 500;
    /// Beyond this depth the fog has swallowed the picture; it is no longer drawn.
    static constexpr float kPictureDepthLimit = 3600;
    /// Degrees the picture turns about its left edge once the turn is complete.
    static constexpr float kTurnDegrees = 15;

    /// The transition drawn with the interface on the viewport of the main
    /// scene, showing the desktop page (uploaded). The viewport and the page
    /// must exist (assertions); without a logo the transition runs without it.
    tDesktopAnimation(tOpenGLInterface* gl, tViewPortGL* viewport, tPageGLhw* desktopPage, tSprite* logo);

    /// Moves the transition on by dt seconds with the keyframes' progress
    /// (0 … 1): slides the picture, and counts the final fade down once
    /// progress has reached 1 (it waits at 1.0 before).
    void Advance(double dt, float keyframeProgress);
    /// Draws one frame: floor, picture and reflection, progress bar, logo and
    /// the final fade. Sets the viewport's perspective and camera itself.
    void Draw();
    /// True once the keyframes are complete and the final fade has run out.
    bool Finished() const { return progress >= 1 && closingFade <= 0; }

    /// 0 until 2.24 s, 1 from 5.44 s: how far the picture has turned.
    float TurnAmount() const;
    /// Opacity of the progress bar and the logo: rises over the first second.
    float OverlayAlpha() const;

    tViewPortGL* viewport = nullptr;
    tPageGLhw* desktopPage = nullptr;
    /// Drawn over the progress bar; none leaves it out.
    tSprite* logo = nullptr;

    float elapsed = 0;
    /// elapsed ÷ normalisingTime, at most 1.
    float normalisedTime = 0;
    float slidePosition = 0;
    float slideSpeed = 0;
    /// The keyframes' progress at the last Advance.
    float progress = 0;
    /// 1 while waiting for the keyframes, then down to 0 (and below) over
    /// the final fade.
    double closingFade = 1.0;
    double normalisingTime = 16.0;
    double finalFadeTime = 1.0;

private:
    void DrawFloor(extended height);
    void DrawPicture(extended width, extended height, extended turn);
    void DrawProgressBar(extended height, float alpha);
    void DrawFinalFade(extended width, extended height);

    tOpenGLInterface* gl_ = nullptr;
};
