#pragma once
// tPathBase: everything of a zoom path that needs no display. tPath
// (uPath.h) adds the scene side: sprites, textures, placement and tilt.
//
// Sections of the class:
//   - points and Evaluate: the camera between the points, with easing and
//     the recursive smoothing window
//   - the keyframe plan: GenerateKeyframes samples the camera every 0.1 s and
//     places a keyframe wherever the magnification has changed by more than
//     the keyframe ratio since the previous one (in either direction)
//   - current keyframes A and B around the path time
//   - rendering: strictly one keyframe at a time, from A on, in slices; or,
//     with render workers, the renders they are to work on (CollectWork)
//   - Advance / CleanBuffers: passed keyframes give their pages back
//   - what the display side needs: uploads with their cooldown, the blend
//     factor, the on-screen placement of a keyframe, the tilt angles
//
// Memory stays fixed while paths are planned and rendered: 100 keyframe
// objects made once, pages from the shared pool; only the generators are
// made and freed per keyframe.
#include "uDeepDive.h"
#include "uKeyFrame.h"
#include "uMath.h"
#include "uScratchPages.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

/// 2^((1 - w) log2 b + w log2 a): a geometric blend from b (w = 0) to a
/// (w = 1). None when a scale is not positive or the result is not finite.
std::optional<extended> Lerp2(extended w, extended a, extended b);

/// Where and how large a keyframe is drawn for a camera view.
struct tKeyframePlacement {
    extended scale = 0;  ///< display scale of the keyframe sprite
    tVector2 position;   ///< screen position of the keyframe's centre pixel
    extended angle = 0;  ///< degrees
};

/// Where and how large a keyframe rendered around centre at magnification
/// zoom on size × size pixels is drawn for the camera cur, in a window
/// clientWidth pixels wide whose centre is half viewportSize; displayScale
/// is a factor on its size. At the camera's magnification a keyframe is drawn
/// 1.1 × displayScale window widths wide.
tKeyframePlacement PlaceKeyframeView(const tVector2& centre, extended zoom, int32_t size, const tPathPoint& cur,
                                     extended clientWidth, const tVector2& viewportSize, extended displayScale);

/// Rotations of the viewport about x and y, degrees.
struct tTilt {
    extended x = 0;
    extended y = 0;
};

class tPathBase {
public:
    static constexpr int32_t kMaxPoints = 100;    ///< at most 99 are ever added
    static constexpr int32_t kMaxKeyframes = kMaxPathKeyframes; ///< at most 99 are ever planned
    static constexpr int32_t kPoolPages = 5;
    /// Seconds between two uploads of a keyframe that is still rendering.
    static constexpr float kUploadInterval = 0.2f;
    /// Samples of the camera while keyframes are planned, seconds apart.
    static constexpr extended kSampleStep = 0.1L;

    /// With a pool (the other path's), shares it; without, makes a pool of 5
    /// pages. A shared pool lives as long as the last path that uses it, so
    /// the two paths may be destroyed in either order.
    explicit tPathBase(std::shared_ptr<tScratchPageArray> pool = nullptr);
    virtual ~tPathBase();
    tPathBase(const tPathBase&) = delete;
    tPathBase& operator=(const tPathBase&) = delete;

    // ---- points and the camera

    void ClearPoints();
    /// Appends a point; the 100th gives the warning "Too many points in path"
    /// and is dropped.
    void AddPoint(int32_t easing, extended x, extended y, extended scale, extended angle, extended time);
    void SetSmoothing(float seconds) { smoothing_ = seconds; }
    float Smoothing() const { return smoothing_; }
    int32_t PointCount() const { return pointCount_; }
    const tPathPoint& Point(int32_t i) const { return points_[static_cast<size_t>(i)]; }
    /// The first point of the smallest magnification: the view of a plan's
    /// single keyframe (before the scale divisor). Point 0 without points.
    const tPathPoint& WidestPoint() const;
    /// Time of the last point minus that of the first; 0 without points.
    extended Duration() const;
    extended Time() const { return time_; }
    /// Sets the path time and picks the keyframes around it.
    void SetTime(extended t);
    /// The camera at time t (clamped to 0 … Duration). With a smoothing window
    /// above 0.025 s the result is the mean of the camera half a window
    /// before and after, each smoothed with half the window, so a window of
    /// 1.5 s averages 64 plain evaluations 0.046875 s apart. Every field is
    /// -1 for a path of fewer than two points (without smoothing).
    tPathPoint Evaluate(extended t) const;

