#pragma once
// The progressive Mandelbrot generator.
//
// A caller sets the view (centre, zoom, size), the colour map, the
// anti-aliasing and the precision, then asks for pixels a slice at a time:
// RenderStep(count) renders count div 64 batches of 64 pixels along a fixed
// scan order and returns. Each batch goes through the lane block and one back
// end (uBackEnds.h), is coloured by escape count, optionally supersampled
// where neighbouring colours differ, and written to the page with an alpha
// that fades the image out over the rim of a disc.
//
// Scan order: rows of increasing y, each in increasing x, counted in pixels
// from the centre pixel; pixel (x, y) lands on page column x + radius, row
// y + radius. In disc mode row y covers x = -e .. e - 1 with
// e = Round(sqrt(radius^2 - y^2)) (only x = 0 when e is 0); in square mode
// x = -radius .. radius - 1. The finished position (radius, radius) lies off
// the page and is absorbing, so a batch that runs past the end writes
// nothing visible.
//
// Precision 6 renders by perturbation: the scan then yields each pixel's
// offset from the centre, the centre's orbit is computed in arbitrary
// precision first (a slice per RenderStep, like the pixels), and the
// perturbation back end iterates the offsets against it. Everything else
// (scan order, colouring, anti-aliasing, rim alpha) is the same.
#include "uAASettings.h"
#include "uBackEnds.h"
#include "uBigFloat.h"
#include "uColor.h"
#include "uColorMap.h"
#include "uMath.h"
#include "uPackedData.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class tPage;
class tRandom;
struct tPerturbationReference;

class tFractal {
public:
    static constexpr int32_t kBatch = 64;
    static constexpr int32_t kSamplePool = 512;

    /// Creates the lane block and the defaults; with a page, renders into it at
    /// its width, else at size 128. The scan is left at the centre: call
    /// Restart (or SetSize, or RenderAll) before rendering.
    explicit tFractal(tPage* page = nullptr);
    virtual ~tFractal();
    tFractal(const tFractal&) = delete;
    tFractal& operator=(const tFractal&) = delete;

    /// Asserts a page is given ("uFractal", 1171) and renders into it from now on.
    void SetPage(tPage* page);
    /// size := n, radius := (n + 1) div 2, then Restart.
    void SetSize(int32_t n);
    /// Asserts the lane block exists ("uFractal", 1136); the limit of the
    /// generator and of the lane block.
    void SetMaxIterations(int32_t n);
    /// Installs a back end; the lane block takes its lanes and element type
    /// (each wipes the block). The name is cut to 255 characters. A
    /// perturbation back end needs perturbing set.
    void SetBackEnd(tBackEndRoutine routine, int32_t lanes, uint8_t elementType, const std::string& name,
                    bool perturbing = false);
    /// Chooses the back end; here: none ("Not Assigned").
    virtual void SelectBackEnd();

    /// Puts the scan before the first pixel.
    void Restart();
    /// True when the back end works by perturbation (precision 6).
    bool Perturbing() const { return perturbing_; }
    /// The reference of a perturbation render once it has been started, else
    /// none.
    const tPerturbationReference* Reference() const { return reference_.get(); }
    /// False while a perturbation render still computes its reference.
    bool ReferenceReady() const;
    /// (scan y + radius) * size + scan x + radius.
    int64_t ProgressCount() const;
    /// ProgressCount / size^2; at least 1 once a disc-mode image is complete.
    double Progress() const;
    /// Renders count div 64 batches (stopping at the end of the image) and
    /// returns the pixel writes, 64 per batch. Nothing without a page, at zoom
    /// 0, for a negative count or a complete image. Any exception inside is
    /// logged as "Error on fractal render!" and gives 0.
    int64_t RenderStep(int64_t count);
    /// RenderStep(size^2 - ProgressCount), after completing the reference
    /// of a perturbation render.
    int64_t RenderRest();
    /// Restart, then RenderRest.
    int64_t RenderAll();

