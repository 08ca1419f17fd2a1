// Keyframes rendered by worker threads: the same pixels as on the display
// thread for every back end and for anti-aliased keyframes, whatever the
// number of workers; the keyframe needed first is rendered first; pages that
// are let go while a worker renders into them (a new plan, passed keyframes,
// the workers stopping) go back to the pool only when the worker is done;
// only finished rows are uploaded; the number of threads a setting means.
#include "uRenderWorkers.h"

#include "uBackEnds.h"
#include "uColorMap.h"
#include "uCpuFeatures.h"
#include "uFractal.h"
#include "uPage.h"
#include "uPathBase.h"
#include "uRandom.h"

#include "TestUtil.h"
#include "ZoomTestUtil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace {

/// Polls the condition until it holds; false when it has not after a minute.
bool WaitFor(const std::function<bool()>& condition)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::vector<uint32_t> PixelsOf(const tPage& page)
{
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < page.Height(); ++y)
        for (int32_t x = 0; x < page.Width(); ++x)
            pixels.push_back(page.GetPixel(x, y));
    return pixels;
}

/// The processor features under which WidestBackEnd picks exactly this one.
tCpuFeatures FeaturesFor(const tBackEnd& backEnd)
{
    tCpuFeatures f;
    switch (backEnd.needs) {
    case tCpuNeed::kSSE: f.sse = true; break;
    case tCpuNeed::k3DNow: f.amd3DNow = true; break;
    case tCpuNeed::kSSE2: f.sse = f.sse2 = true; break;
    case tCpuNeed::kAVX2: f.sse = f.sse2 = f.avx2 = true; break;
    case tCpuNeed::kAVX512: f.sse = f.sse2 = f.avx2 = f.avx512 = true; break;
    case tCpuNeed::kNothing: break;
    }
    return f;
}

/// A keyframe of a path with these parameters, rendered to completion on
/// this thread (threads 0) or by that many workers; its page's pixels.
/// random: what a keyframe rendered on this thread draws its anti-aliasing
/// samples from.
std::vector<uint32_t> RenderKeyframe(const tPathRenderParams& params, const tPathPoint& view, int threads,
                                     tRandom& random)
{
    tPathBase path;
    path.SetParams(params);
    path.ApplyResolution();
    tFractalKeyFrame& k = path.Keyframe(0);
    k.view = view;
    tKeyframeJob job{*path.ScratchPool(), path.params, 0, random};
    if (threads == 0) {
        while (!k.Complete())
            if (k.RenderStep(640, job) == 0)
                ADD_FAILURE() << "a step did nothing";
    } else {
        job.workers = true;
        tRenderWorkers workers(threads);
        EXPECT_TRUE(k.StartRender(job));
        workers.SetWork({k.Render()});
        EXPECT_TRUE(WaitFor([&] { return k.Complete(); }));
    }
    return PixelsOf(*k.Page());
}

const tPathPoint kView{-0.7436L, 0.1318L, 40, 0, 0, 0};

tPathRenderParams TestParams(uint8_t precision, const tAASettings& aa)
{
    tPathRenderParams p = SmallParams(96);
    p.iterations = 300;
    p.precision = precision;
    p.aa = aa;
    p.colorMap = ColorMapGenerator().GetPreset(2);
    return p;
}

/// A path that records what it uploads, and checks that no upload reads a
/// row the worker may still write.
class tRowRecordingPath : public tPathBase {
public:
    using tPathBase::tPathBase;
    struct tUpload {
        int slot;
        int32_t first;
        int32_t end;
        bool clearBelow;
    };
    std::vector<tUpload> uploads;
    int wholeUploads = 0;

protected:
    void UploadToSlot(int, const tPage&) override { ++wholeUploads; }
    void UploadRowsToSlot(int slot, const tPage& page, int32_t first, int32_t end, bool clearBelow) override
    {
        const tFractalKeyFrame* k = slot == 0 ? A() : B();
        ASSERT_TRUE(k && k->Render());
        EXPECT_EQ(&page, k->Page());
        EXPECT_LE(end, k->Render()->FinishedRows());
        uploads.push_back({slot, first, end, clearBelow});
    }
};

} // namespace

