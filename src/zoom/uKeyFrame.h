#pragma once
// The pieces a zoom path is made of:
//   - tPathPoint: a point of the path, and the view of a keyframe
//   - tPathRenderParams: how every keyframe of a path is rendered and shown
//   - tKeyframeJob: what rendering a keyframe is handed
//   - tKeyframeRender: one render of a keyframe (its page, its generator and
//     what its rendering has published), shared with a render worker
//   - tFractalKeyFrame: one view rendered progressively into a scratch page
//     of the pool it is handed, by a generator of its own
//   - DumpKeyframe: keyframes written to disk, when the settings ask for it
// A keyframe knows no path: everything its rendering needs comes in a
// tKeyframeJob (a deep dive's target too), so that rendering can move to
// where the path is not.
#include "uAASettings.h"
#include "uMath.h"

#include "uRandom.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class tColorMap;
class tFractalMandelBrot;
struct tDeepDive;
class tPage;
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
    /// The render goes to render workers (tRenderWorkers): the keyframe only
    /// sets it up; the worker clears the page, renders it and spreads the
    /// rim's colours, and anti-aliasing draws its sample offsets from a
    /// generator of the keyframe's own, seeded from its view
    /// (KeyframeRandomSeed), instead of from random.
    bool workers = false;
};

/// The seed of a keyframe's own random generator when it is rendered by
/// workers: a hash of the view's centre and magnification, so that its
/// anti-aliasing patterns depend neither on which thread renders which slice
/// nor on when the render started.
uint32_t KeyframeRandomSeed(const tPathPoint& view);

/// One render of a keyframe: the page it holds, its generator and what the
/// rendering has published. The keyframe and a render worker share it; the
/// page goes back to its pool when the last of them lets go, so a page is
/// never handed out again while a worker still writes into it.
///
/// Who touches what: the generator and the page's pixels belong to whoever
/// renders (one thread at a time: the display thread when nothing is
/// threaded, else the worker that holds the render); the display thread reads
/// only what is published here (progress, finished rows) and the pixels of
/// finished rows, which nobody writes again. Published values are stored
/// with release and read with acquire ordering.
class tKeyframeRender {
public:
    /// Takes over the page of the pool and the generator set up on it.
    tKeyframeRender(tScratchPageArray& pool, tPage& page, std::unique_ptr<tFractalMandelBrot> generator,
                    bool workers, uint32_t seed);
    /// Gives the page back to the pool.
    ~tKeyframeRender();
    tKeyframeRender(const tKeyframeRender&) = delete;
    tKeyframeRender& operator=(const tKeyframeRender&) = delete;

    /// Renders about budget pixel writes and publishes the progress; a worker
    /// render clears its page first, and spreads the rim's colours into each
    /// row (tPage::BleedIntoTransparentEdges) once the rows around it are
    /// rendered, before it publishes the row as finished. Returns the pixel
    /// writes.
    int64_t Step(int64_t budget);
    /// Steps of writesPerStep until the render is complete, cancelled or
    /// stuck, or seconds have passed (a worker's slice). Anything raised
    /// makes the render stuck and failed.
    void RenderFor(int64_t writesPerStep, double seconds);

    /// Published: the generator's progress.
    float Progress() const { return progress_.load(std::memory_order_acquire); }
    bool Complete() const { return Progress() >= 1.0f; }
    /// Published: page rows 0 … n - 1 are finished and are not written again.
    int32_t FinishedRows() const { return finishedRows_.load(std::memory_order_acquire); }
    /// Published: a step failed ("Error on fractal render!").
    bool Failed() const { return failed_.load(std::memory_order_acquire); }
    /// Published: a step did nothing although the render is not complete (it
    /// failed, or the view cannot be rendered); a worker does not take it
    /// again.
    bool Stuck() const { return stuck_.load(std::memory_order_acquire); }
    /// The keyframe let go of the render: a worker ends its slice early.
    void Cancel() { cancelled_.store(true, std::memory_order_release); }
    bool Cancelled() const { return cancelled_.load(std::memory_order_acquire); }

    /// The generator's view (centre, zoom, size, back end) is set before the
    /// render is handed over and does not change while it renders.
    tFractalMandelBrot& Generator() const { return *generator_; }
    tPage& Page() const { return page_; }
    bool Workers() const { return workers_; }

    /// A worker holds the render (kept by tRenderWorkers under its lock).
    bool busy = false;

private:
    void Publish();

    tScratchPageArray& pool_;
    tPage& page_;
    std::unique_ptr<tFractalMandelBrot> generator_;
    bool workers_;
    bool cleared_;
    std::atomic<bool> stuck_{false};
    int32_t bledRows_ = 0;
    tRandom random_;
    std::atomic<float> progress_{0};
    std::atomic<int32_t> finishedRows_{0};
    std::atomic<bool> failed_{false};
    std::atomic<bool> cancelled_{false};
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
    /// black (by the worker, for a job of workers). False, with the keyframe
    /// left idle, when the pool has no free page.
    bool StartRender(const tKeyframeJob& job);
    /// Renders about budget pixels (starting the render first when nothing is
    /// rendered yet) and returns the pixel writes; 0 when no page was free.
    /// On completion takes the render time and, when the parameters ask for
    /// it, writes the page as "Fractal <x>-<rendering index>.bmp".
    int64_t RenderStep(int64_t budget, const tKeyframeJob& job);
    /// For a render that workers do: once it is complete, takes the render
    /// time and writes the page to disk when the parameters ask for it, and
    /// true (once). A failed step is logged here, once.
    bool NoteCompletion(const tKeyframeJob& job);
    /// Lets go of the render: the page goes back to its pool and the
    /// generator is freed, at once or, when a worker still renders a slice of
    /// it, as soon as that slice ends.
    void ReleaseRender();
    /// The published progress; 0 without a render.
    float Progress() const { return render_ ? render_->Progress() : 0.0f; }
    bool Complete() const { return Progress() >= 1.0f; }

    int32_t Index() const { return index_; }
    /// None while idle.
    tFractalMandelBrot* Generator() const { return render_ ? &render_->Generator() : nullptr; }
    /// The scratch page the keyframe holds; none while idle.
    tPage* Page() const { return render_ ? &render_->Page() : nullptr; }
    /// The render, to hand to a worker; none while idle.
    const std::shared_ptr<tKeyframeRender>& Render() const { return render_; }

    /// x, y, scale, angle and time are used; easing is ignored.
    tPathPoint view;
    /// High-resolution clock seconds; end and duration stay 0 until complete.
    extended renderStart = 0;
    extended renderEnd = 0;
    extended renderDuration = 0;

private:
    /// Sets up the generator of a dive's keyframe: its centre to any
    /// precision, the limit and colour band of its depth, perturbation when
    /// deep.
    void SetUpDeepView(tFractalMandelBrot& generator, const tDeepDive& dive, const tPathRenderParams& params) const;
    /// On completion: the render time, and the page to disk when asked for.
    void Completed(const tKeyframeJob& job);

    int32_t index_;
    std::shared_ptr<tKeyframeRender> render_;
    bool failureLogged_ = false;
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
