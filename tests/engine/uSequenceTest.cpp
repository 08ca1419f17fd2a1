#include "uRandom.h"
#include "uSequence.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

TEST(Sequence, NextWrapsAroundAndValueChecksIndices)
{
    tSequence s;
    EXPECT_EQ(s.Next(), 0); // empty
    s.AddArray({1, 2.7L, -3.5L});
    EXPECT_EQ(s.Next(), 1);
    EXPECT_EQ(s.NextInt(), 2);  // truncated
    EXPECT_EQ(s.NextInt(), -3); // towards zero
    EXPECT_EQ(s.Next(), 1);     // wrapped
    EXPECT_EQ(s.Value(5), 0);
    EXPECT_EQ(s.Value(-1), 0);
    EXPECT_EQ(s.IntValue(1), 3);
    s.Delete(0);
    EXPECT_EQ(s.Count(), 2);
    s.Delete(7);
    EXPECT_EQ(s.Count(), 2);
    s.Clear();
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.Cursor(), 0);
}

TEST(Sequence, ShuffleIsAPermutationAndKeepsTheCursor)
{
    tSequence s;
    for (int i = 0; i < 13; ++i)
        s.Add(i + 1);
    s.Next();
    s.Next();
    SetRandSeed(77);
    s.Shuffle();
    EXPECT_EQ(s.Cursor(), 2);
    std::vector<int64_t> values;
    for (int i = 0; i < s.Count(); ++i)
        values.push_back(s.IntValue(i));
    std::vector<int64_t> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(sorted[static_cast<size_t>(i)], i + 1);
    std::vector<int64_t> identity(sorted);
    EXPECT_NE(values, identity);

    tSequence empty;
    EXPECT_NO_THROW(empty.Shuffle());
}

TEST(Sequence, ShuffleIsUniformOverPermutations)
{
    SetRandSeed(4242);
    std::map<std::vector<int64_t>, int> seen;
    const int runs = 12000;
    for (int r = 0; r < runs; ++r) {
        tSequence s;
        s.AddArray({0, 1, 2});
        s.Shuffle();
        ++seen[{s.IntValue(0), s.IntValue(1), s.IntValue(2)}];
    }
    ASSERT_EQ(seen.size(), 6u);
    for (const auto& [perm, count] : seen)
        EXPECT_NEAR(count, runs / 6, runs / 6 / 10) << perm[0] << perm[1] << perm[2];
}

TEST(Number, FixedRandomAndInvalidKinds)
{
    tCapturedLog log;
    tNumber n;
    n.SetValue(4.5L);
    EXPECT_EQ(n.GetValue(), 4.5L);
    n.kind = tNumber::kRandom;
    n.lowerBound = 10;
    n.upperBound = 20;
    SetRandSeed(3);
    for (int i = 0; i < 100; ++i) {
        const extended v = n.GetValue();
        ASSERT_GE(v, 10);
        ASSERT_LT(v, 20);
    }
    n.kind = 7;
    EXPECT_EQ(n.GetValue(), 0);
    EXPECT_TRUE(log.FileContains("invalid number type"));
}
