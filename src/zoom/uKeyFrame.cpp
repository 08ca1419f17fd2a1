#include "uKeyFrame.h"

#include "uAssert.h"
#include "uClock.h"
#include "uDeepDive.h"
#include "uFileLocations.h"
#include "uFormat.h"
#include "uFractal.h"
#include "uLog.h"
#include "uPage.h"
#include "uScratchPages.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>

namespace {

struct tKeyframeDumps {
    int64_t limit = kKeyframeDumpLimit;
    std::string folder; // where used was counted
    int64_t used = 0;
    bool stopped = false;
} gDumps;

// Bytes of earlier dumps in the folder: the limit holds across runs.
int64_t BytesOfDumps(const std::string& folder)
{
    int64_t bytes = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code ignored;
        if (name.rfind("Fractal ", 0) == 0 && it->path().extension() == ".bmp" && it->is_regular_file(ignored))
            bytes += static_cast<int64_t>(it->file_size(ignored));
    }
    return bytes;
}

} // namespace

bool DumpKeyframe(const tPage& page, const std::string& name)
{
    if (gDumps.stopped)
        return false;
    const std::string folder = KeyframeDumpFolder();
    if (folder.empty()) {
        LogWarning(1, "Keyframes are not written to disk: there is no state folder to keep them in");
        gDumps.stopped = true;
        return false;
    }
    if (folder != gDumps.folder) {
        gDumps.folder = folder;
        gDumps.used = BytesOfDumps(folder);
    }
    const int64_t size = 54 + int64_t{page.Width()} * page.Height() * 4;
    if (gDumps.used + size > gDumps.limit) {
        LogWarning(1, "Keyframes are no longer written to disk: \"" + folder + "\" holds " + IntToStr(gDumps.used) +
                          " bytes of them, and " + IntToStr(gDumps.limit) + " is the most allowed");
        gDumps.stopped = true;
        return false;
    }
    tReplaceRules rules;
    rules.throughLinks = false;
    rules.intoDevices = false;
    if (!page.SaveToBitmapFile(folder + "/" + name, rules))
        return false;
    gDumps.used += size;
    return true;
}

void SetKeyframeDumpLimit(int64_t bytes)
{
    gDumps = tKeyframeDumps{};
    gDumps.limit = bytes > 0 ? bytes : kKeyframeDumpLimit;
}

uint32_t KeyframeRandomSeed(const tPathPoint& view)
{
    // FNV-1a over the view as doubles (an 80-bit value carries padding bytes).
    uint32_t hash = 2166136261u;
    for (const double value : {static_cast<double>(view.x), static_cast<double>(view.y), static_cast<double>(view.scale)}) {
        unsigned char bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        for (const unsigned char byte : bytes)
            hash = (hash ^ byte) * 16777619u;
    }
    return hash;
}

// ---------------------------------------------------------------------------
// tKeyframeRender

tKeyframeRender::tKeyframeRender(tScratchPageArray& pool, tPage& page, std::unique_ptr<tFractalMandelBrot> generator,
                                 bool workers, uint32_t seed)
    : pool_(pool), page_(page), generator_(std::move(generator)), workers_(workers), cleared_(!workers), random_(seed)
{
    if (workers_) {
        generator_->random = &random_;
        generator_->logErrors = false;
    }
    Publish();
}

tKeyframeRender::~tKeyframeRender() { pool_.ReleasePage(&page_); }

int64_t tKeyframeRender::Step(int64_t budget)
{
    if (!cleared_) {
        page_.Clear(tFloatColor{0, 0, 0, 0});
        cleared_ = true;
    }
    const int64_t writes = generator_->RenderStep(budget);
    if (generator_->StepFailed())
        failed_.store(true, std::memory_order_release);
    if (writes == 0 && generator_->Progress() < 1)
        stuck_.store(true, std::memory_order_release);
    Publish();
    return writes;
}

void tKeyframeRender::RenderFor(int64_t writesPerStep, double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    try {
        do
            Step(writesPerStep);
        while (!Complete() && !Stuck() && !Cancelled() && std::chrono::steady_clock::now() < end);
    } catch (...) {
        // Nothing may leave a worker thread; the display thread logs the failure.
        failed_.store(true, std::memory_order_release);
        stuck_.store(true, std::memory_order_release);
    }
}

void tKeyframeRender::Publish()
{
    const tFractalMandelBrot& g = *generator_;
    const bool complete = g.Progress() >= 1;
    const int32_t rows = page_.Height();
    // The row of the scan is still being written; the one above it is
    // rendered, but spreading colours into its transparent pixels reads the
    // row below, so it is final only once that row is.
    const int32_t rendered = complete ? rows : std::clamp(g.ScanY() + g.Radius(), 0, rows);
    int32_t finished = complete ? rows : std::max(rendered - 1, 0);
    if (workers_ && finished > bledRows_) {
        page_.BleedIntoTransparentEdges(bledRows_, finished);
        bledRows_ = finished;
    }
    if (!workers_)
        finished = rendered;
    finishedRows_.store(finished, std::memory_order_release);
    progress_.store(static_cast<float>(g.Progress()), std::memory_order_release);
}

