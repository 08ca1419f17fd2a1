#pragma once
// The benchmark: one fixed view of the Mandelbrot set rendered with the
// current quality settings and timed with the high-resolution clock.
//   - tBenchmarkTest: the timed render, its stages and its run loop
//   - the score: 3,300 divided by the seconds, and its texts
// The windows (forms) drive it and show its sprite; nothing here touches a
// window directly.
#include "uMath.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class tFractalMandelBrot;
class tGlobalSettings;
class tOpenGLInterface;
class tPatternSprite;

enum tBenchmarkStage : uint8_t {
    bsCreated = 0,
    bsStarted = 1,
    bsRunning = 2,
    bsComplete = 3,
};

class tBenchmarkTest {
public:
    /// Pixels handed to the generator per step.
    static constexpr int64_t kStepSize = 2560;
    static constexpr int32_t kSpriteSize = 1024;

    /// Makes the 1,024 x 1,024 pattern sprite on the given interface (its
    /// centre is the hotspot) and a Mandelbrot generator on its page.
    explicit tBenchmarkTest(tOpenGLInterface& gl);
    ~tBenchmarkTest();
    tBenchmarkTest(const tBenchmarkTest&) = delete;
    tBenchmarkTest& operator=(const tBenchmarkTest&) = delete;

    /// Logs "Starting benchmark "NAME"", clears the times and sets the fixed
    /// view: zoom 100,000 at (0.371540195428848, 0.167646706104279), disc
    /// mode, the colour-map preset, no anti-aliasing, 1,024 iterations, size
    /// 1,024 and the precision code.
    void Start(const std::string& testName, uint8_t precisionCode, int colorMapPreset);
    /// Quality from the settings: their resolution, iterations and
    /// anti-aliasing at 64-bit precision, then threshold 0.6 and the given
    /// samples per supersampled pixel. The sprite follows the resolution.
    void Configure(const tGlobalSettings& settings, int32_t aaSamples);
    /// Renders the next slice; the clock starts at the first step and stops
    /// when the picture is complete. Nothing outside stages 1 and 2.
    void Step();
    bool Complete() const { return stage == bsComplete; }
    /// Seconds from the first step to completion; 0 before completion.
    /// Raises std::logic_error "Invalid benchmark stage." above stage 3.
    extended Elapsed() const;

    /// Steps until the picture is complete, handling the pending window
    /// messages before every step and uploading the picture about once per
    /// second of benchmark time, and once more at the end. Leaves early,
    /// after the step of the pass, when stop() says so. Uploads and message
    /// handling happen while the clock runs, so they count into the time;
    /// their share is kept in the figures below.
    void Run(const std::function<bool()>& stop);
    /// Copies the page into the sprite's texture (making the interface
    /// current first); nothing when its window has gone.
    void Upload();
    /// The configured picture rendered the way the running zoom renders its
    /// keyframes on render threads: one copy per thread, all at once, each
    /// on a page of its own. Seconds from the start to the last copy's
    /// completion divided by the copies: the time a picture takes when every
    /// thread renders. Window messages are handled while it waits; 0 when
    /// stop() says so first or threads is below 1.
    extended ThreadedSeconds(int32_t threads, const std::function<bool()>& stop);

    tPatternSprite& Sprite() { return *sprite_; }
    tFractalMandelBrot& Fractal() { return *fractal_; }

    std::string name;
    extended startTime = 0;
    extended endTime = 0;
    uint8_t stage = bsCreated;

    // Where the measured time of the last Run went: rendering steps,
    // uploads and window messages (the rest is the loop itself).
    extended stepSeconds = 0;
    int32_t uploads = 0;
    extended uploadSeconds = 0;
    extended messageSeconds = 0;

private:
    tOpenGLInterface& gl_;
    std::unique_ptr<tPatternSprite> sprite_;
    std::unique_ptr<tFractalMandelBrot> fractal_;
};

/// 3,300 divided by the seconds, rounded; none for a time that is not above
/// zero (a run that did not finish).
std::optional<int64_t> BenchmarkScore(extended seconds);
/// "Score: 1,234", or "Score: ?" without a score.
std::string BenchmarkScoreText(std::optional<int64_t> score);
/// The line a completed run prints on standard output for scripts:
/// "Score: N (X seconds, BACKEND, RxR, AA ...)".
std::string BenchmarkReportLine(int64_t score, extended seconds, const std::string& backEnd, int32_t resolution,
                                const std::string& aaText);
