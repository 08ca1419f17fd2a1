// The Mandelbrot generator:
//   - creation, size, limit and back-end installation
//   - scan order (AdvanceScan) and progress
//   - render step: batch, colouring, anti-aliasing, rim alpha, page writes
//   - IteratePoints, the one path into the back ends
//   - back-end choice of tFractalMandelBrot
#include "uFractal.h"

#include "uAssert.h"
#include "uColorMap.h"
#include "uCpuFeatures.h"
#include "uFormat.h"
#include "uLog.h"
#include "uPage.h"
#include "uRandom.h"
#include "uReferenceOrbit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr const char* kUnit = "uFractal";
constexpr size_t kMaxNameLength = 255;

struct tOffset {
    double dx;
    double dy;
};

/// Fixed sample offsets (in units of the anti-aliasing radius) for 2 to 5
/// samples per pixel; the pixel itself is the first sample.
constexpr tOffset kPattern2[] = {{0.5, 0.5}};
constexpr tOffset kPattern3[] = {{0.75, 0.25}, {-0.75, -0.25}};
constexpr tOffset kPattern4[] = {{0.0, 0.5}, {0.5, 0.5}, {0.5, 0.0}};
constexpr tOffset kPattern5[] = {{0.75, 0.75}, {-0.5, -0.5}, {-0.5, 0.75}, {0.75, -0.5}};

std::span<const tOffset> FixedPattern(int32_t samples)
{
    switch (samples) {
    case 2: return kPattern2;
    case 3: return kPattern3;
    case 4: return kPattern4;
    case 5: return kPattern5;
    default: return {};
    }
}

int32_t ColourDifference(tPackedColor a, tPackedColor b)
{
    const int32_t dr = RedOf(a) - RedOf(b);
    const int32_t dg = GreenOf(a) - GreenOf(b);
    const int32_t db = BlueOf(a) - BlueOf(b);
    return dr * dr + dg * dg + (db * db) / 9;
}

} // namespace

// ---------------------------------------------------------------------------
// Creation and configuration

tFractal::tFractal(tPage* page) : laneBlock_(std::make_unique<tFractalPackedData>())
{
    if (page) {
        SetPage(page);
        SetSize(page->Width());
    } else {
        SetSize(128);
    }
    SetMaxIterations(1024);
    // Left at the centre, as created; callers restart before rendering.
    scanX_ = 0;
    scanY_ = 0;
    pointRe_ = 0;
    pointIm_ = 0;
    // Virtual calls in a constructor stay in this class: a derived generator
    // selects its own back end in its constructor.
    tFractal::SelectBackEnd();
}

tFractal::~tFractal() = default;

void tFractal::SetPage(tPage* page)
{
    Assert(page != nullptr, kUnit, 1171);
    page_ = page;
}

void tFractal::SetSize(int32_t n)
{
    size_ = n;
    radius_ = (n + 1) / 2;
    radiusSquared_ = radius_ * radius_;
    Restart();
}

void tFractal::SetMaxIterations(int32_t n)
{
    Assert(laneBlock_ != nullptr, kUnit, 1136);
    laneBlock_->iterationLimit = n;
    iterationLimit_ = n;
}

void tFractal::SetBackEnd(tBackEndRoutine routine, int32_t lanes, uint8_t elementType, const std::string& name,
                          bool perturbing)
{
    perturbing_ = perturbing;
    backEnd_ = routine;
    lanes_ = lanes;
    laneBlock_->SetLanes(lanes);
    laneBlock_->SetElementType(elementType);
    backEndName_ = name.substr(0, kMaxNameLength);
}

void tFractal::SelectBackEnd() { SetBackEnd(nullptr, 0, 0, "Not Assigned"); }

// ---------------------------------------------------------------------------
// Scan order and progress

void tFractal::Restart()
{
    scanX_ = size_ / 2;
    scanY_ = -(size_ / 2) - 1;
    pointRe_ = 0;
    pointIm_ = 0;
}

int64_t tFractal::ProgressCount() const
{
    return (static_cast<int64_t>(scanY_) + radius_) * size_ + scanX_ + radius_;
}

double tFractal::Progress() const
{
    return static_cast<double>(ProgressCount()) / (static_cast<double>(size_) * static_cast<double>(size_));
}

