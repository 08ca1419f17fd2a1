#include "uAssert.h"
#include "uParticle.h"
#include "uSolid.h"
#include "uUniverse.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

/// A particle that reports its destruction, to check who frees what.
class tWatchedParticle : public tParticle {
public:
    tWatchedParticle(tUniverse* u, int* destroyed, tElementLayer* layer = nullptr, tVector2 pos = {}, tVector2 vel = {})
        : tParticle(pos, layer, u, vel), destroyed_(destroyed)
    {
    }
    ~tWatchedParticle() override { ++*destroyed_; }

private:
    int* destroyed_;
};

bool Contains(const std::vector<std::string>& lines, const std::string& text)
{
    for (const auto& l : lines)
        if (l.find(text) != std::string::npos)
            return true;
    return false;
}

/// Sets a global flag for the life of a test.
struct tSwitch {
    bool& flag;
    bool old;
    tSwitch(bool& f, bool value) : flag(f), old(f) { flag = value; }
    ~tSwitch() { flag = old; }
};

} // namespace

TEST(Universe, StandardLayersAreSortedDeepestFirst)
{
    tUniverse u("scene");
    ASSERT_EQ(u.LayerCount(), 7);
    const char* order[] = {"back layer", "part layer", "pseu layer", "main layer", "fore layer", "mask layer", "gui layer"};
    const double depths[] = {9, 5, 4, 1, 0, -1, -2};
    const int modes[] = {2, 0, 1, 2, 2, 2, 0};
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(order[i]);
        ASSERT_NE(u.Layer(i), nullptr);
        EXPECT_EQ(u.Layer(i)->Name(), order[i]);
        EXPECT_EQ(u.Layer(i)->Depth(), depths[i]);
        EXPECT_EQ(u.Layer(i)->processingMode, modes[i]);
        EXPECT_TRUE(u.Layer(i)->visible);
        EXPECT_FALSE(u.Layer(i)->userFlag);
    }
    EXPECT_EQ(u.Layer(7), nullptr);
    EXPECT_EQ(u.Layer(-1), nullptr);
    EXPECT_EQ(u.DefaultLayer(), u.MainLayer());
    EXPECT_EQ(u.FindLayer("mask layer"), u.MaskLayer());
    EXPECT_EQ(u.FindLayer("nope"), nullptr);
    EXPECT_FALSE(u.clearBeforeDrawing);
    EXPECT_EQ(u.clearColor, PackRGBA(0, 0, 0, 255));
    EXPECT_EQ(u.FrameCount(), 0);

    // A new layer takes its place by depth; a depth change re-sorts.
    auto* mid = new tElementLayer(&u, "mid", 3); // owned by the universe
    EXPECT_EQ(mid->processingMode, 2);
    EXPECT_EQ(u.Layer(3), mid);
    mid->SetDepth(100);
    EXPECT_EQ(u.Layer(0), mid);
    mid->SetDepth(-50);
    EXPECT_EQ(u.Layer(7), mid);
}

TEST(Universe, MissingObjectsFailTheirAssertions)
{
    tUniverse u("scene");
    ExpectAssertion([&] { u.AddLayer(nullptr); }, "uUniverse", 2704);
    ExpectAssertion([&] { tElementLayer l(nullptr, "x", 0); }, "uUniverse", 2576);
    ExpectAssertion([&] { tParticle p({}, nullptr, nullptr); }, "uUniverse", 593);
    ExpectAssertion([&] { u.AddElement(nullptr); }, "uUniverse", 2837);
    ExpectAssertion([&] { u.RemoveElement(nullptr); }, "uUniverse", 2850);
    auto* p = new tParticle({}, nullptr, &u);
    ExpectAssertion([&] { p->MoveToLayer(nullptr); }, "uUniverse", 580);
    EXPECT_EQ(u.Count(), 1); // the failed move left it where it was
}

