// Throughput of each back end the processor runs over every pixel of two
// square 1024 x 1024 views, chunked through the lane block as the generator
// does.
//   s/image     seconds per image
//   iter/s      sum of the escape counts per second (the needed iterations)
// Rates use process CPU time: the machine is shared, and CPU time of a
// single-threaded run is what the back end costs. On a shared machine run it
// pinned to one core with repetitions, interleaved so that every back end
// sees the same load:
//   taskset -c 1 bench_backends --benchmark_filter=/benchmark
//       --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
// The sum is checked after timing against the value of one untimed run, and
// for every SIMD back end against the sum of "FLT32 SSE" or "FLT64 SSE2":
// those give the same count for every point.
// FRACTAL_CPU (noavx512, noavx2, ...) leaves out the back ends it switches off.
//
// The perturbation back ends run over the pixels of a view at 10^50 ("deep50")
// and over the benchmark view, both as offsets from a reference orbit that is
// computed once, before timing. Bilinear steps make "iterations" there more
// than the steps taken; at 10^5 ("benchmark") they skip nothing, which shows
// the cost of a plain perturbation step.
#include "BenchViews.h"
#include "uCpuFeatures.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace {

/// Whether this processor runs the back end's instructions (the 3DNow!
/// routine is written portably, so it runs everywhere).
bool Runnable(const tBackEnd& backEnd)
{
    return backEnd.needs == tCpuNeed::k3DNow || ProcessorRuns(backEnd, CurrentCpuFeatures());
}

/// The back end every SIMD back end of this precision must agree with.
const tBackEnd* ReferenceOf(const tBackEnd& backEnd)
{
    if (backEnd.family != tBackEndFamily::kSimd || backEnd.precision == kPrecisionPerturbation)
        return nullptr;
    const tBackEnd* reference = FindBackEnd(backEnd.precision == 2 ? "FLT32 SSE" : "FLT64 SSE2");
    return reference && reference != &backEnd && Runnable(*reference) ? reference : nullptr;
}

/// A view of the benchmark as offsets from its centre.
tBenchView AsPerturbation(const tBenchView& view, std::string& centre)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.17g,%.17g", view.centreRe, view.centreIm);
    centre = text;
    tBenchView offsets = view;
    offsets.centreRe = offsets.centreIm = 0;
    offsets.deepCentre = centre.c_str();
    return offsets;
}

void BackEndOverView(benchmark::State& state, const tBackEnd* backEnd, const tBenchView* view)
{
    const tBenchPoints points = ViewPoints(*view, false);
    const std::unique_ptr<tPerturbationReference> orbit = view->deepCentre ? DeepReference(*view) : nullptr;
    const tPerturbationData* data = orbit ? &orbit->data : nullptr;
    const uint64_t expected = IterateChunked(*backEnd, view->limit, points, data);
    uint64_t sum = 0;
    int64_t images = 0;
    for (auto _ : state) {
        sum = IterateChunked(*backEnd, view->limit, points, data);
        benchmark::DoNotOptimize(sum);
        ++images;
    }
    if (sum != expected) {
        state.SkipWithError("sum of escape counts differs from the untimed run");
        return;
    }
    if (const tBackEnd* reference = ReferenceOf(*backEnd)) {
        if (IterateChunked(*reference, view->limit, points) != sum) {
            state.SkipWithError("sum of escape counts differs from that of the SSE back end of its precision");
            return;
        }
    }
    state.counters["s/image"] = benchmark::Counter(static_cast<double>(images), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["iter/s"] = benchmark::Counter(static_cast<double>(sum) * static_cast<double>(images), benchmark::Counter::kIsRate);
    state.counters["iterations"] = static_cast<double>(sum);
}

} // namespace

int main(int argc, char** argv)
{
    static std::string benchmarkCentre;
    static const tBenchView benchmarkOffsets = AsPerturbation(kBenchmarkView, benchmarkCentre);
    const struct {
        std::span<const tBackEnd> backEnds;
        std::vector<const tBenchView*> views;
    } runs[] = {{BackEnds(), {&kBenchmarkView, &kWholeSetView}}, {PerturbationBackEnds(), {&kDeep50View, &benchmarkOffsets}}};
    for (const auto& run : runs)
        for (const tBenchView* view : run.views)
            for (const tBackEnd& backEnd : run.backEnds)
                if (Runnable(backEnd))
                    benchmark::RegisterBenchmark((std::string(backEnd.name) + "/" + view->name).c_str(),
                                                 BackEndOverView, &backEnd, view)
                        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
