// Deep dives on a path: the look of a keyframe at each depth, keyframes that
// render from the target plus their offset, and the camera's offsets from
// the target agreeing with long-double coordinates where those still hold.
#include "uDeepDive.h"

#include "uFractal.h"
#include "uPathBase.h"
#include "uRandom.h"

#include "ZoomTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

std::shared_ptr<tDeepDive> DiveTo(const char* target, std::vector<tDepthSample> samples = {})
{
    auto dive = std::make_shared<tDeepDive>();
    dive->target = *tBigComplex::Parse(target, 400);
    dive->samples = std::move(samples);
    return dive;
}

/// The job a path hands its keyframe, with the path's dive.
tKeyframeJob Job(tPathBase& path, const tFractalKeyFrame& keyframe)
{
    return tKeyframeJob{*path.ScratchPool(), path.params, keyframe.Index(), ProcessRandom(), nullptr,
                        path.deepDive.get()};
}

} // namespace

TEST(DeepDive, KeyframeLookFollowsTheCountsOfTheDescent)
{
    // Samples every 4 octaves, as the search takes them.
    const tDeepDive dive{tBigComplex(0.25L, 0, 64),
                         {{1e10L, 1000, 1800, 4000}, {16e10L, 1100, 2100, 4000}, {256e10L, 1200, 2000, 5000}}};
    struct tCase {
        extended magnification;
        int32_t iterations, floor, span;
        bool perturbation;
    };
    // Floor: the lowest count; span: the spread, the largest of the samples
    // two either side; limit: the most of the path's, the descent's and the
    // band's top.
    const tCase cases[] = {
        {1e9L, 4000, 1000, 1000, false},  // above the first sample: its values
        {1e10L, 4000, 1000, 1000, true},  // 2^32 and deeper: perturbation
        {4e10L, 4000, 1050, 1000, true},  // half way in log2 between the first two
        {16e10L, 4000, 1100, 1000, true},
        {64e10L, 4500, 1150, 1000, true},
        {256e10L, 5000, 1200, 1000, true},
        {1e20L, 5000, 1200, 1000, true},  // beyond the last sample: its values
    };
    for (const tCase& c : cases) {
        const tKeyframeLook look = dive.LookAt(c.magnification, 1024);
        EXPECT_EQ(look.iterations, c.iterations) << static_cast<double>(c.magnification);
        EXPECT_EQ(look.colourFloor, c.floor) << static_cast<double>(c.magnification);
        EXPECT_EQ(look.colourSpan, c.span) << static_cast<double>(c.magnification);
        EXPECT_EQ(look.perturbation, c.perturbation) << static_cast<double>(c.magnification);
    }
    // Without samples: the path's limit and colours by the fraction of it.
    const tDeepDive bare{tBigComplex(0.25L, 0, 64), {}};
    const tKeyframeLook look = bare.LookAt(1e50L, 1024);
    EXPECT_EQ(look.iterations, 1024);
    EXPECT_EQ(look.colourSpan, 0);
    EXPECT_TRUE(look.perturbation);
    // A band above the path's limit raises it.
    EXPECT_EQ(dive.LookAt(1e20L, 8000).iterations, 8000);
}

