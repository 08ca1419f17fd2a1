#include "BenchViews.h"

#include "uMath.h"

#include <algorithm>
#include <cmath>

tBenchPoints ViewPoints(const tBenchView& view, bool disc)
{
    tBenchPoints points;
    const int32_t radius = (view.size + 1) / 2;
    const long double pixel = static_cast<long double>(view.size) * view.zoom;
    for (int32_t y = -radius; y < radius; ++y) {
        int32_t rowStart = -radius, rowEnd = radius;
        if (disc) {
            rowEnd = std::abs(y) > radius
                         ? 0
                         : static_cast<int32_t>(Round(std::sqrt(static_cast<extended>(radius) * radius - static_cast<extended>(y) * y)));
            rowStart = -rowEnd;
        }
        int32_t x = rowStart;
        do {
            points.re.push_back(static_cast<double>(x / pixel + view.centreRe));
            points.im.push_back(static_cast<double>(y / pixel + view.centreIm));
            ++x;
        } while (x < rowEnd);
    }
    return points;
}

std::unique_ptr<tPerturbationReference> DeepReference(const tBenchView& view)
{
    const tBigComplex centre = *tBigComplex::Parse(view.deepCentre, BitsForView(view.zoom, view.size));
    auto reference = std::make_unique<tPerturbationReference>(centre, view.limit,
                                                              (view.size / 2 + 1) * 1.5 / (view.size * view.zoom));
    reference->Prepare(int64_t{1} << 40);
    return reference;
}

uint64_t IterateChunked(const tBackEnd& backEnd, int32_t limit, const tBenchPoints& points,
                        const tPerturbationData* reference)
{
    tFractalPackedData block;
    block.perturbation = reference;
    block.SetLanes(backEnd.lanes);
    block.SetElementType(backEnd.elementType);
    block.iterationLimit = limit;
    block.SetInt(kSlotSimdLimit, kRowSimdLimit, limit);
    for (int32_t lane = 0; lane < backEnd.lanes; ++lane) {
        block.SetLaneDefaults(lane, 0, 0);
        block.ClearLane(lane);
    }
    block.SaveTemplate();
    uint64_t sum = 0;
    const size_t n = points.re.size();
    const size_t lanes = static_cast<size_t>(backEnd.lanes);
    for (size_t start = 0; start < n; start += lanes) {
        const size_t k = std::min(lanes, n - start);
        block.RestoreTemplate();
        block.LoadPoints(static_cast<int32_t>(k), &points.re[start], &points.im[start]);
        backEnd.routine(block);
        for (size_t j = 0; j < k; ++j)
            sum += static_cast<uint64_t>(block.Int(static_cast<int32_t>(j), kRowCount));
    }
    return sum;
}
