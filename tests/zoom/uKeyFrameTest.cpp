// A keyframe: its generator set up from the view and the parameters it is
// handed, its page from the pool it is handed, an undersized page, no free
// page, completion with the render time and the bitmap written when the
// parameters ask for it.
#include "uKeyFrame.h"

#include "uAssert.h"
#include "uColorMap.h"
#include "uFormat.h"
#include "uFractal.h"
#include "uLog.h"
#include "uPage.h"
#include "uPathBase.h"
#include "uRandom.h"

#include "TestUtil.h"
#include "ZoomTestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

/// The process's current directory moved to a folder for the scope.
class tScopedCurrentDir {
public:
    explicit tScopedCurrentDir(const std::string& path) : old_(std::filesystem::current_path())
    {
        std::filesystem::current_path(path);
    }
    ~tScopedCurrentDir() { std::filesystem::current_path(old_); }
    tScopedCurrentDir(const tScopedCurrentDir&) = delete;
    tScopedCurrentDir& operator=(const tScopedCurrentDir&) = delete;

private:
    std::filesystem::path old_;
};

/// The job a path hands its keyframe.
tKeyframeJob Job(tPathBase& path, const tFractalKeyFrame& keyframe)
{
    return tKeyframeJob{*path.ScratchPool(), path.params, keyframe.Index(), ProcessRandom()};
}

int AssertionLine(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "uPath");
        return e.Line();
    }
    return 0;
}

} // namespace

TEST(KeyFrame, NeedsAnIndexInsideAPathsArray)
{
    EXPECT_EQ(AssertionLine([] { tFractalKeyFrame k(100); }), 375);
    EXPECT_EQ(AssertionLine([] { tFractalKeyFrame k(-1); }), 375);
    const tFractalKeyFrame k(99);
    EXPECT_EQ(k.Index(), 99);
    EXPECT_EQ(k.Progress(), 0);
    EXPECT_EQ(k.Page(), nullptr);
}

TEST(KeyFrame, StartRenderSetsUpAGeneratorOnAClearedPoolPage)
{
    tPathBase path;
    tPathRenderParams p = SmallParams(48);
    p.colorMap = ColorMapGenerator().GetPreset(3);
    p.aa = tAASettings{0.5f, 3, 0.75f};
    p.iterations = 200;
    p.precision = 3;
    path.SetParams(p);
    path.ApplyResolution();
    tPage* first = path.ScratchPool()->Page(0);
    first->Clear(tFloatColor{10, 20, 30, 255});

    tFractalKeyFrame& k = path.Keyframe(0);
    k.view = tPathPoint{-0.75L, 0.125L, 300, 12, 4, 1};
    ASSERT_TRUE(k.StartRender(Job(path, k)));
    const tFractalMandelBrot* g = k.Generator();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(k.Page(), first);
    EXPECT_TRUE(path.ScratchPool()->InUse(0));
    EXPECT_EQ(first->GetPixel(7, 9), 0u); // transparent black
    EXPECT_EQ(g->centreRe, -0.75);
    EXPECT_EQ(g->centreIm, 0.125);
    EXPECT_EQ(g->zoom, 300);
    EXPECT_TRUE(g->discMode);
    EXPECT_EQ(g->colorMap, p.colorMap);
    EXPECT_EQ(g->antiAliasing, p.aa);
    EXPECT_EQ(g->IterationLimit(), 200);
    EXPECT_EQ(g->Size(), 48);
    EXPECT_EQ(g->precision, 3);
    EXPECT_EQ(g->BackEndName().substr(0, 5), "FLT64");
    EXPECT_EQ(k.Progress(), 0);
    EXPECT_GT(k.renderStart, 0);
    EXPECT_EQ(k.renderEnd, 0);

    // Starting again gives the page back first.
    ASSERT_TRUE(k.StartRender(Job(path, k)));
    EXPECT_EQ(k.Page(), first);
    EXPECT_EQ(path.ScratchPool()->FreeCount(), 4);
    k.ReleaseRender();
    EXPECT_EQ(k.Generator(), nullptr);
    EXPECT_EQ(path.ScratchPool()->FreeCount(), 5);
}

TEST(KeyFrame, AntiAliasingDrawsFromTheRandomGeneratorItIsHanded)
{
    tPathBase path;
    tPathRenderParams p = SmallParams(32);
    p.aa = tAASettings{0.0f, 6, 1.0f}; // six samples wherever neighbours differ at all
    path.SetParams(p);
    path.ApplyResolution();
    tFractalKeyFrame& k = path.Keyframe(0);
    k.view = tPathPoint{-0.7436L, 0.1318L, 4, 0, 0, 0};
    tRandom own(99);
    const uint32_t processSeed = RandSeed();
    const tKeyframeJob job{*path.ScratchPool(), path.params, 0, own};
    for (int step = 0; step < 100 && !k.Complete(); ++step)
        k.RenderStep(1024, job);
    ASSERT_TRUE(k.Complete());
    EXPECT_NE(own.Seed(), 99u) << "the sample offsets come from the handed generator";
    EXPECT_EQ(RandSeed(), processSeed) << "and not from the process's";
}

