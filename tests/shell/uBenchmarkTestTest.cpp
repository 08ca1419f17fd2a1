// The benchmark's timed render: stages and elapsed time, the quality taken
// from the settings, the run loop's upload cadence and early exit, and the score.
#include "uBenchmarkTest.h"

#include "GLTestUtil.h"
#include "TestUtil.h"

#include "uClock.h"
#include "uFractal.h"
#include "uGlobalSettings.h"
#include "uSprite.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// A clock that moves 50 ms at every reading, so the run loop's timing is the test's.
class BenchmarkTestTest : public tGLTest {
protected:
    void SetUp() override
    {
        tGLTest::SetUp();
        SetHighResTimeSource([this] { return now += 0.05L; });
    }
    void TearDown() override
    {
        SetHighResTimeSource({});
        tGLTest::TearDown();
    }
    extended now = 1000;
    tCapturedLog log;
};

} // namespace

TEST(BenchmarkScore, ScoresAndTheirTexts)
{
    EXPECT_EQ(BenchmarkScore(3.3L), 1000);
    EXPECT_EQ(BenchmarkScore(1.65L), 2000);
    EXPECT_EQ(BenchmarkScore(0.5L), 6600);
    EXPECT_EQ(BenchmarkScore(0), std::nullopt);
    EXPECT_EQ(BenchmarkScoreText(999), "Score: 999");
    EXPECT_EQ(BenchmarkScoreText(1234), "Score: 1,234");
    EXPECT_EQ(BenchmarkScoreText(1234567), "Score: 1,234,567");
    EXPECT_EQ(BenchmarkScoreText(std::nullopt), "Score: ?");
}

TEST_F(BenchmarkTestTest, StagesAndElapsedTime)
{
    tBenchmarkTest test(*gl);
    EXPECT_EQ(test.stage, bsCreated);
    EXPECT_EQ(test.Elapsed(), 0);
    test.Start("t", 2, 4);
    EXPECT_EQ(test.stage, bsStarted);
    EXPECT_EQ(test.Elapsed(), 0);
    EXPECT_EQ(test.Fractal().zoom, 100000.0);
    EXPECT_EQ(test.Fractal().Size(), 1024);
    test.Step();
    EXPECT_EQ(test.stage, bsRunning);
    EXPECT_EQ(test.Elapsed(), 0);
    EXPECT_GT(test.Fractal().ProgressCount(), 0);

    test.stage = 4;
    try {
        (void)test.Elapsed();
        ADD_FAILURE() << "no exception";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "Invalid benchmark stage.");
    }
}

TEST_F(BenchmarkTestTest, RunsAtTheSettingsQualityAndUploadsAboutOncePerSecond)
{
    tBenchmarkTest test(*gl);
    tGlobalSettings settings;
    settings.FractalResolution = 400;
    settings.fractalItterations = 300;
    test.Start("t", 2, 4);
    test.Configure(settings, 2);
    const tFractal& f = test.Fractal();
    EXPECT_EQ(f.Size(), 400);
    EXPECT_EQ(f.IterationLimit(), 300);
    EXPECT_EQ(f.precision, 3);
    EXPECT_FLOAT_EQ(f.antiAliasing.threshold, 0.6f);
    EXPECT_EQ(f.antiAliasing.samples, 2);
    EXPECT_EQ(test.Sprite().Width(), 400);
    EXPECT_EQ(test.Sprite().Page()->Width(), 512);
    EXPECT_EQ(test.Sprite().hotspot.x, 199);

    test.Run({});
    ASSERT_TRUE(test.Complete());
    const extended elapsed = test.Elapsed();
    EXPECT_GT(elapsed, 3) << "enough clock readings to see the cadence";
    // Every clock reading costs 50 ms here, also the few the loop does not
    // count as benchmark time, so "once per second" shows as a little less.
    EXPECT_GE(test.uploads, static_cast<int>(elapsed * 0.75L));
    EXPECT_LE(test.uploads, static_cast<int>(elapsed) + 2);

    // A stop request ends the loop after its first pass.
    test.Start("t", 2, 4);
    test.Configure(settings, 1);
    int asked = 0;
    test.Run([&] { return ++asked > 0; });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(test.stage, bsRunning);
    EXPECT_EQ(test.Elapsed(), 0);
}
