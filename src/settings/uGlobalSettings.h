#pragma once
// The settings of the zoom. Sections:
//   - detail levels: the table of the five levels and what a level needs
//     (resolution, processor score, memory) on a given screen;
//   - auto-detection: the measurement (a timed test render and the memory
//     size) kept apart from the choice of level, so that the choice can be
//     driven with any figures;
//   - tGlobalSettings: defaults, the start-up load (defaults, the registry
//     store, then section "ADVANCED" of fractal.ini),
//     applying a level, saving the two stored choices.
// The program's entry owns the settings of a run and hands them to the
// windows, the options dialog and the running zoom; nothing finds them
// through a global.
#include "uAASettings.h"
#include "uColor.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

/// renderThreads: as many as the machine has cores, less one, at least 1.
inline constexpr int32_t kDefaultRenderThreads = -1;
inline constexpr int32_t kMaxRenderThreads = 64;

// ------------------------------------------------------------ detail levels

struct tDetailLevelSetting {
    std::string name;
    tAASettings aa;
    float resolutionFactor;  // keyframe edge as a fraction of the screen width
    int32_t iterations;
};

inline constexpr int kLowestDetailLevel = 1;
inline constexpr int kHighestDetailLevel = 5;
/// Not a level: the request to measure the machine and choose one.
inline constexpr int kAutoDetectDetailLevel = 6;

/// Levels 1 to 5 at indices 0 to 4.
extern const std::array<tDetailLevelSetting, 5> DetailLevelTable;
/// The entry of a level 1 to 5 (asserted).
const tDetailLevelSetting& DetailLevelSettingOf(int level);

/// Keyframe edge in pixels: screen width x resolution factor, to the nearest
/// integer (ties to even).
int32_t LevelResolution(int level, int32_t screenWidth);
/// On the primary screen.
int32_t LevelResolution(int level);
/// clamp(1 - threshold, 0, 1)^2 x max(samples - 1, 0) + 1, in single precision.
float AACost(const tAASettings& aa);
/// The processor score a level needs.
int32_t LevelRequiredCpu(int level, int32_t screenWidth);
int32_t LevelRequiredCpu(int level);
/// The memory a level needs, in megabytes.
int32_t LevelRequiredRam(int level, int32_t screenWidth);
int32_t LevelRequiredRam(int level);

/// "Disabled" (threshold 1), "Fixed 3x" (threshold 0) or "Adaptive (0.7) 2x".
std::string AASettingsText(const tAASettings& aa);

// ------------------------------------------------------------ auto-detection

/// The score of a test render that took the given seconds: the time is
/// counted as at least 1 ms and at most 1 s, score = 65536 / t / 1000 to the
/// nearest integer (66 ... 65536).
int32_t CpuScore(double seconds);
/// The highest level whose processor and memory needs are both strictly
/// below what the machine has; 1 when none passes.
uint8_t ChooseDetailLevel(int32_t cpuScore, int64_t ramMegabytes, int32_t screenWidth);

/// Where auto-detection gets its figures. Tests replace them.
struct tAutoDetectProbes {
    /// Seconds of the test render: 256 x 256, 1024 iterations, disc mode,
    /// no anti-aliasing, centre (0, 0), zoom 1, in 64-bit precision when
    /// deep is true, else 32-bit.
    std::function<double(bool deep)> renderSeconds;
    /// Total physical memory in kilobytes.
    std::function<int64_t()> totalPhysMemoryKb;
};
/// The test render on this machine, timed with the high-resolution clock.
double TestRenderSeconds(bool deep);
/// The real probes: the test render and the memory size from the
/// system-information module.
tAutoDetectProbes MachineProbes();

// ------------------------------------------------------------ tGlobalSettings

class tGlobalSettings {
public:
    /// All fields zero, then SetDefaults.
    tGlobalSettings();

    uint8_t forceDetailLevel{};
    uint8_t detailLevel{};
    int32_t cpuThrottle{};
    float frameScale{};
    int32_t frameRes{};
    tPackedColor frameColor{};
    int32_t renderPercision{};
    int32_t fractalItterations{};
    int32_t interpolation{};
    int32_t FractalType{};
    int32_t FractalResolution{};
    int32_t FractalColorMap{};
    float zoomRotationSpeed{};
    float zoomSpeed{};
    bool zoomDeep{};
    /// Deep dives past 2^40 to 10^100 (they need zoomDeep as well): the
    /// store's "DeepDive", which the ini key "deepDive" overrides.
    bool deepDive{};
    float zoomKeyframeInterval{};
    double keyframeDisplayScale{};
    int32_t PatternSeed{};
    tAASettings aa{};
    bool DebugMode{};
    bool writeKeyFramesToDisk{};
    /// Threads that render keyframes beside the display thread (fractal.ini
    /// renderThreads, --threads): 0 renders them on the display thread in
    /// each frame's spare time; kDefaultRenderThreads, all cores but one.
    int32_t renderThreads{};

    /// Score of the last auto-detection (0 before one ran).
    int32_t cpuScore = 0;
    /// Figures for auto-detection; the machine's unless a test replaced them.
    tAutoDetectProbes probes;

    /// Every field to its default (zoomSpeed is left alone).
    void SetDefaults();
    /// The start-up load from fractal.ini (IniFilePath).
    void LoadSettings();
    /// The start-up load from the given ini path: defaults, the stored
    /// detail level and deep zooming, then the "ADVANCED" section. Problems
    /// with the ini file or the store are logged and loading goes on.
    void LoadSettings(const std::string& iniPath);
    /// detailLevel from the store (or the forced level); when that is 6 the
    /// machine is measured and the result saved (SaveDetectedLevel).
    void LoadDetailLevel();
    /// Stores the measured level, and zoomDeep only when the store holds no
    /// choice yet. A store that cannot be written is a warning naming it,
    /// never an error: the run goes on with the measured level.
    void SaveDetectedLevel();
    /// zoomDeep from the store; always off without SSE2.
    void LoadDeepZoom();
    /// Copies the level's anti-aliasing, resolution and iterations; logs
    /// "Invalid detail level." for a level outside 1-5. Sets renderPercision.
    void ApplyDetailLevel();
    /// Measures the machine and sets detailLevel to the level it carries.
    void AutoDetectDetailLevel();
    /// Writes DetailLevel, ZoomDeep and DeepDive to the registry store
    /// (raises on failure).
    void SaveSettings();
    /// Five log lines per level.
    void LogDetailLevels() const;

    /// fractal.ini beside the program, else the user's in
    /// $XDG_CONFIG_HOME/quorex/ (see uFileLocations.h).
    static std::string IniFilePath();
};
