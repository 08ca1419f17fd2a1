// Sections: detail levels, auto-detection, tGlobalSettings (defaults, load,
// levels, save, log).
#include "uGlobalSettings.h"

#include "uAppRegistry.h"
#include "uAssert.h"
#include "uClock.h"
#include "uColorMap.h"
#include "uCpuFeatures.h"
#include "uFileLocations.h"
#include "uFiles.h"
#include "uFormat.h"
#include "uFractal.h"
#include "uIniFile.h"
#include "uLog.h"
#include "uMath.h"
#include "uPage.h"
#include "uSystemFacts.h"
#include "uSystemInfo.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>

// ------------------------------------------------------------ detail levels

const std::array<tDetailLevelSetting, 5> DetailLevelTable = {{
    {"low", {1.0f, 1, 1.0f}, 0.5f, 512},
    {"medium", {0.67f, 2, 1.0f}, 0.6f, 768},
    {"high", {0.6f, 3, 1.0f}, 0.7f, 1024},
    {"very high", {0.4f, 4, 1.0f}, 0.8f, 1200},
    {"higest", {0.3f, 5, 1.0f}, 1.0f, 1600},
}};

const tDetailLevelSetting& DetailLevelSettingOf(int level)
{
    Assert(level >= kLowestDetailLevel && level <= kHighestDetailLevel, "uGlobalSettings", __LINE__);
    return DetailLevelTable[static_cast<size_t>(level - 1)];
}

int32_t LevelResolution(int level, int32_t screenWidth)
{
    return static_cast<int32_t>(
        Round(static_cast<extended>(screenWidth) * static_cast<extended>(DetailLevelSettingOf(level).resolutionFactor)));
}

int32_t LevelResolution(int level) { return LevelResolution(level, PrimaryScreenWidth()); }

float AACost(const tAASettings& aa)
{
    const float open = std::clamp(1.0f - aa.threshold, 0.0f, 1.0f);
    const float extraSamples = static_cast<float>(std::max(aa.samples - 1, 0));
    return open * open * extraSamples + 1.0f;
}

int32_t LevelRequiredCpu(int level, int32_t screenWidth)
{
    const tDetailLevelSetting& s = DetailLevelSettingOf(level);
    const extended resolution = LevelResolution(level, screenWidth);
    const extended cost = std::sqrt(static_cast<extended>(s.iterations) / 1024) * (resolution * resolution / 1024) *
                          static_cast<extended>(AACost(s.aa)) * 1.5L * (1.0L / 6);
    return static_cast<int32_t>(Round(cost));
}

int32_t LevelRequiredCpu(int level) { return LevelRequiredCpu(level, PrimaryScreenWidth()); }

int32_t LevelRequiredRam(int level, int32_t screenWidth)
{
    const extended resolution = LevelResolution(level, screenWidth);
    return static_cast<int32_t>(Round(resolution * resolution / 1024 / 1024 * 4 * 5 * 2 + 192));
}

int32_t LevelRequiredRam(int level) { return LevelRequiredRam(level, PrimaryScreenWidth()); }

std::string AASettingsText(const tAASettings& aa)
{
    if (aa.threshold == 0.0f)
        return "Fixed " + IntToStr(aa.samples) + "x";
    if (aa.threshold == 1.0f)
        return "Disabled";
    return "Adaptive (" + FormatFixed(aa.threshold, 1) + ") " + IntToStr(aa.samples) + "x";
}

// ------------------------------------------------------------ auto-detection

int32_t CpuScore(double seconds)
{
    double t = seconds;
    if (!(t >= 0.001)) // also a NaN from a broken clock
        t = 0.001;
    if (t > 1)
        t = 1;
    return static_cast<int32_t>(Round(65536.0L / t / 1000));
}

uint8_t ChooseDetailLevel(int32_t cpuScore, int64_t ramMegabytes, int32_t screenWidth)
{
    uint8_t choice = kLowestDetailLevel;
    for (int level = kLowestDetailLevel; level <= kHighestDetailLevel; ++level)
        if (LevelRequiredCpu(level, screenWidth) < cpuScore && LevelRequiredRam(level, screenWidth) < ramMegabytes)
            choice = static_cast<uint8_t>(level);
    return choice;
}