TEST(Universe, ElementsJoinTheirUniverseAndLayer)
{
    tUniverse u("scene");
    const int32_t before = tElement::MadeCount();
    auto* a = new tParticle({1, 2}, nullptr, &u, {3, 4});
    auto* b = new tParticle({}, u.ForeLayer(), &u);
    EXPECT_EQ(a->Id(), before);
    EXPECT_EQ(b->Id(), before + 1);
    EXPECT_EQ(a->state, tElement::kNew);
    EXPECT_EQ(a->Name(), "-");
    EXPECT_EQ(a->Layer(), u.MainLayer());
    EXPECT_EQ(a->Universe(), &u);
    EXPECT_EQ(a->position, (tVector2{1, 2}));
    EXPECT_EQ(a->velocity, (tVector2{3, 4}));
    EXPECT_EQ(u.Count(), 2);
    EXPECT_TRUE(u.MainLayer()->Contains(a));
    EXPECT_TRUE(u.ForeLayer()->Contains(b));

    a->SetName("a-very-long-name");
    EXPECT_EQ(a->Name(), "a-very-long");

    a->MoveToLayer(u.GuiLayer());
    EXPECT_EQ(a->Layer(), u.GuiLayer());
    EXPECT_FALSE(u.MainLayer()->Contains(a));
    EXPECT_TRUE(u.GuiLayer()->Contains(a));
    EXPECT_EQ(u.Count(), 2);
    EXPECT_EQ(u.Element(1), a); // it joined the universe again, at the end

    delete b; // allowed: it leaves every list
    EXPECT_EQ(u.Count(), 1);
    EXPECT_EQ(u.ForeLayer()->Count(), 0);
}

TEST(Universe, ParticleFieldsAfterCreation)
{
    tUniverse u("scene");
    auto* p = new tParticle({}, nullptr, &u);
    EXPECT_EQ(p->sprite, nullptr);
    EXPECT_EQ(p->color, PackRGBA(128, 0, 128, 255));
    EXPECT_EQ(p->radius, 1.0);
    EXPECT_EQ(p->angle, 0);
    EXPECT_EQ(p->spin, 0);
    EXPECT_FALSE(p->motionBlur);
    EXPECT_EQ(p->scale, 1.0);
    EXPECT_EQ(p->aspect, 1.0);
    EXPECT_EQ(p->opacity, 1.0);
    EXPECT_EQ(p->blendOverride, 0);
    EXPECT_FALSE(p->shadowPass);
    EXPECT_FALSE(p->tinted);
    EXPECT_EQ(p->lifetime, 0);
    EXPECT_FALSE(p->castsShadow);
    EXPECT_EQ(p->age, 0);
    EXPECT_EQ(p->scaleFrom, 1.0);
    EXPECT_EQ(p->scaleTo, 1.0);
    EXPECT_EQ(p->opacityFrom, 1.0);
    EXPECT_EQ(p->opacityTo, 1.0);
    EXPECT_EQ(p->interpolation, 1);
}

TEST(Universe, NewElementsWaitForTheSweep)
{
    tUniverse u("scene");
    auto* p = new tParticle({0, 0}, nullptr, &u, {10, 0});
    p->lifetime = 5;
    p->spin = 90;
    u.Advance(0.1);
    EXPECT_EQ(p->position, (tVector2{0, 0}));
    EXPECT_EQ(p->age, 0);
    EXPECT_EQ(p->angle, 0);
    u.Sweep();
    EXPECT_EQ(p->state, tElement::kLive);
    u.Advance(0.1);
    EXPECT_NEAR(static_cast<double>(p->position.x), 1.0, 1e-12);
    EXPECT_EQ(p->position.y, 0);
    EXPECT_NEAR(p->age, 0.1, 1e-12);
    EXPECT_NEAR(p->angle, 9, 1e-12);
    EXPECT_EQ(u.FrameCount(), 2);
    EXPECT_NEAR(u.TotalTime(), 0.2, 1e-12);
}

TEST(Universe, LifetimeInterpolatesAndEndsAtTheSweep)
{
    struct tCase {
        int32_t interpolation;
        double opacityAfterOneSecond;
    };
    for (const tCase c : {tCase{1, 0.5}, tCase{2, 1 - std::sqrt(0.5)}, tCase{0, 1.0}}) {
        SCOPED_TRACE(c.interpolation);
        tUniverse u("scene");
        int destroyed = 0;
        auto* p = new tWatchedParticle(&u, &destroyed);
        p->lifetime = 2;
        p->opacityFrom = 1;
        p->opacityTo = 0;
        p->scaleFrom = 2;
        p->scaleTo = 4;
        p->interpolation = c.interpolation;
        u.Sweep();
        for (int i = 0; i < 4; ++i)
            u.Advance(0.25);
        EXPECT_NEAR(p->opacity, c.opacityAfterOneSecond, 1e-12);
        const double f = c.interpolation == 0 ? 0 : 1 - c.opacityAfterOneSecond;
        EXPECT_NEAR(p->scale, 2 + 2 * f, 1e-12);
        for (int i = 0; i < 3; ++i)
            u.Advance(0.25);
        u.Sweep();
        EXPECT_EQ(p->state, tElement::kLive); // age 1.75
        u.Advance(0.25);                      // age 2: dead, still listed
        EXPECT_EQ(p->state, tElement::kDead);
        EXPECT_EQ(u.Count(), 1);
        EXPECT_EQ(destroyed, 0);
        u.Sweep();
        EXPECT_EQ(destroyed, 1);
        EXPECT_EQ(u.Count(), 0);
        EXPECT_EQ(u.MainLayer()->Count(), 0);
    }
}

