// zoom-frames: runs the screen saver's own zoom (the frame loop of the
// saver window, on a window of its own) for a while and looks at every frame
// it presents: how much each frame differs from the one before, most of all
// where the zoom hands over from one keyframe to the next, and whether an
// edge row or column of a frame stays black. It also judges the picture: the
// share of near-black pixels in each frame, and whether a keyframe disc's
// hard rim shows inside the frame (the picture ending along a circle with
// black beyond it). Frames can be written as PNG files to look at them.
//
// By default the clock is real, as in the saver, so slow keyframe rendering
// slows the zoom exactly as it does there. --fixed-step runs the loop on a
// made-up clock of 60 frames a second instead (--step-rate sets another
// rate): every frame then moves the zoom by the same step and keyframes are
// always ready, which isolates the composition of the frames from the speed
// of the machine. A lower rate looks at fewer frames of the same zoom.
#include "uClock.h"
#include "uFormat.h"
#include "uFractal.h"
#include "uFrameMeasures.h"
#include "uGLSurface.h"
#include "uGlobalSettings.h"
#include "uLog.h"
#include "uNumberParser.h"
#include "uOpenGL.h"
#include "uPage.h"
#include "uParticle.h"
#include "uPath.h"
#include "uPlatform.h"
#include "uRunModes.h"
#include "uToolMain.h"
#include "uToolZoomHost.h"
#include "uUniverse.h"
#include "uViewPort.h"
#include "uZoomRunner.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: zoom-frames [--seconds S] [--window WxH] [--detail 1-5] [--resolution N] [--iterations N]\n"
    "                   [--seed N] [--fixed-step] [--out DIR] [--every N] [--around-handovers N]\n"
    "                   [--deep-zoom] [--deep-dive]\n"
    "                   [--per-frame] [--log LEVEL] [--step-rate N]\n"
    "  --seconds S          how long the zoom runs (default 60)\n"
    "  --window WxH         size of the window (default 640x480)\n"
    "  --detail L           detail level whose settings the zoom uses (default 1)\n"
    "  --resolution N       keyframe edge in pixels instead of the level's\n"
    "  --iterations N       iteration limit instead of the level's\n"
    "  --seed N             pattern seed (default 1)\n"
    "  --fixed-step         a made-up clock of exactly 60 frames a second\n"
    "  --out DIR            write frames there as frame-NNNNN.png\n"
    "  --every N            with --out: every Nth frame (default 30)\n"
    "  --around-handovers N with --out: also the N frames before and after every hand-over\n"
    "  --deep-zoom          deep zooming on (huge zooms to 2^40)\n"
    "  --deep-dive          deep zooming and deep dives (huge zooms to 10^100)\n"
    "  --per-frame          print a line per frame: near-black share and a visible disc rim\n"
    "  --log LEVEL          the log's notes up to that level (1-4) on standard error\n"
    "  --step-rate N        with --fixed-step: N frames a second of the made-up clock (default 60)\n"
    "Prints one line per keyframe hand-over (frame, keyframe, difference to the frame\n"
    "before, median difference of the neighbouring steps, their ratio) and a summary,\n"
    "then a picture line: the share of near-black pixels (luma below 16) per frame as\n"
    "median, 90th percentile and the share of frames above 85 %, and the frames in which\n"
    "a keyframe disc's hard rim is visible.\n";

struct tOptions {
    double seconds = 60;
    int32_t width = 640;
    int32_t height = 480;
    int32_t detail = 1;
    int32_t resolution = 0;
    int32_t iterations = 0;
    int32_t seed = 1;
    bool fixedStep = false;
    bool deepZoom = false;
    bool deepDive = false;
    int32_t stepRate = 60;
    std::string outDir;
    int32_t every = 30;
    int32_t around = 0;
    bool perFrame = false;
    int32_t logLevel = 0;
};