// ------------------------------------------------------------ tGlobalSettings

namespace {
constexpr char kSection[] = "ADVANCED";
constexpr tPackedColor kUnparsableFrameColor = PackRGBA(255, 255, 0, 255);

// The ranges of the values. Outside them a value would exhaust memory, stop
// every render (no iterations), overflow the anti-aliasing sample buffers,
// hold up a frame for longer than a stop may wait (a single pixel of a
// keyframe is iterated without a break, and the frame loop idles for the
// throttle), or turn angles and sizes into numbers the arithmetic cannot
// carry; such values are refused like text that does not convert.
constexpr int32_t kMaxAASamples = 9;
constexpr int32_t kMinKeyframeResolution = 16;
constexpr int32_t kMaxPageEdge = 8192;
constexpr int32_t kMaxIterations = 100000;
constexpr int32_t kMaxCpuThrottleMs = 1000;
constexpr float kMaxRotationSpeed = 1000.0f;
constexpr float kMaxKeyframeInterval = 1000.0f;
constexpr float kMaxFrameScale = 100.0f;
constexpr float kMaxAARadius = 16.0f;

// Reads of section ADVANCED with the current value as the fallback, refusing
// values outside a range with a warning.
class tAdvancedReader {
public:
    explicit tAdvancedReader(const tIniFile& ini) : ini_(ini) {}

    int32_t Integer(const char* key, int32_t current, int32_t lo = INT32_MIN, int32_t hi = INT32_MAX) const
    {
        if (!ini_.ValueExists(kSection, key))
            return current;
        const int32_t v = ini_.ReadInteger(kSection, key, current);
        if (v >= lo && v <= hi)
            return v;
        Refuse(key, IntToStr(lo), IntToStr(hi));
        return current;
    }
    float Single(const char* key, float current, float lo = -FLT_MAX, float hi = FLT_MAX) const
    {
        if (!ini_.ValueExists(kSection, key))
            return current;
        const float v = ini_.ReadSingle(kSection, key, current);
        if (v >= lo && v <= hi) // also refuses a NaN
            return v;
        Refuse(key, FormatNumber(lo), FormatNumber(hi));
        return current;
    }
    bool Bool(const char* key, bool current) const { return ini_.ReadBool(kSection, key, current); }
    tPackedColor Color(const char* key, tPackedColor current) const
    {
        const std::string text = ini_.ReadString(kSection, key, ColorTripleText(current));
        return ParseColorTriple(text).value_or(kUnparsableFrameColor);
    }

private:
    void Refuse(const char* key, const std::string& lo, const std::string& hi) const
    {
        LogWarning(2, std::string("Ignoring ") + key + " = " + ini_.ReadString(kSection, key, "") + ": allowed are " +
                          lo + " to " + hi);
    }
    static std::string FormatNumber(float v) { return FloatToStr(v); }

    const tIniFile& ini_;
};
} // namespace

tGlobalSettings::tGlobalSettings() : probes(MachineProbes()) { SetDefaults(); }

void tGlobalSettings::SetDefaults()
{
    forceDetailLevel = 0;
    detailLevel = 1;
    cpuThrottle = 0;
    frameScale = 1.0f;
    frameRes = 512;
    frameColor = PackRGBA(0, 0, 0, 255);
    renderPercision = 0;
    fractalItterations = 1024;
    interpolation = 2;
    FractalType = 1;
    FractalResolution = 768;
    FractalColorMap = 0;
    zoomRotationSpeed = 1.5f;
    zoomDeep = false;
    deepDive = false;
    zoomKeyframeInterval = 2.0f;
    keyframeDisplayScale = 1.0;
    PatternSeed = 0;
    aa = tAASettings{1.0f, 1, 1.0f};
    DebugMode = false;
    writeKeyFramesToDisk = false;
    renderThreads = kDefaultRenderThreads;
}

std::string tGlobalSettings::IniFilePath() { return IniFileLocation(); }