void tFractal::NextRow()
{
    ++scanY_;
    if (discMode) {
        rowEnd_ = std::abs(scanY_) > radius_
                      ? 0
                      : static_cast<int32_t>(Round(std::sqrt(static_cast<extended>(radiusSquared_) -
                                                             static_cast<extended>(scanY_) * scanY_)));
        rowStart_ = -rowEnd_;
    } else {
        rowStart_ = -radius_;
        rowEnd_ = radius_;
    }
    scanX_ = rowStart_;
    if (scanY_ == radius_ + 1) {
        scanX_ = radius_;
        scanY_ = radius_;
    }
}

bool tFractal::PrepareColumns(extended pixels)
{
    if (radius_ < 0)
        return false;
    const size_t columns = 2 * static_cast<size_t>(radius_) + 1;
    if (!(pixels == columnPixels_) || columnRe_.size() != columns) {
        columnPixels_ = pixels;
        columnRe_.resize(columns);
        columnPointRe_.resize(columns);
        for (size_t i = 0; i < columns; ++i)
            columnRe_[i] = (static_cast<int32_t>(i) - radius_) / pixels;
        columnCentreRe_.reset();
    }
    const double centre = ScanCentreRe();
    if (columnCentreRe_ != centre) {
        columnCentreRe_ = centre;
        for (size_t i = 0; i < columns; ++i)
            columnPointRe_[i] = static_cast<double>(columnRe_[i] + centre);
    }
    return true;
}

void tFractal::UpdateRowIm(extended pixels)
{
    const double centre = ScanCentreIm();
    if (scanY_ != rowImY_ || !(pixels == rowImPixels_) || !(centre == rowImCentre_)) {
        rowImY_ = scanY_;
        rowImPixels_ = pixels;
        rowImCentre_ = centre;
        rowIm_ = scanY_ / pixels + centre;
    }
}

void tFractal::UpdatePoint()
{
    const extended pixels = static_cast<extended>(size_) * zoom;
    // x / pixels is the same in every row and y / pixels in every pixel of a
    // row: one division per column and row instead of two per pixel (with
    // the widest back ends the x87 divisions alone took a tenth of a
    // picture's time).
    const size_t column = static_cast<size_t>(static_cast<int64_t>(scanX_) + radius_);
    if (PrepareColumns(pixels) && column < columnRe_.size())
        pointRe_ = columnRe_[column] + ScanCentreRe();
    else
        pointRe_ = scanX_ / pixels + ScanCentreRe();
    UpdateRowIm(pixels);
    pointIm_ = rowIm_;
}

void tFractal::AdvanceScan()
{
    if (StepScan())
        UpdatePoint();
}

void tFractal::ScanBatch()
{
    // As AdvanceScan 64 times, with the coordinates of each pixel taken from
    // the column table and the row's value already rounded to double; the
    // 80-bit point is set once, for the last position.
    const extended pixels = static_cast<extended>(size_) * zoom;
    const bool tables = PrepareColumns(pixels);
    UpdateRowIm(pixels);
    rowImDouble_ = static_cast<double>(rowIm_);
    double re = static_cast<double>(pointRe_);
    double im = static_cast<double>(pointIm_);
    bool moved = false;
    // Filled locally and copied at the end: stores into the generator's own
    // arrays could alias the scan position for the compiler.
    std::array<int32_t, kBatch> xs, ys;
    std::array<double, kBatch> res, ims;
    for (int32_t i = 0; i < kBatch; ++i) {
        if (StepScan()) {
            const size_t column = static_cast<size_t>(static_cast<int64_t>(scanX_) + radius_);
            if (tables && column < columnPointRe_.size()) {
                re = columnPointRe_[column];
                if (scanY_ != rowImY_) {
                    UpdateRowIm(pixels);
                    rowImDouble_ = static_cast<double>(rowIm_);
                }
                im = rowImDouble_;
                moved = true;
            } else {
                UpdatePoint();
                re = static_cast<double>(pointRe_);
                im = static_cast<double>(pointIm_);
                rowImDouble_ = im;
            }
        }
        xs[i] = scanX_;
        ys[i] = scanY_;
        res[i] = re;
        ims[i] = im;
    }
    batchX_ = xs;
    batchY_ = ys;
    batchRe_ = res;
    batchIm_ = ims;
    if (moved)
        UpdatePoint();
}

