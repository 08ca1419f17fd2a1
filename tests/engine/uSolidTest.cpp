#include "uAssert.h"
#include "uSolid.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kTol = 1e-9;

tSolid* Circle(tUniverse& u, tVector2 pos, tVector2 vel, double radius, double mass = 1,
               tElementLayer* layer = nullptr)
{
    auto* s = new tSolid(pos, layer, &u, vel);
    s->shape = tSolid::kCircle;
    s->radius = radius;
    s->mass = mass;
    s->collisionKind = tSolid::kMovable;
    s->pushesOthers = true;
    s->isPushed = true;
    return s;
}

/// An axis-aligned box of half sizes hw, hh.
tSolid* Box(tUniverse& u, tVector2 pos, tVector2 vel, double hw, double hh, double mass = 1)
{
    auto* s = new tSolid(pos, nullptr, &u, vel);
    s->shape = tSolid::kPolygon;
    s->vertices = {{-hw, -hh}, {hw, -hh}, {hw, hh}, {-hw, hh}};
    s->mass = mass;
    s->collisionKind = tSolid::kMovable;
    s->pushesOthers = true;
    s->isPushed = true;
    return s;
}

void ExpectVec(tVector2 v, double x, double y, double tol = kTol)
{
    EXPECT_NEAR(static_cast<double>(v.x), x, tol);
    EXPECT_NEAR(static_cast<double>(v.y), y, tol);
}

double Momentum(const tSolid& a, const tSolid& b) { return static_cast<double>(a.mass * a.velocity.x + b.mass * b.velocity.x); }
double Energy(const tSolid& a, const tSolid& b)
{
    return static_cast<double>(0.5 * a.mass * a.velocity.LengthSquared() + 0.5 * b.mass * b.velocity.LengthSquared());
}

bool Contains(const std::vector<std::string>& lines, const std::string& text)
{
    for (const auto& l : lines)
        if (l.find(text) != std::string::npos)
            return true;
    return false;
}

} // namespace

TEST(Solid, ElasticHeadOnCollisionSwapsEqualMasses)
{
    tUniverse u("scene");
    tSolid* a = Circle(u, {0, 0}, {10, 0}, 5);
    tSolid* b = Circle(u, {30, 0}, {-10, 0}, 5);
    u.Sweep();
    u.Advance(2); // contact after 1 s at x = 10 and 20, then 1 s apart
    ExpectVec(a->velocity, -10, 0);
    ExpectVec(b->velocity, 10, 0);
    ExpectVec(a->position, 0, 0);
    ExpectVec(b->position, 30, 0);
}

TEST(Solid, ElasticCollisionConservesMomentumAndEnergy)
{
    tUniverse u("scene");
    tSolid* a = Circle(u, {0, 0}, {10, 0}, 5, 1);
    tSolid* b = Circle(u, {30, 0}, {-10, 0}, 5, 3);
    const double p0 = Momentum(*a, *b);
    const double e0 = Energy(*a, *b);
    u.Sweep();
    u.Advance(2);
    EXPECT_NEAR(Momentum(*a, *b), p0, 1e-9);
    EXPECT_NEAR(Energy(*a, *b), e0, 1e-9);
    ExpectVec(a->velocity, -20, 0);
    ExpectVec(b->velocity, 0, 0);
    ExpectVec(b->position, 20, 0); // stopped where it was hit
}

TEST(Solid, InelasticCollisionEndsTheApproach)
{
    tUniverse u("scene");
    tSolid* a = Circle(u, {0, 0}, {10, 0}, 5, 1);
    tSolid* b = Circle(u, {30, 0}, {-10, 0}, 5, 3);
    a->restitution = 0;
    b->restitution = 0.5; // the product counts
    const double p0 = Momentum(*a, *b);
    u.Sweep();
    u.Advance(2);
    EXPECT_NEAR(Momentum(*a, *b), p0, 1e-9);
    ExpectVec(a->velocity, -5, 0);
    ExpectVec(b->velocity, -5, 0);
    for (int i = 0; i < 20; ++i)
        u.Advance(0.1);
    // Still touching, never overlapping.
    EXPECT_NEAR(static_cast<double>(b->position.x - a->position.x), 10, 1e-9);
}

