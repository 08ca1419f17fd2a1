#pragma once
// A quick look at a view before a zoom commits to it. A small picture of the
// view's escape counts, taken with the zoom's own iteration limit and
// coloured with its colour map, tells whether the set's interior or one flat
// colour would fill most of what the viewer sees.
//
// What counts as flat follows what a viewer sees, not the set: every colour
// darker than luma 32 looks alike (black: the vignette darkens most of the
// window to half its brightness or less), whether it is the colour of the
// interior or the dark start of a colour map that the points escaping early
// take; any other colour that many pixels share is one flat band, inside the
// set or outside it (a region whose points all escape after the same count).
//
// The picture comes from a renderer. The program's renders through the
// generator's back ends; a zoom that needs other arithmetic can hand in its
// own.
#include "uColor.h"
#include "uMath.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class tColorMap;
class tFractal;

/// A square view of the plane: its centre and magnification (it spans
/// 1 / scale of the plane each way).
struct tProbeView {
    extended x = 0;
    extended y = 0;
    extended scale = 1;
};

/// Fills counts (edge × edge, row by row) with the escape counts, at most
/// iterations each, at the centres of an edge × edge grid laid over the
/// view. False when it cannot render.
using tProbeRenderer =
    std::function<bool(const tProbeView& view, int32_t edge, int32_t iterations, std::span<int32_t> counts)>;

/// A renderer through the generator's back ends at a precision code (2
/// single, 3 double, 4 extended, 5 automatic by magnification, as a keyframe
/// of the view would choose).
tProbeRenderer BackEndProbeRenderer(uint8_t precision);

/// What a probe saw.
struct tViewVerdict {
    /// At most 30 % of the picture may be near black: the vignette darkens
    /// the window's rim on top of that.
    static constexpr float kMaxBlack = 0.3f;
    /// At most half of it may lie inside flat areas.
    static constexpr float kMaxFlat = 0.5f;

    /// Share of pixels darker than luma 32.
    float blackShare = 0;
    /// Share of pixels that look like all their neighbours (every near-black
    /// colour looking alike): the inside of flat areas, in the set or out.
    float flatShare = 0;

    bool HasStructure() const { return blackShare <= kMaxBlack && flatShare <= kMaxFlat; }
    /// How far the view misses; 0 when it has structure.
    float Shortfall() const;
    /// Field by field the worse of the two.
    tViewVerdict Worst(const tViewVerdict& other) const;
};

class tViewProbe {
public:
    /// Edge of the probe's picture in pixels.
    static constexpr int32_t kEdge = 24;
    /// Edge of the smaller pictures that choose where to zoom in.
    static constexpr int32_t kScoutEdge = 16;

    explicit tViewProbe(tProbeRenderer renderer);
    ~tViewProbe();
    tViewProbe(const tViewProbe&) = delete;
    tViewProbe& operator=(const tViewProbe&) = delete;

    /// The verdict on the disc inscribed in the view, its pixels coloured as
    /// a keyframe colours them (the map's entry for count ÷ iterations; the
    /// generator's fallback colour without a map). None when the renderer
    /// cannot render.
    std::optional<tViewVerdict> Probe(const tProbeView& view, int32_t iterations, const tColorMap* colorMap);

    /// Judges counts of a kEdge × kEdge picture (the inscribed disc of it).
    tViewVerdict Judge(std::span<const int32_t> counts, int32_t iterations, const tColorMap* colorMap);

    /// A point of the view to zoom in on: the centre of a pixel of a small
    /// picture of it (PixelToZoomInto); none when every pixel lies near the
    /// interior or the renderer cannot render.
    std::optional<tVector2> Scout(const tProbeView& view, int32_t iterations, const tColorMap* colorMap,
                                  const std::function<uint32_t(uint32_t)>& pick);
    /// The point of the plane at the centre of pixel index of an edge × edge
    /// picture of the view.
    static tVector2 PixelPoint(const tProbeView& view, int32_t edge, int32_t index);
    /// A pixel of an edge × edge picture to zoom in on: one whose 5 × 5
    /// neighbourhood all escapes (no count at the limit), among the quarter
    /// of those with the most varied colours around them that are not near
    /// black, the slowest escapes first, so it lies close to the set but off
    /// its interior where the picture is lively; pick(n) chooses among them.
    /// None when every pixel lies near the interior.
    std::optional<int32_t> PixelToZoomInto(std::span<const int32_t> counts, int32_t edge, int32_t iterations,
                                           const tColorMap* colorMap, const std::function<uint32_t(uint32_t)>& pick);

private:
    /// Each pixel's colour as a keyframe colours it, or 0 where it looks
    /// near black.
    std::vector<tPackedColor> Looks(std::span<const int32_t> counts, int32_t iterations, const tColorMap* colorMap);

    tProbeRenderer renderer_;
    std::unique_ptr<tFractal> colours_; // colours counts as keyframes do
};
