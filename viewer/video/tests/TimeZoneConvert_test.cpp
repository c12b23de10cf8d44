#include "TimeZoneConvert.h"
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

using namespace video;

namespace {

std::string Text(const PictureTime& t, uint32_t mark)
{
    char s[64];
    std::snprintf(s, sizeof s, "%04d/%02d/%02d %02d:%02d:%02d d=%u w=%d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, mark, t.dayOfWeek);
    return s;
}

// The viewer's clock text for a UTC recording time in a zone, with the daylight mark and weekday.
std::string Show(unsigned zone, uint32_t flag, RecordingTime utc)
{
    TimeZoneSettings s;
    LoadTimeZone(s, zone, flag);
    PictureTime local;
    uint32_t mark = 99;
    const int r = ConvertFrameTime(s, utc, local, mark);
    return (r == 1 ? "" : "raw ") + Text(local, mark);
}

} // namespace

TEST(TimeZoneTable, NamesAgreeWithBiases)
{
    for (unsigned z = 0; z < kTimeZoneCount; ++z) {
        const std::string name = TimeZoneNameAscii(z);
        SCOPED_TRACE(name);
        int bias = 0;
        if (name.rfind("(GMT)", 0) != 0) {
            ASSERT_EQ(name.rfind("(GMT", 0), 0u);
            const int sign = name[4] == '-' ? -1 : 1;
            bias = sign * (std::atoi(name.substr(5, 2).c_str()) * 60 + std::atoi(name.substr(8, 2).c_str()));
        }
        EXPECT_EQ(kTimeZoneTable[z].bias, bias);
        EXPECT_EQ(kTimeZoneTable[z].name[name.size()], u'\0');
        const DaylightRule& r = kTimeZoneTable[z].rule;
        EXPECT_EQ(r.startMonth == 0, r.endMonth == 0);
    }
    EXPECT_STREQ(TimeZoneNameAscii(30), "(GMT)Greenwich Mean Time : London,Dublin,Edinburgh,Lisbon");
    EXPECT_STREQ(TimeZoneNameAscii(84), "(GMT+13:00) Nuku'alofa");
    EXPECT_STREQ(TimeZoneNameAscii(85), "");
    EXPECT_EQ(FindTimeZone(85), nullptr);
    EXPECT_EQ(FindTimeZone(84), &kTimeZoneTable[84]);
}

TEST(ConvertFrameTime, PacificSummerWithAndWithoutTheDaylightFlag)
{
    EXPECT_EQ(Show(4, 1, {2008, 7, 1, 20, 0, 0}), "2008/07/01 13:00:00 d=1 w=2");
    EXPECT_EQ(Show(4, 0, {2008, 7, 1, 20, 0, 0}), "2008/07/01 12:00:00 d=0 w=2");
    EXPECT_EQ(Show(4, 1, {2008, 1, 1, 20, 0, 0}), "2008/01/01 12:00:00 d=0 w=2");
    // A zone without daylight saving ignores the flag.
    EXPECT_EQ(Show(9, 1, {2008, 7, 1, 20, 0, 0}), "2008/07/01 13:00:00 d=0 w=2");
}

// The seconds either side of changes at hour 24 and at hour 0 in a half-hour zone: the glibc
// cross-check samples such a zone on the half hour, and leaves Cairo's later years out.
TEST(ConvertFrameTime, HoursAtTheStartAndEndOfThePeriod)
{
    // Cairo's hour 24: from the end of the last Thursday of April (24 April 2008) to the end of the
    // last Thursday of September (25 September 2008, 24:00 daylight = 23:00 standard).
    EXPECT_EQ(Show(38, 1, {2008, 4, 24, 21, 59, 0}), "2008/04/24 23:59:00 d=0 w=4");
    EXPECT_EQ(Show(38, 1, {2008, 4, 24, 22, 0, 0}), "2008/04/25 01:00:00 d=1 w=5");
    EXPECT_EQ(Show(38, 1, {2008, 9, 25, 20, 59, 0}), "2008/09/25 23:59:00 d=1 w=4");
    EXPECT_EQ(Show(38, 1, {2008, 9, 25, 21, 0, 0}), "2008/09/25 23:00:00 d=0 w=4");
    // Newfoundland's hour 0: 9 March 2008 00:00 NST (03:30 UTC).
    EXPECT_EQ(Show(22, 1, {2008, 3, 9, 3, 29, 0}), "2008/03/08 23:59:00 d=0 w=6");
    EXPECT_EQ(Show(22, 1, {2008, 3, 9, 3, 30, 0}), "2008/03/09 01:00:00 d=1 w=0");
}

TEST(ConvertFrameTime, SouthernHemisphereOrder)
{
    const DaylightRule& sydney = kTimeZoneTable[76].rule;
    EXPECT_EQ(DaylightOrder(sydney, 2008), 0);
    EXPECT_EQ(DaylightOrder(kTimeZoneTable[4].rule, 2008), 1);
    EXPECT_EQ(Show(76, 1, {2008, 1, 15, 0, 0, 0}), "2008/01/15 11:00:00 d=1 w=2");
    EXPECT_EQ(Show(76, 1, {2008, 7, 15, 0, 0, 0}), "2008/07/15 10:00:00 d=0 w=2");
    // New Year's Eve in daylight time: the bias reaches 23:00, the daylight hour the next year.
    EXPECT_EQ(Show(76, 1, {2008, 12, 31, 13, 0, 0}), "2009/01/01 00:00:00 d=1 w=4");
    // A fixed-date southern rule (15 October to 15 March) orders the same way.
    const DaylightRule fixed{10, 0, 0, 15, 2, 3, 0, 0, 15, 3};
    EXPECT_EQ(DaylightOrder(fixed, 2008), 0);
    TimeZoneSettings s;
    SetTimeZoneBias(s, 0);
    SetDaylightRule(s, fixed, kDaylightShiftMinutes);
    SetDaylightFlag(s, 1);
    PictureTime t;
    uint32_t mark;
    ASSERT_EQ(ConvertFrameTime(s, {2008, 12, 1, 12, 0, 0}, t, mark), 1);
    EXPECT_EQ(Text(t, mark), "2008/12/01 13:00:00 d=1 w=1");
    ASSERT_EQ(ConvertFrameTime(s, {2008, 6, 1, 12, 0, 0}, t, mark), 1);
    EXPECT_EQ(Text(t, mark), "2008/06/01 12:00:00 d=0 w=0");
}

TEST(ConvertFrameTime, FixedDatesApplyBefore1971WeekBasedRulesDoNot)
{
    // Fixed dates need no weekday search, so they apply in any year; week-based rules stop after 1970.
    EXPECT_EQ(Show(47, 1, {1969, 7, 1, 12, 0, 0}), "1969/07/01 16:00:00 d=1 w=2");
    EXPECT_EQ(Show(4, 1, {1970, 7, 1, 20, 0, 0}), "1970/07/01 12:00:00 d=0 w=3");
    EXPECT_EQ(Show(4, 1, {1971, 7, 1, 20, 0, 0}), "1971/07/01 13:00:00 d=1 w=4");
    EXPECT_EQ(Show(4, 1, {1969, 12, 31, 20, 0, 0}), "1969/12/31 12:00:00 d=0 w=3");
    EXPECT_EQ(DaylightOrder(kTimeZoneTable[4].rule, 1970), 2);
    EXPECT_EQ(DaylightOrder(kTimeZoneTable[47].rule, 1970), 1);
}

TEST(ConvertFrameTime, BiasesCrossDayMonthAndYearEnds)
{
    // Newfoundland, -3:30: back into the previous day, month and year, leap day included.
    EXPECT_EQ(Show(22, 0, {2008, 1, 1, 2, 0, 0}), "2007/12/31 22:30:00 d=0 w=1");
    EXPECT_EQ(Show(22, 0, {2008, 3, 1, 1, 15, 7}), "2008/02/29 21:45:07 d=0 w=5");
    EXPECT_EQ(Show(22, 0, {2007, 3, 1, 1, 0, 0}), "2007/02/28 21:30:00 d=0 w=3");
    EXPECT_EQ(Show(0, 0, {2000, 3, 1, 11, 59, 59}), "2000/02/29 23:59:59 d=0 w=2");
    // Nuku'alofa, +13:00: forward over leap days and the year's end; 2100 is no leap year.
    EXPECT_EQ(Show(84, 0, {2008, 2, 28, 12, 0, 0}), "2008/02/29 01:00:00 d=0 w=5");
    EXPECT_EQ(Show(84, 0, {2100, 2, 28, 12, 0, 0}), "2100/03/01 01:00:00 d=0 w=1");
    EXPECT_EQ(Show(84, 0, {2008, 12, 31, 11, 0, 0}), "2009/01/01 00:00:00 d=0 w=4");
    EXPECT_EQ(Show(60, 0, {1969, 12, 31, 18, 15, 0}), "1970/01/01 00:00:00 d=0 w=4");
    EXPECT_EQ(Show(58, 0, {1872, 1, 1, 0, 0, 0}), "1872/01/01 05:30:00 d=0 w=1");
}

TEST(NthWeekdayOfMonth, WeeksAndTheLastOccurrence)
{
    int day = -5;
    EXPECT_EQ(NthWeekdayOfMonth(2008, 3, 5, 0, day), 1);
    EXPECT_EQ(day, 30);
    EXPECT_EQ(NthWeekdayOfMonth(2008, 2, 5, 5, day), 1);
    EXPECT_EQ(day, 29); // a fifth Friday exists in February 2008
    EXPECT_EQ(NthWeekdayOfMonth(2009, 2, 5, 5, day), 1);
    EXPECT_EQ(day, 27); // no fifth Friday: the last one
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(NthWeekdayOfMonth(2008, 3, n, 0, day), 1);
        EXPECT_EQ(day, 2 + 7 * (n - 1));
    }
    EXPECT_EQ(NthWeekdayOfMonth(2015, 2, 4, 6, day), 1);
    EXPECT_EQ(day, 28);
    EXPECT_EQ(NthWeekdayOfMonth(1971, 1, 1, 5, day), 1);
    EXPECT_EQ(day, 1);
    const int bad[][4] = {{1970, 3, 1, 0}, {1900, 3, 1, 0}, {2008, 0, 1, 0}, {2008, 13, 1, 0},
                          {2008, 3, 0, 0}, {2008, 3, 6, 0}, {2008, 3, 1, 7}, {2008, 3, 1, -1}};
    for (const auto& b : bad) {
        day = -5;
        EXPECT_EQ(NthWeekdayOfMonth(b[0], b[1], b[2], b[3], day), -1)
            << b[0] << " " << b[1] << " " << b[2] << " " << b[3];
        EXPECT_EQ(day, 0);
    }
}

