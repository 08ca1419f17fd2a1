#include "uCpuFeatures.h"

#include <gtest/gtest.h>

TEST(CpuFeatures, OverrideIsSeenByEveryQuestion)
{
    {
        tCpuFeaturesScope scope({false, false, true});
        EXPECT_FALSE(HasSSE());
        EXPECT_FALSE(HasSSE2());
        EXPECT_TRUE(Has3DNow());
    }
    {
        tCpuFeaturesScope scope({true, true, false});
        EXPECT_TRUE(HasSSE());
        EXPECT_TRUE(HasSSE2());
        EXPECT_FALSE(Has3DNow());
    }
    EXPECT_EQ(CurrentCpuFeatures(), ApplyCpuFeatureList(DetectCpuFeatures(), ""));
}

TEST(CpuFeatures, SpecModifiersApplyInOrder)
{
    const tCpuFeatures all{true, true, true};
    EXPECT_EQ(ApplyCpuFeatureList(all, "nosse2"), (tCpuFeatures{true, false, true}));
    EXPECT_EQ(ApplyCpuFeatureList(all, "none,3dnow"), (tCpuFeatures{false, false, true}));
    EXPECT_EQ(ApplyCpuFeatureList({}, " SSE , sse2 "), (tCpuFeatures{true, true, false}));
    EXPECT_EQ(ApplyCpuFeatureList(all, "bogus"), all);
    EXPECT_EQ(ApplyCpuFeatureList({}, "all,no3dnow,nosse"), (tCpuFeatures{false, true, false}));
}

#if defined(__x86_64__)
TEST(CpuFeatures, EveryX8664ProcessorHasSseAndSse2)
{
    const tCpuFeatures f = DetectCpuFeatures();
    EXPECT_TRUE(f.sse);
    EXPECT_TRUE(f.sse2);
}
#endif
