// The perturbation back ends: the table, the scalar one ("PERTURB FLT64") and
// the common frame of all of them, which reads the lane block and writes the
// counts back. The SSE2, AVX2 and AVX-512 kernels live in the instruction
// set's own source (uBackEndsSse.cpp, uBackEndsAvx2.cpp, uBackEndsAvx512.cpp),
// all instances of uPerturbKernel.h.
//
// Lane block use: rows 3 and 4 hold each lane's dc (the generator loads its
// points there, as offsets from the reference), int row 6 the count (0 in a
// loaded lane, -1 in an empty one, which is skipped), int row 15 the escaped
// flags, int row 10 slot 3 the largest iteration reached.
#include "uBackEnds.h"

#include "uBackEndKernels.h"
#include "uPerturbKernel.h"

#include <array>

namespace backend_detail {

/// Runs `lanes` lanes (a multiple of the kernel's width) with the kernel of
/// one instruction set; bit i of live marks lane i as loaded.
using tPerturbLanes = int32_t (*)(const double* cre, const double* cim, uint64_t live, int32_t lanes,
                                  int32_t limit, const tPerturbationData& ref, uint32_t* counts);

#ifdef QX_HAVE_SSE_BACKENDS
int32_t PerturbLanesSse2(const double* cre, const double* cim, uint64_t live, int32_t lanes, int32_t limit,
                         const tPerturbationData& ref, uint32_t* counts);
int32_t PerturbLanesAvx2(const double* cre, const double* cim, uint64_t live, int32_t lanes, int32_t limit,
                         const tPerturbationData& ref, uint32_t* counts);
int32_t PerturbLanesAvx512(const double* cre, const double* cim, uint64_t live, int32_t lanes, int32_t limit,
                           const tPerturbationData& ref, uint32_t* counts);
#endif

} // namespace backend_detail

using namespace backend_detail;

namespace {

struct tScalarOps {
    using Reg = double;
    static constexpr int kWidth = 1;
    static Reg Load(const double* p) { return *p; }
    static void Store(double* p, Reg v) { *p = v; }
    static Reg Set1(double v) { return v; }
    static Reg Add(Reg a, Reg b) { return a + b; }
    static Reg Sub(Reg a, Reg b) { return a - b; }
    static Reg Mul(Reg a, Reg b) { return a * b; }
    /// d <= bound, false for NaN.
    static uint32_t InsideBits(Reg d, Reg bound) { return d <= bound ? 1u : 0u; }
    static uint32_t LessBits(Reg a, Reg b) { return a < b ? 1u : 0u; }
};

int32_t PerturbLanesScalar(const double* cre, const double* cim, uint64_t live, int32_t lanes, int32_t limit,
                           const tPerturbationData& ref, uint32_t* counts)
{
    return PerturbLanes<tScalarOps, 4>(cre, cim, live, lanes, limit, ref, counts);
}

constexpr int32_t kMaxLanes = 64;

/// The frame of every perturbation back end around the kernel of its
/// instruction set.
int32_t PerturbBackEnd(tFractalPackedData& block, tPerturbLanes run)
{
    const int32_t lanes = block.Lanes();
    Assert(block.perturbation != nullptr && block.ElementType() == kElementDouble && lanes > 0 &&
               lanes <= kMaxLanes && block.RowOffset(kRowEscaped) + 4 * static_cast<size_t>(lanes) <= tPackedData::kBlockBytes,
           "uBackEndsPerturb", __LINE__);
    std::array<double, kMaxLanes> cre, cim;
    ReadRow(block, kRowCRe, cre.data(), lanes);
    ReadRow(block, kRowCIm, cim.data(), lanes);
    uint64_t live = 0;
    for (int32_t i = 0; i < lanes; ++i)
        if (block.Int(i, kRowCount) >= 0)
            live |= uint64_t{1} << i;
    std::array<uint32_t, kMaxLanes> counts{};
    const int32_t limit = block.iterationLimit;
    const int32_t rounds = run(cre.data(), cim.data(), live, lanes, limit, *block.perturbation, counts.data());
    for (int32_t i = 0; i < lanes; ++i) {
        if (!((live >> i) & 1u))
            continue;
        const int32_t count = static_cast<int32_t>(counts[static_cast<size_t>(i)]);
        block.SetCount(i, count);
        block.SetInt(i, kRowEscaped, count < limit ? -1 : 0);
    }
    block.SetInt(kSlotRounds, kRowSimdLimit, rounds);
    return rounds;
}

constexpr auto kSimd = tBackEndFamily::kSimd;

constexpr std::array kPerturbationBackEnds = {
    tBackEnd{"PERTURB FLT64", IteratePerturbScalar, 4, kElementDouble, kPrecisionPerturbation, kSimd, tCpuNeed::kNothing, 0},
#ifdef QX_HAVE_SSE_BACKENDS
    tBackEnd{"PERTURB SSE2", IteratePerturbSse2, 8, kElementDouble, kPrecisionPerturbation, kSimd, tCpuNeed::kSSE2, 128},
    tBackEnd{"PERTURB AVX2", IteratePerturbAvx2, 16, kElementDouble, kPrecisionPerturbation, kSimd, tCpuNeed::kAVX2, 256},
    tBackEnd{"PERTURB AVX-512", IteratePerturbAvx512, 32, kElementDouble, kPrecisionPerturbation, kSimd, tCpuNeed::kAVX512, 512},
#endif
};

} // namespace

std::span<const tBackEnd> PerturbationBackEnds() { return kPerturbationBackEnds; }

int32_t IteratePerturbScalar(tFractalPackedData& block) { return PerturbBackEnd(block, PerturbLanesScalar); }
#ifdef QX_HAVE_SSE_BACKENDS
int32_t IteratePerturbSse2(tFractalPackedData& block) { return PerturbBackEnd(block, PerturbLanesSse2); }
int32_t IteratePerturbAvx2(tFractalPackedData& block) { return PerturbBackEnd(block, PerturbLanesAvx2); }
int32_t IteratePerturbAvx512(tFractalPackedData& block) { return PerturbBackEnd(block, PerturbLanesAvx512); }
#endif
