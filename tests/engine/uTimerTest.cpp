#include "uClock.h"
#include "uTimer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
struct tManualClock {
    extended now = 500;
    tManualClock() { SetHighResTimeSource([this] { return now; }); }
    ~tManualClock() { SetHighResTimeSource({}); }
};
} // namespace

TEST(Timer, ElapsedByState)
{
    tManualClock clock;
    tTimer t("phase");
    EXPECT_EQ(t.Name(), "phase");
    EXPECT_EQ(t.state, tTimer::kStopped);
    EXPECT_EQ(t.Elapsed(), 0); // never started: 0 - 0

    t.Start();
    clock.now += 0.25L;
    EXPECT_NEAR(t.Elapsed(), 0.25, 1e-12); // running: time since the start
    clock.now += 0.5L;
    EXPECT_NEAR(t.Elapsed(), 0.75, 1e-12);
    t.Stop();
    clock.now += 10;
    EXPECT_NEAR(t.Elapsed(), 0.75, 1e-12); // stopped: frozen

    t.state = 7; // an unknown state reads 0
    EXPECT_EQ(t.Elapsed(), 0);
}

TEST(Timer, ChildrenAreOwnedByTheirParent)
{
    tTimer root("root");
    tTimer* a = root.NewChild("a");
    tTimer* b = root.AddChild(std::make_unique<tTimer>("b"));
    tTimer* c = a->NewChild("c");
    EXPECT_EQ(root.ChildCount(), 2);
    EXPECT_EQ(root.Child(0), a);
    EXPECT_EQ(root.Child(1), b);
    EXPECT_EQ(root.Child(2), nullptr);
    EXPECT_EQ(root.Child(-1), nullptr);
    EXPECT_EQ(a->Parent(), &root);
    EXPECT_EQ(c->Parent(), a);
    EXPECT_EQ(root.FindChild("b"), b);
    EXPECT_EQ(root.FindChild("c"), nullptr); // direct children only
    EXPECT_TRUE(root.DeleteChild(a));       // frees c with it
    EXPECT_FALSE(root.DeleteChild(a));
    EXPECT_EQ(root.ChildCount(), 1);
    EXPECT_EQ(root.AddChild(nullptr), nullptr);
}

TEST(Timer, GlobalTimerLivesBetweenCreateAndFree)
{
    tManualClock clock;
    FreeGlobalTimer();
    EXPECT_EQ(GlobalTimer(), nullptr);
    CreateGlobalTimer();
    tTimer* global = GlobalTimer();
    ASSERT_NE(global, nullptr);
    EXPECT_EQ(global->Name(), "Global Timer");
    EXPECT_EQ(global->state, tTimer::kRunning);
    clock.now += 2;
    EXPECT_NEAR(global->Elapsed(), 2, 1e-12);
    global->NewChild("kept");
    CreateGlobalTimer(); // a second call keeps the timer and its children
    EXPECT_EQ(GlobalTimer(), global);
    EXPECT_EQ(global->ChildCount(), 1);
    FreeGlobalTimer();
    EXPECT_EQ(GlobalTimer(), nullptr);
}
