#include "uCpuFeatures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

TEST(CpuFeatures, OverrideIsSeenByEveryQuestion)
{
    {
        tCpuFeaturesScope scope({false, false, true, false, false});
        EXPECT_FALSE(HasSSE());
        EXPECT_FALSE(HasSSE2());
        EXPECT_TRUE(Has3DNow());
        EXPECT_FALSE(HasAVX2());
        EXPECT_FALSE(HasAVX512());
    }
    {
        tCpuFeaturesScope scope({true, true, false, false, false});
        EXPECT_TRUE(HasSSE());
        EXPECT_TRUE(HasSSE2());
        EXPECT_FALSE(Has3DNow());
    }
    EXPECT_EQ(CurrentCpuFeatures(), ApplyCpuFeatureList(DetectCpuFeatures(), ""));
}

TEST(CpuFeatures, SpecModifiersApplyInOrder)
{
    const tCpuFeatures all{true, true, true, true, true};
    EXPECT_EQ(ApplyCpuFeatureList(all, "nosse2"), (tCpuFeatures{true, false, true, true, true}));
    EXPECT_EQ(ApplyCpuFeatureList(all, "none,3dnow"), (tCpuFeatures{false, false, true, false, false}));
    EXPECT_EQ(ApplyCpuFeatureList({}, " SSE , sse2 "), (tCpuFeatures{true, true, false, false, false}));
    EXPECT_EQ(ApplyCpuFeatureList(all, "bogus"), all);
    EXPECT_EQ(ApplyCpuFeatureList({}, "all,no3dnow,nosse"), (tCpuFeatures{false, true, false, true, true}));
    EXPECT_EQ(ApplyCpuFeatureList(all, "noavx2"), (tCpuFeatures{true, true, true, false, true}));
    EXPECT_EQ(ApplyCpuFeatureList(all, "NoAVX512 ,noavx2"), (tCpuFeatures{true, true, true, false, false}));
    EXPECT_EQ(ApplyCpuFeatureList({}, "avx512,avx2"), (tCpuFeatures{false, false, false, true, true}));
}

TEST(CpuFeatures, WideInstructionSetsOnlyWhereTheProcessorHasThem)
{
    // Pretending AVX2 or AVX-512 on a processor without them would run
    // instructions it lacks: the seam can only take them away.
    const tCpuFeatures detected = DetectCpuFeatures();
    {
        tCpuFeaturesScope all({true, true, true, true, true});
        EXPECT_EQ(HasAVX2(), detected.avx2);
        EXPECT_EQ(HasAVX512(), detected.avx512);
        EXPECT_TRUE(HasSSE2());
        EXPECT_TRUE(Has3DNow()) << "3DNow! is emulated and can be pretended";
    }
    {
        tCpuFeaturesScope some({true, true, false, detected.avx2, false});
        EXPECT_EQ(HasAVX2(), detected.avx2);
        EXPECT_FALSE(HasAVX512());
    }
}

#ifdef __linux__
TEST(CpuFeatures, AgreesWithTheKernelsFlags)
{
    // Linux lists avx2 and avx512f only when the processor has them and the
    // kernel saves their registers: the same two conditions as ours.
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line) && line.rfind("flags", 0) != 0) {
    }
    if (line.rfind("flags", 0) != 0)
        GTEST_SKIP() << "no flags line in /proc/cpuinfo";
    std::set<std::string> flags;
    std::istringstream words(line.substr(line.find(':') + 1));
    for (std::string w; words >> w;)
        flags.insert(w);
    const tCpuFeatures f = DetectCpuFeatures();
    EXPECT_EQ(f.sse, flags.count("sse") == 1);
    EXPECT_EQ(f.sse2, flags.count("sse2") == 1);
    EXPECT_EQ(f.avx2, flags.count("avx2") == 1);
    EXPECT_EQ(f.avx512, flags.count("avx512f") == 1);
}
#endif

#if defined(__x86_64__)
TEST(CpuFeatures, EveryX8664ProcessorHasSseAndSse2)
{
    const tCpuFeatures f = DetectCpuFeatures();
    EXPECT_TRUE(f.sse);
    EXPECT_TRUE(f.sse2);
}
#endif