TEST(DaylightOrder, EqualEndsGiveNoDaylight)
{
    const DaylightRule same{5, 0, 0, 10, 2, 5, 0, 0, 10, 2};
    EXPECT_EQ(DaylightOrder(same, 2008), 2);
    TimeZoneSettings s;
    SetDaylightRule(s, same, 60);
    SetDaylightFlag(s, 1);
    PictureTime t;
    uint32_t mark;
    ASSERT_EQ(ConvertFrameTime(s, {2008, 5, 10, 2, 0, 0}, t, mark), 1);
    EXPECT_EQ(mark, 0u);
}

TEST(ConvertFrameTime, ZoneIndexPastTheTableShowsUniversalTime)
{
    for (unsigned zone : {85u, 200u, 255u}) {
        TimeZoneSettings s;
        EXPECT_FALSE(LoadTimeZone(s, zone, 1));
        EXPECT_EQ(Show(zone, 1, {2008, 7, 1, 20, 0, 0}), "2008/07/01 20:00:00 d=0 w=2");
    }
}

TEST(ConvertFrameTime, NotACalendarDateIsShownUnconverted)
{
    EXPECT_EQ(Show(4, 1, {2008, 0, 15, 20, 0, 0}), "raw 2008/00/15 20:00:00 d=0 w=0");
    EXPECT_EQ(Show(4, 1, {2008, 1, 32, 20, 0, 0}), "raw 2008/01/32 20:00:00 d=0 w=0");
    EXPECT_EQ(Show(4, 1, {2007, 2, 29, 20, 0, 0}), "raw 2007/02/29 20:00:00 d=0 w=0");
    EXPECT_EQ(Show(4, 1, {2008, 7, 1, 25, 0, 0}), "raw 2008/07/01 25:00:00 d=0 w=0");
    EXPECT_EQ(Show(4, 1, {2008, 7, 1, 20, 60, 0}), "raw 2008/07/01 20:60:00 d=0 w=0");
    EXPECT_EQ(Show(4, 1, {2008, 7, 1, 20, 0, 60}), "raw 2008/07/01 20:00:60 d=0 w=0");
    EXPECT_EQ(Show(4, 1, {2008, 13, -3, 127, -128, 0}), "raw 2008/13/00 99:00:00 d=0 w=0");
    EXPECT_EQ(Show(4, 1, {0, 1, 1, 0, 0, 0}), "raw 0000/01/01 00:00:00 d=0 w=0");
}

