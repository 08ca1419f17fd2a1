#pragma once
// What a perturbation back end needs besides the lane block: the orbit of one
// reference point computed in arbitrary precision and kept in doubles, and a
// table of bilinear steps over it.
//
// A pixel c = C + dc near the reference C has the orbit z_n = Z_m + d_n, and
// the small difference d follows
//     d := 2 Z_m d + d^2 + dc,  m := m + 1
// in doubles, however deep the view: only the differences are small, and a
// double's exponent reaches far below 10^-100. Two things keep that exact:
//   - rebasing: when |Z_m + d| < |d| (the pixel's orbit has come closer to 0
//     than to the reference's) or the reference has run out (m = N), the
//     pixel restarts on the reference's start, d := Z_m + d and m := 0
//     (Z_0 = 0). One reference then serves every pixel of a picture, with no
//     glitches to detect and repair.
//   - bilinear steps: while |d| is tiny next to |Z_m|, d^2 is negligible and
//     l steps are one linear map d := A d + B dc. The table holds such maps
//     for runs of 2^k steps starting at m = 1 + j 2^k, each with the largest
//     |d| for which it stays within a relative error of kBlaEpsilon.
//
// Reference orbits are built a slice at a time (Advance), so that a keyframe
// can prepare one inside the frame loop's budget.
#include "uBigFloat.h"

#include <cstdint>
#include <vector>

/// One bilinear step: d := A d + B dc over `length` iterations, valid while
/// |d|^2 < radiusSquared.
struct tBlaStep {
    double ax = 0, ay = 0;
    double bx = 0, by = 0;
    double radiusSquared = 0;
    int32_t length = 0;
};

/// The reference as the back ends read it (plain data, owned elsewhere).
struct tPerturbationData {
    const double* zRe = nullptr; ///< Z_0 .. Z_N
    const double* zIm = nullptr;
    int32_t length = 0;          ///< N: a pixel that reaches m = N rebases
    /// levels[k] holds the steps of 2^k iterations (the last one of a level
    /// may be shorter), starting at m = 1 + j 2^k; level 0 is never used
    /// (a plain step is as cheap and exact).
    const tBlaStep* const* levels = nullptr;
    const int32_t* levelSizes = nullptr;
    int32_t levelCount = 0;
    /// The largest radius squared of any step of levels 1 and up.
    double largestRadiusSquared = 0;
    /// False only to show what rebasing prevents: pixels then keep their
    /// reference (until it runs out), and glitches are counted instead.
    bool rebase = true;
    /// Pixels whose orbit came within kGlitchTolerance of the reference's
    /// distance from 0 without rebasing (Pauldelbrot's criterion
    /// |Z_m + d| < 10^-3 |Z_m|); counted only while rebase is off.
    uint64_t* glitches = nullptr;
};

/// Relative error a bilinear step may make: the dropped d^2 is at most this
/// fraction of 2 Z d. Where the count of a pixel hangs on its last digits
/// (chaotic parts of the boundary), every such error shows: 2^-32 costs 2 %
/// more time than 2^-24 at 10^50 and leaves half as many such counts off.
constexpr double kBlaEpsilon = 0x1p-32;
/// Pauldelbrot's glitch tolerance, squared.
constexpr double kGlitchToleranceSquared = 1e-6;

class tReferenceOrbit {
public:
    /// The orbit of centre, up to limit iterations, computed with the centre's
    /// precision. An iterate below `negligible` in size is taken as 0: the
    /// centre is then a nucleus and the orbit periodic, and it ends there.
    tReferenceOrbit(const tBigComplex& centre, int32_t limit, double negligible = 0);

    /// Computes up to `iterations` more iterates; true once the orbit is
    /// complete (escaped beyond 2, periodic, or at the limit).
    bool Advance(int64_t iterations);
    bool Complete() const { return complete_; }
    /// N: the index of the last iterate kept.
    int32_t Length() const { return static_cast<int32_t>(re_.size()) - 1; }
    /// True when the orbit returned to 0 (within `negligible`) at N.
    bool Periodic() const { return periodic_; }
    bool Escaped() const { return escaped_; }
    const std::vector<double>& Re() const { return re_; }
    const std::vector<double>& Im() const { return im_; }
    const tBigComplex& Centre() const { return centre_; }
    int32_t Limit() const { return limit_; }

private:
    tBigComplex centre_;
    tBigComplex z_;
    tBigFloat xx_, yy_, xy_;
    int32_t limit_;
    double negligibleSquared_;
    std::vector<double> re_;
    std::vector<double> im_;
    bool complete_ = false;
    bool periodic_ = false;
    bool escaped_ = false;
};

/// The bilinear steps over a complete orbit, for pixels with |dc| up to
/// maxDelta.
class tBlaTable {
public:
    tBlaTable() = default;
    tBlaTable(const tReferenceOrbit& orbit, double maxDelta);

    int32_t LevelCount() const { return static_cast<int32_t>(levels_.size()); }
    const std::vector<tBlaStep>& Level(int32_t k) const { return levels_[static_cast<size_t>(k)]; }

    /// Fills the table part of the back ends' view of the reference.
    void Describe(tPerturbationData& data) const;

private:
    std::vector<std::vector<tBlaStep>> levels_;
    std::vector<const tBlaStep*> pointers_;
    std::vector<int32_t> sizes_;
};

/// A reference orbit with its table, ready for the back ends: what a
/// perturbation picture is rendered from.
struct tPerturbationReference {
    tPerturbationReference(const tBigComplex& centre, int32_t limit, double maxDelta);
    // data points into orbit and table.
    tPerturbationReference(const tPerturbationReference&) = delete;
    tPerturbationReference& operator=(const tPerturbationReference&) = delete;
    /// Advances the orbit by up to `iterations` and builds the table once it
    /// is complete; true when both are ready.
    bool Prepare(int64_t iterations);
    bool Ready() const { return ready; }

    tReferenceOrbit orbit;
    tBlaTable table;
    tPerturbationData data;
    double maxDelta;
    bool ready = false;
};
