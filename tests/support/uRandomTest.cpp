#include "uRandom.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace {
// The generator's definition, written independently of the implementation.
uint32_t NextState(uint32_t s) { return s * 134775813u + 1u; }
} // namespace

TEST(Random, FollowsTheLinearCongruentialDefinition)
{
    SetRandSeed(12345);
    uint32_t s = 12345;
    for (uint32_t n : {1u, 7u, 100u, 360u, 4294967295u}) {
        s = NextState(s);
        EXPECT_EQ(Random(n), static_cast<uint32_t>((uint64_t{s} * n) >> 32)) << "n=" << n;
        EXPECT_EQ(RandSeed(), s);
    }
    s = NextState(s);
    EXPECT_DOUBLE_EQ(Random(), s / 4294967296.0);
}

TEST(Random, SeedRepeatsTheDraws)
{
    SetRandSeed(987654321);
    std::array<uint32_t, 8> first{};
    for (auto& v : first)
        v = Random(1000);
    const double firstFloat = Random();
    SetRandSeed(987654321);
    for (auto v : first)
        EXPECT_EQ(Random(1000), v);
    EXPECT_EQ(Random(), firstFloat);
}

TEST(Random, RangesAndEdgeCases)
{
    SetRandSeed(0);
    EXPECT_EQ(Random(0u), 0u);   // the empty range still advances the state
    EXPECT_EQ(RandSeed(), 1u);
    for (int i = 0; i < 10000; ++i) {
        const double r = Random();
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
        ASSERT_LT(Random(3), 3u);
    }
}

TEST(Random, IntegerDrawsAreEvenlySpread)
{
    SetRandSeed(2024);
    std::array<int, 6> buckets{};
    const int draws = 60000;
    for (int i = 0; i < draws; ++i)
        ++buckets[Random(6)];
    for (int b : buckets)
        EXPECT_NEAR(b, draws / 6, draws / 6 / 20); // within 5 %
}