TEST(Solid, FixedSolidIsNeverMoved)
{
    tUniverse u("scene");
    tSolid* ball = Circle(u, {0, 0}, {10, 0}, 5);
    tSolid* wall = Circle(u, {30, 0}, {0, 0}, 5, 1);
    wall->collisionKind = tSolid::kFixed;
    int wallHits = 0;
    wall->onCollision = [&](tSolid&, tSolid&, const tImpact&) { ++wallHits; };
    u.Sweep();
    u.Advance(3); // contact after 2 s
    ExpectVec(wall->position, 30, 0);
    ExpectVec(wall->velocity, 0, 0);
    EXPECT_EQ(wall->spin, 0);
    EXPECT_EQ(wallHits, 0);
    // The ball bounces back at full speed, as from a wall.
    ExpectVec(ball->velocity, -10, 0);
    ExpectVec(ball->position, 10, 0);
}

TEST(Solid, CircleBouncesOffAPolygon)
{
    tUniverse u("scene");
    tSolid* ball = Circle(u, {0, 0}, {0, 10}, 1);
    tSolid* floor = Box(u, {0, 11}, {0, 0}, 10, 1); // top edge at y = 10
    floor->collisionKind = tSolid::kFixed;
    tImpact seen;
    ball->onCollision = [&](tSolid&, tSolid&, const tImpact& impact) { seen = impact; };
    u.Sweep();
    u.Advance(1); // contact after 0.9 s
    ExpectVec(ball->velocity, 0, -10);
    ExpectVec(ball->position, 0, 8);
    EXPECT_NEAR(seen.time, 0.9, kTol);
    ExpectVec(seen.point, 0, 10);
    ExpectVec(seen.normal, 0, -1);
    ExpectVec(floor->position, 0, 11);
}

TEST(Solid, CircleHitsAPolygonCorner)
{
    tUniverse u("scene");
    // Moving along y = -1.5 towards a box whose corner is at (9, -1).
    tSolid* ball = Circle(u, {0, -1.5}, {10, 0}, 1);
    ball->rotationLocked = true;
    tSolid* box = Box(u, {10, 0}, {0, 0}, 1, 1);
    box->collisionKind = tSolid::kFixed;
    tImpact seen;
    ball->onCollision = [&](tSolid&, tSolid&, const tImpact& impact) { seen = impact; };
    u.Sweep();
    u.Advance(1);
    // First touch: distance 1 from the corner (9, -1): x = 9 - sqrt(1 - 0.25).
    EXPECT_NEAR(seen.time, (9 - std::sqrt(0.75)) / 10, kTol);
    ExpectVec(seen.point, 9, -1);
    EXPECT_LT(ball->velocity.x, 0);
    EXPECT_LT(ball->velocity.y, 0); // deflected away from the box
    EXPECT_NEAR(static_cast<double>(ball->velocity.LengthSquared()), 100, 1e-9);
}

TEST(Solid, PolygonsCollide)
{
    tUniverse u("scene");
    tSolid* a = Box(u, {0, 0.5}, {10, 0}, 1, 1);
    a->rotationLocked = true;
    tSolid* b = Box(u, {10, 0}, {0, 0}, 1, 1);
    b->collisionKind = tSolid::kFixed;
    u.Sweep();
    u.Advance(1); // faces meet after 0.8 s
    ExpectVec(a->velocity, -10, 0);
    ExpectVec(a->position, 6, 0.5);
    EXPECT_EQ(a->spin, 0);
}

