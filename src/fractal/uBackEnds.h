#pragma once
// The iteration back ends: routines that run the escape-time iteration
// z := z^2 + c on every lane of a lane block and leave each lane's escape
// count in int row 6. They share one signature and are listed in one table;
// the generator picks one at run time by precision and processor features:
// the widest one of the precision that the processor runs (WidestBackEnd).
// Adding a back end is one row in the table and one source file.
//
// Two families report counts differently (e = index of the first iterate
// z_e with |z_e|^2 > 4, z_1 = c; L = iteration limit):
//   scalar ("FPU"): e for an escaping point, L for a point that stays;
//                   arithmetic in long double, lane state kept in the
//                   element type between steps; limit from iterationLimit.
//   SIMD:           e - 1 for an escaping point, L for a point that stays;
//                   arithmetic in the element type; 16-bit lane counters;
//                   limit from int row 10, slot 2.
// Above 65 535 the 16-bit counters of the SSE and 3DNow! routines would
// wrap, so those blocks run through a scalar routine of the same arithmetic
// and count convention with 32-bit counters instead; the AVX2 and AVX-512
// routines count in 32 bits themselves. Every SIMD back end of a precision
// gives the same count for the same point.
#include "uCpuFeatures.h"
#include "uPackedData.h"

#include <cstdint>
#include <span>
#include <string_view>

/// A back end: iterates every lane of the block in place and returns the
/// number of lock-step rounds it ran (informational).
using tBackEndRoutine = int32_t (*)(tFractalPackedData& block);

enum class tBackEndFamily : uint8_t { kScalar, kSimd };
enum class tCpuNeed : uint8_t { kNothing, kSSE, kSSE2, k3DNow, kAVX2, kAVX512 };

struct tBackEnd {
    const char* name;
    tBackEndRoutine routine;
    int32_t lanes;
    uint8_t elementType;
    uint8_t precision; // precision code 2, 3 or 4
    tBackEndFamily family;
    tCpuNeed needs;
    int32_t vectorBits; // register width: 0 for the x87 routines; the choice prefers the widest
};

/// Precision code of the perturbation back ends: pixels as 64-bit offsets
/// from a reference orbit computed in arbitrary precision (uReferenceOrbit.h).
constexpr uint8_t kPrecisionPerturbation = 6;

/// The largest limit the SIMD family counts with its 16-bit counters.
constexpr int32_t kSimdCounterLimit = 65535;

/// Every back end this build has (the SSE, AVX2 and AVX-512 ones only on x86).
std::span<const tBackEnd> BackEnds();
/// The perturbation back ends (precision code 6): they iterate offsets from
/// the reference in the block's `perturbation` and count like the SIMD
/// family, whatever their width.
std::span<const tBackEnd> PerturbationBackEnds();
/// The back end of that name in either table, or nullptr.
const tBackEnd* FindBackEnd(std::string_view name);
/// Whether a processor with these features runs the back end.
bool ProcessorRuns(const tBackEnd& backEnd, const tCpuFeatures& features);
/// The back end of a precision code (2, 3, 4 or 6) with the widest registers
/// among those the processor runs, or nullptr for any other code.
const tBackEnd* WidestBackEnd(uint8_t precision, const tCpuFeatures& features);

int32_t IterateFpu32(tFractalPackedData& block);
int32_t IterateFpu64(tFractalPackedData& block);
int32_t IterateFpu80(tFractalPackedData& block);
int32_t Iterate3DNow32(tFractalPackedData& block);
#if defined(__x86_64__) || (defined(__i386__) && defined(__SSE2__))
#define QX_HAVE_SSE_BACKENDS 1
int32_t IterateSse32(tFractalPackedData& block);
int32_t IterateSse2_64(tFractalPackedData& block);
int32_t IterateAvx2_32(tFractalPackedData& block);
int32_t IterateAvx2_64(tFractalPackedData& block);
int32_t IterateAvx512_32(tFractalPackedData& block);
int32_t IterateAvx512_64(tFractalPackedData& block);
#endif
int32_t IteratePerturbScalar(tFractalPackedData& block);
#ifdef QX_HAVE_SSE_BACKENDS
int32_t IteratePerturbSse2(tFractalPackedData& block);
int32_t IteratePerturbAvx2(tFractalPackedData& block);
int32_t IteratePerturbAvx512(tFractalPackedData& block);
#endif

/// One point on its own in 80-bit arithmetic: z := c; repeat i += 1,
/// z := z^2 + c until i >= limit or |z|^2 > 4 (tested on the new z).
/// Returns i: 1 when z_2 is already outside, at most limit (at least 1).
int32_t EscapeCount(int32_t limit, long double re, long double im);