TEST(ConvertFrameTime, OffsetsAreLimitedToADay)
{
    TimeZoneSettings s;
    SetTimeZoneBias(s, INT32_MAX);
    SetDaylightRule(s, DaylightRule{1, 0, 0, 1, 0, 12, 0, 0, 31, 23}, INT32_MAX);
    SetDaylightFlag(s, 255);
    EXPECT_EQ(s.daylight, 1u);
    PictureTime t;
    uint32_t mark;
    ASSERT_EQ(ConvertFrameTime(s, {9999, 12, 31, 23, 0, 0}, t, mark), 1);
    EXPECT_EQ(Text(t, mark), "10000/01/02 23:00:00 d=1 w=0");
    SetTimeZoneBias(s, INT32_MIN);
    SetDaylightFlag(s, 0);
    ASSERT_EQ(ConvertFrameTime(s, {1, 1, 1, 0, 0, 0}, t, mark), 1);
    EXPECT_EQ(Text(t, mark), "0000/12/31 00:00:00 d=0 w=0");
}

TEST(ConvertFrameHeaderTime, ReadsSignedHeaderBytes)
{
    wire::VideoFrameHeader h;
    h.day = 1, h.month = 7, h.year = 8, h.hour = 20, h.minute = 0, h.second = 0, h.zone = 4, h.daylight = 0x80;
    uint8_t raw[wire::kVideoHeaderSize];
    wire::BuildVideoFrameHeader(h, raw);
    wire::VideoFrameHeader parsed;
    ASSERT_TRUE(wire::ParseVideoFrameHeader(raw, sizeof raw, parsed));
    PictureTime t;
    uint32_t mark;
    ASSERT_EQ(ConvertFrameHeaderTime(parsed, t, mark), 1);
    EXPECT_EQ(Text(t, mark), "2008/07/01 13:00:00 d=1 w=2");
    parsed.year = static_cast<uint8_t>(-31); // 1969
    parsed.zone = 200;
    ASSERT_EQ(ConvertFrameHeaderTime(parsed, t, mark), 1);
    EXPECT_EQ(Text(t, mark), "1969/07/01 20:00:00 d=0 w=2");
    parsed.month = 0xF0; // -16
    EXPECT_EQ(ConvertFrameHeaderTime(parsed, t, mark), 0);
    EXPECT_EQ(Text(t, mark), "1969/00/01 20:00:00 d=0 w=0");
}
