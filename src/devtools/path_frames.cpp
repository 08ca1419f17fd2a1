// path-frames: shows a developer what a zoom path puts on screen. It starts
// the saver's own zoom in a window of its own with a fixed seed, plans the
// first zoom of the kind asked for, renders its keyframes completely, and for
// a few path times composes the frame exactly as the saver does (both
// keyframes placed, turned and cross-faded, the vignette and the fade
// overlay), reads it back and writes it as a PNG file.
#include "uFormat.h"
#include "uFractalPointFinder.h"
#include "uGLSurface.h"
#include "uGlobalSettings.h"
#include "uLog.h"
#include "uNumberParser.h"
#include "uOpenGL.h"
#include "uPage.h"
#include "uParticle.h"
#include "uPath.h"
#include "uPathSequence.h"
#include "uRandom.h"
#include "uUniverse.h"
#include "uRunModes.h"
#include "uToolMain.h"
#include "uToolZoomHost.h"
#include "uZoomRunner.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: path-frames OUTDIR [--kind pan|short|long|huge|dive] [--seed N] [--resolution N]\n"
    "                   [--iterations N] [--window WxH] [--times T,T,...] [--frames N]\n"
    "                   [--colour-code] [--keyframes] [--no-tilt]\n"
    "  --kind K        the zoom to plan (default short; huge turns deep zooming on, dive\n"
    "                  deep zooming and deep dives: a huge zoom to 10^100)\n"
    "  --seed N        seed of the pseudo-random generator (default 1)\n"
    "  --resolution N  keyframe edge in pixels, 16..4096 (default 384)\n"
    "  --iterations N  iteration limit of the keyframes (default 768)\n"
    "  --window WxH    size of the drawn frame (default 640x480)\n"
    "  --times T,...   path times in seconds to draw (default: --frames evenly spread)\n"
    "  --frames N      number of evenly spread frames when no times are given (default 6)\n"
    "  --colour-code   tint the deeper keyframe green, as the debug window can\n"
    "  --keyframes     also write every keyframe that was rendered as keyframe-I.png\n"
    "  --no-tilt       keep the view flat (tilt mode 0) instead of the planned tilt\n"
    "Frames are written as OUTDIR/frame-KIND-NN.png; a line per frame tells the path\n"
    "time, the keyframes A and B, their sprites' scales and the blend factor.\n";

struct tOptions {
    std::string outDir;
    int32_t kind = tPathSequence::kShortZoom;
    uint32_t seed = 1;
    int32_t resolution = 384;
    int32_t iterations = 768;
    int32_t width = 640;
    int32_t height = 480;
    std::vector<double> times;
    int32_t frames = 6;
    bool colourCode = false;
    bool keyframes = false;
    bool tilt = true;
};

const char* const kKindNames[] = {"", "pan", "short", "long", "huge", "dive"};
/// "dive": a huge zoom with deep dives on.
constexpr int32_t kDive = 5;

bool ParseOptions(int argc, char** argv, tOptions& o)
{
    const auto bad = [](const std::string& what) {
        std::fprintf(stderr, "path-frames: %s\n", what.c_str());
        return false;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--colour-code") {
            o.colourCode = true;
        } else if (arg == "--keyframes") {
            o.keyframes = true;
        } else if (arg == "--no-tilt") {
            o.tilt = false;
        } else if (arg.rfind("--", 0) != 0) {
            if (!o.outDir.empty())
                return bad("more than one output folder");
            o.outDir = arg;
        } else {
            if (i + 1 >= argc)
                return bad("missing value for " + arg);
            const std::string value = argv[++i];
            int32_t n = 0;
            if (arg == "--kind") {
                const auto* found = std::find(std::begin(kKindNames) + 1, std::end(kKindNames), value);
                if (found == std::end(kKindNames))
                    return bad("--kind needs pan, short, long, huge or dive");
                o.kind = static_cast<int32_t>(found - std::begin(kKindNames));
            } else if (arg == "--seed") {
                int64_t seed = 0;
                if (!TryStrToInt(value, seed) || seed < 1 || seed > UINT32_MAX)
                    return bad("--seed needs a whole number from 1 to 4294967295");
                o.seed = static_cast<uint32_t>(seed);
            } else if (arg == "--resolution") {
                if (!ParseWholeNumber(value, 16, 4096, o.resolution))
                    return bad("--resolution needs a whole number from 16 to 4096");
            } else if (arg == "--iterations") {
                if (!ParseWholeNumber(value, 1, 1 << 20, o.iterations))
                    return bad("--iterations needs a whole number from 1 to 1048576");
            } else if (arg == "--window") {
                if (!ParseSize(value, 16, 4096, o.width, o.height))
                    return bad("--window needs WxH, each from 16 to 4096");
            } else if (arg == "--times") {
                o.times.clear();
                for (const std::string& part : SplitText(value, ',')) {
                    double t = 0;
                    if (!TryStrToFloat(part, t) || t < 0)
                        return bad("--times needs seconds of at least 0, separated by commas");
                    o.times.push_back(t);
                }
            } else if (arg == "--frames") {
                if (!ParseWholeNumber(value, 1, 1000, n))
                    return bad("--frames needs a whole number from 1 to 1000");
                o.frames = n;
            } else {
                return bad("unknown option " + arg);
            }
        }
    }
    if (o.outDir.empty())
        return bad("no output folder");
    return true;
}

