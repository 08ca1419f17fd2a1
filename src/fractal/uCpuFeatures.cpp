#include "uCpuFeatures.h"

#include "uFormat.h"

#include <cstdlib>
#include <sstream>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {
std::optional<tCpuFeatures> gOverride;
} // namespace

tCpuFeatures DetectCpuFeatures()
{
    tCpuFeatures f;
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d)) {
        f.sse = (d >> 25) & 1u;
        f.sse2 = (d >> 26) & 1u;
    }
    // __get_cpuid checks the extended range before asking function 0x80000001.
    if (__get_cpuid(0x80000001u, &a, &b, &c, &d))
        f.amd3DNow = (d >> 31) & 1u;
#endif
    return f;
}

tCpuFeatures ApplyCpuFeatureList(tCpuFeatures f, const std::string& modifiers)
{
    std::stringstream words(modifiers);
    std::string word;
    while (std::getline(words, word, ',')) {
        word = LowerCase(Trim(word));
        if (word == "none")
            f = {};
        else if (word == "all")
            f = {true, true, true};
        else if (word == "sse")
            f.sse = true;
        else if (word == "nosse")
            f.sse = false;
        else if (word == "sse2")
            f.sse2 = true;
        else if (word == "nosse2")
            f.sse2 = false;
        else if (word == "3dnow")
            f.amd3DNow = true;
        else if (word == "no3dnow")
            f.amd3DNow = false;
    }
#if !(defined(__x86_64__) || defined(__i386__))
    // The SIMD back ends exist only on x86; pretending otherwise would select
    // code that is not there.
    f = {};
#endif
    return f;
}

tCpuFeatures CurrentCpuFeatures()
{
    if (gOverride)
        return *gOverride;
    static const tCpuFeatures fromEnvironment = [] {
        const char* modifiers = std::getenv("FRACTAL_CPU");
        return ApplyCpuFeatureList(DetectCpuFeatures(), modifiers ? modifiers : "");
    }();
    return fromEnvironment;
}

void SetCpuFeaturesOverride(std::optional<tCpuFeatures> features) { gOverride = features; }

bool HasSSE() { return CurrentCpuFeatures().sse; }
bool HasSSE2() { return CurrentCpuFeatures().sse2; }
bool Has3DNow() { return CurrentCpuFeatures().amd3DNow; }
