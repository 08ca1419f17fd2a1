#pragma once
// What zoom-frames measures in a frame it reads back: how much of it is
// near black, and whether a keyframe disc's hard rim shows inside it (the
// picture ends along a circle with black beyond it). Pure functions on
// pages and points, so they are tested without a display.
#include "uMath.h"

#include <span>
#include <vector>

class tPage;

/// Below this luma a pixel counts as near black.
constexpr double kNearBlackLuma = 16;

/// Share of the frame's pixels whose luma is below kNearBlackLuma.
double NearBlackShare(const tPage& frame);

/// The value below which a share p (0 … 1) of the values lie (nearest rank);
/// 0 for no values.
double Quantile(std::vector<double> values, double p);

/// Two window points (x right, y down, pixels) on either side of a
/// keyframe disc's rim, taken along one direction from its centre: one just
/// within the opaque disc, one just beyond the rim.
struct tRimSample {
    tVector2 inside;
    tVector2 outside;
    /// False where another keyframe's disc lies beyond the rim: the picture
    /// goes on there, so the rim is no edge of it.
    bool pictureEnds = true;
};

/// The rim samples of a circle taken around it in order.
struct tDiscEdge {
    /// Samples where the picture inside is bright and black lies beyond.
    int hardSamples = 0;
    /// The longest run of them in a row around the circle.
    int longestRun = 0;
    /// A run this long is an arc of the rim that a viewer sees.
    static constexpr int kVisibleRun = 4;
    bool Visible() const { return longestRun >= kVisibleRun; }
};

/// Looks along a circle's rim samples (in order around it, the last one
/// next to the first) for picture (luma ≥ 10) inside with black
/// (every pixel of the 3 × 3 patch below luma 4) beyond, where the picture
/// ends. Samples with either point outside the frame are not hard.
tDiscEdge FindDiscEdge(const tPage& frame, std::span<const tRimSample> rim);