    /// Moves the scan to the next pixel and computes its complex coordinate.
    void AdvanceScan();
    /// Iterates n points through the back end, lanes at a time, into counts.
    /// Nothing for n <= 0 or a back end without lanes. Asserts ("uFractal",
    /// 1044-1048) a usable back end and lane block and that n fits every array.
    void IteratePoints(std::span<const double> re, std::span<const double> im, int32_t n, std::span<int32_t> counts);
    /// Colour of an escape count as a fraction of the limit, v clamped to 0..1:
    /// the colour map's entry, or the fallback colour times v (alpha 255).
    /// (Inline with EdgeAlpha: both run for every pixel.)
    tPackedColor ColourOf(double v) const
    {
        if (!(v >= 0))
            v = 0;
        if (v > 1)
            v = 1;
        return colorMap ? colorMap->Lookup(static_cast<float>(v)) : FallbackColourOf(v);
    }
    /// Colour of an escape count: ColourOf(count / limit), or with a colour
    /// span set, ColourOf((count - floor) / span), kept below the set's own
    /// entry for every count below the limit.
    tPackedColor CountColour(int32_t count, double limit) const
    {
        if (colourSpan <= 0)
            return ColourOf(count / limit);
        if (count >= iterationLimit_)
            return ColourOf(1);
        const double v = static_cast<double>(count - colourFloor) / colourSpan;
        return ColourOf(v < kTopEscaping ? v : kTopEscaping);
    }
    /// Alpha of pixel (x, y): 255 inside radius - 8, 0 beyond the radius, a
    /// ramp of 32 per pixel between.
    uint8_t EdgeAlpha(int32_t x, int32_t y) const
    {
        const float d = static_cast<float>(static_cast<int64_t>(x) * x + static_cast<int64_t>(y) * y);
        if (static_cast<double>(d) > static_cast<double>(radiusSquared_))
            return 0;
        const int64_t inner = static_cast<int64_t>(radius_) - 8;
        if (static_cast<double>(d) < static_cast<double>(inner * inner))
            return 255;
        return RimAlpha(d);
    }

    // Set by callers before rendering.
    double zoom = 1.0; ///< one pixel spans 1 / (size * zoom); 0 renders nothing
    double centreRe = 0.0;
    double centreIm = 0.0;
    bool discMode = false;
    const tColorMap* colorMap = nullptr; ///< not owned; none: the fallback colour
    tPackedColor fallbackColour = PackRGBA(255, 255, 128, 255);
    tAASettings antiAliasing;
    uint8_t precision = 2; ///< 2 single, 3 double, 4 extended, 5 automatic, 6 perturbation
    /// Where anti-aliasing with six or more samples draws its sample offsets;
    /// the process-wide generator when none (not owned).
    tRandom* random = nullptr;
    /// The centre to any precision, for perturbation: none takes centre re
    /// and centre im.
    std::optional<tBigComplex> deepCentre;
    /// MPFR iterations of the reference orbit per pixel of a render step's
    /// budget while the orbit is being computed.
    static constexpr int64_t kReferenceIterationsPerPixel = 16;
    /// Deep views escape late and within a narrow band of counts: there the
    /// counts floor .. floor + span spread over the colour map instead (see
    /// CountColour). A span of 0 colours by the fraction of the limit.
    int32_t colourFloor = 0;
    int32_t colourSpan = 0;
    /// The highest colour position an escaping point takes with a colour
    /// span: below the map's last entry, which colours the set.
    static constexpr double kTopEscaping = 0.999;
    /// Off: a failed step is not logged, only reported by StepFailed (a
    /// render off the display thread, whose owner logs it there).
    bool logErrors = true;
    /// When set, every escape count that IteratePoints returns is added here
    /// (pixels and anti-aliasing samples): the work done, for tools and benchmarks.
    uint64_t* escapeCountSum = nullptr;

    /// The last RenderStep failed ("Error on fractal render!").
    bool StepFailed() const { return stepFailed_; }
    int32_t IterationLimit() const { return iterationLimit_; }
    int32_t Size() const { return size_; }
    int32_t Radius() const { return radius_; }
    int32_t RadiusSquared() const { return radiusSquared_; }
    int32_t ScanX() const { return scanX_; }
    int32_t ScanY() const { return scanY_; }
    int32_t RowStart() const { return rowStart_; }
    int32_t RowEnd() const { return rowEnd_; }
    extended PointRe() const { return pointRe_; }
    extended PointIm() const { return pointIm_; }
    tPage* Page() const { return page_; }
    const std::string& BackEndName() const { return backEndName_; }
    tBackEndRoutine BackEnd() const { return backEnd_; }
    int32_t Lanes() const { return lanes_; }
    tFractalPackedData& LaneBlock() { return *laneBlock_; }

    // The last batch, for inspection.
    const std::array<int32_t, kBatch>& BatchCounts() const { return batchCounts_; }
    const std::array<bool, kBatch>& BatchFlags() const { return batchFlags_; }

private:
    /// The integer part of AdvanceScan: moves to the next pixel; false at the
    /// finished position, which does not move.
    bool StepScan()
    {
        if (scanX_ == radius_ && scanY_ == radius_)
            return false;
        if (++scanX_ >= rowEnd_)
            NextRow();
        return true;
    }
    /// The centre the scan adds to each pixel: (0, 0) when perturbing, where
    /// the back end adds the reference.
    double ScanCentreRe() const { return perturbing_ ? 0.0 : centreRe; }
    double ScanCentreIm() const { return perturbing_ ? 0.0 : centreIm; }
    /// Makes sure a reference for the current view exists; true when it is
    /// ready, else advances it by the budget and returns false.
    bool PrepareReference(int64_t budget);
    /// StepScan past the end of a row: the next row's range and first pixel.
    void NextRow();
    /// The point of the scan position, in 80-bit arithmetic.
    void UpdatePoint();
    /// The imaginary coordinate of the scan row, computed once per row and view.
    void UpdateRowIm(extended pixels);
    /// Fits the column tables to the view; false when there is no table
    /// (a negative radius).
    bool PrepareColumns(extended pixels);
    /// AdvanceScan for the 64 pixels of a batch, into batch x, y, re, im.
    void ScanBatch();
    void RenderBatch();
    void AntiAliasBatch();
    void WriteBatch();
    /// ColourOf without a colour map, v already clamped.
    tPackedColor FallbackColourOf(double v) const;
    /// EdgeAlpha within the 8-pixel rim, from x^2 + y^2.
    uint8_t RimAlpha(float d) const;

