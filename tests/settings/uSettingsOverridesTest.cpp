// Settings from the command line: applied after the load, for one run,
// never stored, and never undoing what fractal.ini sets.
#include "uSettingsOverrides.h"

#include "uAppRegistry.h"
#include "uCpuFeatures.h"
#include "uGlobalSettings.h"
#include "uSystemFacts.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

namespace {

class SettingsOverridesTest : public ::testing::Test {
protected:
    tTempDir dir;
    tScopedEnv store{"FRACTAL_REGISTRY", dir.File("registry").c_str()};
    tCapturedLog log;
    tCpuFeaturesScope cpu{tCpuFeatures{true, true, false}};
    tGlobalSettings settings;
    int renders = 0;

    void SetUp() override
    {
        SetPrimaryScreenWidthProvider([] { return 1024; });
        CreateAppRegistry();
        WriteTextFile(dir.File("registry"), "DetailLevel=dword:2\nZoomDeep=dword:0\n");
        settings.probes.renderSeconds = [this](bool) {
            ++renders;
            return 0.002; // score 32768: level 5 on a 1024-pixel screen
        };
        settings.probes.totalPhysMemoryKb = [] { return int64_t{4096} * 1024; };
    }
    void TearDown() override
    {
        FreeAppRegistry();
        SetPrimaryScreenWidthProvider({});
    }
    std::string StoreText() const { return ReadTextFile(dir.File("registry")); }
};

} // namespace

TEST_F(SettingsOverridesTest, ReplaceTheStoredChoicesForThisRunOnly)
{
    const std::string noIni = dir.File("absent.ini");
    settings.LoadSettings(noIni);
    ASSERT_EQ(settings.detailLevel, 2);
    const std::string stored = StoreText();

    tSettingsOverrides o;
    o.detailLevel = 4;
    o.zoomDeep = true;
    o.patternSeed = 77;
    o.renderThreads = 3;
    ApplySettingsOverrides(settings, o, noIni);
    EXPECT_EQ(settings.renderThreads, 3);
    EXPECT_EQ(settings.detailLevel, 4);
    EXPECT_TRUE(settings.zoomDeep);
    EXPECT_EQ(settings.FractalResolution, 819);
    EXPECT_EQ(settings.fractalItterations, 1200);
    EXPECT_EQ(settings.aa.samples, 4);
    EXPECT_EQ(settings.renderPercision, 0) << "automatic precision when deep";
    EXPECT_EQ(settings.PatternSeed, 77);
    EXPECT_TRUE(log.FileContains("Settings from the command line: --detail 4 --deep-zoom --seed 77 --threads 3"));
    EXPECT_TRUE(log.FileContains("Applying detail level: 4"));

    // auto measures this machine again, and keeps the result to itself.
    tSettingsOverrides measure;
    measure.detailLevel = kAutoDetectDetailLevel;
    ApplySettingsOverrides(settings, measure, noIni);
    EXPECT_EQ(renders, 1);
    EXPECT_EQ(settings.detailLevel, 5);
    EXPECT_EQ(settings.FractalResolution, 1024);
    EXPECT_EQ(StoreText(), stored) << "nothing is written";
}

TEST_F(SettingsOverridesTest, WhatTheIniFileSetsKeepsWinning)
{
    WriteTextFile(dir.File("fractal.ini"), "[ADVANCED]\nFractalResolution=500\naaSamples=7\nPatternSeed=3\n");
    settings.LoadSettings(dir.File("fractal.ini"));
    ASSERT_EQ(settings.FractalResolution, 500);

    tSettingsOverrides o;
    o.detailLevel = 1;
    o.patternSeed = 9;
    ApplySettingsOverrides(settings, o, dir.File("fractal.ini"));
    EXPECT_EQ(settings.detailLevel, 1);
    EXPECT_EQ(settings.fractalItterations, 512) << "the level's";
    EXPECT_FLOAT_EQ(settings.aa.threshold, 1.0f) << "the level's";
    EXPECT_EQ(settings.FractalResolution, 500) << "the ini's";
    EXPECT_EQ(settings.aa.samples, 7) << "the ini's";
    EXPECT_EQ(settings.PatternSeed, 9) << "the command line is the most specific";
}

TEST_F(SettingsOverridesTest, DeepZoomingStaysOffWithoutSse2)
{
    tCpuFeaturesScope noSse2({true, false, false});
    settings.LoadSettings(dir.File("absent.ini"));
    tSettingsOverrides o;
    o.zoomDeep = true;
    ApplySettingsOverrides(settings, o, dir.File("absent.ini"));
    EXPECT_FALSE(settings.zoomDeep);
    EXPECT_EQ(settings.renderPercision, 1);
    EXPECT_TRUE(log.FileContains("Deep zooming needs SSE2: --deep-zoom ignored"));
}

TEST_F(SettingsOverridesTest, DeepDivesBringDeepZoomingUnlessItIsTurnedOff)
{
    const std::string noIni = dir.File("absent.ini");
    settings.LoadSettings(noIni);
    ASSERT_FALSE(settings.zoomDeep);
    ASSERT_FALSE(settings.deepDive);
    const std::string stored = StoreText();

    tSettingsOverrides o;
    o.deepDive = true;
    ApplySettingsOverrides(settings, o, noIni);
    EXPECT_TRUE(settings.deepDive);
    EXPECT_TRUE(settings.zoomDeep) << "dives need deep zooming";
    EXPECT_EQ(settings.fractalItterations, 1024) << "level 2 raised as for deep zooming";
    EXPECT_TRUE(log.FileContains("Settings from the command line: --deep-dive"));

    tSettingsOverrides both;
    both.deepDive = true;
    both.zoomDeep = false;
    ApplySettingsOverrides(settings, both, noIni);
    EXPECT_FALSE(settings.zoomDeep);
    EXPECT_TRUE(log.FileContains("Deep dives need deep zooming: --deep-dive has no effect with --no-deep-zoom"));
    EXPECT_TRUE(log.FileContains("Settings from the command line: --no-deep-zoom --deep-dive"));

    tSettingsOverrides off;
    off.deepDive = false;
    ApplySettingsOverrides(settings, off, noIni);
    EXPECT_FALSE(settings.deepDive);
    EXPECT_EQ(StoreText(), stored) << "nothing is written";
}