TEST(RenderWorkers, AKeyframeHasTheSamePixelsWhateverTheThreadsForEveryBackEnd)
{
    const tCpuFeatures machine = DetectCpuFeatures();
    int tried = 0;
    for (const tBackEnd& backEnd : BackEnds()) {
        if (!ProcessorRuns(backEnd, machine))
            continue;
        const tCpuFeaturesScope features(FeaturesFor(backEnd));
        ASSERT_STREQ(WidestBackEnd(backEnd.precision, CurrentCpuFeatures())->name, backEnd.name);
        // Off, and the fixed patterns of 3 and 5 samples.
        for (const tAASettings& aa : {tAASettings{}, tAASettings{0.2f, 3, 1.0f}, tAASettings{0.0f, 5, 0.75f}}) {
            SCOPED_TRACE(std::string(backEnd.name) + ", " + std::to_string(aa.samples) + " samples");
            const tPathRenderParams params = TestParams(backEnd.precision, aa);
            const std::vector<uint32_t> alone = RenderKeyframe(params, kView, 0, ProcessRandom());
            EXPECT_EQ(RenderKeyframe(params, kView, 1, ProcessRandom()), alone);
            EXPECT_EQ(RenderKeyframe(params, kView, 2, ProcessRandom()), alone);
            ++tried;
        }
    }
    EXPECT_GE(tried, 3 * 3) << "at least the x87 back ends of the three precisions";
}

TEST(RenderWorkers, RandomSamplePatternsComeFromTheKeyframesOwnGeneratorSeededByItsView)
{
    // Six or more samples draw random offsets. On workers they come from a
    // generator of the keyframe's own, seeded from its view, drawn in scan
    // order: the same whichever thread renders which slice, and the process's
    // generator (which plans the paths) is not touched.
    const tPathRenderParams params = TestParams(2, tAASettings{0.0f, 7, 1.0f});
    const uint32_t processSeed = RandSeed();
    const std::vector<uint32_t> one = RenderKeyframe(params, kView, 1, ProcessRandom());
    EXPECT_EQ(RandSeed(), processSeed);
    EXPECT_EQ(RenderKeyframe(params, kView, 2, ProcessRandom()), one);
    tRandom seeded(KeyframeRandomSeed(kView));
    EXPECT_EQ(RenderKeyframe(params, kView, 0, seeded), one);

    tPathPoint elsewhere = kView;
    elsewhere.x += 1e-9L;
    EXPECT_NE(KeyframeRandomSeed(elsewhere), KeyframeRandomSeed(kView));
}

TEST(RenderWorkers, PagesLetGoWhileAWorkerRendersReturnOnlyWhenItIsDone)
{
    // Big, slow keyframes, so that the workers are in the middle of them.
    tPathBase current;
    tPathBase next(current.SharedScratchPool());
    tPathRenderParams params = SmallParams(384);
    params.iterations = 4000;
    for (tPathBase* path : {&current, &next}) {
        path->SetParams(params);
        path->ApplyResolution();
        PlanZoom(*path, 4, 4096, 60);
        path->StartPath();
    }
    tScratchPageArray& pool = *current.ScratchPool();
    tRenderWorkers workers(2);
    std::vector<std::shared_ptr<tKeyframeRender>> work;
    ASSERT_FALSE(current.CollectWork(work)) << "more keyframes than pages";
    next.CollectWork(work, false);
    ASSERT_EQ(work.size(), 5u);
    EXPECT_EQ(work[0], current.Keyframe(0).Render()) << "the keyframe the camera needs first comes first";
    EXPECT_EQ(pool.FreeCount(), 0);
    const std::weak_ptr<tKeyframeRender> first = work[0];
    workers.SetWork(work);
    work.clear();
    ASSERT_TRUE(WaitFor([&] { return current.Keyframe(0).Render()->FinishedRows() > 0; }));

    // A new plan of the current path (as at a path swap) lets go of all its
    // keyframes while the workers render two of them.
    PlanZoom(current, 8, 16384, 60);
    current.StartPath();
    EXPECT_EQ(current.Keyframe(0).Render(), nullptr);
    // The list the workers hold still names the old renders: no page may
    // come back while a worker writes into it.
    workers.SetWork({});
    workers.Drain();
    EXPECT_TRUE(first.expired());
    EXPECT_EQ(pool.FreeCount(), 5) << "every page back once no worker holds it";

    // Both paths go on: the new plan first, then the next path's.
    ASSERT_FALSE(current.CollectWork(work));
    ASSERT_EQ(work.size(), 5u);
    workers.SetWork(work);
    work.clear();
    ASSERT_TRUE(WaitFor([&] { return current.Keyframe(0).Render()->FinishedRows() > 0; }));
    // The workers stop while rendering; the keyframes let go afterwards.
}

