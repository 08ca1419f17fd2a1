// The settings object: detail levels and what they need, the choice of a
// level from measured figures, and the start-up load from defaults, the
// registry store and fractal.ini.
#include "uGlobalSettings.h"

#include "uAppRegistry.h"
#include "uAssert.h"
#include "uClock.h"
#include "uCpuFeatures.h"
#include "uSystemFacts.h"
#include "uSystemInfo.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <functional>

#include <cmath>
#include <memory>

namespace {

class GlobalSettingsTest : public ::testing::Test {
protected:
    tTempDir dir;
    tScopedEnv store{"FRACTAL_REGISTRY", dir.File("registry").c_str()};
    tCapturedLog log;
    tCpuFeaturesScope cpu{tCpuFeatures{true, true, false}};

    // What the fake probes report, and what they were asked.
    double renderSeconds = 0.002; // score 32768
    int64_t ramKb = 4096 * 1024;
    std::vector<bool> renders;   // the deep flag of each test render

    void SetUp() override
    {
        SetPrimaryScreenWidthProvider([] { return 1024; });
        CreateAppRegistry();
    }
    void TearDown() override
    {
        FreeAppRegistry();
        SetPrimaryScreenWidthProvider({});
    }

    std::unique_ptr<tGlobalSettings> Make()
    {
        auto s = std::make_unique<tGlobalSettings>();
        s->probes.renderSeconds = [this](bool deep) {
            renders.push_back(deep);
            return renderSeconds;
        };
        s->probes.totalPhysMemoryKb = [this] { return ramKb; };
        return s;
    }

    std::string Ini(const std::string& advanced)
    {
        WriteTextFile(dir.File("fractal.ini"), "[ADVANCED]\n" + advanced);
        return dir.File("fractal.ini");
    }
    std::string NoIni() const { return dir.File("absent.ini"); }

    int32_t Stored(const char* name) const { return AppRegistry().Registry().ReadInteger(name); }
    void Store(const char* name, int32_t v) { const_cast<tRegistryEx&>(AppRegistry().Registry()).WriteInteger(name, v); }
};

struct tLevelFigures {
    int32_t resolution, cpu, ram;
};

} // namespace

TEST(DetailLevels, WorkedValuesOnTwoScreens)
{
    const tLevelFigures at1024[5] = {{512, 45, 202}, {614, 88, 206}, {717, 166, 212}, {819, 369, 218}, {1024, 947, 232}};
    const tLevelFigures at1280[5] = {{640, 71, 208}, {768, 138, 214}, {896, 259, 223}, {1024, 576, 232}, {1280, 1480, 254}};
    for (int level = 1; level <= 5; ++level) {
        const tLevelFigures& a = at1024[level - 1];
        EXPECT_EQ(LevelResolution(level, 1024), a.resolution) << level;
        EXPECT_EQ(LevelRequiredCpu(level, 1024), a.cpu) << level;
        EXPECT_EQ(LevelRequiredRam(level, 1024), a.ram) << level;
        const tLevelFigures& b = at1280[level - 1];
        EXPECT_EQ(LevelResolution(level, 1280), b.resolution) << level;
        EXPECT_EQ(LevelRequiredCpu(level, 1280), b.cpu) << level;
        EXPECT_EQ(LevelRequiredRam(level, 1280), b.ram) << level << " (254.5 rounds to the even 254)";
    }
    // Without a width: the primary screen's.
    SetPrimaryScreenWidthProvider([] { return 1280; });
    EXPECT_EQ(LevelResolution(3), 896);
    EXPECT_EQ(LevelRequiredCpu(5), 1480);
    EXPECT_EQ(LevelRequiredRam(1), 208);
    SetPrimaryScreenWidthProvider({});
}

