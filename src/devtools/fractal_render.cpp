// fractal-render: renders one view of the Mandelbrot set with the screen
// saver's generator into a PNG file, without any display, and reports the
// back end, the time, the pixel writes and the iterations (the sum of the
// escape counts).
#include "uAASettings.h"
#include "uBigFloat.h"
#include "uClock.h"
#include "uColorMap.h"
#include "uFiles.h"
#include "uToolMain.h"
#include "uFormat.h"
#include "uFractal.h"
#include "uLog.h"
#include "uNumberParser.h"
#include "uPage.h"
#include "uRandom.h"

#include <algorithm>
#include <cinttypes>
#include <iterator>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: fractal-render OUT.png [--centre RE,IM] [--zoom Z] [--size N] [--iterations N]\n"
    "                      [--preset N] [--precision CODE] [--aa THRESHOLD,SAMPLES,RADIUS]\n"
    "                      [--square] [--seed N] [--colours FLOOR,SPAN]\n"
    "  --centre RE,IM   centre of the view, decimal numbers of any length\n"
    "                   (default 0.371540195428848,0.167646706104279)\n"
    "  --zoom Z         magnification, > 0: the image spans 1/Z (default 100000); for\n"
    "                   perturbation at most 1e150\n"
    "  --size N         edge length in pixels, 1..16384 (default 1024)\n"
    "  --iterations N   iteration limit, >= 1 (default 1024)\n"
    "  --preset N       colour map preset 1..14, 0 for the plain fallback colour (default 4)\n"
    "  --precision CODE 2 single, 3 double, 4 extended, 5 automatic, 6 or perturb:\n"
    "                   perturbation from the centre in arbitrary precision (default 2)\n"
    "  --aa T,S,R       anti-aliasing threshold, samples (1..9), radius (default off)\n"
    "  --square         render the whole square instead of the disc\n"
    "  --seed N         seed of the pseudo-random generator (sample patterns of 6+ samples)\n"
    "  --colours F,S    spread the escape counts F .. F+S over the colour map (deep views)\n";

/// Deeper than this the squares of pixel offsets leave a double's range.
constexpr double kDeepestPerturbation = 1e150;

struct tOptions {
    std::string output;
    std::string centreText;
    double centreRe = 0.371540195428848;
    double centreIm = 0.167646706104279;
    double zoom = 100000.0;
    int32_t size = 1024;
    int32_t iterations = 1024;
    int32_t preset = 4;
    uint8_t precision = 2;
    tAASettings aa;
    bool square = false;
    std::optional<uint32_t> seed;
    int32_t colourFloor = 0;
    int32_t colourSpan = 0;
};

/// Fills the options; false (after a message naming the problem) on anything
/// it does not understand.
bool ParseOptions(int argc, char** argv, tOptions& o)
{
    const auto bad = [](const std::string& what) {
        std::fprintf(stderr, "fractal-render: %s\n", what.c_str());
        return false;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--square") {
            o.square = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            if (!o.output.empty())
                return bad("more than one output file");
            o.output = arg;
            continue;
        }
        static const std::string kValued[] = {"--centre", "--zoom", "--size", "--iterations",
                                              "--preset", "--precision", "--aa", "--seed", "--colours"};
        if (std::find(std::begin(kValued), std::end(kValued), arg) == std::end(kValued))
            return bad("unknown option " + arg);
        if (i + 1 >= argc)
            return bad("missing value for " + arg);
        const std::string value = argv[++i];
        const std::vector<std::string> parts = SplitText(value, ',');
        int64_t n = 0;
        if (arg == "--centre") {
            // Parsed once to see that it is a pair of numbers; the digits are
            // read again at the precision the zoom needs.
            const auto centre = tBigComplex::Parse(value, 64);
            if (!centre)
                return bad("--centre needs RE,IM");
            o.centreText = value;
            o.centreRe = centre->re.ToDouble();
            o.centreIm = centre->im.ToDouble();
        } else if (arg == "--zoom") {
            if (!TryStrToFloat(value, o.zoom) || !(o.zoom > 0))
                return bad("--zoom needs a number above 0");
        } else if (arg == "--size") {
            if (!ParseWholeNumber(value, 1, 16384, n))
                return bad("--size needs a whole number from 1 to 16384");
            o.size = static_cast<int32_t>(n);
        } else if (arg == "--iterations") {
            if (!ParseWholeNumber(value, 1, 1 << 30, n))
                return bad("--iterations needs a whole number of at least 1");
            o.iterations = static_cast<int32_t>(n);
        } else if (arg == "--preset") {
            if (!ParseWholeNumber(value, 0, 14, n))
                return bad("--preset needs a whole number from 0 to 14");
            o.preset = static_cast<int32_t>(n);
        } else if (arg == "--precision") {
            if (value == "perturb")
                n = kPrecisionPerturbation;
            else if (!ParseWholeNumber(value, 2, kPrecisionPerturbation, n))
                return bad("--precision needs 2, 3, 4, 5, 6 or perturb");
            o.precision = static_cast<uint8_t>(n);
        } else if (arg == "--aa") {
            double threshold = 0, radius = 0;
            if (parts.size() != 3 || !TryStrToFloat(parts[0], threshold) || !ParseWholeNumber(parts[1], 1, 9, n) ||
                !TryStrToFloat(parts[2], radius) || threshold < 0 || radius < 0)
                return bad("--aa needs THRESHOLD,SAMPLES,RADIUS with samples from 1 to 9");
            o.aa = {static_cast<float>(threshold), static_cast<int32_t>(n), static_cast<float>(radius)};
        } else if (arg == "--colours") {
            int64_t floor = 0;
            if (parts.size() != 2 || !ParseWholeNumber(parts[0], 0, 1 << 30, floor) ||
                !ParseWholeNumber(parts[1], 1, 1 << 30, n))
                return bad("--colours needs FLOOR,SPAN with a span of at least 1");
            o.colourFloor = static_cast<int32_t>(floor);
            o.colourSpan = static_cast<int32_t>(n);
        } else if (arg == "--seed") {
            if (!ParseWholeNumber(value, 0, UINT32_MAX, n))
                return bad("--seed needs a whole number from 0 to 4294967295");
            o.seed = static_cast<uint32_t>(n);
        } else {
            return bad("unknown option " + arg);
        }
    }
    if (o.output.empty())
        return bad("no output file");
    if (o.precision == kPrecisionPerturbation && o.zoom > kDeepestPerturbation)
        return bad("--zoom for perturbation is at most 1e150");
    return true;
}

} // namespace