void tGlobalSettings::LoadSettings() { LoadSettings(IniFilePath()); }

void tGlobalSettings::LoadSettings(const std::string& iniPath)
{
    SetDefaults();
    if (!FileExists(iniPath)) {
        LoadDetailLevel();
        LoadDeepZoom();
        ApplyDetailLevel();
        deepDive = AppRegistry().ReadDeepDive();
        return;
    }

    const auto couldNotOpen = [&](const std::string& why) {
        LogWarning(2, "Could not open config file \"" + iniPath + "\" - " + why);
    };
    // An unreadable file reads as an empty one: logged, and every value
    // keeps its fallback.
    const tIniFile ini(iniPath);
    if (!ini.OpenError().empty())
        couldNotOpen(ini.OpenError());
    const tAdvancedReader read(ini);
    try {
        forceDetailLevel = static_cast<uint8_t>(read.Integer("forceDetailLevel", forceDetailLevel, 0, 255));
        zoomDeep = read.Bool("zoomDeep", zoomDeep);
        LoadDetailLevel();
        LoadDeepZoom();
        ApplyDetailLevel();
        deepDive = read.Bool("deepDive", AppRegistry().ReadDeepDive());

        FractalColorMap = read.Integer("FractalColorMap", FractalColorMap, 0, tColorMapGenerator::kPresetCount);
        zoomRotationSpeed = read.Single("zoomRotationSpeed", zoomRotationSpeed, -kMaxRotationSpeed, kMaxRotationSpeed);
        zoomSpeed = read.Single("zoomSpeed", zoomSpeed);
        cpuThrottle = read.Integer("cpuThrottle", cpuThrottle, 0, kMaxCpuThrottleMs);
        frameScale = read.Single("frameScale", frameScale, 0.0f, kMaxFrameScale);
        frameColor = read.Color("frameColor", frameColor);
        frameRes = read.Integer("frameRes", frameRes, 1, kMaxPageEdge);
        fractalItterations = read.Integer("fractalItterations", fractalItterations, 1, kMaxIterations);
        renderPercision = read.Integer("renderPercision", renderPercision, 0, 3);
        aa.threshold = read.Single("aaThreshold", aa.threshold, 0.0f, 1.0f);
        aa.samples = read.Integer("aaSamples", aa.samples, 1, kMaxAASamples);
        aa.radius = read.Single("aaRadius", aa.radius, 0.0f, kMaxAARadius);
        interpolation = read.Integer("interpolation", interpolation);
        FractalType = read.Integer("FractalType", FractalType);
        FractalResolution = read.Integer("FractalResolution", FractalResolution, kMinKeyframeResolution, kMaxPageEdge);
        PatternSeed = read.Integer("PatternSeed", PatternSeed);
        const float interval = read.Single("zoomKeyframeInterval", zoomKeyframeInterval, 1.0f, kMaxKeyframeInterval);
        if (interval > 1.0f || interval == zoomKeyframeInterval) {
            zoomKeyframeInterval = interval;
        } else {
            // A ratio of 1 would place keyframes without end.
            LogWarning(2, "Ignoring zoomKeyframeInterval = " + ini.ReadString(kSection, "zoomKeyframeInterval", "") +
                              ": it must be above 1");
        }
        DebugMode = read.Bool("DebugMode", DebugMode);
        writeKeyFramesToDisk = read.Bool("writeKeyFramesToDisk", false);
        renderThreads = read.Integer("renderThreads", renderThreads, 0, kMaxRenderThreads);
    } catch (const std::exception& e) {
        couldNotOpen(e.what());
    } catch (...) {
        couldNotOpen("unknown error");
    }
}

void tGlobalSettings::LoadDetailLevel()
{
    const int32_t stored = AppRegistry().ReadDetailLevel();
    // A stored number that does not fit the byte field reads like a missing one.
    detailLevel = static_cast<uint8_t>(stored >= 0 && stored <= 255 ? stored : kAutoDetectDetailLevel);
    if (forceDetailLevel != 0)
        detailLevel = forceDetailLevel;
    if (detailLevel == kAutoDetectDetailLevel) {
        AutoDetectDetailLevel();
        SaveDetectedLevel();
    }
}