TEST(DetailLevels, TableConstantsAndAntiAliasing)
{
    EXPECT_EQ(DetailLevelTable[0].name, "low");
    EXPECT_EQ(DetailLevelTable[4].name, "higest");
    EXPECT_EQ(DetailLevelTable[1].aa.threshold, 0.67f);
    EXPECT_NE(static_cast<double>(DetailLevelTable[1].aa.threshold), 0.67) << "a single-precision constant";
    EXPECT_EQ(DetailLevelTable[3].iterations, 1200);
    EXPECT_EQ(DetailLevelSettingOf(5).resolutionFactor, 1.0f);
    EXPECT_THROW(DetailLevelSettingOf(0), std::exception);
    EXPECT_THROW(DetailLevelSettingOf(6), std::exception);

    const char* texts[5] = {"Disabled", "Adaptive (0.7) 2x", "Adaptive (0.6) 3x", "Adaptive (0.4) 4x", "Adaptive (0.3) 5x"};
    for (int level = 1; level <= 5; ++level)
        EXPECT_EQ(AASettingsText(DetailLevelSettingOf(level).aa), texts[level - 1]);
    EXPECT_EQ(AASettingsText({0.0f, 3, 1.0f}), "Fixed 3x");

    EXPECT_FLOAT_EQ(AACost(DetailLevelSettingOf(1).aa), 1.0f);
    EXPECT_FLOAT_EQ(AACost(DetailLevelSettingOf(5).aa), 2.96f);
    EXPECT_FLOAT_EQ(AACost({0.0f, 9, 1.0f}), 9.0f);
    EXPECT_FLOAT_EQ(AACost({-3.0f, 2, 1.0f}), 2.0f) << "1 - threshold is clamped to 1";
    EXPECT_FLOAT_EQ(AACost({2.0f, 5, 1.0f}), 1.0f) << "and to 0";
    EXPECT_FLOAT_EQ(AACost({0.0f, 0, 1.0f}), 1.0f) << "no negative sample count";
}

TEST(AutoDetection, ScoreFromTheTestRender)
{
    EXPECT_EQ(CpuScore(0.002), 32768);
    EXPECT_EQ(CpuScore(0.0005), 65536) << "counted as 1 ms";
    EXPECT_EQ(CpuScore(0.001), 65536);
    EXPECT_EQ(CpuScore(2.0), 66) << "counted as 1 s";
    EXPECT_EQ(CpuScore(1.0), 66);
    EXPECT_EQ(CpuScore(0.1), 655);
    EXPECT_EQ(CpuScore(-1.0), 65536);
    EXPECT_EQ(CpuScore(std::nan("")), 65536);
}

TEST(AutoDetection, TheMachineProbesTimeARealRenderAndReadTheMemory)
{
    int reads = 0;
    SetHighResTimeSource([&] { return 100.0L + 0.002L * reads++; });
    EXPECT_NEAR(TestRenderSeconds(false), 0.002, 1e-9);
    EXPECT_EQ(reads, 2) << "one reading before the render and one after";
    SetHighResTimeSource({});
    EXPECT_GT(TestRenderSeconds(true), 0.0);

    const tAutoDetectProbes probes = MachineProbes();
    EXPECT_THROW(probes.totalPhysMemoryKb(), EAssertionFailed) << "needs the system-information module";
    TdmSystemInfo dm;
    EXPECT_EQ(probes.totalPhysMemoryKb(), TotalPhysicalMemoryKb());
}

TEST(AutoDetection, TheHighestLevelBothProcessorAndMemoryCarry)
{
    EXPECT_EQ(ChooseDetailLevel(400, 215, 1024), 3) << "level 4 needs 218 MB";
    EXPECT_EQ(ChooseDetailLevel(400, 210, 1024), 2);
    EXPECT_EQ(ChooseDetailLevel(65536, 100000, 1024), 5);
    EXPECT_EQ(ChooseDetailLevel(66, 100000, 1280), 1) << "nothing passes: level 1";
    EXPECT_EQ(ChooseDetailLevel(0, 0, 1024), 1);
    // Both comparisons are strict.
    EXPECT_EQ(ChooseDetailLevel(88, 100000, 1024), 1);
    EXPECT_EQ(ChooseDetailLevel(89, 100000, 1024), 2);
    EXPECT_EQ(ChooseDetailLevel(100000, 206, 1024), 1);
    EXPECT_EQ(ChooseDetailLevel(100000, 207, 1024), 2);
    // The scan does not stop at a failing level.
    EXPECT_EQ(ChooseDetailLevel(948, 233, 1024), 5);
    EXPECT_EQ(ChooseDetailLevel(1480, 100000, 1280), 4);
}

