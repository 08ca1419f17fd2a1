#pragma once
// Settings given on the command line for one run: they replace the stored
// choices (detail level, deep zooming, deep dives) and the random seed after
// the start-up load, and are never written to the store. LoadRunSettings is
// the start-up load of a run.
#include <cstdint>
#include <optional>
#include <string>

class tGlobalSettings;

struct tSettingsOverrides {
    /// 1 to 5, or 6 (kAutoDetectDetailLevel): measure the machine.
    std::optional<uint8_t> detailLevel;
    std::optional<bool> zoomDeep;
    /// Deep dives on turns deep zooming on as well, unless it is turned off.
    std::optional<bool> deepDive;
    std::optional<int32_t> patternSeed;
    /// 0 … kMaxRenderThreads.
    std::optional<int32_t> renderThreads;

    bool Any() const { return detailLevel || zoomDeep || deepDive || patternSeed || renderThreads; }
    /// The options as a user would type them ("--detail 3 --deep-zoom").
    std::string Text() const;
};

/// The settings a run starts with, as the program's entry loads them once
/// for all its windows: the system details in the log, "Loading setings...",
/// and the start-up load (defaults, the store, the ini file at iniPath).
/// The overrides come after (ApplySettingsOverrides), once the options
/// dialog has taken the user's own choices. Raises what the load raises.
void LoadRunSettings(tGlobalSettings& settings, const std::string& iniPath);

/// Applies the overrides to loaded settings. A new level or deep-zooming
/// choice is applied like a stored one (ApplyDetailLevel), after which the
/// values that the ini file at iniPath sets keep winning over the level's,
/// as they do in the load. Deep zooming stays off without SSE2.
void ApplySettingsOverrides(tGlobalSettings& settings, const tSettingsOverrides& overrides,
                            const std::string& iniPath);
