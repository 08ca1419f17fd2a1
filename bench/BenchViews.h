#pragma once
// The views the benchmarks render and the plain chunked loop through the lane
// block that the generator runs, shared by the benchmark programs.
#include "uBackEnds.h"
#include "uReferenceOrbit.h"

#include <cstdint>
#include <memory>
#include <vector>

struct tBenchView {
    const char* name;
    double centreRe;
    double centreIm;
    double zoom;
    int32_t size;
    int32_t limit;
    /// For perturbation: the centre to any precision ("RE,IM"); the points of
    /// the view are then offsets from it.
    const char* deepCentre = nullptr;
    /// Counts from floor to floor + span spread over the colour map.
    int32_t colourFloor = 0;
    int32_t colourSpan = 0;
};

/// The benchmark window's view: deep enough that most pixels iterate long.
constexpr tBenchView kBenchmarkView{"benchmark", 0.371540195428848, 0.167646706104279, 100000.0, 1024, 1024};
/// The whole set: most pixels escape within a few steps.
constexpr tBenchView kWholeSetView{"wholeset", 0.0, 0.0, 0.25, 1024, 1024};
/// A view at 10^50 that the deep-target search reached from a finder point:
/// counts from about 5 600 to 17 456 (the limit), structure across the view.
constexpr tBenchView kDeep50View{"deep50", 0.0, 0.0, 1e50, 1024, 17456,
                                 "0.071074706827937981546653097731571732256364772913691659627,"
                                 "0.6167957810837057243271606920461239746348664224415108799911",
                                 5000, 3000};

/// The reference orbit and bilinear steps of a deep view, complete.
std::unique_ptr<tPerturbationReference> DeepReference(const tBenchView& view);

struct tBenchPoints {
    std::vector<double> re;
    std::vector<double> im;
};

/// Every pixel of the square image in the generator's scan order, with the
/// generator's coordinates (x / (size * zoom) + centre in long double,
/// rounded to double). With disc set, only the pixels a disc-mode scan visits.
tBenchPoints ViewPoints(const tBenchView& view, bool disc);

/// Runs the points through the back end in chunks of its lane count, with
/// one template copy and the point loads per chunk, as the generator does
/// (with the reference of a perturbation back end). Returns the sum of the
/// escape counts.
uint64_t IterateChunked(const tBackEnd& backEnd, int32_t limit, const tBenchPoints& points,
                        const tPerturbationData* reference = nullptr);