TEST(Universe, ProcessingModesDecideWhatMoves)
{
    tUniverse u("scene");
    auto* inGui = new tParticle({0, 0}, u.GuiLayer(), &u, {10, 0});    // mode 0
    auto* inPseu = new tParticle({0, 0}, u.PseuLayer(), &u, {10, 0});  // mode 1
    auto* inMain = new tParticle({0, 0}, u.MainLayer(), &u, {10, 0});  // mode 2
    auto* still = new tElementLayer(&u, "odd mode", 3);
    still->processingMode = 7;
    auto* inOdd = new tParticle({0, 0}, still, &u, {10, 0});
    auto* solid = new tSolid({0, 0}, u.MainLayer(), &u, {10, 0}); // collides, but with nothing
    solid->shape = tSolid::kCircle;
    solid->collisionKind = tSolid::kMovable;
    solid->isPushed = true;
    u.Sweep();
    u.Advance(0.1);
    for (tElement* e : {static_cast<tElement*>(inGui), static_cast<tElement*>(inPseu),
                        static_cast<tElement*>(inMain), static_cast<tElement*>(solid)})
        EXPECT_NEAR(static_cast<double>(e->position.x), 1.0, 1e-12);
    EXPECT_EQ(inOdd->position.x, 0);
}

TEST(Universe, DrivesAnyElementThroughItsVirtualMethods)
{
    // Neither a particle nor a solid: the universe needs no more than tElement.
    struct tCounted : tElement {
        tCounted(tElementLayer* layer, tUniverse* u, bool takesPart) : tElement({}, layer, u, {10, 0}), collides(takesPart) {}
        bool TakesPartInCollisions() const override { return collides; }
        void BeginFrame() override { ++begun; }
        void CollisionStep(double dt) override { stepped += dt; }
        void FinishFrame(double dt) override { finished += dt; }
        void Draw(tViewPortGL&) override { ++drawn; }
        bool collides;
        int begun = 0, drawn = 0;
        double stepped = 0, finished = 0;
    };
    tUniverse u("scene");
    auto* colliding = new tCounted(u.MainLayer(), &u, true);    // mode 2: the collision step
    auto* inModeZero = new tCounted(u.GuiLayer(), &u, true);    // mode 0: moves by its velocity
    auto* plain = new tCounted(u.MainLayer(), &u, false);        // moves by its velocity
    u.Sweep();
    u.Advance(0.5);
    u.MainLayer()->DrawAll(*u.Viewport());
    EXPECT_EQ(colliding->begun, 1);
    EXPECT_EQ(colliding->stepped, 0.5);
    EXPECT_EQ(colliding->finished, 0.5);
    EXPECT_EQ(colliding->position.x, 0);
    for (tCounted* e : {inModeZero, plain}) {
        EXPECT_EQ(e->begun, 1);
        EXPECT_EQ(e->stepped, 0);
        EXPECT_EQ(e->finished, 0);
        EXPECT_EQ(e->position.x, 5);
    }
    EXPECT_EQ(colliding->drawn + plain->drawn + inModeZero->drawn, 2); // only the main layer's two
}

TEST(Universe, DoubleAddIsReportedAndRepaired)
{
    tCapturedLog log;
    tUniverse u("scene");
    auto* p = new tParticle({}, nullptr, &u);
    u.AddElement(p);
    EXPECT_TRUE(Contains(log.lines, "Adding element to a group that already contains it."));
    EXPECT_EQ(u.Count(), 1);
    EXPECT_EQ(u.MainLayer()->Count(), 1);

    tElementGroup group("picked");
    group.Add(p);
    group.Add(p);
    EXPECT_EQ(group.Count(), 1);
    EXPECT_EQ(group.Element(0), p);
    EXPECT_EQ(group.Element(1), nullptr);
    delete p; // leaves the user group as well
    EXPECT_EQ(group.Count(), 0);
    EXPECT_EQ(u.Count(), 0);
}

