// Throughput of each back end over every pixel of two square 1024 x 1024
// views, chunked through the lane block as the generator does.
//   s/image     seconds per image
//   iter/s      sum of the escape counts per second
// Rates use process CPU time: the machine is shared, and CPU time of a
// single-threaded run is what the back end costs.
// The sum is checked after timing against the value of one untimed run.
#include "BenchViews.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void BackEndOverView(benchmark::State& state, const tBackEnd* backEnd, const tBenchView* view)
{
    const tBenchPoints points = ViewPoints(*view, false);
    const uint64_t expected = IterateChunked(*backEnd, view->limit, points);
    uint64_t sum = 0;
    int64_t images = 0;
    for (auto _ : state) {
        sum = IterateChunked(*backEnd, view->limit, points);
        benchmark::DoNotOptimize(sum);
        ++images;
    }
    if (sum != expected) {
        state.SkipWithError("sum of escape counts differs from the untimed run");
        return;
    }
    state.counters["s/image"] = benchmark::Counter(static_cast<double>(images), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["iter/s"] = benchmark::Counter(static_cast<double>(sum) * static_cast<double>(images), benchmark::Counter::kIsRate);
    state.counters["iterations"] = static_cast<double>(sum);
}

} // namespace

int main(int argc, char** argv)
{
    static const tBenchView* const views[] = {&kBenchmarkView, &kWholeSetView};
    for (const tBenchView* view : views)
        for (const tBackEnd& backEnd : BackEnds())
            benchmark::RegisterBenchmark((std::string(backEnd.name) + "/" + view->name).c_str(), BackEndOverView,
                                         &backEnd, view)
                ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