    // ---- rendering parameters

    void SetParams(const tPathRenderParams& newParams) { params = newParams; }
    /// Sizes the pool's pages to the resolution (their content is lost).
    virtual void ApplyResolution();
    /// "Fractal rendering parameters:", " -resolution RxR", " -itterations N".
    static void LogRenderParams(const tPathRenderParams& renderParams);

    // ---- the keyframe plan

    /// Plans the keyframes for the points (nothing with fewer than two points).
    void GenerateKeyframes();
    /// Appends a keyframe for the view; the 100th gives the warning "Too many
    /// keyframes in path" and is dropped.
    void AddKeyframe(const tPathPoint& view);
    /// Releases every planned keyframe and forgets A, B and the uploads.
    void ClearKeyframes();
    /// A: the last keyframe at or before the path time (keyframe 0 before
    /// it); B: the next one; both the last keyframe once it is passed.
    void UpdateCurrentKeyframes();
    int32_t KeyframeCount() const { return keyframeCount_; }
    tFractalKeyFrame& Keyframe(int32_t i) const { return *keyframes_[static_cast<size_t>(i)]; }
    tFractalKeyFrame* A() const { return a_; }
    tFractalKeyFrame* B() const { return b_; }

    // ---- a zoom on this path

    /// Time 0, keyframes planned, nothing rendered yet.
    virtual void StartPath();
    /// Work on the first incomplete keyframe from A on, handing it the pool,
    /// the parameters and its index; the pixel writes done, 0 when nothing
    /// could be done (all done, or no free page). Logs each completion.
    int64_t RenderStep(int64_t budget);
    /// Render workers instead of RenderStep, once per frame on the display
    /// thread: notes the keyframes the workers completed (logged as
    /// RenderStep logs them), starts the keyframes from A on that have not
    /// started, in order, as long as the pool has pages and startNew holds,
    /// and appends every render from A on that is not complete to work, in
    /// order. False when a keyframe found no free page: the keyframes behind
    /// it, of this path or the next, must not take pages before it.
    bool CollectWork(std::vector<std::shared_ptr<tKeyframeRender>>& work, bool startNew = true);
    float RenderProgress() const { return renderProgress_; }
    /// True unless A and B both exist and one of them is incomplete.
    bool BothKeyframesReady() const;
    /// Mean progress of A and B (of the one that exists; 0 without).
    float KeyframesProgress() const;
    /// Counts down the upload cooldown, frees the pages of passed keyframes
    /// and moves the path time on by dt × speed.
    void Advance(extended dt);
    /// Releases every keyframe before A that still holds a generator.
    void CleanBuffers();
    /// The back end that renders keyframe 0: its generator's, or before it
    /// starts the one it will choose; "?" without keyframes.
    std::string RenderMethodName() const;
    int32_t RenderingIndex() const { return renderingIndex_; }

    // ---- for the display