/// Renders until the keyframes around the path time are complete.
void RenderCurrentKeyframes(tPath& path)
{
    while (!path.BothKeyframesReady())
        if (path.RenderStep(1 << 16) == 0)
            break;
}

std::string TwoDigits(int n) { return n < 10 ? "0" + IntToStr(n) : IntToStr(n); }

int Run(const tOptions& o)
{
    std::filesystem::create_directories(o.outDir);

    tGlobalSettings settings;
    settings.zoomDeep = o.kind >= tPathSequence::kHugeZoom;
    settings.deepDive = o.kind == kDive;
    settings.FractalResolution = o.resolution;
    settings.fractalItterations = o.iterations;
    settings.renderPercision = 0;
    settings.aa = tAASettings{};
    settings.PatternSeed = static_cast<int32_t>(o.seed);

    // The saver's own zoom in a window of this tool, planned as the saver
    // plans it but with the kind of zoom asked for.
    EnsureGLApplication();
    tToolZoomHost host(o.width, o.height, true);
    tZoomRunner runner(settings, host, rmDemo);
    runner.onSequencesReset = [&o](tPathSequence& sequence) {
        sequence.today = [] { return int64_t{0}; }; // the same looks on every day
        sequence.ResetSequences();
        sequence.ZoomKindSequence().Clear();
        sequence.ZoomKindSequence().Add(std::min(o.kind, static_cast<int32_t>(tPathSequence::kHugeZoom)));
    };
    while (runner.Phase() != tRunPhase::Zooming && runner.Tick())
        host.ProcessMessages();
    tPath& path = *runner.CurrentPath();
    path.colourCodeFrames = o.colourCode;
    if (!o.tilt)
        path.tiltMode = 0;

    const extended duration = path.Duration();
    std::vector<double> times = o.times;
    if (times.empty())
        for (int32_t i = 0; i < o.frames; ++i)
            times.push_back(static_cast<double>(duration) * (i + 0.5) / o.frames);
    std::sort(times.begin(), times.end());

    const tPathPoint first = path.Point(0);
    const tVector2 centre = path.PlaneCentre(first);
    std::printf("kind=%s seed=%u duration=%s keyframes=%d tilt=%d point=[%s,%s] scale %s -> %s\n",
                kKindNames[o.kind], o.seed, FloatToStr(duration).c_str(), path.KeyframeCount(), path.tiltMode,
                FloatToStr(centre.x).c_str(), FloatToStr(centre.y).c_str(), FloatToStr(first.scale).c_str(),
                FloatToStr(path.Point(path.PointCount() - 1).scale).c_str());

    for (int32_t k = 0; k < path.KeyframeCount(); ++k)
        std::printf("  keyframe %d: time %s scale %s\n", k, FloatToStr(path.Keyframe(k).view.time).c_str(),
                    FloatToStr(path.Keyframe(k).view.scale).c_str());

    std::vector<bool> written(static_cast<size_t>(path.KeyframeCount()), false);
    tPage frame;
    tUniverse* scene = path.Scene();
    for (size_t i = 0; i < times.size(); ++i) {
        path.SetTime(times[i]);
        path.Advance(0); // passed keyframes give their pages back
        RenderCurrentKeyframes(path);
        if (o.keyframes)
            for (tFractalKeyFrame* k : {path.A(), path.B()})
                if (k && k->Complete() && !written[static_cast<size_t>(k->Index())]) {
                    k->Page()->SaveToPngFile(o.outDir + "/keyframe-" + IntToStr(k->Index()) + ".png");
                    written[static_cast<size_t>(k->Index())] = true;
                }
        runner.ComposeFrame();
        ReadBackBuffer(o.width, o.height, frame);
        const std::string name =
            o.outDir + "/frame-" + kKindNames[o.kind] + "-" + TwoDigits(static_cast<int>(i)) + ".png";
        if (!frame.SaveToPngFile(name))
            return 1;
        const tPathPoint cur = path.Evaluate(path.Time());
        std::printf("%s t=%.2f scale=%s angle=%.2f A=%d B=%d sizeA=%.4f sizeB=%.4f small=%s opacity=%.3f "
                    "blend=%.3f\n",
                    name.c_str(), times[i], FloatToStr(cur.scale).c_str(), static_cast<double>(cur.angle),
                    path.A()->Index(), path.B()->Index(), path.ParticleA()->scale, path.ParticleB()->scale,
                    path.ParticleA()->Layer() == scene->ForeLayer() ? "A" : "B",
                    (path.ParticleA()->Layer() == scene->ForeLayer() ? path.ParticleA() : path.ParticleB())->opacity,
                    static_cast<double>(path.BlendFactor(cur)));
        runner.GL()->Present();
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    tOptions options;
    return ToolMain(
        argc, argv, "path-frames", kUsage, [&] { return ParseOptions(argc, argv, options); }, [&] { return Run(options); });
}