TEST(Solid, PushFlagsDecideWhoReceives)
{
    tUniverse u("scene");
    tSolid* pusher = Circle(u, {0, 0}, {10, 0}, 5);
    pusher->isPushed = false;
    tSolid* pushed = Circle(u, {30, 0}, {0, 0}, 5);
    pushed->pushesOthers = false;
    u.Sweep();
    u.Advance(2); // contact after 2 s
    ExpectVec(pusher->velocity, 10, 0);
    ExpectVec(pushed->velocity, 20, 0);

    // Without any push flag a solid does not collide at all.
    tUniverse v("ghosts");
    tSolid* g1 = Circle(v, {0, 0}, {10, 0}, 5);
    tSolid* g2 = Circle(v, {30, 0}, {-10, 0}, 5);
    g1->pushesOthers = g1->isPushed = false;
    g2->pushesOthers = g2->isPushed = false;
    EXPECT_FALSE(g1->TakesPartInCollisions());
    v.Sweep();
    v.Advance(2);
    ExpectVec(g1->position, 20, 0);
    ExpectVec(g2->position, 10, 0);
}

TEST(Solid, LocksShareTheImpulseBetweenSpinAndVelocity)
{
    // A ball with full friction grazes a wheel above its centre.
    auto run = [](bool positionLocked, bool rotationLocked, tSolid** wheelOut, tUniverse& u) {
        tSolid* ball = Circle(u, {-20, -3}, {10, 0}, 1);
        ball->friction = 1;
        ball->rotationLocked = true;
        tSolid* wheel = Circle(u, {0, 0}, {0, 0}, 5, 2);
        wheel->friction = 1;
        wheel->positionLocked = positionLocked;
        wheel->rotationLocked = rotationLocked;
        *wheelOut = wheel;
        u.Sweep();
        u.Advance(2);
        (void)ball;
    };
    {
        tUniverse u("position locked");
        tSolid* wheel = nullptr;
        run(true, false, &wheel, u);
        ExpectVec(wheel->position, 0, 0);
        ExpectVec(wheel->velocity, 0, 0);
        EXPECT_GT(wheel->spin, 0); // its top is pushed along +x
    }
    {
        tUniverse u("both locked");
        tSolid* wheel = nullptr;
        run(true, true, &wheel, u);
        ExpectVec(wheel->velocity, 0, 0);
        EXPECT_EQ(wheel->spin, 0);
    }
    {
        tUniverse u("rotation locked");
        tSolid* wheel = nullptr;
        run(false, true, &wheel, u);
        EXPECT_EQ(wheel->spin, 0);
        EXPECT_GT(wheel->velocity.x, 0);
    }
    {
        tUniverse u("free");
        tSolid* wheel = nullptr;
        run(false, false, &wheel, u);
        EXPECT_GT(wheel->spin, 0);
        EXPECT_GT(wheel->velocity.x, 0);
    }
}

TEST(Solid, CallbacksReceiveTheImpact)
{
    tUniverse u("scene");
    tSolid* a = Circle(u, {0, 0}, {10, 0}, 5);
    tSolid* b = Circle(u, {30, 0}, {-10, 0}, 5);
    std::vector<std::pair<tSolid*, tImpact>> calls;
    auto record = [&](tSolid& self, tSolid& other, const tImpact& impact) {
        EXPECT_NE(&self, &other);
        calls.emplace_back(&self, impact);
    };
    a->onCollision = record;
    b->onCollision = record;
    u.Sweep();
    u.Advance(2);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].first, a);
    EXPECT_NEAR(calls[0].second.time, 1, kTol);
    ExpectVec(calls[0].second.point, 15, 0);
    ExpectVec(calls[0].second.normal, -1, 0);
    ExpectVec(calls[0].second.impulse, -20, 0);
    EXPECT_EQ(calls[1].first, b);
    ExpectVec(calls[1].second.normal, 1, 0);
    ExpectVec(calls[1].second.impulse, 20, 0);
}

