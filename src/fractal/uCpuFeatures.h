#pragma once
// Which SIMD instruction sets the processor executes. The answers decide the
// iteration back ends and whether deep zooming is offered.
//
// One seam can pretend any feature set: SetCpuFeaturesOverride (tests) or the
// environment variable FRACTAL_CPU (end-to-end runs), a comma-separated list
// applied to the real answers in order: "none", "all", "sse", "nosse",
// "sse2", "nosse2", "3dnow", "no3dnow".
#include <optional>
#include <string>

struct tCpuFeatures {
    bool sse = false;
    bool sse2 = false;
    bool amd3DNow = false;
    friend bool operator==(const tCpuFeatures&, const tCpuFeatures&) = default;
};

bool HasSSE();
bool HasSSE2();
bool Has3DNow();

/// What the processor reports (CPUID functions 1 and 0x80000001), checking
/// that each function exists. All false on other processors.
tCpuFeatures DetectCpuFeatures();
/// Applies a FRACTAL_CPU-style list of modifiers to a feature set. Unknown
/// words are ignored.
tCpuFeatures ApplyCpuFeatureList(tCpuFeatures base, const std::string& modifiers);
/// The features the program uses: the override when set, else the detected
/// ones with FRACTAL_CPU applied.
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
