#include "TimeZoneConvert.h"
#include "calendar/CivilDate.h"
#include <initializer_list>

namespace video {
namespace {

constexpr int32_t kMaxOffsetMinutes = 24 * 60;

constexpr int32_t ClampOffset(int32_t minutes)
{
    return minutes < -kMaxOffsetMinutes ? -kMaxOffsetMinutes
        : minutes > kMaxOffsetMinutes   ? kMaxOffsetMinutes
                                        : minutes;
}

using calendar::Civil;
using calendar::CivilFromDays;
using calendar::DaysFromCivil;
using calendar::DaysInMonth;
using calendar::IsLeapYear;

constexpr int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// 0 = Sunday; 1970-01-01 was a Thursday.
constexpr unsigned WeekdayOfDays(int64_t days) { return static_cast<unsigned>(((days % 7) + 7 + 4) % 7); }

// The start and end days of the rule in a year: week-based when the start week is not 0 (both
// ends then follow their week and weekday), else the fixed days. False when a week-based day is
// not found.
bool RuleDays(const DaylightRule& r, int year, uint32_t& startDay, uint32_t& endDay)
{
    if (r.startWeek != 0) {
        int s = 0, e = 0;
        if (NthWeekdayOfMonth(year, r.startMonth, r.startWeek, r.startWeekday, s) != 1 ||
            NthWeekdayOfMonth(year, r.endMonth, r.endWeek, r.endWeekday, e) != 1)
            return false;
        startDay = static_cast<uint32_t>(s);
        endDay = static_cast<uint32_t>(e);
    } else {
        startDay = r.startDay;
        endDay = r.endDay;
    }
    return true;
}

// The order compares keys of 30-day months (720 hours) while the period test below uses 31-day
// positions (744 hours); the DVR decides this way, and for the rules of the table the two never
// disagree.
int OrderOfDays(const DaylightRule& r, uint32_t startDay, uint32_t endDay)
{
    const uint32_t startKey = r.startMonth * 720u + startDay * 24u + r.startHour;
    const uint32_t endKey = (r.endMonth * 30u + endDay) * 24u + r.endHour;
    return startKey < endKey ? 1 : startKey > endKey ? 0 : 2;
}

// Whether local standard time (year, month, day, hour) lies in the daylight period. Positions
// count hours in 31-day months, so they only order; the end hour is daylight time, one hour later
// than the standard hour it ends at.
bool InDaylightPeriod(const DaylightRule& r, int year, uint32_t month, uint32_t day, uint32_t hour)
{
    uint32_t startDay = 0, endDay = 0;
    if (!RuleDays(r, year, startDay, endDay))
        return false;
    const int order = OrderOfDays(r, startDay, endDay);
    const uint32_t s = r.startMonth * 744u + startDay * 24u + r.startHour;
    const uint32_t e = (r.endMonth * 31u + endDay) * 24u + r.endHour - 1u;
    const uint32_t p = month * 744u + day * 24u + hour;
    if (order == 1)
        return s <= p && p < e;
    if (order == 0)
        return p < e || p >= s;
    return false;
}

uint16_t Clamp16(int v, int hi) { return static_cast<uint16_t>(v < 0 ? 0 : v > hi ? hi : v); }

} // namespace

const TimeZoneEntry* FindTimeZone(unsigned index)
{
    return index < static_cast<unsigned>(kTimeZoneCount) ? &kTimeZoneTable[index] : nullptr;
}

const char* TimeZoneNameAscii(unsigned index)
{
    // The table's names are ASCII; narrowed once, on first use (thread-safe static initialisation).
    static const auto names = [] {
        struct Names {
            char text[kTimeZoneCount][kTimeZoneNameLength];
        } n{};
        for (int z = 0; z < kTimeZoneCount; ++z)
            for (int i = 0; i < kTimeZoneNameLength - 1 && kTimeZoneTable[z].name[i]; ++i)
                n.text[z][i] = kTimeZoneTable[z].name[i] < 0x80 ? static_cast<char>(kTimeZoneTable[z].name[i]) : '?';
        return n;
    }();
    return index < static_cast<unsigned>(kTimeZoneCount) ? names.text[index] : "";
}

void SetTimeZoneBias(TimeZoneSettings& s, int32_t biasMinutes) { s.bias = ClampOffset(biasMinutes); }

void SetDaylightRule(TimeZoneSettings& s, const DaylightRule& rule, int32_t shiftMinutes)
{
    s.rule = rule;
    s.shift = ClampOffset(shiftMinutes);
}

void SetDaylightFlag(TimeZoneSettings& s, uint32_t flag) { s.daylight = flag != 0 ? 1 : 0; }

bool LoadTimeZone(TimeZoneSettings& s, unsigned zoneIndex, uint32_t daylightFlag)
{
    const TimeZoneEntry* zone = FindTimeZone(zoneIndex);
    SetTimeZoneBias(s, zone ? zone->bias : 0);
    SetDaylightRule(s, zone ? zone->rule : DaylightRule{}, kDaylightShiftMinutes);
    SetDaylightFlag(s, daylightFlag);
    return zone != nullptr;
}

bool IsCalendarTime(const RecordingTime& t)
{
    return t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
        t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
        t.second >= 0 && t.second <= 59;
}

int ConvertFrameTime(const TimeZoneSettings& s, const RecordingTime& utc, PictureTime& local, uint32_t& daylightMark)
{
    daylightMark = 0;
    if (!IsCalendarTime(utc)) {
        local = PictureTime{
            Clamp16(utc.year, 9999), Clamp16(utc.month, 99),  0, Clamp16(utc.day, 99), Clamp16(utc.hour, 99),
            Clamp16(utc.minute, 99), Clamp16(utc.second, 99), 0};
        return 0;
    }
    int64_t seconds =
        DaysFromCivil(utc.year, static_cast<unsigned>(utc.month), static_cast<unsigned>(utc.day)) * 86400 +
        utc.hour * 3600 + utc.minute * 60 + utc.second;
    seconds += static_cast<int64_t>(s.bias) * 60;

    int64_t days = FloorDiv(seconds, 86400);
    int64_t ofDay = seconds - days * 86400;
    Civil c = CivilFromDays(days);

    if (s.daylight != 0 && s.rule.startMonth != 0 &&
        InDaylightPeriod(s.rule, static_cast<int>(c.year), c.month, c.day, static_cast<uint32_t>(ofDay / 3600))) {
        seconds += static_cast<int64_t>(s.shift) * 60;
        days = FloorDiv(seconds, 86400);
        ofDay = seconds - days * 86400;
        c = CivilFromDays(days);
        daylightMark = 1;
    }

    local.year = static_cast<uint16_t>(c.year);
    local.month = static_cast<uint16_t>(c.month);
    local.dayOfWeek = static_cast<uint16_t>(WeekdayOfDays(days));
    local.day = static_cast<uint16_t>(c.day);
    local.hour = static_cast<uint16_t>(ofDay / 3600);
    local.minute = static_cast<uint16_t>(ofDay / 60 % 60);
    local.second = static_cast<uint16_t>(ofDay % 60);
    local.milliseconds = 0;
    return 1;
}

int64_t LocalSecondsOf(int64_t utcSeconds, unsigned zoneIndex, uint32_t daylightFlag)
{
    TimeZoneSettings s;
    LoadTimeZone(s, zoneIndex, daylightFlag);
    const int64_t days = FloorDiv(utcSeconds, 86400), ofDay = utcSeconds - days * 86400;
    const Civil c = CivilFromDays(days);
    const RecordingTime utc{static_cast<int>(c.year), static_cast<int>(c.month), static_cast<int>(c.day),
                            static_cast<int>(ofDay / 3600), static_cast<int>(ofDay / 60 % 60), static_cast<int>(ofDay % 60)};
    PictureTime local;
    uint32_t mark = 0;
    if (!ConvertFrameTime(s, utc, local, mark))
        return utcSeconds;
    return DaysFromCivil(local.year, local.month, local.day) * 86400 + local.hour * 3600 + local.minute * 60 +
        local.second;
}

int64_t UtcOfLocalSeconds(int64_t localSeconds, unsigned zoneIndex, uint32_t daylightFlag)
{
    const TimeZoneEntry* e = FindTimeZone(zoneIndex);
    const int64_t guess = localSeconds - (e ? e->bias * 60 : 0), shift = kDaylightShiftMinutes * 60;
    for (int64_t c : {guess - shift, guess})
        if (LocalSecondsOf(c, zoneIndex, daylightFlag) == localSeconds)
            return c;
    return guess - shift + (localSeconds - LocalSecondsOf(guess - shift, zoneIndex, daylightFlag));
}

int NthWeekdayOfMonth(int year, int month, int n, int weekday, int& day)
{
    day = 0;
    // Week-based rules are not applied up to 1970; beyond 9999 there is no calendar date either.
    if (year <= 1970 || year > 9999 || month <= 0 || month > 12 || n <= 0 || n > 5 || weekday < 0 || weekday > 6)
        return -1;
    const int first = 1 +
        static_cast<int>((static_cast<unsigned>(weekday) + 7u -
                          WeekdayOfDays(DaysFromCivil(year, static_cast<unsigned>(month), 1))) %
                         7u);
    const int last = DaysInMonth(year, month);
    int d = first + 7 * (n - 1);
    if (n == 5)
        while (d > last)
            d -= 7;
    if (d > last)
        return -1;
    day = d;
    return 1;
}

int DaylightOrder(const DaylightRule& rule, int year)
{
    uint32_t startDay = 0, endDay = 0;
    if (!RuleDays(rule, year, startDay, endDay))
        return 2;
    return OrderOfDays(rule, startDay, endDay);
}

RecordingTime RecordingTimeOf(const wire::VideoFrameHeader& h)
{
    auto s = [](uint8_t b) { return static_cast<int>(static_cast<int8_t>(b)); };
    return RecordingTime{s(h.year) + 2000, s(h.month), s(h.day), s(h.hour), s(h.minute), s(h.second)};
}

int ConvertFrameHeaderTime(const wire::VideoFrameHeader& h, PictureTime& local, uint32_t& daylightMark)
{
    TimeZoneSettings settings;
    LoadTimeZone(settings, h.zone, h.daylight);
    return ConvertFrameTime(settings, RecordingTimeOf(h), local, daylightMark);
}

} // namespace video