// ---------------------------------------------------------------------------
// tFractalKeyFrame

tFractalKeyFrame::tFractalKeyFrame(int32_t index) : index_(index)
{
    Assert(index >= 0 && index < kMaxPathKeyframes, "uPath", 375);
}

tFractalKeyFrame::~tFractalKeyFrame() { ReleaseRender(); }

bool tFractalKeyFrame::StartRender(const tKeyframeJob& job)
{
    ReleaseRender();

    tPage* page = job.pool.AcquirePage();
    if (!page)
        return false;
    const tPathRenderParams& params = job.params;
    if (page->Width() != params.resolution || page->Height() != params.resolution) {
        LogNote(2, "Warning buffer / fractal size miss match... resizing to compensate");
        page->SetSize(params.resolution, params.resolution, pfRGBA, false);
    }

    auto generator = std::make_unique<tFractalMandelBrot>(page);
    generator->centreRe = static_cast<double>(view.x);
    generator->centreIm = static_cast<double>(view.y);
    generator->zoom = static_cast<double>(view.scale);
    generator->Restart();
    generator->discMode = true;
    generator->colorMap = params.colorMap;
    generator->antiAliasing = params.aa;
    generator->SetMaxIterations(params.iterations);
    generator->SetSize(params.resolution);
    generator->precision = params.precision;
    generator->random = &job.random;
    if (job.dive)
        SetUpDeepView(*generator, *job.dive, params);
    generator->SelectBackEnd();

    // A worker clears the page itself: a frame does not wait for it.
    if (!job.workers)
        page->Clear(tFloatColor{0, 0, 0, 0});
    render_ = std::make_shared<tKeyframeRender>(job.pool, *page, std::move(generator), job.workers,
                                                job.workers ? KeyframeRandomSeed(view) : 0);
    failureLogged_ = false;
    renderStart = HighResTime();
    renderEnd = 0;
    renderDuration = 0;
    return true;
}

void tFractalKeyFrame::SetUpDeepView(tFractalMandelBrot& generator, const tDeepDive& dive,
                                     const tPathRenderParams& params) const
{
    const tBigComplex centre = dive.target.Plus({view.x, view.y});
    generator.deepCentre = centre;
    generator.centreRe = centre.re.ToDouble();
    generator.centreIm = centre.im.ToDouble();
    const tKeyframeLook look = dive.LookAt(view.scale, params.iterations);
    generator.SetMaxIterations(look.iterations);
    generator.colourFloor = look.colourFloor;
    generator.colourSpan = look.colourSpan;
    if (look.perturbation)
        generator.precision = kPrecisionPerturbation;
}

int64_t tFractalKeyFrame::RenderStep(int64_t budget, const tKeyframeJob& job)
{
    // Nothing rendered yet starts the render; a deep keyframe whose
    // reference orbit is under way (or not yet begun: its first step begins
    // it) has nothing rendered yet either, and keeps its generator.
    const bool started = render_ && render_->Generator().Perturbing();
    if (Progress() == 0.0f && !started && !StartRender(job))
        return 0;
    const int64_t result = render_->Step(budget);
    if (Complete() && renderStart > renderEnd) {
        Completed(job);
        // Drawn scaled, the texture filter blends the disc's rim with the
        // pixels beyond it; in black those would leave a dark ring. (A worker
        // does this row by row as it renders.)
        render_->Page().BleedIntoTransparentEdges();
    }
    return result;
}

bool tFractalKeyFrame::NoteCompletion(const tKeyframeJob& job)
{
    if (!render_)
        return false;
    if (render_->Failed() && !failureLogged_) {
        LogWarning(1, "Error on fractal render!");
        failureLogged_ = true;
    }
    if (!Complete() || !(renderStart > renderEnd))
        return false;
    Completed(job);
    return true;
}

void tFractalKeyFrame::Completed(const tKeyframeJob& job)
{
    renderEnd = HighResTime();
    renderDuration = renderEnd - renderStart;
    if (job.params.writeToDisk && job.dump)
        job.dump(render_->Page(), "Fractal " + FloatToStr(view.x) + "-" + IntToStr(job.renderingIndex) + ".bmp");
}

void tFractalKeyFrame::ReleaseRender()
{
    if (!render_)
        return;
    // A worker that still renders a slice of it ends the slice early and
    // lets go last; the page goes back to the pool then.
    render_->Cancel();
    render_.reset();
}
