#include "uCpuFeatures.h"

#include "uFormat.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {
std::optional<tCpuFeatures> gOverride;

#if defined(__x86_64__) || defined(__i386__)
/// XCR0: the register states the operating system saves and restores. Only
/// to be read when CPUID reports OSXSAVE.
uint64_t ReadXcr0()
{
    uint32_t low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<uint64_t>(high) << 32) | low;
}

// XCR0 bits: 1 SSE, 2 AVX (upper YMM halves), 5 opmask, 6 upper ZMM halves
// of registers 0-15, 7 ZMM registers 16-31.
constexpr uint64_t kYmmState = 0x06;
constexpr uint64_t kZmmState = 0xE6;
#endif

/// What DetectCpuFeatures reports, asked once: the ceiling for AVX2 and AVX-512.
const tCpuFeatures& Detected()
{
    static const tCpuFeatures detected = DetectCpuFeatures();
    return detected;
}

tCpuFeatures LimitToProcessor(tCpuFeatures f)
{
    f.avx2 = f.avx2 && Detected().avx2;
    f.avx512 = f.avx512 && Detected().avx512;
    return f;
}
} // namespace

tCpuFeatures DetectCpuFeatures()
{
    tCpuFeatures f;
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    uint64_t xcr0 = 0;
    if (__get_cpuid(1, &a, &b, &c, &d)) {
        f.sse = (d >> 25) & 1u;
        f.sse2 = (d >> 26) & 1u;
        const bool osxsave = (c >> 27) & 1u;
        const bool avx = (c >> 28) & 1u;
        if (osxsave && avx)
            xcr0 = ReadXcr0();
    }
    // __get_cpuid_count checks the highest function before asking function 7.
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d)) {
        f.avx2 = (xcr0 & kYmmState) == kYmmState && ((b >> 5) & 1u);
        f.avx512 = (xcr0 & kZmmState) == kZmmState && ((b >> 16) & 1u);
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
            f = {true, true, true, true, true};
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
        else if (word == "avx2")
            f.avx2 = true;
        else if (word == "noavx2")
            f.avx2 = false;
        else if (word == "avx512")
            f.avx512 = true;
        else if (word == "noavx512")
            f.avx512 = false;
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
        return LimitToProcessor(*gOverride);
    static const tCpuFeatures fromEnvironment = [] {
        const char* modifiers = std::getenv("FRACTAL_CPU");
        return LimitToProcessor(ApplyCpuFeatureList(Detected(), modifiers ? modifiers : ""));
    }();
    return fromEnvironment;
}

void SetCpuFeaturesOverride(std::optional<tCpuFeatures> features) { gOverride = features; }

bool HasSSE() { return CurrentCpuFeatures().sse; }
bool HasSSE2() { return CurrentCpuFeatures().sse2; }
bool Has3DNow() { return CurrentCpuFeatures().amd3DNow; }
bool HasAVX2() { return CurrentCpuFeatures().avx2; }
bool HasAVX512() { return CurrentCpuFeatures().avx512; }