    /// Uploads A's and B's pages to their texture slots: at once when the slot
    /// shows another keyframe, else again while the upload was partial, at
    /// most every 0.2 s (the cooldown is shared by both slots).
    void UploadKeyframes();
    /// 0 at the deeper of A and B, 1 at the shallower, logarithmic in the
    /// magnification of cur between; 0 when A and B have the same time.
    float BlendFactor(const tPathPoint& cur) const;
    /// BlendFactor for the camera at the path time.
    float BlendFactor() const { return BlendFactor(Evaluate(time_)); }
    /// Display scale, position and angle of a keyframe for the camera cur, in
    /// a window clientWidth pixels wide whose centre is half viewportSize,
    /// enlarged by the parameters' display scale. None while the keyframe
    /// has no generator.
    std::optional<tKeyframePlacement> KeyframePlacement(const tFractalKeyFrame& keyframe, const tPathPoint& cur,
                                                        extended clientWidth, const tVector2& viewportSize) const;
    /// Viewport rotations of the tilt mode at path time t; none for modes
    /// outside 0 … 4.
    static std::optional<tTilt> TiltAngles(int32_t mode, extended t);

    tScratchPageArray* ScratchPool() const { return pool_.get(); }
    /// For the second path, which shares this one's pool.
    const std::shared_ptr<tScratchPageArray>& SharedScratchPool() const { return pool_; }
    /// True when this path made its pool.
    bool OwnsScratch() const { return ownsScratch_; }
    const tFractalKeyFrame* ShownA() const { return slotA_.shown; }
    const tFractalKeyFrame* ShownB() const { return slotB_.shown; }
    bool PartialA() const { return slotA_.partial; }
    bool PartialB() const { return slotB_.partial; }
    float UploadCooldown() const { return uploadCooldown_; }

    /// Playback speed factor (the frame loop and the debug window change it).
    float speed = 1.0f;
    /// Divides magnifications when keyframes are planned.
    float scaleDivisor = 1.0f;
    /// Plan one keyframe, the widest view (pans).
    bool singleKeyframe = false;
    /// Viewport tilt animation 0 … 4.
    int32_t tiltMode = 0;
    tPathRenderParams params;
    /// Set for a deep dive: the points' x and y are then offsets from its
    /// target, and keyframes render from the target plus their offset.
    std::shared_ptr<const tDeepDive> deepDive;
    /// The centre of a view in the plane, as long doubles: the point itself,
    /// or in a deep dive the target plus the offset (only to show it).
    tVector2 PlaneCentre(const tPathPoint& view) const;

protected:
    /// Puts a keyframe's page into texture slot 0 (A) or 1 (B).
    virtual void UploadToSlot(int slot, const tPage& page);
    /// Puts rows firstRow … endRow - 1 of a keyframe's page into the same
    /// rows of texture slot 0 (A) or 1 (B); with clearBelow the rows from
    /// endRow down become transparent. (A page that a worker renders: only
    /// its finished rows may be read.)
    virtual void UploadRowsToSlot(int slot, const tPage& page, int32_t firstRow, int32_t endRow, bool clearBelow);

private:
    /// What a texture slot shows.
    struct tSlot {
        const tFractalKeyFrame* shown = nullptr;
        /// The upload was taken before the keyframe was complete.
        bool partial = false;
        /// Rows of a worker's page uploaded so far.
        int32_t rows = 0;
    };

    tPathPoint EvaluateSmoothed(extended t, float window) const;
    tPathPoint EvaluatePlain(extended t) const;
    void UploadSlot(int slot, tFractalKeyFrame* keyframe, tSlot& shown);
    tKeyframeJob Job(int32_t index, bool workers);

    std::array<tPathPoint, kMaxPoints> points_{};
    int32_t pointCount_ = 0;
    std::array<std::unique_ptr<tFractalKeyFrame>, kMaxKeyframes> keyframes_;
    int32_t keyframeCount_ = 0;
    extended time_ = 0;
    tFractalKeyFrame* a_ = nullptr;
    tFractalKeyFrame* b_ = nullptr;
    tSlot slotA_;
    tSlot slotB_;
    float smoothing_ = 0;
    float uploadCooldown_ = 0;
    int32_t renderingIndex_ = 0;
    float renderProgress_ = 0;
    bool ownsScratch_ = false;
    std::shared_ptr<tScratchPageArray> pool_;
};
