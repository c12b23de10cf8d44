// The timeline's axis: zooming keeps the time under the pointer, stops at 1 minute and 24 hours,
// and the head is brought back into sight.
#include "TimeAxis.h"
#include <gtest/gtest.h>

namespace player {

TEST(TimeAxis, ZoomKeepsThePointedTimeAndStopsAtItsBounds)
{
    TimeAxis a;
    a.SetWidth(600);
    a.Show(1'700'000'000'000, 3600'000);
    const int64_t under = a.MsAt(150);
    ASSERT_TRUE(a.Zoom(150, 3));
    EXPECT_LT(a.SpanMs(), 3600'000);
    EXPECT_NEAR(static_cast<double>(a.MsAt(150)), static_cast<double>(under), a.SpanMs() / 600.0);
    while (a.Zoom(150, 1)) {
    }
    EXPECT_EQ(a.SpanMs(), kAxisMinSpanMs);
    EXPECT_NEAR(static_cast<double>(a.MsAt(150)), static_cast<double>(under), 100.0);
    while (a.Zoom(599, -1)) {
    }
    EXPECT_EQ(a.SpanMs(), kAxisMaxSpanMs);
    EXPECT_FALSE(a.Zoom(0, -5));
    // Round trip of the mapping, and an absurd span is clamped.
    EXPECT_NEAR(a.XOf(a.MsAt(321)), 321.0, 0.01);
    a.Show(0, 1);
    EXPECT_EQ(a.SpanMs(), kAxisMinSpanMs);
}

TEST(TimeAxis, KeepInSightMovesOnlyWhenTheHeadLeft)
{
    TimeAxis a;
    a.SetWidth(100);
    a.Show(0, 100'000);
    EXPECT_FALSE(a.KeepInSight(50'000));
    EXPECT_EQ(a.StartMs(), 0);
    EXPECT_TRUE(a.KeepInSight(150'000));
    EXPECT_LE(a.StartMs(), 150'000);
    EXPECT_GE(a.EndMs(), 150'000);
    EXPECT_TRUE(a.KeepInSight(-5'000));
    EXPECT_LE(a.StartMs(), -5'000);
}

} // namespace player