TEST_F(GlobalSettingsTest, DefaultsLeaveZoomSpeedAlone)
{
    const auto s = Make();
    EXPECT_EQ(s->zoomSpeed, 0.0f) << "zero from creation, not from the defaults";
    EXPECT_EQ(s->frameColor, PackRGBA(0, 0, 0, 255));
    s->zoomSpeed = 3.0f;
    s->frameRes = 1;
    s->aa.samples = 4;
    s->SetDefaults();
    EXPECT_EQ(s->frameRes, 512);
    EXPECT_EQ(s->aa, (tAASettings{1.0f, 1, 1.0f}));
    EXPECT_EQ(s->zoomSpeed, 3.0f);
}

TEST_F(GlobalSettingsTest, AFirstStartDetectsOnceAndStoresTheLevel)
{
    const auto s = Make();
    s->LoadSettings(NoIni());
    ASSERT_EQ(renders.size(), 1u);
    EXPECT_FALSE(renders[0]) << "measured with zoomDeep off, its value at that moment";
    EXPECT_EQ(log.FileCount("Auto detecting settings..."), 1);
    EXPECT_TRUE(log.FileContains(" -CPU score = 32768"));
    EXPECT_TRUE(log.FileContains(" -Total RAM = 4096Mb"));
    EXPECT_TRUE(log.FileContains("Auto detection complete"));
    EXPECT_TRUE(log.FileContains("Applying detail level: 5"));
    EXPECT_FALSE(log.FileContains("Detail level: \"low\"")) << "the table is logged only in debug mode";
    EXPECT_EQ(s->cpuScore, 32768);
    EXPECT_EQ(Stored("DetailLevel"), 5);
    EXPECT_EQ(Stored("ZoomDeep"), 0);
    EXPECT_FALSE(s->zoomDeep) << "deep zooming starts off";
    EXPECT_EQ(s->detailLevel, 5);
    EXPECT_EQ(s->FractalResolution, 1024);
    EXPECT_EQ(s->fractalItterations, 1600);
    EXPECT_EQ(s->aa.samples, 5);
    EXPECT_EQ(s->renderPercision, 1);

    // The next start reads the stored level.
    renderSeconds = 1.0;
    const auto again = Make();
    again->LoadSettings(NoIni());
    EXPECT_EQ(renders.size(), 1u);
    EXPECT_EQ(again->detailLevel, 5);
    EXPECT_EQ(log.FileCount("Auto detecting settings..."), 1);
}

TEST_F(GlobalSettingsTest, DeepZoomingFollowsTheStoreAndTheProcessor)
{
    Store("DetailLevel", 1);
    Store("ZoomDeep", 7);
    const auto s = Make();
    s->LoadSettings(NoIni());
    EXPECT_TRUE(renders.empty());
    EXPECT_TRUE(s->zoomDeep);
    EXPECT_EQ(s->FractalResolution, 512);
    EXPECT_EQ(s->fractalItterations, 1024) << "level 1 raised to 1024 when deep";
    EXPECT_EQ(s->renderPercision, 0);

    tCpuFeaturesScope noSse2({true, false, false});
    s->LoadSettings(NoIni());
    EXPECT_FALSE(s->zoomDeep);
    EXPECT_EQ(s->fractalItterations, 512);
    EXPECT_EQ(s->renderPercision, 1);
    EXPECT_EQ(Stored("ZoomDeep"), 7) << "loading writes nothing when no detection runs";
}

TEST_F(GlobalSettingsTest, DeepDivesFollowTheStoreTheIniFileAndGoBackToTheStore)
{
    Store("DetailLevel", 3);
    Store("ZoomDeep", 1);
    const auto s = Make();
    s->LoadSettings(NoIni());
    EXPECT_FALSE(s->deepDive) << "off until chosen";
    Store("DeepDive", 1);
    s->LoadSettings(NoIni());
    EXPECT_TRUE(s->deepDive);
    // The ini key overrides the stored choice, either way; without the key
    // the store's holds.
    s->LoadSettings(Ini("deepDive=0\n"));
    EXPECT_FALSE(s->deepDive);
    Store("DeepDive", 0);
    s->LoadSettings(Ini("deepDive=1\n"));
    EXPECT_TRUE(s->deepDive);
    s->LoadSettings(Ini("FractalColorMap=2\n"));
    EXPECT_FALSE(s->deepDive);
    // Saving writes the choice beside the others.
    s->deepDive = true;
    s->SaveSettings();
    EXPECT_EQ(Stored("DeepDive"), 1);
    EXPECT_EQ(Stored("ZoomDeep"), 1);
    EXPECT_EQ(Stored("DetailLevel"), 3);
}

