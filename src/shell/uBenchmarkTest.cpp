// Sections: tBenchmarkTest (set-up, stages, run loop), the score.
#include "uBenchmarkTest.h"

#include "uAssert.h"
#include "uClock.h"
#include "uColorMap.h"
#include "uFormat.h"
#include "uFractal.h"
#include "uGlobalSettings.h"
#include "uLog.h"
#include "uOpenGL.h"
#include "uPlatform.h"
#include "uRenderWorkers.h"
#include "uScratchPages.h"
#include "uSprite.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {
constexpr double kViewZoom = 100000.0;
constexpr double kViewRe = 0.371540195428848;
constexpr double kViewIm = 0.167646706104279;
constexpr int32_t kStartIterations = 1024;
constexpr uint8_t kRunPrecision = 3; // 64-bit floats, whatever the settings say
constexpr float kRunThreshold = 0.6f;
constexpr extended kScoreSeconds = 3300;

// The sprite covers size x size pixels of its page, centred on its hotspot.
void SetSpriteArea(tPatternSprite& sprite, int32_t size)
{
    sprite.rect = {0, 0, size - 1, size - 1};
    sprite.CentreHotspot();
}
} // namespace

// ------------------------------------------------------------ tBenchmarkTest

tBenchmarkTest::tBenchmarkTest(tOpenGLInterface& gl) : gl_(gl)
{
    gl_.MakeCurrent();
    sprite_ = std::make_unique<tPatternSprite>(gl_, nullptr, kSpriteSize, kSpriteSize);
    SetSpriteArea(*sprite_, kSpriteSize);
    fractal_ = std::make_unique<tFractalMandelBrot>(sprite_->Page());
}

tBenchmarkTest::~tBenchmarkTest() = default;

void tBenchmarkTest::Start(const std::string& testName, uint8_t precisionCode, int colorMapPreset)
{
    LogNote(1, "Starting benchmark \"" + testName + "\"");
    name = testName;
    startTime = 0;
    endTime = 0;
    stage = bsStarted;
    fractal_->Restart();
    fractal_->zoom = kViewZoom;
    fractal_->centreRe = kViewRe;
    fractal_->centreIm = kViewIm;
    fractal_->discMode = true;
    fractal_->colorMap = ColorMapGenerator().GetPreset(colorMapPreset);
    fractal_->antiAliasing = tAASettings{};
    fractal_->SetMaxIterations(kStartIterations);
    fractal_->SetSize(kSpriteSize);
    fractal_->precision = precisionCode;
    fractal_->SelectBackEnd();
}

void tBenchmarkTest::Configure(const tGlobalSettings& settings, int32_t aaSamples)
{
    const int32_t resolution = settings.FractalResolution;
    fractal_->SetSize(resolution);
    fractal_->SetMaxIterations(settings.fractalItterations);
    fractal_->precision = kRunPrecision;
    fractal_->antiAliasing = settings.aa;
    fractal_->SelectBackEnd();
    if (sprite_->Width() != resolution) {
        gl_.MakeCurrent();
        sprite_->Page()->SetSize(TextureSide(resolution), TextureSide(resolution), pfRGBA);
        SetSpriteArea(*sprite_, resolution);
    }
    fractal_->antiAliasing.threshold = kRunThreshold;
    fractal_->antiAliasing.samples = aaSamples;
}

void tBenchmarkTest::Step()
{
    if (stage != bsStarted && stage != bsRunning)
        return;
    if (stage == bsStarted) {
        startTime = HighResTime();
        stage = bsRunning;
    }
    fractal_->RenderStep(kStepSize);
    if (fractal_->Progress() >= 1) {
        endTime = HighResTime();
        stage = bsComplete;
    }
}

extended tBenchmarkTest::Elapsed() const
{
    if (stage <= bsRunning)
        return 0;
    if (stage == bsComplete)
        return endTime - startTime;
    throw std::logic_error("Invalid benchmark stage.");
}

void tBenchmarkTest::Upload()
{
    const extended start = HighResTime();
    if (!gl_.MakeCurrent())
        return;
    sprite_->Refresh();
    if (stage == bsRunning) {
        ++uploads;
        uploadSeconds += HighResTime() - start;
    }
}

void tBenchmarkTest::Run(const std::function<bool()>& stop)
{
    uploads = 0;
    stepSeconds = 0;
    uploadSeconds = 0;
    messageSeconds = 0;
    extended a = HighResTime();
    extended countdown = 0;
    do {
        const extended beforeMessages = HighResTime();
        ProcessMessages();
        if (stage == bsRunning)
            messageSeconds += HighResTime() - beforeMessages;
        const extended b = HighResTime();
        const extended c = HighResTime();
        const extended d = std::min<extended>(b - a, 1);
        if (stage == bsStarted || stage == bsRunning) {
            const extended beforeStep = HighResTime();
            Step();
            stepSeconds += HighResTime() - beforeStep;
            countdown -= std::max<extended>(d, 0);
            if (countdown < 0) {
                Upload();
                countdown += 1;
            }
        }
        if (stop && stop())
            break;
        a = c;
    } while (!Complete());
    Upload();
}

extended tBenchmarkTest::ThreadedSeconds(int32_t threads, const std::function<bool()>& stop)
{
    if (threads < 1)
        return 0;
    const tFractalMandelBrot& f = *fractal_;
    tScratchPageArray pool(0);
    pool.SetPageSize(f.Size(), f.Size());
    pool.AllocatePages(threads);
    std::vector<std::shared_ptr<tKeyframeRender>> renders;
    for (int32_t i = 0; i < threads; ++i) {
        tPage* page = pool.AcquirePage();
        renders.push_back(std::make_shared<tKeyframeRender>(pool, *page, f.SamePictureOn(page), true, 0));
    }
    const extended start = HighResTime();
    tRenderWorkers workers(threads);
    workers.SetWork(renders);
    const auto done = [&] {
        return std::all_of(renders.begin(), renders.end(), [](const auto& r) { return r->Complete() || r->Stuck(); });
    };
    while (!done()) {
        ProcessMessages();
        if (stop && stop())
            return 0;
        SleepMs(1);
    }
    return (HighResTime() - start) / threads;
}

// ------------------------------------------------------------ score

std::optional<int64_t> BenchmarkScore(extended seconds)
{
    if (!(seconds > 0))
        return std::nullopt;
    return Round(kScoreSeconds / seconds);
}

std::string BenchmarkScoreText(std::optional<int64_t> score)
{
    return "Score: " + (score ? FormatThousands(*score) : std::string("?"));
}

std::string BenchmarkReportLine(int64_t score, extended seconds, const std::string& backEnd, int32_t resolution,
                                const std::string& aaText)
{
    const std::string r = IntToStr(resolution);
    return "Score: " + IntToStr(score) + " (" + Format3(seconds) + " seconds, " + backEnd + ", " + r + "\u00d7" + r +
           ", AA " + aaText + ")";
}