TEST(DeepDive, KeyframesRenderFromTheTargetPlusTheirOffset)
{
    tPathBase path;
    path.SetParams(SmallParams(32));
    path.ApplyResolution();
    // The Misiurewicz point where z_4 = z_5, to 60 digits; a view at 10^40
    // a little to its right.
    path.deepDive = DiveTo("-0.101096363845622161025785445738622565463805442826253483876931,"
                           "0.956286510809141500771096057729977435809833336510529170034314",
                           {{1e30L, 300, 500, 2000}});
    tFractalKeyFrame& keyframe = path.Keyframe(0);
    keyframe.view = tPathPoint{3e-41L, -1e-41L, 1e40L, 0, 0, 1};
    ASSERT_TRUE(keyframe.StartRender(Job(path, keyframe)));
    const tFractalMandelBrot& g = *keyframe.Generator();
    ASSERT_TRUE(g.deepCentre.has_value());
    EXPECT_EQ(g.deepCentre->Minus(path.deepDive->target).x, 3e-41L);
    EXPECT_EQ(g.deepCentre->Minus(path.deepDive->target).y, -1e-41L);
    EXPECT_EQ(g.deepCentre->Bits(), 400);
    EXPECT_EQ(g.BackEndName().rfind("PERTURB", 0), 0u) << g.BackEndName();
    EXPECT_EQ(g.IterationLimit(), 2000);
    EXPECT_EQ(g.colourFloor, 300);
    EXPECT_EQ(g.colourSpan, 200);
    EXPECT_NEAR(g.centreRe, -0.1010963638456221, 1e-15);

    // The keyframe keeps its generator while the reference orbit is built,
    // and then renders the picture.
    const tFractalMandelBrot* first = keyframe.Generator();
    int steps = 0;
    while (!keyframe.Complete() && steps < 1000) {
        EXPECT_GT(keyframe.RenderStep(64, Job(path, keyframe)), 0);
        ++steps;
        EXPECT_EQ(keyframe.Generator(), first);
    }
    EXPECT_TRUE(keyframe.Complete());
    EXPECT_TRUE(first->Reference()->Ready());

    // Shallower than 2^32 a dive's keyframe keeps the path's precision.
    tFractalKeyFrame& shallow = path.Keyframe(1);
    shallow.view = tPathPoint{0, 0, 1e9L, 0, 0, 1};
    ASSERT_TRUE(shallow.StartRender(Job(path, shallow)));
    EXPECT_FALSE(shallow.Generator()->Perturbing());
    EXPECT_EQ(shallow.Generator()->IterationLimit(), 2000);
}

TEST(DeepDive, OffsetsFromTheTargetPlaceKeyframesAsPlaneCoordinatesDo)
{
    // The same pan twice, 1e-13 across at 2^30 to 2^50 over 20 s: once in
    // long doubles, once as offsets from a target. Where long doubles still
    // hold the view (around 2^40 they do, barely), the cameras agree, and the
    // offsets carry on smoothly beyond.
    const extended x0 = -0.7436438870371587L, y0 = 0.1318259042053119L;
    tPathBase plain, deep;
    deep.deepDive = DiveTo("-0.7436438870371587,0.1318259042053119");
    for (tPathBase* p : {&plain, &deep}) {
        const bool offsets = p == &deep;
        p->SetSmoothing(1.5f);
        p->AddPoint(1, (offsets ? 0 : x0) + 1e-13L, offsets ? 0 : y0, 0x1p30L, 0, 0);
        p->AddPoint(1, offsets ? 0 : x0, offsets ? 0 : y0, 0x1p50L, 30, 20);
    }
    const tVector2 viewport{800, 600};
    tFractalKeyFrame plainKey(0), deepKey(1);
    plainKey.view = plain.Evaluate(10);
    deepKey.view = deep.Evaluate(10);
    plain.SetParams(SmallParams(32));
    deep.SetParams(SmallParams(32));
    ASSERT_TRUE(plainKey.StartRender(Job(plain, plainKey)));
    ASSERT_TRUE(deepKey.StartRender(Job(deep, deepKey)));
    tVector2 previous;
    extended previousStep = 0;
    for (extended t = 9.5L; t <= 10.5L; t += 1.0L / 60) {
        const tPathPoint a = plain.Evaluate(t), b = deep.Evaluate(t);
        EXPECT_EQ(a.scale, b.scale);
        const tVector2 centre = deep.PlaneCentre(b);
        EXPECT_NEAR(static_cast<double>((centre.x - a.x) * a.scale), 0, 1e-4) << "in views at " << static_cast<double>(t);
        EXPECT_NEAR(static_cast<double>((centre.y - a.y) * a.scale), 0, 1e-4);
        const auto pa = plain.KeyframePlacement(plainKey, a, 800, viewport);
        const auto pb = deep.KeyframePlacement(deepKey, b, 800, viewport);
        ASSERT_TRUE(pa && pb);
        // The long-double path places its keyframe from a centre rounded to
        // a double: a tenth of a pixel off at 2^40.
        EXPECT_NEAR(static_cast<double>(pa->position.x), static_cast<double>(pb->position.x), 0.25);
        EXPECT_NEAR(static_cast<double>(pa->position.y), static_cast<double>(pb->position.y), 0.25);
        EXPECT_EQ(pa->scale, pb->scale);
        // From frame to frame the keyframe moves by much the same step.
        if (t > 9.5L) {
            const extended step = std::hypot(pb->position.x - previous.x, pb->position.y - previous.y);
            if (previousStep > 0) {
                EXPECT_NEAR(static_cast<double>(step / previousStep), 1.0, 0.1) << static_cast<double>(t);
            }
            previousStep = step;
        }
        previous = pb->position;
    }
}