TEST_F(GlobalSettingsTest, AStoredStringOrOutOfRangeLevelMeansDetectAgain)
{
    const_cast<tRegistryEx&>(AppRegistry().Registry()).WriteString("DetailLevel", "3");
    ramKb = 215 * 1024;
    renderSeconds = 65.536 / 400; // score 400
    const auto s = Make();
    s->LoadSettings(NoIni());
    EXPECT_EQ(renders.size(), 1u);
    EXPECT_EQ(s->cpuScore, 400);
    EXPECT_EQ(s->detailLevel, 3);
    EXPECT_EQ(Stored("DetailLevel"), 3) << "now a DWORD";

    Store("DetailLevel", 300);
    ramKb = 210 * 1024;
    s->LoadSettings(NoIni());
    EXPECT_EQ(renders.size(), 2u);
    EXPECT_EQ(Stored("DetailLevel"), 2);
}

TEST_F(GlobalSettingsTest, ForcingLevelSixDetectsOnEveryLoad)
{
    const std::string ini = Ini("forceDetailLevel=6\nzoomDeep=1\n");
    const auto s = Make();
    s->LoadSettings(ini);
    EXPECT_EQ(Stored("DetailLevel"), 5);
    EXPECT_EQ(Stored("ZoomDeep"), 1) << "the ini's zoomDeep is what detection saves";
    EXPECT_TRUE(s->zoomDeep) << "and LoadDeepZoom reads it back";

    renderSeconds = 65.536 / 400;
    ramKb = 210 * 1024;
    s->LoadSettings(ini);
    ASSERT_EQ(renders.size(), 2u);
    EXPECT_TRUE(renders[0] && renders[1]) << "measured in deep precision";
    EXPECT_EQ(Stored("DetailLevel"), 2);
    EXPECT_EQ(s->detailLevel, 2);
    EXPECT_EQ(log.FileCount("Auto detection complete"), 2);
}

TEST_F(GlobalSettingsTest, AForcedInvalidLevelChangesNothingItDerives)
{
    Store("DetailLevel", 3);
    const auto s = Make();
    s->LoadSettings(Ini("forceDetailLevel=9\n"));
    EXPECT_EQ(s->detailLevel, 9);
    EXPECT_EQ(log.FileCount("Invalid detail level."), 1);
    EXPECT_TRUE(log.FileContains("Applying detail level: 9"));
    EXPECT_EQ(s->FractalResolution, 768);
    EXPECT_EQ(s->fractalItterations, 1024);
    EXPECT_EQ(s->aa.samples, 1);
    EXPECT_TRUE(renders.empty());
    EXPECT_EQ(Stored("DetailLevel"), 3) << "nothing is written";

    s->LoadSettings(Ini("forceDetailLevel=9\nFractalResolution=300\nfractalItterations=900\n"));
    EXPECT_EQ(s->FractalResolution, 300);
    EXPECT_EQ(s->fractalItterations, 900);
}

