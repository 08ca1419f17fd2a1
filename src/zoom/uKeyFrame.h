#pragma once
// The pieces a zoom path is made of:
//   - tPathPoint: a point of the path, and the view of a keyframe
//   - tPathRenderParams: how every keyframe of a path is rendered and shown
//   - tKeyframeJob: what rendering a keyframe is handed
//   - tFractalKeyFrame: one view rendered progressively into a scratch page
//     of the pool it is handed, by a generator of its own
//   - DumpKeyframe: keyframes written to disk, when the settings ask for it
// A keyframe knows no path: everything its rendering needs comes in a
// tKeyframeJob (a deep dive's target too), so that rendering can move to
// where the path is not.
#include "uAASettings.h"
#include "uMath.h"

#include <cstdint>
#include <memory>
#include <string>

class tColorMap;
class tFractalMandelBrot;
struct tDeepDive;
class tPage;
class tRandom;
class tScratchPageArray;

/// Keyframes a path holds; at most one fewer are ever planned.
inline constexpr int32_t kMaxPathKeyframes = 100;

struct tPathPoint {
    extended x = 0;     ///< real part of the view centre
    extended y = 0;     ///< imaginary part of the view centre
    extended scale = 0; ///< magnification: the view spans 1 / scale of the plane
    extended angle = 0; ///< degrees
    extended time = 0;  ///< seconds of path time
    /// Easing of the segment that ends at this point: 2 square root, 3 square,
    /// 4 cosine ease-in-out, 5 that ease applied twice, anything else linear.
    int32_t easing = 0;
};

struct tPathRenderParams {
    const tColorMap* colorMap = nullptr; ///< not owned; none: the generator's fallback colour
    tAASettings aa{1.0f, 2, 1.0f};
    int32_t iterations = 768;
    int32_t resolution = 512; ///< edge of the square keyframes, pixels
    uint8_t precision = 0;    ///< generator precision code (2, 3, 4, 5)
    /// Magnification ratio between neighbouring keyframes.
    float keyframeRatio = 2.0f;
    /// Keyframes are drawn this much larger than the view they show.
    double displayScale = 1.0;
    /// Every completed keyframe is written as "Fractal <x>-<rendering
    /// index>.bmp" through the job's dump (a debugging aid).
    bool writeToDisk = false;
};

/// What one rendering step of a keyframe is handed; it reaches nothing else
/// of its path.
struct tKeyframeJob {
    /// Where the keyframe's page comes from (and goes back to).
    tScratchPageArray& pool;
    const tPathRenderParams& params;
    /// The keyframe the path is rendering (names the bitmap written to disk).
    int32_t renderingIndex = 0;
    /// Draws the sample offsets of anti-aliasing with six or more samples.
    tRandom& random;
    /// Writes a completed keyframe when the parameters ask for it
    /// (DumpKeyframe); none writes nothing.
    bool (*dump)(const tPage& page, const std::string& name) = nullptr;
    /// The dive the keyframe belongs to (not owned): its view is then an
    /// offset from the dive's target; none for every other path.
    const tDeepDive* dive = nullptr;
};

/// A keyframe is idle (no generator, progress 0), rendering (it holds a page
/// of a pool and a generator on it), complete (progress >= 1, still holding
/// its page) or released again (ReleaseRender).
class tFractalKeyFrame {
public:
    /// Asserts an index inside a path's keyframe array ("uPath", 375).
    explicit tFractalKeyFrame(int32_t index);
    /// Gives the page back to the pool it came from.
    ~tFractalKeyFrame();
    tFractalKeyFrame(const tFractalKeyFrame&) = delete;
    tFractalKeyFrame& operator=(const tFractalKeyFrame&) = delete;

    /// Takes a page from the job's pool and sets up a new generator on it for
    /// the view and the job's parameters; the page is cleared to transparent
    /// black. False, with the keyframe left idle, when the pool has no free
    /// page.
    bool StartRender(const tKeyframeJob& job);
    /// Renders about budget pixels (starting the render first when nothing is
    /// rendered yet) and returns the pixel writes; 0 when no page was free.
    /// On completion takes the render time and, when the parameters ask for
    /// it, writes the page as "Fractal <x>-<rendering index>.bmp".
    int64_t RenderStep(int64_t budget, const tKeyframeJob& job);
    /// Gives the page back to its pool and frees the generator.
    void ReleaseRender();
    /// The generator's progress; 0 without a generator.
    float Progress() const;
    bool Complete() const { return Progress() >= 1.0f; }

    int32_t Index() const { return index_; }
    /// None while idle.
    tFractalMandelBrot* Generator() const { return generator_.get(); }
    /// The scratch page the keyframe holds; none while idle.
    tPage* Page() const;

    /// x, y, scale, angle and time are used; easing is ignored.
    tPathPoint view;
    /// High-resolution clock seconds; end and duration stay 0 until complete.
    extended renderStart = 0;
    extended renderEnd = 0;
    extended renderDuration = 0;

private:
    /// The generator of a dive's keyframe: its centre to any precision, the
    /// limit and colour band of its depth, perturbation when deep.
    void SetUpDeepView(const tDeepDive& dive, const tPathRenderParams& params);

    int32_t index_;
    /// The pool of the page the keyframe holds; none while idle.
    tScratchPageArray* pool_ = nullptr;
    std::unique_ptr<tFractalMandelBrot> generator_;
};

/// Keyframe dumps (the setting writeKeyFramesToDisk) go to
/// KeyframeDumpFolder() as "Fractal <x>-<index>.bmp", never through a link
/// nor into a device, and stop with a warning once the folder holds this
/// many bytes of them.
inline constexpr int64_t kKeyframeDumpLimit = int64_t{1} << 30;
/// Writes one dump; false when it was not written (logged).
bool DumpKeyframe(const tPage& page, const std::string& name);
/// Tests: another limit (0 restores kKeyframeDumpLimit); dumps start again.
void SetKeyframeDumpLimit(int64_t bytes);
