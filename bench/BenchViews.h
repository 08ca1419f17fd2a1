#pragma once
// The views the benchmarks render and the plain chunked loop through the lane
// block that the generator runs, shared by the benchmark programs.
#include "uBackEnds.h"

#include <cstdint>
#include <vector>

struct tBenchView {
    const char* name;
    double centreRe;
    double centreIm;
    double zoom;
    int32_t size;
    int32_t limit;
};

/// The benchmark window's view: deep enough that most pixels iterate long.
constexpr tBenchView kBenchmarkView{"benchmark", 0.371540195428848, 0.167646706104279, 100000.0, 1024, 1024};
/// The whole set: most pixels escape within a few steps.
constexpr tBenchView kWholeSetView{"wholeset", 0.0, 0.0, 0.25, 1024, 1024};

struct tBenchPoints {
    std::vector<double> re;
    std::vector<double> im;
};

/// Every pixel of the square image in the generator's scan order, with the
/// generator's coordinates (x / (size * zoom) + centre in long double,
/// rounded to double). With disc set, only the pixels a disc-mode scan visits.
tBenchPoints ViewPoints(const tBenchView& view, bool disc);

/// Runs the points through the back end in chunks of its lane count, with
/// one template copy and the point loads per chunk, as the generator does.
/// Returns the sum of the escape counts.
uint64_t IterateChunked(const tBackEnd& backEnd, int32_t limit, const tBenchPoints& points);