TEST_F(GlobalSettingsTest, EveryIniKeyOverridesTheLevel)
{
    Store("DetailLevel", 3);
    Store("ZoomDeep", 0);
    const auto s = Make();
    s->LoadSettings(Ini("FractalColorMap=4\nzoomRotationSpeed=2.5\nzoomSpeed=0.75\ncpuThrottle=15\n"
                        "frameScale=1.25\nframeColor=255,128,0\nframeRes=256\nfractalItterations=2000\n"
                        "renderPercision=3\naaThreshold=0.5\naaSamples=9\naaRadius=0.5\ninterpolation=7\n"
                        "FractalType=3\nFractalResolution=640\nPatternSeed=-12345\nzoomKeyframeInterval=1.5\n"
                        "DebugMode=1\nwriteKeyFramesToDisk=2\n"));
    EXPECT_EQ(s->detailLevel, 3);
    EXPECT_EQ(s->FractalColorMap, 4);
    EXPECT_EQ(s->zoomRotationSpeed, 2.5f);
    EXPECT_EQ(s->zoomSpeed, 0.75f);
    EXPECT_EQ(s->cpuThrottle, 15);
    EXPECT_EQ(s->frameScale, 1.25f);
    EXPECT_EQ(s->frameColor, PackRGBA(255, 128, 0, 255));
    EXPECT_EQ(s->frameRes, 256);
    EXPECT_EQ(s->fractalItterations, 2000);
    EXPECT_EQ(s->renderPercision, 3);
    EXPECT_EQ(s->aa.threshold, 0.5f);
    EXPECT_EQ(s->aa.samples, 9);
    EXPECT_EQ(s->aa.radius, 0.5f);
    EXPECT_EQ(s->interpolation, 7);
    EXPECT_EQ(s->FractalType, 3);
    EXPECT_EQ(s->FractalResolution, 640);
    EXPECT_EQ(s->PatternSeed, -12345);
    EXPECT_EQ(s->zoomKeyframeInterval, 1.5f);
    EXPECT_TRUE(s->DebugMode);
    EXPECT_TRUE(s->writeKeyFramesToDisk);
    EXPECT_FALSE(log.FileContains("Detail level: \""))
        << "DebugMode is read after the level was chosen";

    // Keys that are absent, or whose text does not convert, keep the level's values.
    s->LoadSettings(Ini("aaSamples=lots\nfractalItterations=1.5e3\nframeScale=1,5\n"));
    EXPECT_EQ(s->aa.samples, 3);
    EXPECT_EQ(s->aa.threshold, 0.6f);
    EXPECT_EQ(s->fractalItterations, 1024);
    EXPECT_EQ(s->FractalResolution, 717);
    EXPECT_EQ(s->frameScale, 1.0f);
    EXPECT_EQ(s->frameColor, PackRGBA(0, 0, 0, 255));
    EXPECT_FALSE(s->writeKeyFramesToDisk) << "missing: false, whatever it was before";
    EXPECT_FALSE(s->DebugMode);
    EXPECT_EQ(s->renderPercision, 1);
}

TEST_F(GlobalSettingsTest, FrameColourTextThatCannotBeParsedIsYellow)
{
    Store("DetailLevel", 1);
    const auto s = Make();
    for (const char* text : {"garbage", "1,2", "256,0,0", ""}) {
        s->LoadSettings(Ini(std::string("frameColor=") + text + "\n"));
        EXPECT_EQ(s->frameColor, PackRGBA(255, 255, 0, 255)) << text;
    }
    s->LoadSettings(Ini("frameColor = 10 ; 20 ; 30\n"));
    EXPECT_EQ(s->frameColor, PackRGBA(10, 20, 30, 255));
}

TEST_F(GlobalSettingsTest, ValuesOtherPartsCannotCarryAreRefusedWithAWarning)
{
    Store("DetailLevel", 2);
    Store("ZoomDeep", 0);
    const auto s = Make();
    s->LoadSettings(Ini("aaSamples=50\nFractalResolution=0\nfractalItterations=0\nframeRes=-1\n"
                        "zoomKeyframeInterval=1\nforceDetailLevel=262\n"));
    EXPECT_EQ(s->forceDetailLevel, 0) << "262 does not fit the byte field";
    EXPECT_EQ(s->detailLevel, 2);
    EXPECT_EQ(s->aa.samples, 2);
    EXPECT_EQ(s->FractalResolution, 614);
    EXPECT_EQ(s->fractalItterations, 768);
    EXPECT_EQ(s->frameRes, 512);
    EXPECT_EQ(s->zoomKeyframeInterval, 2.0f);
    EXPECT_EQ(log.FileCount("Ignoring "), 6);
    EXPECT_TRUE(log.FileContains("Ignoring aaSamples = 50: allowed are 1 to 9"));
}

