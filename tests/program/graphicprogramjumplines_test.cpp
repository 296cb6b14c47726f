#include "program/graphicprogramjumplines.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using quenor::CGraphicProgramJumpLines;

namespace {

CGraphicProgramJumpLines Assigned(int size, const std::vector<std::pair<int, int>>& jumps)
{
    CGraphicProgramJumpLines t;
    t.Reset(size);
    for (const auto& [s, d] : jumps)
        t.Add(s, d);
    t.Assign();
    return t;
}

}  // namespace

TEST(JumpLines, NoJumps)
{
    const auto t = Assigned(10, {});
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(t.GetColumn(i), -1);
    EXPECT_EQ(t.LargestColumn(), 0);
}

TEST(JumpLines, AddedButNotAssignedIsColumnZero)
{
    CGraphicProgramJumpLines t;
    t.Reset(5);
    t.Add(1, 3);
    EXPECT_EQ(t.GetColumn(1), 0);
    EXPECT_EQ(t.GetTarget(1), 3);
    EXPECT_EQ(t.GetTarget(2), -1);
}

TEST(JumpLines, DisjointJumpsShareTheFirstColumn)
{
    const auto t = Assigned(10, {{2, 5}, {6, 8}});
    EXPECT_EQ(t.GetColumn(2), 1);
    EXPECT_EQ(t.GetColumn(6), 1);
    EXPECT_EQ(t.LargestColumn(), 1);
}

TEST(JumpLines, NestedJumpGoesOutside)
{
    const auto down = Assigned(10, {{2, 8}, {4, 5}});
    EXPECT_EQ(down.GetColumn(4), 1);
    EXPECT_EQ(down.GetColumn(2), 2);
    EXPECT_EQ(down.LargestColumn(), 2);

    const auto up = Assigned(10, {{8, 1}, {6, 3}});
    EXPECT_EQ(up.GetColumn(6), 1);
    EXPECT_EQ(up.GetColumn(8), 2);
}

TEST(JumpLines, UpwardJumpOfEqualLengthIsPlacedFirst)
{
    const auto t = Assigned(10, {{2, 5}, {5, 2}});
    EXPECT_EQ(t.GetColumn(5), 1);
    EXPECT_EQ(t.GetColumn(2), 2);
}

TEST(JumpLines, CrossingJumpsGetDifferentColumns)
{
    const auto t = Assigned(10, {{1, 4}, {3, 6}});
    EXPECT_EQ(t.GetColumn(1), 1);
    EXPECT_EQ(t.GetColumn(3), 2);
}

TEST(JumpLines, SelfJump)
{
    EXPECT_EQ(Assigned(10, {{3, 3}}).GetColumn(3), 1);
    // A longer jump passing row 3 was placed later, so the self jump still
    // takes column 1 and the passing jump goes out to 2.
    const auto t = Assigned(10, {{1, 6}, {3, 3}});
    EXPECT_EQ(t.GetColumn(3), 1);
    EXPECT_EQ(t.GetColumn(1), 2);
}

TEST(JumpLines, OutOfRangeLinesAreIgnored)
{
    CGraphicProgramJumpLines t;
    t.Reset(4);
    t.Add(2, 9);
    t.Add(-1, 0);
    t.Assign();
    EXPECT_EQ(t.GetColumn(2), -1);
    EXPECT_EQ(t.GetColumn(-1), -1);
    EXPECT_EQ(t.GetColumn(4), -1);
    EXPECT_EQ(t.LargestColumn(), 0);
}

TEST(JumpLines, ResetDropsOldJumps)
{
    CGraphicProgramJumpLines t = Assigned(5, {{0, 4}});
    t.Reset(3);
    EXPECT_EQ(t.Size(), 3);
    EXPECT_EQ(t.GetColumn(0), -1);
    EXPECT_EQ(t.LargestColumn(), 0);
}