TEST(Solid, AtMostSixContactsPerStep)
{
    tUniverse u("scene");
    // A fast ball in the pseudo layer rattles between two fixed walls of the
    // main layer; the walls' own steps do not look at the pseudo layer.
    tSolid* ball = Circle(u, {0, 0}, {1000, 0}, 1, 1, u.PseuLayer());
    tSolid* left = Circle(u, {-3, 0}, {0, 0}, 1);
    tSolid* right = Circle(u, {3, 0}, {0, 0}, 1);
    left->collisionKind = right->collisionKind = tSolid::kFixed;
    int contacts = 0;
    ball->onCollision = [&](tSolid&, tSolid&, const tImpact&) { ++contacts; };
    u.Sweep();
    u.Advance(0.02); // room for ten contacts
    EXPECT_EQ(contacts, 6);
}

TEST(Solid, PairTestResults)
{
    tUniverse u("scene");
    tSolid* a = Circle(u, {0, 0}, {10, 0}, 5);
    tSolid* b = Circle(u, {30, 0}, {0, 0}, 5);
    tContact c = TestPair(*a, a->position, *b, b->position, 10);
    EXPECT_EQ(c.kind, tContactKind::kContact);
    EXPECT_NEAR(c.time, 2, kTol);
    EXPECT_EQ(TestPair(*a, a->position, *b, b->position, 1.5).kind, tContactKind::kNone); // too late
    EXPECT_EQ(TestPair(*b, b->position, *a, a->position, 10).kind, tContactKind::kContact); // same seen from b
    EXPECT_EQ(TestPair(*a, a->position, *b, {-30, 0}, 10).kind, tContactKind::kNone);      // parting
    EXPECT_EQ(TestPair(*a, a->position, *b, {4, 0}, 10).kind, tContactKind::kOverlapping);
    EXPECT_EQ(TestPair(*a, a->position, *b, {10, 0}, 10).kind, tContactKind::kContact);    // touching
    EXPECT_EQ(TestPair(*a, a->position, *b, {10, 0}, 10).time, 0);
    a->velocity = {0.0005, 0}; // |v|^2 below 1e-6: no relative motion
    EXPECT_EQ(TestPair(*a, a->position, *b, {4, 0}, 10).kind, tContactKind::kNone);
}

TEST(Solid, OutlineFollowsScaleAspectAndAngle)
{
    tUniverse u("scene");
    tSolid* s = Box(u, {100, 50}, {}, 1, 1);
    s->vertices = {{1, 0}, {0, 1}};
    s->scale = 2;
    s->aspect = 3;
    s->angle = 90;
    const auto w = s->WorldVertices();
    ASSERT_EQ(w.size(), 2u);
    ExpectVec(w[0], 100, 56); // (6, 0) turned by 90 degrees
    ExpectVec(w[1], 98, 50);  // (0, 2) turned by 90 degrees
}

TEST(Solid, CollisionDebugWritesTheContactAndWaits)
{
    tCapturedLog log;
    LogListLevel = 4;
    int waits = 0;
    SceneDebugCollisions = true;
    SetCollisionDebugWait([&] { ++waits; });
    {
        tUniverse u("scene");
        tSolid* a = Circle(u, {0, 0}, {10, 0}, 5, 1);
        Circle(u, {30, 0}, {-10, 0}, 5, 2);
        u.Sweep();
        u.Advance(2);
        (void)a;
    }
    SetCollisionDebugWait({});
    EXPECT_EQ(waits, 1);
    for (const char* line : {"Collision: (in 1 secoonds", "    Impact Point:[", "    Frame Vel:[-20,0]",
                             "    Reflected Vel:[20,0]", "    Normal:[-1,0]", "    Small Object:",
                             "        Pos:[10,0]", "        Vel:[10,0]", "        Imp:[", "    Large Object:",
                             "        Pos:[20,0]"})
        EXPECT_TRUE(Contains(log.lines, line)) << line;
    EXPECT_TRUE(Contains(log.lines, "    Elements involved (small:"));

    // Without an installed wait, a debugged contact does not block.
    {
        tUniverse u("scene");
        Circle(u, {0, 0}, {10, 0}, 5);
        Circle(u, {30, 0}, {-10, 0}, 5);
        u.Sweep();
        u.Advance(2);
    }
    SceneDebugCollisions = false;
}