bool ParseOptions(int argc, char** argv, tOptions& o)
{
    const auto bad = [](const std::string& what) {
        std::fprintf(stderr, "zoom-frames: %s\n", what.c_str());
        return false;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--fixed-step" || arg == "--per-frame") {
            (arg == "--fixed-step" ? o.fixedStep : o.perFrame) = true;
            continue;
        }
        if (arg == "--deep-zoom" || arg == "--deep-dive") {
            o.deepZoom = true;
            o.deepDive |= arg == "--deep-dive";
            continue;
        }
        if (i + 1 >= argc)
            return bad(arg.rfind("--", 0) == 0 ? "missing value for " + arg : "unexpected " + arg);
        const std::string value = argv[++i];
        if (arg == "--seconds") {
            double s = 0;
            if (!TryStrToFloat(value, s) || !(s > 0) || s > 86400)
                return bad("--seconds needs a number of seconds above 0");
            o.seconds = s;
        } else if (arg == "--window") {
            if (!ParseSize(value, 64, 4096, o.width, o.height))
                return bad("--window needs WxH, each from 64 to 4096");
        } else if (arg == "--detail") {
            if (!ParseWholeNumber(value, 1, 5, o.detail))
                return bad("--detail needs a level from 1 to 5");
        } else if (arg == "--resolution") {
            if (!ParseWholeNumber(value, 16, 4096, o.resolution))
                return bad("--resolution needs a whole number from 16 to 4096");
        } else if (arg == "--iterations") {
            if (!ParseWholeNumber(value, 1, 1 << 20, o.iterations))
                return bad("--iterations needs a whole number from 1 to 1048576");
        } else if (arg == "--seed") {
            if (!ParseWholeNumber(value, 1, INT32_MAX, o.seed))
                return bad("--seed needs a whole number from 1 to 2147483647");
        } else if (arg == "--out") {
            o.outDir = value;
        } else if (arg == "--every") {
            if (!ParseWholeNumber(value, 1, 1000000, o.every))
                return bad("--every needs a whole number of at least 1");
        } else if (arg == "--step-rate") {
            if (!ParseWholeNumber(value, 1, 1000, o.stepRate))
                return bad("--step-rate needs a whole number of frames a second from 1 to 1000");
        } else if (arg == "--log") {
            if (!ParseWholeNumber(value, 1, 4, o.logLevel))
                return bad("--log needs a level from 1 to 4");
        } else if (arg == "--around-handovers") {
            if (!ParseWholeNumber(value, 0, 100, o.around))
                return bad("--around-handovers needs a whole number from 0 to 100");
        } else {
            return bad("unknown option " + arg);
        }
    }
    return true;
}

/// Root mean square difference of two frames' colours, on a scale of 0 to 1.
double Difference(const tPage& a, const tPage& b)
{
    double sum = 0;
    const int32_t n = a.Width() * a.Height();
    const uint8_t* p = a.Pixels();
    const uint8_t* q = b.Pixels();
    for (int32_t i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c) {
            const double d = (p[4 * i + c] - q[4 * i + c]) / 255.0;
            sum += d * d;
        }
    return std::sqrt(sum / (3.0 * n));
}

/// Brightest channel of a row (dy = 0) or column (dx = 0) of the frame.
int Brightest(const tPage& page, int32_t x, int32_t y, int32_t dx, int32_t dy, int32_t count)
{
    int most = 0;
    for (int32_t i = 0; i < count; ++i) {
        const tPackedColor c = page.GetPixel(x + i * dx, y + i * dy);
        most = std::max({most, static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                         static_cast<int>((c >> 16) & 0xFF)});
    }
    return most;
}

/// True when an edge row or column is black while the one inside it is not:
/// a seam the picture does not reach.
bool HasBlackEdge(const tPage& f)
{
    const int32_t w = f.Width();
    const int32_t h = f.Height();
    const auto seam = [](int edge, int inner) { return edge <= 2 && inner > 16; };
    return seam(Brightest(f, 0, 0, 1, 0, w), Brightest(f, 0, 1, 1, 0, w)) ||
           seam(Brightest(f, 0, h - 1, 1, 0, w), Brightest(f, 0, h - 2, 1, 0, w)) ||
           seam(Brightest(f, 0, 0, 0, 1, h), Brightest(f, 1, 0, 0, 1, h)) ||
           seam(Brightest(f, w - 1, 0, 0, 1, h), Brightest(f, w - 2, 0, 0, 1, h));
}

/// Rim samples per keyframe disc, one a degree.
constexpr int kRimSamples = 360;
/// Window pixels between a rim sample and the rim.
constexpr extended kRimClearance = 3;