TEST(RenderWorkers, AKeyframeCompletesAndItsUploadsReadOnlyFinishedRows)
{
    tRowRecordingPath path;
    tPathRenderParams params = SmallParams(128);
    params.iterations = 3000;
    path.SetParams(params);
    path.ApplyResolution();
    PlanZoom(path, 4, 64, 10);
    path.singleKeyframe = true; // shown in both slots
    path.StartPath();

    tCapturedLog log;
    tRenderWorkers workers(2);
    // The display thread's part of a frame: hand over the work, upload what is
    // finished (the cooldown runs out at once here).
    const auto frame = [&] {
        std::vector<std::shared_ptr<tKeyframeRender>> work;
        path.CollectWork(work);
        workers.SetWork(std::move(work));
        path.Advance(1.0);
        path.SetTime(0);
        path.UploadKeyframes();
    };
    ASSERT_TRUE(WaitFor([&] {
        frame();
        return path.RenderProgress() >= 1;
    }));
    frame();
    EXPECT_EQ(log.FileCount("Keyframe rendered in "), 1);
    EXPECT_EQ(path.wholeUploads, 0);
    ASSERT_FALSE(path.uploads.empty());
    // Slot by slot: the first upload clears below what it brings, the later
    // ones bring the rows that followed, down to the last row.
    for (int slot : {0, 1}) {
        int32_t row = 0;
        bool first = true;
        for (const auto& u : path.uploads) {
            if (u.slot != slot)
                continue;
            EXPECT_EQ(u.clearBelow, first);
            EXPECT_EQ(u.first, first ? 0 : row);
            row = u.end;
            first = false;
        }
        EXPECT_EQ(row, 128) << "slot " << slot;
    }
    workers.Drain();
    // With nothing left to do the workers take no more slices.
    const uint64_t slices = workers.Slices();
    frame();
    workers.Drain();
    EXPECT_EQ(workers.Slices(), slices);
}

TEST(RenderWorkers, AStuckRenderIsNotTakenAgain)
{
    tPathBase path;
    path.SetParams(SmallParams(32));
    path.ApplyResolution();
    tFractalKeyFrame& k = path.Keyframe(0);
    k.view.scale = 0; // zoom 0 renders nothing
    tKeyframeJob job{*path.ScratchPool(), path.params, 0, ProcessRandom()};
    job.workers = true;
    ASSERT_TRUE(k.StartRender(job));
    tRenderWorkers workers(1);
    workers.SetWork({k.Render()});
    ASSERT_TRUE(WaitFor([&] { return workers.Slices() >= 1; }));
    workers.Drain();
    EXPECT_EQ(workers.Slices(), 1u);
    EXPECT_FALSE(k.Complete());
}

TEST(RenderWorkers, ThreadsOfASetting)
{
    struct tCase {
        int32_t setting;
        uint32_t cores;
        int32_t threads;
    };
    for (const tCase& c : {tCase{-1, 8, 7}, tCase{-1, 2, 1}, tCase{-1, 1, 1}, tCase{-1, 0, 1}, tCase{-1, 500, 64},
                           tCase{0, 8, 0}, tCase{3, 2, 3}, tCase{64, 2, 64}, tCase{65, 2, 64}})
        EXPECT_EQ(RenderThreadsFor(c.setting, c.cores), c.threads) << c.setting << " on " << c.cores << " cores";
}