// ---------------------------------------------------------------------------
// Rendering

int64_t tFractal::RenderStep(int64_t count)
{
    stepFailed_ = false;
    try {
        if (!page_)
            return 0;
        Assert(iterationLimit_ >= 1, kUnit, 729);
        if (zoom == 0 || count < 0)
            return 0;
        const int64_t pixels = static_cast<int64_t>(size_) * size_;
        if (ProgressCount() >= pixels)
            return 0;
        // The reference orbit comes first, in slices of the same budget; the
        // step reports its budget as done so that callers keep giving it time.
        if (perturbing_ && !PrepareReference(count))
            return count / kBatch * kBatch;
        int64_t writes = 0;
        for (int64_t batch = count / kBatch; batch > 0; --batch) {
            RenderBatch();
            writes += kBatch;
            if (ProgressCount() >= pixels)
                break;
        }
        return writes;
    } catch (...) {
        stepFailed_ = true;
        if (logErrors)
            LogWarning(1, "Error on fractal render!");
        return 0;
    }
}

int64_t tFractal::RenderRest()
{
    const int64_t rest = static_cast<int64_t>(size_) * size_ - ProgressCount();
    // A perturbation render completes its reference first, in steps that
    // write no pixel.
    while (!ReferenceReady() && RenderStep(rest) > 0) {
    }
    return RenderStep(rest);
}

int64_t tFractal::RenderAll()
{
    Restart();
    return RenderRest();
}

void tFractal::RenderBatch()
{
    ScanBatch();
    IteratePoints(batchRe_, batchIm_, kBatch, batchCounts_);
    // Colours and alphas go through local arrays: stores into the generator's
    // own arrays could alias the colour map and the radius for the compiler,
    // which would then read those again for every pixel.
    const double limit = iterationLimit_;
    std::array<tPackedColor, kBatch> colours;
    for (int32_t i = 0; i < kBatch; ++i)
        colours[i] = CountColour(batchCounts_[i], limit);
    batchColours_ = colours;
    if (AAEnabled(antiAliasing))
        AntiAliasBatch();
    WriteBatch();
}

void tFractal::WriteBatch()
{
    tPage& page = *page_;
    // The working format is written straight into the buffer; the bounds
    // test is the one SetPixel makes, so positions off the page are dropped
    // all the same.
    if (page.Format() == pfRGBA && page.Words() != nullptr) {
        uint32_t* words = page.Words();
        const int64_t pitch = page.Stride() / 4;
        const uint32_t width = static_cast<uint32_t>(page.Width());
        const uint32_t height = static_cast<uint32_t>(page.Height());
        std::array<uint8_t, kBatch> alphas;
        for (int32_t i = 0; i < kBatch; ++i)
            alphas[i] = EdgeAlpha(batchX_[i], batchY_[i]);
        const int32_t radius = radius_;
        for (int32_t i = 0; i < kBatch; ++i) {
            const int32_t px = batchX_[i] + radius;
            const int32_t py = batchY_[i] + radius;
            if (static_cast<uint32_t>(px) < width && static_cast<uint32_t>(py) < height)
                words[py * pitch + px] = WithAlpha(batchColours_[i], alphas[i]);
        }
        return;
    }
    for (int32_t i = 0; i < kBatch; ++i)
        page.SetPixel(batchX_[i] + radius_, batchY_[i] + radius_,
                      WithAlpha(batchColours_[i], EdgeAlpha(batchX_[i], batchY_[i])));
}

tPackedColor tFractal::FallbackColourOf(double v) const
{
    // Rounded to the nearest, ties to even, as Round does (see RimAlpha).
    const auto scaled = [v](uint8_t channel) { return static_cast<uint8_t>(std::lrint(channel * static_cast<extended>(v))); };
    return PackRGBA(scaled(RedOf(fallbackColour)), scaled(GreenOf(fallbackColour)), scaled(BlueOf(fallbackColour)), 255);
}

uint8_t tFractal::RimAlpha(float d) const
{
    const extended ramp = std::clamp((radius_ - std::sqrt(static_cast<extended>(d))) * 32, 0.0L, 255.0L);
    // Rounded to the nearest, ties to even, as Round does: the rounding mode
    // is "to nearest" throughout (see tColorMap::Lookup), and one x87
    // conversion spares Round's remainder, which is slow on the x87.
    return static_cast<uint8_t>(std::lrint(ramp));
}

