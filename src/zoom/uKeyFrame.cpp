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

tFractalKeyFrame::tFractalKeyFrame(int32_t index) : index_(index)
{
    Assert(index >= 0 && index < kMaxPathKeyframes, "uPath", 375);
}

tFractalKeyFrame::~tFractalKeyFrame() { ReleaseRender(); }

tPage* tFractalKeyFrame::Page() const { return generator_ ? generator_->Page() : nullptr; }

float tFractalKeyFrame::Progress() const { return generator_ ? static_cast<float>(generator_->Progress()) : 0.0f; }

bool tFractalKeyFrame::StartRender(const tKeyframeJob& job)
{
    ReleaseRender();

    tPage* page = job.pool.AcquirePage();
    if (!page)
        return false;
    pool_ = &job.pool;
    const tPathRenderParams& params = job.params;
    if (page->Width() != params.resolution || page->Height() != params.resolution) {
        LogNote(2, "Warning buffer / fractal size miss match... resizing to compensate");
        page->SetSize(params.resolution, params.resolution, pfRGBA, false);
    }

    generator_ = std::make_unique<tFractalMandelBrot>(page);
    generator_->centreRe = static_cast<double>(view.x);
    generator_->centreIm = static_cast<double>(view.y);
    generator_->zoom = static_cast<double>(view.scale);
    generator_->Restart();
    generator_->discMode = true;
    generator_->colorMap = params.colorMap;
    generator_->antiAliasing = params.aa;
    generator_->SetMaxIterations(params.iterations);
    generator_->SetSize(params.resolution);
    generator_->precision = params.precision;
    generator_->random = &job.random;
    if (job.dive)
        SetUpDeepView(*job.dive, params);
    generator_->SelectBackEnd();

    page->Clear(tFloatColor{0, 0, 0, 0});
    renderStart = HighResTime();
    renderEnd = 0;
    renderDuration = 0;
    return true;
}

void tFractalKeyFrame::SetUpDeepView(const tDeepDive& dive, const tPathRenderParams& params)
{
    const tBigComplex centre = dive.target.Plus({view.x, view.y});
    generator_->deepCentre = centre;
    generator_->centreRe = centre.re.ToDouble();
    generator_->centreIm = centre.im.ToDouble();
    const tKeyframeLook look = dive.LookAt(view.scale, params.iterations);
    generator_->SetMaxIterations(look.iterations);
    generator_->colourFloor = look.colourFloor;
    generator_->colourSpan = look.colourSpan;
    if (look.perturbation)
        generator_->precision = kPrecisionPerturbation;
}

int64_t tFractalKeyFrame::RenderStep(int64_t budget, const tKeyframeJob& job)
{
    // Nothing rendered yet starts the render; a deep keyframe whose
    // reference orbit is under way has nothing rendered yet either.
    const bool started = generator_ && generator_->Reference();
    if (Progress() == 0.0f && !started && !StartRender(job))
        return 0;
    const int64_t result = generator_->RenderStep(budget);
    if (Complete() && renderStart > renderEnd) {
        renderEnd = HighResTime();
        renderDuration = renderEnd - renderStart;
        if (job.params.writeToDisk && job.dump)
            job.dump(*generator_->Page(), "Fractal " + FloatToStr(view.x) + "-" + IntToStr(job.renderingIndex) + ".bmp");
        // Drawn scaled, the texture filter blends the disc's rim with the
        // pixels beyond it; in black those would leave a dark ring.
        generator_->Page()->BleedIntoTransparentEdges();
    }
    return result;
}

void tFractalKeyFrame::ReleaseRender()
{
    if (!generator_)
        return;
    if (tPage* page = generator_->Page(); page && pool_)
        pool_->ReleasePage(page);
    pool_ = nullptr;
    generator_.reset();
}
