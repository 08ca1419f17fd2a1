#include "uReferenceOrbit.h"

#include <algorithm>
#include <cmath>
#include <limits>

// ---------------------------------------------------------------------------
// tReferenceOrbit

tReferenceOrbit::tReferenceOrbit(const tBigComplex& centre, int32_t limit, double negligible)
    : centre_(centre), z_(centre.Bits()), xx_(centre.Bits()), yy_(centre.Bits()), xy_(centre.Bits()),
      limit_(std::max<int32_t>(limit, 1)), negligibleSquared_(negligible * negligible)
{
    re_.push_back(0);
    im_.push_back(0);
}

bool tReferenceOrbit::Advance(int64_t iterations)
{
    mpfr_ptr x = z_.re.get();
    mpfr_ptr y = z_.im.get();
    for (int64_t i = 0; i < iterations && !complete_; ++i) {
        // Z := Z^2 + C, from the old x and y.
        mpfr_sqr(xx_.get(), x, MPFR_RNDN);
        mpfr_sqr(yy_.get(), y, MPFR_RNDN);
        mpfr_mul(xy_.get(), x, y, MPFR_RNDN);
        mpfr_sub(x, xx_.get(), yy_.get(), MPFR_RNDN);
        mpfr_add(x, x, centre_.re.get(), MPFR_RNDN);
        mpfr_mul_2ui(y, xy_.get(), 1, MPFR_RNDN);
        mpfr_add(y, y, centre_.im.get(), MPFR_RNDN);

        const double zx = mpfr_get_d(x, MPFR_RNDN);
        const double zy = mpfr_get_d(y, MPFR_RNDN);
        re_.push_back(zx);
        im_.push_back(zy);
        const double size = zx * zx + zy * zy;
        if (size > 4) {
            escaped_ = complete_ = true;
        } else if (size < negligibleSquared_) {
            periodic_ = complete_ = true;
        } else if (Length() >= limit_) {
            complete_ = true;
        }
    }
    return complete_;
}

// ---------------------------------------------------------------------------
// tBlaTable

namespace {

double Magnitude(double x, double y) { return std::sqrt(x * x + y * y); }

/// The step "first, then second" (second starts where first ends).
tBlaStep Merge(const tBlaStep& first, const tBlaStep& second, double maxDelta)
{
    tBlaStep r;
    // A = A2 A1, B = A2 B1 + B2.
    r.ax = second.ax * first.ax - second.ay * first.ay;
    r.ay = second.ax * first.ay + second.ay * first.ax;
    r.bx = second.ax * first.bx - second.ay * first.by + second.bx;
    r.by = second.ax * first.by + second.ay * first.bx + second.by;
    r.length = first.length + second.length;
    // The second step holds while |A1 d + B1 dc| < R2, which |d| below
    // (R2 - |B1| max |dc|) / |A1| guarantees.
    const double r1 = std::sqrt(first.radiusSquared);
    const double r2 = std::sqrt(second.radiusSquared);
    const double a1 = Magnitude(first.ax, first.ay);
    const double slack = r2 - Magnitude(first.bx, first.by) * maxDelta;
    double radius = 0;
    if (slack > 0)
        radius = a1 > 0 ? std::min(r1, slack / a1) : r1;
    r.radiusSquared = std::isfinite(radius) ? radius * radius : 0;
    if (!std::isfinite(r.ax) || !std::isfinite(r.ay) || !std::isfinite(r.bx) || !std::isfinite(r.by))
        r.radiusSquared = 0;
    return r;
}

} // namespace

tBlaTable::tBlaTable(const tReferenceOrbit& orbit, double maxDelta)
{
    const int32_t n = orbit.Length();
    std::vector<tBlaStep> level;
    // Single steps from m = 1 to N - 1: d := 2 Z_m d + dc, valid while d^2
    // stays below kBlaEpsilon of 2 Z_m d, i.e. |d| < kBlaEpsilon |Z_m|, and
    // while the pixel's iterate Z_m + d cannot lie outside the circle of
    // radius 2 (a longer step would pass over the pixel's escape).
    for (int32_t m = 1; m < n; ++m) {
        const double zx = orbit.Re()[static_cast<size_t>(m)];
        const double zy = orbit.Im()[static_cast<size_t>(m)];
        const double size = Magnitude(zx, zy);
        const double radius = std::max(0.0, std::min(kBlaEpsilon * size, 2 - size));
        level.push_back({2 * zx, 2 * zy, 1, 0, radius * radius, 1});
    }
    if (level.empty())
        return;
    levels_.push_back(std::move(level));
    while (levels_.back().size() > 1) {
        const std::vector<tBlaStep>& below = levels_.back();
        std::vector<tBlaStep> next;
        next.reserve((below.size() + 1) / 2);
        for (size_t j = 0; j < below.size(); j += 2)
            next.push_back(j + 1 < below.size() ? Merge(below[j], below[j + 1], maxDelta) : below[j]);
        levels_.push_back(std::move(next));
    }
    for (const auto& l : levels_) {
        pointers_.push_back(l.data());
        sizes_.push_back(static_cast<int32_t>(l.size()));
    }
}

void tBlaTable::Describe(tPerturbationData& data) const
{
    data.levels = pointers_.data();
    data.levelSizes = sizes_.data();
    data.levelCount = LevelCount();
    data.largestRadiusSquared = 0;
    for (size_t k = 1; k < levels_.size(); ++k)
        for (const tBlaStep& step : levels_[k])
            data.largestRadiusSquared = std::max(data.largestRadiusSquared, step.radiusSquared);
}

// ---------------------------------------------------------------------------
// tPerturbationReference

tPerturbationReference::tPerturbationReference(const tBigComplex& centre, int32_t limit, double maxDelta_)
    : orbit(centre, limit, maxDelta_ * 0x1p-64), maxDelta(maxDelta_)
{
}

bool tPerturbationReference::Prepare(int64_t iterations)
{
    if (ready)
        return true;
    if (!orbit.Advance(iterations))
        return false;
    table = tBlaTable(orbit, maxDelta);
    data.zRe = orbit.Re().data();
    data.zIm = orbit.Im().data();
    data.length = orbit.Length();
    table.Describe(data);
    ready = true;
    return true;
}