// Adaptive anti-aliasing of the batch: a pixel whose colour differs from its
// predecessor in the batch (the first pixel: from the second) by more than
// the threshold gets samples - 1 extra samples around it; all samples of the
// batch are iterated together, and each such pixel becomes the mean of
// itself and its samples.
void tFractal::AntiAliasBatch()
{
    batchFlags_.fill(false);
    const int32_t samples = antiAliasing.samples;
    const double bound = static_cast<double>(antiAliasing.threshold) * 256.0;
    const double boundSquared = bound * bound;
    const extended aaRadius = antiAliasing.radius;
    const extended pixels = static_cast<extended>(size_) * zoom;
    const std::span<const tOffset> fixed = FixedPattern(samples);
    tRandom& offsets = random ? *random : ProcessRandom();

    int32_t m = 0;
    const auto addSample = [&](int32_t j, extended dx, extended dy) {
        // The pool holds 512; the count goes on so that IteratePoints' capacity
        // assertion reports an overfull batch, but nothing is written beyond it.
        if (m < kSamplePool) {
            sampleRe_[m] = static_cast<double>(batchRe_[j] + dx * aaRadius / pixels);
            sampleIm_[m] = static_cast<double>(batchIm_[j] + dy * aaRadius / pixels);
        }
        ++m;
    };
    for (int32_t j = 0; j < kBatch; ++j) {
        const int32_t k = j == 0 ? 1 : j - 1;
        if (!(ColourDifference(batchColours_[j], batchColours_[k]) > boundSquared))
            continue;
        batchFlags_[j] = true;
        if (samples >= 6) {
            for (int32_t s = 1; s < samples; ++s) {
                const extended dx = offsets.Next(100) / 100.0L;
                const extended dy = offsets.Next(100) / 100.0L;
                addSample(j, dx, dy);
            }
        } else {
            for (const tOffset& o : fixed)
                addSample(j, o.dx, o.dy);
        }
    }

    IteratePoints(sampleRe_, sampleIm_, m, sampleCounts_);

    const double limit = iterationLimit_;
    int32_t next = 0;
    for (int32_t j = 0; j < kBatch; ++j) {
        if (!batchFlags_[j])
            continue;
        const tPackedColor own = batchColours_[j];
        int32_t r = RedOf(own), g = GreenOf(own), b = BlueOf(own);
        for (int32_t s = 1; s < samples; ++s) {
            const tPackedColor c = CountColour(sampleCounts_[next++], limit);
            r += RedOf(c);
            g += GreenOf(c);
            b += BlueOf(c);
        }
        batchColours_[j] = PackRGBA(static_cast<uint8_t>(r / samples), static_cast<uint8_t>(g / samples),
                                    static_cast<uint8_t>(b / samples), 255);
    }
}

bool tFractal::ReferenceReady() const { return !perturbing_ || (reference_ && reference_->Ready()); }

bool tFractal::PrepareReference(int64_t budget)
{
    const extended pixels = static_cast<extended>(size_) * zoom;
    // The farthest any pixel or anti-aliasing sample lies from the centre.
    const double maxDelta = static_cast<double>(
        (radius_ * 1.5L + std::fabs(static_cast<extended>(antiAliasing.radius)) + 1) / pixels);
    // Made again only when the view changed (a cheap test: every step asks).
    const tReferenceKey key{centreRe, centreIm, zoom, size_, iterationLimit_, maxDelta};
    const bool sameCentre = deepCentre.has_value() == referenceCentre_.has_value() &&
                            (!deepCentre || *deepCentre == *referenceCentre_);
    if (!reference_ || !(key == referenceKey_) || !sameCentre) {
        tBigComplex centre = deepCentre ? *deepCentre : tBigComplex(centreRe, centreIm, 64);
        centre.SetBits(std::max(centre.Bits(), BitsForView(zoom, size_)));
        reference_ = std::make_unique<tPerturbationReference>(centre, iterationLimit_, maxDelta);
        referenceKey_ = key;
        referenceCentre_ = deepCentre;
    }
    if (reference_->Ready())
        return true;
    // The step that completes the reference renders no pixels yet.
    if (reference_->Prepare(budget / kBatch * kBatch * kReferenceIterationsPerPixel)) {
        const tReferenceOrbit& orbit = reference_->orbit;
        LogNote(4, "Reference orbit of " + IntToStr(orbit.Length()) + " iterations at " +
                       IntToStr(static_cast<int64_t>(orbit.Centre().Bits())) + " bits" +
                       (orbit.Periodic() ? " (periodic)" : orbit.Escaped() ? " (escaped)" : ""));
    }
    return false;
}