namespace {

int Run(const tOptions& options)
{
    // Before the render, which can take long: a picture that cannot be
    // written is said at once.
    if (const std::string why = CannotCreateFileAt(options.output); !why.empty()) {
        std::fprintf(stderr, "fractal-render: cannot write %s: %s\n", options.output.c_str(), why.c_str());
        return 1;
    }
    if (options.seed)
        SetRandSeed(*options.seed);

    tPage page;
    page.SetName("fractal-render");
    page.SetSize(options.size, options.size, pfRGBA);
    tFractalMandelBrot fractal(&page);
    fractal.centreRe = options.centreRe;
    fractal.centreIm = options.centreIm;
    fractal.zoom = options.zoom;
    fractal.discMode = !options.square;
    fractal.colorMap = options.preset > 0 ? ColorMapGenerator().GetPreset(options.preset) : nullptr;
    fractal.antiAliasing = options.aa;
    fractal.colourFloor = options.colourFloor;
    fractal.colourSpan = options.colourSpan;
    fractal.SetMaxIterations(options.iterations);
    fractal.precision = options.precision;
    if (!options.centreText.empty())
        fractal.deepCentre = tBigComplex::Parse(options.centreText, BitsForView(options.zoom, options.size));
    fractal.SelectBackEnd();
    uint64_t iterations = 0;
    fractal.escapeCountSum = &iterations;

    const extended start = HighResTime();
    fractal.Restart();
    // A perturbation render computes its reference orbit first, in steps
    // that write no pixel.
    while (!fractal.ReferenceReady() && fractal.RenderStep(64 * 1024) > 0) {
    }
    int64_t writes = 0;
    if (options.square) {
        // A square scan never reports completion: ask once for every pixel,
        // rounded up to whole batches.
        const int64_t pixels = static_cast<int64_t>(options.size) * options.size;
        writes = fractal.RenderStep((pixels + tFractal::kBatch - 1) / tFractal::kBatch * tFractal::kBatch);
    } else {
        while (fractal.Progress() < 1.0) {
            const int64_t step = fractal.RenderStep(64 * 1024);
            if (step == 0)
                break;
            writes += step;
        }
    }
    const double seconds = static_cast<double>(HighResTime() - start);

    if (!page.SaveToPngFile(options.output))
        return 1;
    std::printf("backend=%s seconds=%.3f writes=%" PRId64 " iterations=%" PRIu64 "\n", fractal.BackEndName().c_str(),
                seconds, writes, iterations);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    tOptions options;
    return ToolMain(
        argc, argv, "fractal-render", kUsage, [&] { return ParseOptions(argc, argv, options); },
        [&] { return Run(options); });
}