    int32_t iterationLimit_ = 1024;
    bool stepFailed_ = false;
    std::unique_ptr<tFractalPackedData> laneBlock_;
    int32_t scanX_ = 0;
    int32_t scanY_ = 0;
    extended pointRe_ = 0;
    extended pointIm_ = 0;
    int32_t radius_ = 0;
    int32_t radiusSquared_ = 0;
    int32_t rowStart_ = 0;
    int32_t rowEnd_ = 0;
    int32_t size_ = 0;
    tPage* page_ = nullptr;
    std::string backEndName_ = "Not Assigned";
    tBackEndRoutine backEnd_ = nullptr;
    int32_t lanes_ = 0;
    bool perturbing_ = false;
    std::unique_ptr<tPerturbationReference> reference_;
    /// The view the reference was made for.
    struct tReferenceKey {
        double re = 0, im = 0, zoom = 0;
        int32_t size = 0, limit = 0;
        double maxDelta = 0;
        friend bool operator==(const tReferenceKey&, const tReferenceKey&) = default;
    };
    tReferenceKey referenceKey_;
    std::optional<tBigComplex> referenceCentre_;

    /// What the lane block's template was last built for.
    struct tTemplateKey {
        int32_t lanes = -1;
        uint8_t elementType = 0;
        int32_t limit = 0;
        uint64_t saves = 0;
        friend bool operator==(const tTemplateKey&, const tTemplateKey&) = default;
    };
    tTemplateKey templateKey_;

    // x / (size * zoom) for x = -radius .. radius and the divisor it was made
    // with; the same plus centre re, rounded to double, and that centre.
    std::vector<extended> columnRe_;
    extended columnPixels_ = 0;
    std::vector<double> columnPointRe_;
    std::optional<double> columnCentreRe_;
    // The imaginary coordinate of the current row and what it was made from.
    int32_t rowImY_ = 0;
    extended rowImPixels_ = 0;
    double rowImCentre_ = 0;
    extended rowIm_ = 0;
    double rowImDouble_ = 0;

    std::array<int32_t, kBatch> batchX_{};
    std::array<int32_t, kBatch> batchY_{};
    std::array<double, kBatch> batchRe_{};
    std::array<double, kBatch> batchIm_{};
    std::array<int32_t, kBatch> batchCounts_{};
    std::array<bool, kBatch> batchFlags_{};
    std::array<tPackedColor, kBatch> batchColours_{};
    std::array<double, kSamplePool> sampleRe_{};
    std::array<double, kSamplePool> sampleIm_{};
    std::array<int32_t, kSamplePool> sampleCounts_{};
};

/// The Mandelbrot generator: chooses its back end by precision and processor.
class tFractalMandelBrot : public tFractal {
public:
    /// As tFractal, then SelectBackEnd (a single-precision back end).
    explicit tFractalMandelBrot(tPage* page = nullptr);

    /// Precision 2 (single), 3 (double) and 4 (extended): the back end of that
    /// precision with the widest registers the processor runs, so for single
    /// "FLT32 AVX-512", else "FLT32 AVX2", "FLT32 SSE", "FLT32 3DN", "FLT32 FPU";
    /// for double "FLT64 AVX-512", "FLT64 AVX2", "FLT64 SSE2", "FLT64 FPU";
    /// for extended "FLT80 FPU"; for perturbation (6) "PERTURB AVX-512",
    /// "PERTURB AVX2", "PERTURB SSE2", "PERTURB FLT64". 5: single up to zoom
    /// 10 000, double beyond (and a note of the choice); any other code: a
    /// warning, and no back end.
    void SelectBackEnd() override;
    /// A generator of the same picture rendering into another page: this
    /// one's centre, zoom, disc mode, colour map, anti-aliasing, limit, size
    /// and precision, its back end chosen again, its scan at the start.
    std::unique_ptr<tFractalMandelBrot> SamePictureOn(tPage* page) const;
};

/// The back end SelectBackEnd takes for this precision code at magnification
/// zoom on this processor; none for a code it has no back end for.
const tBackEnd* MandelbrotBackEnd(uint8_t precision, double zoom);
