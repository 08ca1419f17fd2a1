#include "uClock.h"
#include "uProfileTimer.h"

#include <gtest/gtest.h>

namespace {
// Drives HighResTime by hand for the life of a test.
struct tManualClock {
    extended now = 1000;
    tManualClock() { SetHighResTimeSource([this] { return now; }); }
    ~tManualClock() { SetHighResTimeSource({}); }
};
} // namespace

TEST(ProfileTimer, TheFirstSampleFillsTheRing)
{
    tManualClock clock;
    tProfileTimer t;
    EXPECT_EQ(t.Average(), 0);
    t.Begin("Draw");
    clock.now += 0.004L;
    t.End();
    EXPECT_NEAR(t.Average(), 0.004, 1e-12);
    t.Start();
    clock.now += 0.014L;
    t.End();
    EXPECT_NEAR(t.Average(), 0.005, 1e-12); // (9 x 4 + 14) / 10
    EXPECT_NEAR(t.LastDuration(), 0.014, 1e-12);
}

TEST(ProfileTimer, RingReplacesTheOldestSample)
{
    tManualClock clock;
    tProfileTimer t;
    for (int i = 1; i <= 10; ++i) { // 1 ms, then 2 .. 10 ms
        t.Start();
        clock.now += i * 0.001L;
        t.End();
    }
    EXPECT_NEAR(t.Average(), (1 + 2 + 3 + 4 + 5 + 6 + 7 + 8 + 9 + 10) / 10.0 * 0.001, 1e-12);
    t.Start();
    clock.now += 0.011L; // replaces the 1 ms entry left from the first fill
    t.End();
    EXPECT_NEAR(t.Average(), (2 + 3 + 4 + 5 + 6 + 7 + 8 + 9 + 10 + 11) / 10.0 * 0.001, 1e-12);
}

TEST(ProfileTimer, ElapsedRunsUntilEnd)
{
    tManualClock clock;
    tProfileTimer t;
    t.Start();
    clock.now += 0.5L;
    EXPECT_NEAR(static_cast<double>(t.Elapsed()), 0.5, 1e-12);
    t.End();
    clock.now += 3;
    EXPECT_NEAR(static_cast<double>(t.Elapsed()), 0.5, 1e-12);
}

TEST(ProfileTimer, ReportLayout)
{
    tManualClock clock;
    tProfileTimer t;
    t.Begin("Draw");
    clock.now += 0.0015L;
    t.End();
    EXPECT_EQ(t.Report(), std::string(21, ' ') + "Draw - " + " 1.500ms");
    t.Begin("Generate Mandelbrot");
    clock.now += 0.0123456L;
    t.End();
    EXPECT_EQ(t.Report().substr(0, 25), "      Generate Mandelbrot");
}

TEST(ProfileTimer, ATimerCanRunOnAClockOfItsOwn)
{
    tManualClock global;
    extended own = 50;
    tProfileTimer t;
    t.clock = [&] { return own; };
    t.Start();
    global.now += 1;
    own += 0.25L;
    EXPECT_NEAR(static_cast<double>(t.Elapsed()), 0.25, 1e-12);
    t.End();
    EXPECT_NEAR(t.LastDuration(), 0.25, 1e-12);
}
