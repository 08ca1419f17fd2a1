// path-frames: shows a developer what a zoom path puts on screen, without
// the screen-saver window. It plans one path with a fixed seed the way the
// screen saver does (point finder, path sequence), renders its keyframes
// completely, and for a few path times lets the path place, scale, turn and
// cross-fade its two keyframe sprites exactly as in the frame loop; the
// scene is drawn through the engine into a window on the (virtual) display,
// read back and written as PNG files.
#include "uFormat.h"
#include "uFractalPointFinder.h"
#include "uGLSurface.h"
#include "uGlobalSettings.h"
#include "uGUI.h"
#include "uLog.h"
#include "uNumberParser.h"
#include "uOpenGL.h"
#include "uPage.h"
#include "uParticle.h"
#include "uPath.h"
#include "uPathSequence.h"
#include "uRandom.h"
#include "uUniverse.h"
#include "uViewPort.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: path-frames OUTDIR [--kind pan|short|long|huge] [--seed N] [--resolution N]\n"
    "                   [--iterations N] [--window WxH] [--times T,T,...] [--frames N]\n"
    "                   [--colour-code] [--keyframes] [--no-tilt]\n"
    "  --kind K        the zoom to plan (default short; huge turns deep zooming on)\n"
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

const char* const kKindNames[] = {"", "pan", "short", "long", "huge"};

