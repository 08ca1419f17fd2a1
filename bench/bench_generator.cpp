// The generator rendering the benchmark view (1024 x 1024, disc mode, colour
// map preset 4, no anti-aliasing, limit 1024), and for comparison the bare
// back end iterating exactly the points the generator's scan visits, chunked
// the same way. The difference of the two is the generator's own cost: scan,
// colouring, rim alpha and page writes.
//
// Generator/perturb50 renders a keyframe at 10^50 the same way by
// perturbation, a new generator each time, so its reference orbit and
// bilinear steps are part of the time. Its iter/s set against those of
// Generator/double is the cost of a deep keyframe against a 64-bit one of the
// same total iterations.
//
// Workers/K/T renders K copies of the view as keyframes on T render threads
// (the saver's render workers): a keyframe is rendered by one thread at a
// time, so threads help when several keyframes are wanted at once.
//
//   s/image     seconds per image
//   iter/s      sum of the escape counts per second
// Each sum is checked after timing against the value of one untimed run.
#include "BenchViews.h"
#include "uColorMap.h"
#include "uCpuFeatures.h"
#include "uFractal.h"
#include "uLog.h"
#include "uPage.h"
#include "uRenderWorkers.h"
#include "uScratchPages.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

struct tGeneratorSetup {
    explicit tGeneratorSetup(uint8_t precision, const tBenchView& view = kBenchmarkView) : fractal(&page)
    {
        page.SetSize(view.size, view.size, pfRGBA);
        fractal.centreRe = view.centreRe;
        fractal.centreIm = view.centreIm;
        if (view.deepCentre)
            fractal.deepCentre = tBigComplex::Parse(view.deepCentre, BitsForView(view.zoom, view.size));
        fractal.zoom = view.zoom;
        fractal.discMode = true;
        fractal.colorMap = ColorMapGenerator().GetPreset(4);
        fractal.colourFloor = view.colourFloor;
        fractal.colourSpan = view.colourSpan;
        fractal.SetMaxIterations(view.limit);
        fractal.SetSize(view.size);
        fractal.precision = precision;
        fractal.SelectBackEnd();
        fractal.escapeCountSum = &sum;
    }
    uint64_t Render()
    {
        sum = 0;
        fractal.RenderAll();
        return sum;
    }
    tPage page;
    tFractalMandelBrot fractal;
    uint64_t sum = 0;
};

/// The points of every batch the generator's disc scan renders, taken from
/// the generator's own scan.
tBenchPoints GeneratorScanPoints()
{
    tFractal scan;
    scan.SetSize(kBenchmarkView.size);
    scan.zoom = kBenchmarkView.zoom;
    scan.centreRe = kBenchmarkView.centreRe;
    scan.centreIm = kBenchmarkView.centreIm;
    scan.discMode = true;
    scan.Restart();
    const int64_t pixels = static_cast<int64_t>(scan.Size()) * scan.Size();
    tBenchPoints points;
    do {
        for (int32_t i = 0; i < tFractal::kBatch; ++i) {
            scan.AdvanceScan();
            points.re.push_back(static_cast<double>(scan.PointRe()));
            points.im.push_back(static_cast<double>(scan.PointIm()));
        }
    } while (scan.ProgressCount() < pixels);
    return points;
}

void SetCounters(benchmark::State& state, uint64_t sum, int64_t images)
{
    state.counters["s/image"] = benchmark::Counter(static_cast<double>(images), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["iter/s"] = benchmark::Counter(static_cast<double>(sum) * static_cast<double>(images), benchmark::Counter::kIsRate);
    state.counters["iterations"] = static_cast<double>(sum);
}

/// Times render() (which returns the sum of escape counts) and checks the
/// sum of the last run against that of an untimed one.
void TimeRenders(benchmark::State& state, const std::function<uint64_t()>& render)
{
    const uint64_t expected = render();
    uint64_t sum = 0;
    int64_t images = 0;
    for (auto _ : state) {
        sum = render();
        ++images;
    }
    if (sum != expected || sum == 0) {
        state.SkipWithError("sum of escape counts differs from the untimed run");
        return;
    }
    SetCounters(state, sum, images);
}

void Generator(benchmark::State& state, uint8_t precision)
{
    tGeneratorSetup setup(precision);
    state.SetLabel(setup.fractal.BackEndName());
    TimeRenders(state, [&] { return setup.Render(); });
}

void BareBackEnd(benchmark::State& state, uint8_t precision)
{
    // The back end the generator picks, and the points it would give it.
    tGeneratorSetup setup(precision);
    const tBackEnd* backEnd = FindBackEnd(setup.fractal.BackEndName());
    state.SetLabel(setup.fractal.BackEndName());
    const tBenchPoints points = GeneratorScanPoints();
    const uint64_t expected = setup.Render();
    uint64_t sum = 0;
    int64_t images = 0;
    for (auto _ : state) {
        sum = IterateChunked(*backEnd, kBenchmarkView.limit, points);
        benchmark::DoNotOptimize(sum);
        ++images;
    }
    if (sum != expected) {
        state.SkipWithError("sum of escape counts differs from the generator's");
        return;
    }
    SetCounters(state, sum, images);
}

/// A deep keyframe from scratch: reference orbit, bilinear steps and pixels.
void DeepGenerator(benchmark::State& state, const tBenchView* view)
{
    state.SetLabel(tGeneratorSetup(kPrecisionPerturbation, *view).fractal.BackEndName());
    TimeRenders(state, [view] { return tGeneratorSetup(kPrecisionPerturbation, *view).Render(); });
}

/// Copies of the benchmark view in single precision, set up as keyframes on
/// pages of the pool.
std::vector<std::shared_ptr<tKeyframeRender>> KeyframeCopies(tScratchPageArray& pool, int64_t copies)
{
    const tGeneratorSetup setup(2);
    std::vector<std::shared_ptr<tKeyframeRender>> renders;
    for (int64_t i = 0; i < copies; ++i) {
        tPage* page = pool.AcquirePage();
        renders.push_back(std::make_shared<tKeyframeRender>(pool, *page, setup.fractal.SamePictureOn(page), true, 0));
    }
    return renders;
}

void Workers(benchmark::State& state)
{
    const int64_t copies = state.range(0);
    const auto threads = static_cast<int32_t>(state.range(1));
    tScratchPageArray pool(0);
    pool.SetPageSize(kBenchmarkView.size, kBenchmarkView.size);
    pool.AllocatePages(static_cast<int32_t>(copies));
    tRenderWorkers workers(threads);
    int64_t images = 0;
    for (auto _ : state) {
        auto renders = KeyframeCopies(pool, copies);
        workers.SetWork(renders);
        while (!std::all_of(renders.begin(), renders.end(), [](const auto& r) { return r->Complete(); }))
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        workers.Drain(); // every page free again for the next round
        images += copies;
    }
    state.counters["s/image"] =
        benchmark::Counter(static_cast<double>(images), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(Workers)->ArgsProduct({{1, 2}, {1, 2}})->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_CAPTURE(Generator, single, uint8_t{2})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BareBackEnd, single, uint8_t{2})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Generator, double, uint8_t{3})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BareBackEnd, double, uint8_t{3})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DeepGenerator, perturb50, &kDeep50View)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    SetLogFilePath(""); // no log file beside wherever the benchmark runs
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
