#pragma once
// The pieces a zoom path is made of:
//   - tPathPoint: a point of the path, and the view of a keyframe
//   - tPathRenderParams: how every keyframe of a path is rendered
//   - tFractalKeyFrame: one view rendered progressively into a scratch page
//     of its path's pool by a generator of its own
#include "uAASettings.h"
#include "uMath.h"

#include <cstdint>
#include <memory>

class tColorMap;
class tFractalMandelBrot;
class tPage;
class tPathBase;

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
};

/// A keyframe is idle (no generator, progress 0), rendering (it holds a page
/// of the pool and a generator on it), complete (progress >= 1, still holding
/// its page) or released again (ReleaseRender).
class tFractalKeyFrame {
public:
    /// Asserts the path ("uPath", 374) and an index inside the path's
    /// keyframe array (375).
    tFractalKeyFrame(tPathBase* path, int32_t index);
    ~tFractalKeyFrame();
    tFractalKeyFrame(const tFractalKeyFrame&) = delete;
    tFractalKeyFrame& operator=(const tFractalKeyFrame&) = delete;

    /// Takes a page from the path's pool and sets up a new generator on it
    /// for the view and the path's parameters; the page is cleared to
    /// transparent black. False, with the keyframe left idle, when the pool
    /// has no free page. Asserts the path (398) and its pool (399).
    bool StartRender();
    /// Renders about budget pixels (starting the render first when nothing is
    /// rendered yet) and returns the pixel writes; 0 when no page was free.
    /// On completion logs the render time and, when the settings ask for it,
    /// writes the page as "Fractal <x>-<rendering index>.bmp".
    int64_t RenderStep(int64_t budget);
    /// Gives the page back to the pool and frees the generator.
    void ReleaseRender();
    /// The generator's progress; 0 without a generator.
    float Progress() const;
    bool Complete() const { return Progress() >= 1.0f; }

    int32_t Index() const { return index_; }
    tPathBase* Path() const { return path_; }
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
    tPathBase* path_;
    int32_t index_;
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