TEST(KeyFrame, AnUndersizedPageIsResizedWithANote)
{
    tCapturedLog log;
    tPathBase path;
    path.SetParams(SmallParams(40)); // the pool's pages stay 512 × 512
    tFractalKeyFrame& k = path.Keyframe(0);
    k.view.scale = 2;
    ASSERT_TRUE(k.StartRender(Job(path, k)));
    EXPECT_TRUE(log.FileContains("Warning buffer / fractal size miss match... resizing to compensate"));
    EXPECT_EQ(k.Page()->Width(), 40);
    EXPECT_EQ(k.Page()->Height(), 40);
}

TEST(KeyFrame, WithoutAFreePageTheKeyframeStaysIdle)
{
    tPathBase path;
    path.SetParams(SmallParams(32));
    path.ApplyResolution();
    for (int i = 0; i < 5; ++i)
        path.ScratchPool()->AcquirePage();
    tFractalKeyFrame& k = path.Keyframe(3);
    k.view.scale = 2;
    EXPECT_FALSE(k.StartRender(Job(path, k)));
    EXPECT_EQ(k.RenderStep(128, Job(path, k)), 0);
    EXPECT_EQ(k.Generator(), nullptr);
    EXPECT_EQ(k.Progress(), 0);
}

TEST(KeyFrame, CompletionLogsTheTimeAndWritesABitmapWhenAsked)
{
    tTempDir dir;
    tTempDir working;
    tScopedCurrentDir cd(working.Path());
    tScopedEnv state("XDG_STATE_HOME", dir.Path().c_str());
    SetKeyframeDumpLimit(0);
    const std::string folder = dir.File("quorex/keyframes");
    tCapturedLog log;
    tPathBase path;
    path.SetParams(SmallParams(32));
    path.ApplyResolution();
    PlanZoom(path, 4, 16, 10);
    path.StartPath();

    EXPECT_EQ(path.RenderStep(32), 0); // below one batch: nothing rendered
    EXPECT_NE(path.Keyframe(0).Generator(), nullptr);
    while (!path.Keyframe(0).Complete())
        path.RenderStep(128);
    const tFractalKeyFrame& k = path.Keyframe(0);
    EXPECT_GT(k.renderEnd, k.renderStart);
    EXPECT_EQ(k.renderDuration, k.renderEnd - k.renderStart);
    EXPECT_EQ(log.FileCount("Keyframe rendered in "), 1);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
    EXPECT_TRUE(std::filesystem::is_empty(working.Path()));

    path.params.writeToDisk = true;
    while (!path.Keyframe(1).Complete())
        path.RenderStep(128);
    const std::string name = "Fractal " + FloatToStr(path.Keyframe(1).view.x) + "-1.bmp";
    EXPECT_EQ(name, "Fractal -0.7436-1.bmp");
    // Into the state folder, never the working folder.
    EXPECT_TRUE(std::filesystem::is_empty(working.Path()));
    ASSERT_TRUE(std::filesystem::exists(folder + "/" + name));
    // A 32 × 32 picture of 32-bit pixels behind the 54-byte header.
    constexpr uintmax_t kDumpBytes = 54u + 32u * 32u * 4u;
    EXPECT_EQ(std::filesystem::file_size(folder + "/" + name), kDumpBytes);
    std::ifstream in(folder + "/" + name, std::ios::binary);
    char magic[2] = {};
    in.read(magic, 2);
    EXPECT_EQ(std::string(magic, 2), "BM");

    // Dumps stop with one warning once the folder holds the limit, counting
    // what earlier runs left there.
    SetKeyframeDumpLimit(static_cast<int64_t>(kDumpBytes) * 2 + 100);
    const tPage& page = *path.Keyframe(1).Page();
    EXPECT_TRUE(DumpKeyframe(page, "Fractal 2-2.bmp"));
    EXPECT_FALSE(DumpKeyframe(page, "Fractal 3-3.bmp"));
    EXPECT_FALSE(DumpKeyframe(page, "Fractal 4-4.bmp"));
    int dumps = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        dumps += entry.path().extension() == ".bmp" ? 1 : 0;
    EXPECT_EQ(dumps, 2);
    EXPECT_EQ(log.FileCount("Keyframes are no longer written to disk: \"" + folder + "\""), 1);
    SetKeyframeDumpLimit(0);
}