/// The rims of the keyframe discs the next frame draws, as they reach the
/// window through the scene's camera (tilt and perspective included): for
/// each keyframe sprite that shows, samples just within its opaque disc and
/// just beyond its rim, the latter marked where the other keyframe's disc
/// lies (the deeper keyframe's rim runs over the shallower one's picture).
/// Sets up the scene's projection and camera as the next frame's drawing
/// will.
std::vector<std::vector<tRimSample>> KeyframeRims(tPath& path)
{
    std::vector<std::vector<tRimSample>> rims;
    tViewPortGL* viewport = path.Scene()->Viewport();
    viewport->SetupProjection();
    viewport->ApplyCamera();
    GLdouble model[16];
    GLdouble projection[16];
    GLint area[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, area);
    const auto project = [&](const tVector2& p) {
        GLdouble x = 0;
        GLdouble y = 0;
        GLdouble z = 0;
        gluProject(static_cast<double>(p.x), static_cast<double>(p.y), 0, model, projection, area, &x, &y, &z);
        return tVector2{x, area[3] - y}; // window rows run downwards
    };
    struct tDisc {
        tVector2 centre;
        extended opaque = 0; // radius of the fully opaque part
        extended rim = 0;    // radius of the rim
        bool shown = false;
    };
    const std::pair<const tFractalKeyFrame*, const tParticle*> drawn[] = {{path.A(), path.ParticleA()},
                                                                          {path.B(), path.ParticleB()}};
    std::array<tDisc, 2> discs{};
    for (size_t i = 0; i < discs.size(); ++i) {
        const auto& [keyframe, particle] = drawn[i];
        const tFractalMandelBrot* g = keyframe ? keyframe->Generator() : nullptr;
        // Opaque up to 8 keyframe pixels within the radius; the texture's
        // filter can smear one pixel more beyond it.
        if (g && particle->scale > 0 && particle->opacity >= 0.25)
            discs[i] = {particle->position, particle->scale * (g->Radius() - 8), particle->scale * (g->Radius() + 1),
                        true};
    }
    for (size_t i = 0; i < discs.size(); ++i) {
        if (!discs[i].shown)
            continue;
        const tDisc& other = discs[1 - i];
        std::vector<tRimSample>& rim = rims.emplace_back();
        for (int k = 0; k < kRimSamples; ++k) {
            const tVector2 direction = tVector2{1, 0}.Rotated(static_cast<extended>(k) * 360 / kRimSamples);
            const tVector2 beyond = discs[i].centre + direction * (discs[i].rim + kRimClearance);
            const bool covered = other.shown && (beyond - other.centre).LengthSquared() < other.opaque * other.opaque;
            rim.push_back({project(discs[i].centre + direction * (discs[i].opaque - kRimClearance)), project(beyond),
                           !covered});
        }
    }
    return rims;
}

/// The log's notes up to a level on standard error while it lives.
class tNotesToStandardError : public tLogList {
public:
    explicit tNotesToStandardError(int32_t level)
    {
        if (level <= 0)
            return;
        LogListLevel = level;
        SetLogNotesList(this);
    }
    ~tNotesToStandardError() override
    {
        if (LogNotesList() == this)
            SetLogNotesList(nullptr);
    }
    bool HasParent() const override { return true; }
    void AddLine(const std::string& line) override { std::fprintf(stderr, "%s\n", line.c_str()); }
};