TEST_F(GlobalSettingsTest, EveryIniValueIsBoundedAndAValueOutsideItsRangeIsLoggedAndIgnored)
{
    Store("DetailLevel", 1);
    Store("ZoomDeep", 0);
    using tField = std::function<double(const tGlobalSettings&)>;
    const struct {
        const char* key;
        tField field;
        std::vector<std::string> refused; // each leaves the level's or default value
        std::vector<std::pair<std::string, double>> taken;
        std::string range;
    } table[] = {
        {"cpuThrottle", [](const tGlobalSettings& g) { return g.cpuThrottle; }, {"-1", "1001", "2147483647"},
         {{"0", 0}, {"1000", 1000}}, "0 to 1000"},
        {"fractalItterations", [](const tGlobalSettings& g) { return g.fractalItterations; },
         {"0", "100001", "200000000", "2147483647"}, {{"1", 1}, {"100000", 100000}}, "1 to 100000"},
        {"FractalResolution", [](const tGlobalSettings& g) { return g.FractalResolution; }, {"15", "8193"},
         {{"16", 16}, {"8192", 8192}}, "16 to 8192"},
        {"frameRes", [](const tGlobalSettings& g) { return g.frameRes; }, {"0", "8193"}, {{"1", 1}, {"8192", 8192}},
         "1 to 8192"},
        {"aaSamples", [](const tGlobalSettings& g) { return g.aa.samples; }, {"0", "10"}, {{"1", 1}, {"9", 9}},
         "1 to 9"},
        {"aaThreshold", [](const tGlobalSettings& g) { return g.aa.threshold; }, {"-0.5", "1.5"},
         {{"0", 0}, {"1", 1}}, "0 to 1"},
        {"aaRadius", [](const tGlobalSettings& g) { return g.aa.radius; }, {"-1", "17", "1e30"},
         {{"0", 0}, {"16", 16}}, "0 to 16"},
        {"renderPercision", [](const tGlobalSettings& g) { return g.renderPercision; }, {"-1", "4"},
         {{"0", 0}, {"3", 3}}, "0 to 3"},
        {"FractalColorMap", [](const tGlobalSettings& g) { return g.FractalColorMap; }, {"-1", "15"},
         {{"0", 0}, {"14", 14}}, "0 to 14"},
        {"zoomRotationSpeed", [](const tGlobalSettings& g) { return g.zoomRotationSpeed; }, {"-1001", "1e30"},
         {{"-1000", -1000}, {"1000", 1000}}, "-1000 to 1000"},
        {"frameScale", [](const tGlobalSettings& g) { return g.frameScale; }, {"-1", "101"}, {{"0", 0}, {"100", 100}},
         "0 to 100"},
        {"zoomKeyframeInterval", [](const tGlobalSettings& g) { return g.zoomKeyframeInterval; }, {"0.5", "1001"},
         {{"1.5", 1.5}, {"1000", 1000}}, "1 to 1000"},
        {"renderThreads", [](const tGlobalSettings& g) { return g.renderThreads; }, {"-1", "65", "1e3"},
         {{"0", 0}, {"64", 64}}, "0 to 64"},
    };
    const auto defaults = Make();
    defaults->LoadSettings(NoIni());
    for (const auto& row : table) {
        for (const std::string& value : row.refused) {
            SCOPED_TRACE(std::string(row.key) + "=" + value);
            tCapturedLog captured;
            const auto s = Make();
            s->LoadSettings(Ini(std::string(row.key) + "=" + value + "\n"));
            EXPECT_EQ(row.field(*s), row.field(*defaults));
            EXPECT_TRUE(captured.FileContains(std::string("Ignoring ") + row.key + " = " + value + ": allowed are " +
                                              row.range))
                << (captured.FileLines().empty() ? "" : captured.FileLines().back());
        }
        for (const auto& [value, expected] : row.taken) {
            SCOPED_TRACE(std::string(row.key) + "=" + value);
            tCapturedLog captured;
            const auto s = Make();
            s->LoadSettings(Ini(std::string(row.key) + "=" + value + "\n"));
            EXPECT_EQ(row.field(*s), expected);
            EXPECT_FALSE(captured.FileContains("Ignoring "));
        }
    }
}