bool ParseInt(const std::string& text, int64_t low, int64_t high, int32_t& out)
{
    int64_t n = 0;
    if (!TryStrToInt(text, n) || n < low || n > high)
        return false;
    out = static_cast<int32_t>(n);
    return true;
}

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
                    return bad("--kind needs pan, short, long or huge");
                o.kind = static_cast<int32_t>(found - std::begin(kKindNames));
            } else if (arg == "--seed") {
                int64_t seed = 0;
                if (!TryStrToInt(value, seed) || seed < 0 || seed > UINT32_MAX)
                    return bad("--seed needs a whole number from 0 to 4294967295");
                o.seed = static_cast<uint32_t>(seed);
            } else if (arg == "--resolution") {
                if (!ParseInt(value, 16, 4096, o.resolution))
                    return bad("--resolution needs a whole number from 16 to 4096");
            } else if (arg == "--iterations") {
                if (!ParseInt(value, 1, 1 << 20, o.iterations))
                    return bad("--iterations needs a whole number from 1 to 1048576");
            } else if (arg == "--window") {
                const auto parts = SplitText(value, 'x');
                if (parts.size() != 2 || !ParseInt(parts[0], 16, 4096, o.width) ||
                    !ParseInt(parts[1], 16, 4096, o.height))
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
                if (!ParseInt(value, 1, 1000, n))
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

/// The back buffer of the current context, top row first, as a page.
void ReadFrame(int32_t width, int32_t height, tPage& page)
{
    page.SetSize(width, height, pfRGBA);
    std::vector<uint32_t> bottomUp(static_cast<size_t>(width) * height);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            page.SetPixel(x, y, bottomUp[static_cast<size_t>(height - 1 - y) * width + x] | 0xFF000000u);
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
    SetRandSeed(o.seed);

    tGlobalSettings settings;
    settings.zoomDeep = o.kind == tPathSequence::kHugeZoom;
    GlobalSettings = &settings;

    EnsureGLApplication();
    tWindowHandle window = CreateTestWindow(o.width, o.height);
    auto gl = tOpenGLInterface::Create(window);
    auto guiSystem = std::make_unique<tGuiSystem>();
    auto mainGui = std::make_unique<tGuiInterface>("mainGui");
    mainGui->Activate();
    tUniverse* scene = mainGui->Scene();
    // What the screen saver's resize handling does for its window.
    for (tUniverse* u : {guiSystem->Scene(), scene})
        u->Viewport()->SetArea({0, 0}, {static_cast<extended>(o.width), static_cast<extended>(o.height)});
    scene->clearBeforeDrawing = true;

    auto path = std::make_unique<tPath>(scene);
    tPathRenderParams params;
    params.resolution = o.resolution;
    params.iterations = o.iterations;
    params.precision = 5;
    params.aa = tAASettings{};
    path->SetParams(params);
    path->ApplyResolution();
    path->colourCodeFrames = o.colourCode;

    tFractalPointFinder finder;
    tPathSequence sequence(finder);
    sequence.today = [] { return int64_t{0}; }; // the same looks on every day
    sequence.ResetSequences();
    sequence.ZoomKindSequence().Clear();
    sequence.ZoomKindSequence().Add(o.kind);
    sequence.PlanPath(*path);
    if (!o.tilt)
        path->tiltMode = 0;
    path->StartPath();
    guiSystem->Advance(0); // the new sprites come alive

    const extended duration = path->Duration();
    std::vector<double> times = o.times;
    if (times.empty())
        for (int32_t i = 0; i < o.frames; ++i)
            times.push_back(static_cast<double>(duration) * (i + 0.5) / o.frames);
    std::sort(times.begin(), times.end());

    const tPathPoint first = path->Point(0);
    std::printf("kind=%s seed=%u duration=%s keyframes=%d tilt=%d point=[%s,%s] scale %s -> %s\n",
                kKindNames[o.kind], o.seed, FloatToStr(duration).c_str(), path->KeyframeCount(), path->tiltMode,
                FloatToStr(first.x).c_str(), FloatToStr(first.y).c_str(), FloatToStr(first.scale).c_str(),
                FloatToStr(path->Point(path->PointCount() - 1).scale).c_str());

    for (int32_t k = 0; k < path->KeyframeCount(); ++k)
        std::printf("  keyframe %d: time %s scale %s\n", k, FloatToStr(path->Keyframe(k).view.time).c_str(),
                    FloatToStr(path->Keyframe(k).view.scale).c_str());

    std::vector<bool> written(static_cast<size_t>(path->KeyframeCount()), false);
    tPage frame;
    for (size_t i = 0; i < times.size(); ++i) {
        path->SetTime(times[i]);
        path->Advance(0); // passed keyframes give their pages back
        RenderCurrentKeyframes(*path);
        if (o.keyframes)
            for (tFractalKeyFrame* k : {path->A(), path->B()})
                if (k && k->Complete() && !written[static_cast<size_t>(k->Index())]) {
                    k->Page()->SaveToPngFile(o.outDir + "/keyframe-" + IntToStr(k->Index()) + ".png");
                    written[static_cast<size_t>(k->Index())] = true;
                }
        path->Display();
        guiSystem->Advance(0);
        mainGui->Draw();
        ReadFrame(o.width, o.height, frame);
        const std::string name =
            o.outDir + "/frame-" + kKindNames[o.kind] + "-" + TwoDigits(static_cast<int>(i)) + ".png";
        if (!frame.SaveToPngFile(name))
            return 1;
        const tPathPoint cur = path->Evaluate(path->Time());
        std::printf("%s t=%.2f scale=%s angle=%.2f A=%d B=%d sizeA=%.4f sizeB=%.4f small=%s opacity=%.3f "
                    "blend=%.3f\n",
                    name.c_str(), times[i], FloatToStr(cur.scale).c_str(), static_cast<double>(cur.angle),
                    path->A()->Index(), path->B()->Index(), path->ParticleA()->scale, path->ParticleB()->scale,
                    path->ParticleA()->Layer() == scene->ForeLayer() ? "A" : "B",
                    (path->ParticleA()->Layer() == scene->ForeLayer() ? path->ParticleA() : path->ParticleB())->opacity,
                    static_cast<double>(path->BlendFactor(cur)));
        gl->Present();
    }

    path.reset();
    mainGui.reset();
    guiSystem.reset();
    gl.reset();
    GlobalSettings = nullptr;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    tOptions options;
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    SendLogToStandardError();
    int status = 1;
    try {
        status = Run(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "path-frames: %s\n", e.what());
    }
    SetLogWarningsList(nullptr);
    return status;
}
