#include "uDeepTarget.h"

#include "uCpuFeatures.h"
#include "uPackedData.h"

#include <algorithm>
#include <cmath>

std::vector<int32_t> PerturbationCounts(const tBackEnd& backEnd, const tPerturbationData& reference, int32_t limit,
                                        std::span<const double> re, std::span<const double> im)
{
    tFractalPackedData block;
    block.SetLanes(backEnd.lanes);
    block.SetElementType(backEnd.elementType);
    block.iterationLimit = limit;
    block.perturbation = &reference;
    for (int32_t lane = 0; lane < backEnd.lanes; ++lane) {
        block.SetLaneDefaults(lane, 0, 0);
        block.ClearLane(lane);
    }
    block.SaveTemplate();
    const size_t n = std::min(re.size(), im.size());
    std::vector<int32_t> counts(n);
    for (size_t start = 0; start < n; start += static_cast<size_t>(backEnd.lanes)) {
        const auto k = static_cast<int32_t>(std::min(n - start, static_cast<size_t>(backEnd.lanes)));
        block.RestoreTemplate();
        block.LoadPoints(k, &re[start], &im[start]);
        backEnd.routine(block);
        block.ReadCounts(k, &counts[start]);
    }
    return counts;
}

tDeepTargetSearch::tDeepTargetSearch(const tVector2& start, extended magnification, extended deepest)
    : centre_(start.x, start.y, BitsForView(deepest, 4096)), target_(centre_), magnification_(magnification),
      next_(magnification), deepest_(deepest)
{
}

tDeepTargetSearch::~tDeepTargetSearch() = default;

void tDeepTargetSearch::Run()
{
    while (!Advance(int64_t{1} << 40)) {
    }
}

bool tDeepTargetSearch::Advance(int64_t budget)
{
    if (done_)
        return true;
    const extended width = 1 / next_;
    const double spacing = static_cast<double>(width * kProbeSpan / (kGrid - 1));
    const double half = spacing * (kGrid - 1) / 2;
    if (!reference_) {
        // The probes of this step need only the bits of this magnification;
        // the centre keeps every bit for the steps below.
        tBigComplex centre = centre_;
        centre.SetBits(BitsForView(next_, 4096));
        reference_ = std::make_unique<tPerturbationReference>(centre, limit_, half * 1.5);
    }
    if (!reference_->Prepare(budget))
        return false;

    std::vector<double> re, im;
    for (int32_t j = 0; j < kGrid; ++j)
        for (int32_t i = 0; i < kGrid; ++i) {
            re.push_back(i * spacing - half);
            im.push_back(j * spacing - half);
        }
    const tBackEnd* backEnd = WidestBackEnd(kPrecisionPerturbation, CurrentCpuFeatures());
    const std::vector<int32_t> counts = PerturbationCounts(*backEnd, reference_->data, limit_, re, im);
    tBigComplex probed = reference_->orbit.Centre();
    probed.SetBits(centre_.Bits());
    reference_.reset();

    // The counts of the probes that escape; the aim lies most of the way
    // from the lowest to the highest.
    int32_t lowest = limit_, highest = -1;
    for (int32_t count : counts) {
        lowest = std::min(lowest, count);
        if (count < limit_)
            highest = std::max(highest, count);
    }
    const double aim = lowest + kAim * (highest - lowest);
    // The escaping probe whose count is nearest the aim; of equals (within a
    // count), the one nearest the centre.
    int32_t best = -1;
    double bestScore = 0;
    for (size_t p = 0; p < counts.size(); ++p) {
        if (counts[p] >= limit_)
            continue;
        const double score = std::fabs(counts[p] - aim) + (re[p] * re[p] + im[p] * im[p]) / (half * half * 4);
        if (best < 0 || score < bestScore) {
            best = static_cast<int32_t>(p);
            bestScore = score;
        }
    }
    // Flat or inside the set: the previous view was the last with structure.
    // Counts beyond what keyframes can afford end the descent as well.
    if (best < 0 || highest - lowest < kMinimumSpread || highest * 2 > kLargestLimit) {
        done_ = true;
        return true;
    }
    samples_.push_back({next_, lowest, highest, limit_});
    // The next centre, where the boundary is nearest: a view of this
    // magnification around it still shows the structure the probes saw.
    centre_ = probed.Plus({re[static_cast<size_t>(best)], im[static_cast<size_t>(best)]});
    target_ = centre_;
    magnification_ = next_;
    // Keep the probes' counts well below the limit, so that the slowest
    // escaping points still tell apart from the set.
    if (highest * 2 > limit_)
        limit_ = std::min(kLargestLimit, highest * 2 + 256);
    if (next_ >= deepest_)
        done_ = true;
    next_ = std::min(next_ * kStepFactor, deepest_);
    return done_;
}
