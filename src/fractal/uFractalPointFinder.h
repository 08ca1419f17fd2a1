#pragma once
// The search for zoom targets: random candidates from a fixed list of
// weighted rectangles of the complex plane, kept when they escape slowly and
// the escape count still changes by 100 or more within 1e-11 of them, so the
// set shows structure there even at very deep zoom.
#include "uMath.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct tFractalRegion {
    float weight = 0;
    tVector2 cornerA;  // smaller coordinates
    tVector2 cornerB;  // larger coordinates
};

/// Iterations of one point in 80-bit arithmetic (limit, c re, c im).
using tEscapeCountFunction = std::function<int32_t(int32_t, extended, extended)>;

class tFractalPointFinder {
public:
    /// With the fifteen regions of the program and EscapeCount.
    tFractalPointFinder();
    /// With the fifteen regions and the given escape counts (tests).
    explicit tFractalPointFinder(tEscapeCountFunction escapeCount, bool withRegions = true);

    void AddRegion(const tVector2& cornerA, const tVector2& cornerB, float weight);
    /// The i-th region (0-based).
    const tFractalRegion& Region(size_t i) const;
    size_t RegionCount() const { return regions_.size(); }
    /// Sum of the weights in list order, in single precision.
    float TotalWeight() const;
    /// A weighted random region. The same region twice in a row is redrawn
    /// once (and then stands). Asserts the list is not empty
    /// ("uFractalPointFinder" line 109).
    const tFractalRegion& PickRegion();
    /// Searches up to six regions of 65 536 candidates each. The point is
    /// always the last candidate tried; the result tells whether it passed.
    bool FindPoint(tVector2& point);

    /// "[-2.119,-1.138] - [1.106,1.177]": corners with 3 decimals and a
    /// point as separator in any locale.
    static std::string RegionText(const tFractalRegion& region);

    static constexpr int32_t kIterationLimit = 1024;
    static constexpr int32_t kMinimumCount = 500;
    static constexpr int32_t kMinimumChange = 100;
    static constexpr int kRegionsTried = 6;
    static constexpr int kTriesPerRegion = 65536;

private:
    std::vector<tFractalRegion> regions_;
    std::optional<size_t> lastRegion_;
    tEscapeCountFunction escapeCount_;
};