void tGlobalSettings::SaveDetectedLevel()
{
    try {
        AppRegistry().WriteDetailLevel(detailLevel);
        // zoomDeep still holds its default (or the ini file's value) here:
        // it seeds a first store but never replaces a choice made before.
        if (!AppRegistry().ZoomDeepStored())
            AppRegistry().WriteZoomDeep(zoomDeep);
    } catch (const ERegistryException& e) {
        // The run goes on with the measured level; the next start measures again.
        LogWarning(1, "Could not save the settings to \"" + AppRegistry().StorePath() + "\" - " + e.what());
    }
}

void tGlobalSettings::LoadDeepZoom()
{
    zoomDeep = AppRegistry().ReadZoomDeep();
    if (!HasSSE2())
        zoomDeep = false;
}

void tGlobalSettings::ApplyDetailLevel()
{
    LogNote(1, "Applying detail level: " + IntToStr(detailLevel));
    if (detailLevel >= kLowestDetailLevel && detailLevel <= kHighestDetailLevel) {
        const tDetailLevelSetting& level = DetailLevelSettingOf(detailLevel);
        aa = level.aa;
        FractalResolution = LevelResolution(detailLevel);
        fractalItterations = zoomDeep ? std::max(level.iterations, 1024) : level.iterations;
    } else {
        LogWarning(1, "Invalid detail level.");
    }
    renderPercision = zoomDeep ? 0 : 1;
}

void tGlobalSettings::AutoDetectDetailLevel()
{
    LogNote(1, "Auto detecting settings...");
    cpuScore = CpuScore(probes.renderSeconds(zoomDeep));
    const int64_t ramMegabytes = probes.totalPhysMemoryKb() / 1024;
    LogNote(1, " -CPU score = " + IntToStr(cpuScore));
    LogNote(1, " -Total RAM = " + IntToStr(ramMegabytes) + "Mb");
    if (DebugMode)
        LogDetailLevels();
    detailLevel = ChooseDetailLevel(cpuScore, ramMegabytes, PrimaryScreenWidth());
    LogNote(1, "Auto detection complete");
}

void tGlobalSettings::SaveSettings()
{
    AppRegistry().WriteDetailLevel(detailLevel);
    AppRegistry().WriteZoomDeep(zoomDeep);
    AppRegistry().WriteDeepDive(deepDive);
}

void tGlobalSettings::LogDetailLevels() const
{
    const int32_t width = PrimaryScreenWidth();
    for (int level = kLowestDetailLevel; level <= kHighestDetailLevel; ++level) {
        const tDetailLevelSetting& s = DetailLevelSettingOf(level);
        const std::string resolution = IntToStr(LevelResolution(level, width));
        LogNote(1, "Detail level: \"" + s.name + "\"");
        LogNote(1, " - Resolution: " + resolution + "x" + resolution);
        LogNote(1, " - Itterations: " + IntToStr(s.iterations));
        LogNote(1, " - AA: " + AASettingsText(s.aa));
        LogNote(1, " - Required CPU:" + IntToStr(LevelRequiredCpu(level, width)) +
                       " RAM:" + IntToStr(LevelRequiredRam(level, width)));
    }
}

double TestRenderSeconds(bool deep)
{
    tPage page;
    page.SetSize(256, 256, pfRGBA);
    tFractalMandelBrot generator(&page);
    generator.precision = deep ? 3 : 2;
    generator.SetMaxIterations(1024);
    generator.discMode = true;
    generator.antiAliasing = tAASettings{1.0f, 1, 1.0f};
    generator.SelectBackEnd();
    const extended start = HighResTime();
    generator.RenderAll();
    return static_cast<double>(HighResTime() - start);
}

tAutoDetectProbes MachineProbes()
{
    tAutoDetectProbes p;
    p.renderSeconds = TestRenderSeconds;
    p.totalPhysMemoryKb = [] { return SystemInfo().TotalPhysMemory(); };
    return p;
}