TEST_F(GlobalSettingsTest, AStoreThatCannotBeWrittenIsAWarningAndTheLoadGoesOn)
{
    // A full disk, then a key that cannot even be created.
    for (const bool blocked : {false, true}) {
        if (blocked) {
            FreeAppRegistry();
            WriteTextFile(dir.File("file"), "x");
        }
        const std::string where = dir.File(blocked ? "file/registry" : "registry");
        tScopedEnv unusable("FRACTAL_REGISTRY", where.c_str());
        if (blocked)
            CreateAppRegistry();
        SetRegistryWriteFaultHook([](tRegistryWriteStep) { return false; });
        for (const bool withIni : {true, false}) {
            const std::string ini = withIni ? Ini("FractalColorMap=3\nPatternSeed=9\n") : NoIni();
            const auto s = Make();
            const int warningsBefore = log.FileCount("Could not save the settings to \"" + where + "\" - ");
            EXPECT_NO_THROW(s->LoadSettings(ini));
            EXPECT_EQ(log.FileCount("Could not save the settings to \"" + where + "\" - "), warningsBefore + 1);
            EXPECT_EQ(s->detailLevel, 5) << "the measured level";
            EXPECT_EQ(s->FractalResolution, 1024) << "and it is applied";
            EXPECT_EQ(s->FractalColorMap, withIni ? 3 : 0) << "the ini file is read in full";
            EXPECT_EQ(s->PatternSeed, withIni ? 9 : 0);
        }
        SetRegistryWriteFaultHook({});
    }
    EXPECT_FALSE(log.FileContains("Could not open config file")) << "the ini file is not to blame";
    FreeAppRegistry();
}

TEST_F(GlobalSettingsTest, AStoredDeepZoomingChoiceSurvivesDetection)
{
    Store("ZoomDeep", 1);
    const auto s = Make();
    s->LoadSettings(NoIni());
    EXPECT_EQ(renders.size(), 1u);
    EXPECT_EQ(Stored("DetailLevel"), 5);
    EXPECT_EQ(Stored("ZoomDeep"), 1);
    EXPECT_TRUE(s->zoomDeep);

    // Forced detection on every load, with an ini file that says otherwise:
    // the stored choice is still the user's.
    const std::string ini = Ini("forceDetailLevel=6\nzoomDeep=0\n");
    s->LoadSettings(ini);
    s->LoadSettings(ini);
    EXPECT_EQ(renders.size(), 3u);
    EXPECT_EQ(Stored("ZoomDeep"), 1);
    EXPECT_TRUE(s->zoomDeep);
}

TEST_F(GlobalSettingsTest, AnIniFileOfJunkChangesNothing)
{
    Store("DetailLevel", 4);
    std::string junk(5000, '\0');
    for (size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<char>((i * 131 + 7) % 256);
    WriteTextFile(dir.File("fractal.ini"), junk);
    const auto s = Make();
    s->LoadSettings(dir.File("fractal.ini"));
    EXPECT_EQ(s->detailLevel, 4);
    EXPECT_EQ(s->FractalResolution, 819);
    EXPECT_EQ(s->fractalItterations, 1200);
    EXPECT_EQ(s->frameColor, PackRGBA(0, 0, 0, 255));
}

TEST_F(GlobalSettingsTest, TheDetailTableInTheLog)
{
    const auto s = Make();
    s->LogDetailLevels();
    const auto lines = log.FileLines();
    ASSERT_EQ(lines.size(), 25u);
    const char* level2[5] = {"Detail level: \"medium\"", " - Resolution: 614x614", " - Itterations: 768",
                             " - AA: Adaptive (0.7) 2x", " - Required CPU:88 RAM:206"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(lines[5 + i].substr(13), level2[i]) << "after the 12-character time stamp and a space";
    }
    EXPECT_NE(lines[24].find(" - Required CPU:947 RAM:232"), std::string::npos);

    // In debug mode an auto-detection logs it too.
    s->DebugMode = true;
    s->AutoDetectDetailLevel();
    EXPECT_EQ(log.FileCount("Detail level: \"higest\""), 2);
}
