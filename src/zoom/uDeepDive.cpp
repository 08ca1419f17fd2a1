#include "uDeepDive.h"

#include <algorithm>
#include <cmath>

namespace {

/// Samples a step either side of a point of the descent: the spread of counts
/// is taken as the largest among them, so that it does not jump from one
/// keyframe to the next with the probes' luck.
constexpr size_t kSpreadWindow = 2;

int32_t SpreadAround(const std::vector<tDepthSample>& samples, size_t i)
{
    const size_t first = i >= kSpreadWindow ? i - kSpreadWindow : 0;
    const size_t last = std::min(samples.size() - 1, i + kSpreadWindow);
    int32_t spread = 0;
    for (size_t j = first; j <= last; ++j)
        spread = std::max(spread, samples[j].highest - samples[j].lowest);
    return spread;
}

} // namespace

tKeyframeLook tDeepDive::LookAt(extended magnification, int32_t iterations) const
{
    tKeyframeLook look;
    look.iterations = iterations;
    look.perturbation = magnification >= kPerturbationFrom;
    if (samples.empty())
        return look;

    // Between samples i and i + 1, a fraction f of the way in log2.
    size_t i = 0;
    while (i + 1 < samples.size() && samples[i + 1].magnification <= magnification)
        ++i;
    extended f = 0;
    if (i + 1 < samples.size() && magnification > samples[i].magnification)
        f = std::log2(magnification / samples[i].magnification) /
            std::log2(samples[i + 1].magnification / samples[i].magnification);
    const size_t j = std::min(i + 1, samples.size() - 1);
    const auto blend = [f](extended a, extended b) { return a + (b - a) * f; };
    const extended lowest = blend(samples[i].lowest, samples[j].lowest);
    const extended spread = blend(SpreadAround(samples, i), SpreadAround(samples, j));
    const extended limit = blend(samples[i].limit, samples[j].limit);

    // Like a shallow view, whose outer parts escape at once: the lowest
    // counts at the start of the map (black in most presets), the structure
    // above them. A floor even a little lower puts the flat parts into the
    // map's first bands, and a dense structure averages into one colour.
    look.colourFloor = static_cast<int32_t>(std::max<extended>(0, lowest));
    look.colourSpan = static_cast<int32_t>(std::max<extended>(spread, 1));
    look.iterations = std::max({iterations, static_cast<int32_t>(limit), look.colourFloor + look.colourSpan});
    return look;
}