// ---------------------------------------------------------------------------
// The path into the back ends

void tFractal::IteratePoints(std::span<const double> re, std::span<const double> im, int32_t n,
                             std::span<int32_t> counts)
{
    if (n <= 0 || lanes_ <= 0)
        return;
    Assert(backEnd_ != nullptr, kUnit, 1044);
    Assert(laneBlock_ != nullptr, kUnit, 1045);
    const auto capacity = static_cast<size_t>(n);
    Assert(capacity <= re.size(), kUnit, 1046);
    Assert(capacity <= im.size(), kUnit, 1047);
    Assert(capacity <= counts.size(), kUnit, 1048);

    tFractalPackedData& block = *laneBlock_;
    if (perturbing_) {
        Assert(reference_ != nullptr && reference_->Ready(), kUnit, __LINE__);
        block.perturbation = &reference_->data;
    }
    // The template (c = 0, z = 0, count -1, bound 4.0 in every lane, the
    // limit in int row 10) depends only on the lanes, the element type and
    // the limit, so it is built again only when one of those has changed or
    // a template was saved since; with 64 lanes building it costs about half
    // of what iterating a batch costs.
    const tTemplateKey key{lanes_, block.ElementType(), iterationLimit_, block.TemplateSaves()};
    if (!(key == templateKey_)) {
        block.SetInt(kSlotSimdLimit, kRowSimdLimit, iterationLimit_);
        for (int32_t lane = 0; lane < lanes_; ++lane) {
            block.SetLaneDefaults(lane, 0, 0);
            block.ClearLane(lane);
        }
        block.SaveTemplate();
        templateKey_ = {lanes_, block.ElementType(), iterationLimit_, block.TemplateSaves()};
    }
    // Unused lanes of a last, partial chunk keep c = 0, which never escapes,
    // so that chunk runs to the limit; their counts are not read.
    for (int32_t start = 0; start < n; start += lanes_) {
        const int32_t k = std::min(lanes_, n - start);
        block.RestoreTemplate();
        block.LoadPoints(k, &re[start], &im[start]);
        backEnd_(block);
        block.ReadCounts(k, &counts[start]);
    }
    if (escapeCountSum) {
        for (int32_t i = 0; i < n; ++i)
            *escapeCountSum += static_cast<uint64_t>(counts[i]);
    }
}

// ---------------------------------------------------------------------------
// tFractalMandelBrot

tFractalMandelBrot::tFractalMandelBrot(tPage* page) : tFractal(page) { SelectBackEnd(); }

std::unique_ptr<tFractalMandelBrot> tFractalMandelBrot::SamePictureOn(tPage* page) const
{
    auto copy = std::make_unique<tFractalMandelBrot>(page);
    copy->zoom = zoom;
    copy->centreRe = centreRe;
    copy->centreIm = centreIm;
    copy->discMode = discMode;
    copy->colorMap = colorMap;
    copy->antiAliasing = antiAliasing;
    copy->SetMaxIterations(IterationLimit());
    copy->SetSize(Size());
    copy->precision = precision;
    copy->SelectBackEnd();
    return copy;
}

const tBackEnd* MandelbrotBackEnd(uint8_t precision, double zoom)
{
    if (precision == 5)
        precision = 10000.0 >= zoom ? 2 : 3;
    return WidestBackEnd(precision, CurrentCpuFeatures());
}

void tFractalMandelBrot::SelectBackEnd()
{
    SetBackEnd(nullptr, 0, 0, "Not Assigned");
    if (const tBackEnd* b = MandelbrotBackEnd(precision, zoom))
        SetBackEnd(b->routine, b->lanes, b->elementType, b->name, precision == kPrecisionPerturbation);
    else
        LogWarning(1, "Selected Percision is not supported by this fractal generator");
    if (precision == 5)
        LogNote(3, "Using percision " + BackEndName());
}
