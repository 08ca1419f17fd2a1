#pragma once
// How large keyframes must be rendered so that the picture never ends inside
// the window.
//
// A keyframe is a disc of picture with black beyond it. On screen it is
// drawn 1.1 window widths wide at its own magnification, centred where the
// camera puts its centre; a vignette darkens the window towards its edges.
// The vignette is a square texture stretched over the window's aspect, so
// the part of the screen it lets a viewer see is an ellipse centred on the
// screen, as wide and as tall in proportion as the window. The viewport's
// tilt turns the keyframes and the vignette together, and at the tilts the
// zoom uses it can bring every part of that ellipse into the window; so the
// rule is that the opaque part of the keyframe disc covers the whole
// ellipse, at every moment of the path, whatever the window's aspect.
//
// Widening the keyframes (a scale divisor above 1: each keyframe renders a
// wider view and is drawn that much larger) is how the rule is met; the
// camera, and with it what the viewer sees, stays as it is.
#include "uKeyFrame.h"
#include "uMath.h"

#include <cstdint>

class tPathBase;

/// What keyframe framing needs to know of the screen.
struct tFramingScreen {
    extended width = 0;         ///< the window's client width, pixels
    extended height = 0;        ///< the window's client height, pixels
    extended vignetteScale = 1; ///< size factor of the vignette (frameScale)
    extended displayScale = 1;  ///< factor on the keyframes' size on screen
};

/// The vignette lets less than this share of the picture through beyond
/// the visible ellipse: white turns darker than luma 10 there.
constexpr extended kVisibleTransmission = 0.04L;

/// Semi-axes of the ellipse, centred on the screen, inside which the
/// vignette lets at least kVisibleTransmission of the picture through.
tVector2 VisibleSemiAxes(const tFramingScreen& screen);

/// The largest distance from a point (an offset from the screen centre, in
/// pixels) to the visible ellipse.
extended VisibleReach(const tFramingScreen& screen, const tVector2& from);

/// The fully opaque part of a keyframe disc on screen before the tilt.
struct tScreenDisc {
    tVector2 centre;     ///< offset from the screen centre, pixels
    extended radius = 0; ///< pixels
};

/// The opaque disc of a keyframe rendered of view (centre and scale) on
/// size × size pixels, for the camera cur.
tScreenDisc KeyframeDisc(const tPathPoint& view, int32_t size, const tPathPoint& cur, const tFramingScreen& screen);

/// The scale divisor (at least 1) whose keyframes cover the visible ellipse
/// all through the path's camera move, for keyframes of resolution pixels.
/// A single-keyframe plan is followed every 0.1 s, as its one keyframe stays
/// while the camera drifts and dips; other plans keep their centre, so their
/// widest keyframe at each moment is centred and at least as large as one
/// rendered at the camera's own magnification. 1 for fewer than two points.
float CoveringScaleDivisor(const tPathBase& path, int32_t resolution, const tFramingScreen& screen);
