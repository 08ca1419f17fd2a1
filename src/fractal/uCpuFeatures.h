#pragma once
// Which SIMD instruction sets the processor executes. The answers decide the
// iteration back ends and whether deep zooming is offered.
//
// One seam can pretend any feature set: SetCpuFeaturesOverride (tests) or the
// environment variable FRACTAL_CPU (end-to-end runs), a comma-separated list
// applied to the real answers in order: "none", "all", "sse", "nosse",
// "sse2", "nosse2", "3dnow", "no3dnow", "avx2", "noavx2", "avx512",
// "noavx512". AVX2 and AVX-512 can only be taken away: whatever the seam
// says, they count only where the processor runs them, because their back
// ends are real instructions (3DNow! is emulated, SSE and SSE2 are part of
// every x86-64 processor).
#include <optional>
#include <string>

struct tCpuFeatures {
    bool sse = false;
    bool sse2 = false;
    bool amd3DNow = false;
    bool avx2 = false;   ///< AVX2, with the operating system saving the YMM registers
    bool avx512 = false; ///< AVX-512F, with the operating system saving the ZMM and mask registers
    friend bool operator==(const tCpuFeatures&, const tCpuFeatures&) = default;
};

bool HasSSE();
bool HasSSE2();
bool Has3DNow();
bool HasAVX2();
bool HasAVX512();

/// What the processor reports (CPUID functions 1, 7 and 0x80000001, checking
/// that each function exists; for AVX2 and AVX-512 also XGETBV, whether the
/// operating system saves the wide registers). All false on other processors.
tCpuFeatures DetectCpuFeatures();
/// Applies a FRACTAL_CPU-style list of modifiers to a feature set. Unknown
/// words are ignored.
tCpuFeatures ApplyCpuFeatureList(tCpuFeatures base, const std::string& modifiers);
/// The features the program uses: the override when set, else the detected
/// ones with FRACTAL_CPU applied; AVX2 and AVX-512 only where detected.
tCpuFeatures CurrentCpuFeatures();
void SetCpuFeaturesOverride(std::optional<tCpuFeatures> features);

/// RAII helper for tests: pretends a feature set for its lifetime.
class tCpuFeaturesScope {
public:
    explicit tCpuFeaturesScope(tCpuFeatures f) { SetCpuFeaturesOverride(f); }
    ~tCpuFeaturesScope() { SetCpuFeaturesOverride(std::nullopt); }
    tCpuFeaturesScope(const tCpuFeaturesScope&) = delete;
    tCpuFeaturesScope& operator=(const tCpuFeaturesScope&) = delete;
};
