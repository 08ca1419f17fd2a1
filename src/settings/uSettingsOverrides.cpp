#include "uSettingsOverrides.h"

#include "uCpuFeatures.h"
#include "uFiles.h"
#include "uFormat.h"
#include "uGlobalSettings.h"
#include "uIniFile.h"
#include "uLog.h"
#include "uSystemInfo.h"

std::string tSettingsOverrides::Text() const
{
    std::string text;
    if (detailLevel)
        text += *detailLevel == kAutoDetectDetailLevel ? " --detail auto" : " --detail " + IntToStr(*detailLevel);
    if (zoomDeep)
        text += *zoomDeep ? " --deep-zoom" : " --no-deep-zoom";
    if (deepDive)
        text += *deepDive ? " --deep-dive" : " --no-deep-dive";
    if (patternSeed)
        text += " --seed " + IntToStr(static_cast<uint32_t>(*patternSeed));
    if (renderThreads)
        text += " --threads " + IntToStr(*renderThreads);
    return text.empty() ? text : text.substr(1);
}

void LoadRunSettings(tGlobalSettings& settings, const std::string& iniPath)
{
    LogSystemDetails(TSystemInfo());
    LogNote(1, "Loading setings...");
    settings.LoadSettings(iniPath);
}

void ApplySettingsOverrides(tGlobalSettings& settings, const tSettingsOverrides& overrides, const std::string& iniPath)
{
    if (!overrides.Any())
        return;
    LogNote(1, "Settings from the command line: " + overrides.Text());
    if (overrides.patternSeed)
        settings.PatternSeed = *overrides.patternSeed;
    if (overrides.renderThreads)
        settings.renderThreads = *overrides.renderThreads;
    std::optional<bool> zoomDeep = overrides.zoomDeep;
    if (overrides.deepDive) {
        settings.deepDive = *overrides.deepDive;
        if (settings.deepDive && !zoomDeep)
            zoomDeep = true; // dives need deep zooming
        else if (settings.deepDive && !*zoomDeep)
            LogWarning(1, "Deep dives need deep zooming: --deep-dive has no effect with --no-deep-zoom");
    }
    if (!overrides.detailLevel && !zoomDeep)
        return;

    if (zoomDeep) {
        settings.zoomDeep = *zoomDeep;
        if (settings.zoomDeep && !HasSSE2()) {
            LogWarning(1, "Deep zooming needs SSE2: --deep-zoom ignored");
            settings.zoomDeep = false;
        }
    }
    if (overrides.detailLevel) {
        if (*overrides.detailLevel == kAutoDetectDetailLevel)
            settings.AutoDetectDetailLevel(); // measured for this run only: nothing is saved
        else
            settings.detailLevel = *overrides.detailLevel;
    }

    const tGlobalSettings loaded = settings;
    settings.ApplyDetailLevel();
    if (!FileExists(iniPath))
        return;
    // The load let the ini file override what the level set; a level chosen
    // here must not undo that.
    const tIniFile ini(iniPath);
    const auto keep = [&](const char* key, auto& field, const auto& value) {
        if (ini.ValueExists("ADVANCED", key))
            field = value;
    };
    keep("aaThreshold", settings.aa.threshold, loaded.aa.threshold);
    keep("aaSamples", settings.aa.samples, loaded.aa.samples);
    keep("aaRadius", settings.aa.radius, loaded.aa.radius);
    keep("fractalItterations", settings.fractalItterations, loaded.fractalItterations);
    keep("FractalResolution", settings.FractalResolution, loaded.FractalResolution);
    keep("renderPercision", settings.renderPercision, loaded.renderPercision);
}
