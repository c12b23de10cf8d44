// The timeline's axis: zooming keeps the time under the pointer, stops at 1 minute and 24 hours,
// and the head is brought back into sight; the store's days and the labels' calendar.
#include "TimeAxis.h"
#include <gtest/gtest.h>
#include <vector>

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

TEST(TimeAxis, DaysAndCalendarAgreeWithKnownDatesEitherSideOf1970)
{
    EXPECT_EQ(DayStartMs(19700101), 0);
    EXPECT_EQ(DayStartMs(20231114), 1'699'920'000'000);
    EXPECT_EQ(DayStartMs(20240229), 1'709'164'800'000);
    EXPECT_EQ(DayStartMs(19691231), -86'400'000);
    const Calendar c = CalendarOf(1'700'000'000'123);
    EXPECT_EQ(std::vector<int>({c.year, c.month, c.day, c.hour, c.minute, c.second}),
              std::vector<int>({2023, 11, 14, 22, 13, 20}));
    const Calendar before = CalendarOf(-1);
    EXPECT_EQ(std::vector<int>({before.year, before.month, before.day, before.hour, before.minute, before.second}),
              std::vector<int>({1969, 12, 31, 23, 59, 59}));
    // Every day of 1999..2001 (a leap 2000): the start of the day reads back as that day at 00:00:00.
    for (int64_t ms = DayStartMs(19990101); ms < DayStartMs(20020101); ms += 86'400'000) {
        const Calendar d = CalendarOf(ms);
        ASSERT_EQ(DayStartMs(uint32_t(d.year * 10000 + d.month * 100 + d.day)), ms);
        ASSERT_EQ(d.hour + d.minute + d.second, 0);
    }
    EXPECT_EQ(CalendarOf(DayStartMs(20000229)).day, 29);
}

TEST(TimeAxis, TheMonthCalendarsWeekdaysAndMonthLengths)
{
    EXPECT_EQ(WeekdayOf(19700101), 3) << "a Thursday";
    EXPECT_EQ(WeekdayOf(20231101), 2) << "a Wednesday";
    EXPECT_EQ(WeekdayOf(20240229), 3);
    EXPECT_EQ(WeekdayOf(19691229), 0) << "before 1970: a Monday";
    EXPECT_EQ(std::vector<int>({DaysInMonth(2023, 2), DaysInMonth(2024, 2), DaysInMonth(1900, 2), DaysInMonth(2000, 2),
                                DaysInMonth(2023, 12), DaysInMonth(2023, 4)}),
              std::vector<int>({28, 29, 28, 29, 31, 30}));
    EXPECT_EQ(DaysInMonth(2023, 0), 0);
    EXPECT_EQ(DaysInMonth(2023, 13), 0);
}

} // namespace player