TEST(Universe, ElementsLeftInLayersAreReportedAndFreed)
{
    tCapturedLog log;
    int destroyed = 0;
    {
        tUniverse u("scene");
        auto* linked = new tWatchedParticle(&u, &destroyed);
        auto* orphan = new tWatchedParticle(&u, &destroyed, u.ForeLayer());
        u.Remove(orphan); // still in the fore layer, no longer in the universe's list
        (void)linked;
        u.Clear();
        EXPECT_EQ(destroyed, 2);
        EXPECT_TRUE(Contains(log.lines, "1 element(s) found in layer \"fore layer\" that where not linked!"));
        EXPECT_EQ(u.ForeLayer()->Count(), 0);
        EXPECT_EQ(u.Count(), 0);

        new tWatchedParticle(&u, &destroyed);
        new tWatchedParticle(&u, &destroyed, u.GuiLayer());
    }
    EXPECT_EQ(destroyed, 4); // the universe freed the rest when it went
}

TEST(Universe, StateCheckOnAddOnlyWithVerboseLogging)
{
    tCapturedLog log;
    tUniverse u("scene");
    auto* p = new tParticle({}, nullptr, &u);
    tElementGroup group("picked");
    p->state = 16;
    group.Add(p);
    EXPECT_EQ(group.Count(), 1); // without verbose logging nothing is checked
    group.Remove(p);
    {
        tSwitch verbose(SceneVerboseLogging, true);
        group.Add(p);
    }
    EXPECT_EQ(group.Count(), 0);
    EXPECT_TRUE(Contains(log.lines, "Tried to add element with state \"16\" to group \"picked\"."));
}

TEST(Universe, VerboseNotesCostNothingWhenOff)
{
    tCapturedLog log;
    LogFileLevel = 5;
    LogListLevel = 5;
    auto exercise = [] {
        tUniverse u("quiet");
        auto* p = new tParticle({0, 0}, nullptr, &u, {10, 0});
        auto* a = new tSolid({0, 0}, nullptr, &u, {10, 0});
        auto* b = new tSolid({3, 0}, nullptr, &u, {0, 0});
        for (tSolid* s : {a, b}) {
            s->shape = tSolid::kCircle;
            s->collisionKind = tSolid::kMovable;
            s->isPushed = s->pushesOthers = true;
            s->radius = 2; // overlapping: the pair test's note
        }
        u.Sweep();
        u.Advance(0.1);
        (void)p;
    };
    const uint64_t before = SceneVerboseTextsBuilt();
    exercise();
    EXPECT_EQ(SceneVerboseTextsBuilt(), before);
    EXPECT_FALSE(Contains(log.lines, "Movement on"));
    EXPECT_FALSE(Contains(log.lines, "Processing"));
    EXPECT_FALSE(Contains(log.lines, "Intersecting"));

    {
        tSwitch verbose(SceneVerboseLogging, true);
        exercise();
    }
    EXPECT_GT(SceneVerboseTextsBuilt(), before);
    EXPECT_TRUE(Contains(log.lines, "Processing frame 1 (duration:0.1)"));
    EXPECT_TRUE(Contains(log.lines, "Processing movements on layer \"main layer\""));
    EXPECT_TRUE(Contains(log.lines, "] = [1,0] (over 0.1seconds)"));
    EXPECT_TRUE(Contains(log.lines, "    Intersecting by "));
    EXPECT_TRUE(Contains(log.lines, "Clearing 3 elements from \"quiet\""));
    EXPECT_TRUE(Contains(log.lines, "Destroying universe \"quiet\""));
}

TEST(Universe, DescribeNamesTheElement)
{
    tUniverse u("scene");
    auto* p = new tParticle({1.5, -2}, nullptr, &u, {0, 3});
    p->SetName("FADE");
    const std::string element = "FADE        [" + std::to_string(p->Id()) + ":FADE] pos:[1.5,-2] vel:[0,3]";
    EXPECT_EQ(p->tElement::Describe(), element);
    // No sprite: marked, and the scale leads.
    EXPECT_EQ(p->Describe(), "* scale = 1 --> " + element);
    p->opacity = 0.25;
    p->scale = 2;
    EXPECT_EQ(p->Describe(), "* scale = 2 Opac:0.25 --> " + element);
}