int Run(const tOptions& o)
{
    const tNotesToStandardError notes(o.logLevel);
    tGlobalSettings settings;
    settings.detailLevel = static_cast<uint8_t>(o.detail);
    settings.zoomDeep = o.deepZoom;
    settings.deepDive = o.deepDive;
    settings.ApplyDetailLevel();
    if (o.resolution > 0)
        settings.FractalResolution = o.resolution;
    if (o.iterations > 0)
        settings.fractalItterations = o.iterations;
    settings.PatternSeed = o.seed;
    if (!o.outDir.empty())
        std::filesystem::create_directories(o.outDir);

    EnsureGLApplication();
    tToolZoomHost host(o.width, o.height, o.fixedStep, o.stepRate);
    tZoomRunner runner(settings, host, rmDemo);

    struct tFrameInfo {
        double difference = 0;
        bool handover = false;
        int32_t keyframe = -1;
        bool blackEdge = false;
        double nearBlack = 0;
        bool discEdge = false;
    };
    std::vector<tFrameInfo> frames;
    std::vector<tPage> recent(static_cast<size_t>(o.around) + 1); // ring of the last frames
    auto previousFrame = std::make_unique<tPage>();
    auto currentFrame = std::make_unique<tPage>();
    int32_t lastKeyframe = -1;
    int32_t swaps = 0;
    uint64_t pendingAfter = 0;
    extended started = 0;
    // Where the keyframe discs of the frame being drawn lie: taken after the
    // update that placed them, read against the frame presented next.
    std::vector<std::vector<tRimSample>> rims;

    const auto save = [&](const tPage& page, uint64_t frame) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%05llu.png", static_cast<unsigned long long>(frame));
        page.SaveToPngFile(o.outDir + name);
    };

    runner.beforePresent = [&] {
        ReadBackBuffer(o.width, o.height, *currentFrame);
        tFrameInfo info;
        info.difference =
            previousFrame->Width() == currentFrame->Width() ? Difference(*previousFrame, *currentFrame) : 0;
        info.blackEdge = HasBlackEdge(*currentFrame);
        info.nearBlack = NearBlackShare(*currentFrame);
        for (const auto& rim : rims)
            info.discEdge = info.discEdge || FindDiscEdge(*currentFrame, rim).Visible();
        if (o.perFrame)
            std::printf("frame=%zu near-black=%.3f disc-edge=%d\n", frames.size(), info.nearBlack, info.discEdge);
        frames.push_back(info);
        std::swap(previousFrame, currentFrame);
    };
    runner.onFrame = [&](const tFrameReport& report) {
        tFrameInfo& info = frames.back();
        // The frame presented now was drawn before this frame's update: its
        // keyframes are the ones the previous frame placed.
        info.keyframe = lastKeyframe;
        if (frames.size() >= 2 && frames[frames.size() - 2].keyframe != lastKeyframe)
            info.handover = true;
        // A keyframe is told apart from one of the same number on the next path.
        swaps += report.pathSwapped;
        lastKeyframe = report.keyframeA < 0 ? -1 : swaps * 1000 + report.keyframeA;
        const tPage& previous = *previousFrame;
        if (!o.outDir.empty()) {
            const uint64_t n = frames.size() - 1;
            if (n % static_cast<uint64_t>(o.every) == 0 || n <= pendingAfter)
                save(previous, n);
            if (o.around > 0) {
                if (info.handover) {
                    for (size_t k = 0; k < recent.size() - 1; ++k)
                        if (n > k && recent[(n - 1 - k) % recent.size()].Width() > 0)
                            save(recent[(n - 1 - k) % recent.size()], n - 1 - k);
                    save(previous, n);
                    pendingAfter = n + static_cast<uint64_t>(o.around);
                }
                tPage& slot = recent[n % recent.size()];
                slot.SetSize(previous.Width(), previous.Height(), pfRGBA);
                std::copy_n(previous.Words(), static_cast<size_t>(previous.Stride() / 4) * previous.Height(),
                            slot.Words());
            }
        }
        rims = KeyframeRims(*runner.CurrentPath());
        if (o.fixedStep)
            host.FrameDone();
        if (host.Now() - started >= o.seconds)
            runner.RequestClose();
    };

    while (runner.Phase() != tRunPhase::Zooming && runner.Tick())
        host.ProcessMessages();
    started = host.Now();
    while (runner.Tick())
        host.ProcessMessages();

    // Hand-overs: the step into the new keyframe against the steps around it.
    int handovers = 0;
    double worst = 0;
    for (size_t i = 1; i < frames.size(); ++i) {
        if (!frames[i].handover || frames[i].keyframe < 0 || frames[i - 1].keyframe < 0)
            continue;
        std::vector<double> around;
        for (size_t k = (i > 5 ? i - 5 : 1); k <= std::min(i + 5, frames.size() - 1); ++k)
            if (k != i && !frames[k].handover)
                around.push_back(frames[k].difference);
        const double median = Quantile(around, 0.5);
        const double ratio = median > 0 ? frames[i].difference / median : 0;
        worst = std::max(worst, ratio);
        ++handovers;
        std::printf("handover frame=%zu keyframe=%d difference=%.4f neighbours=%.4f ratio=%.2f\n", i,
                    frames[i].keyframe, frames[i].difference, median, ratio);
    }
    std::vector<double> all;
    int blackEdges = 0;
    for (const tFrameInfo& f : frames) {
        all.push_back(f.difference);
        blackEdges += f.blackEdge;
    }
    std::printf("frames=%zu seconds=%s handovers=%d worst-ratio=%.2f median-difference=%.4f black-edge-frames=%d\n",
                frames.size(), Format3(o.seconds).c_str(), handovers, worst, Quantile(all, 0.5), blackEdges);
    std::vector<double> nearBlack;
    int darkFrames = 0;
    int discEdges = 0;
    for (const tFrameInfo& f : frames) {
        nearBlack.push_back(f.nearBlack);
        darkFrames += f.nearBlack > 0.85;
        discEdges += f.discEdge;
    }
    std::printf("near-black-median=%.3f near-black-p90=%.3f frames-over-85%%=%.2f%% disc-edge-frames=%d\n",
                Quantile(nearBlack, 0.5), Quantile(nearBlack, 0.9),
                frames.empty() ? 0.0 : 100.0 * darkFrames / static_cast<double>(frames.size()), discEdges);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    tOptions options;
    return ToolMain(
        argc, argv, "zoom-frames", kUsage, [&] { return ParseOptions(argc, argv, options); }, [&] { return Run(options); });
}
