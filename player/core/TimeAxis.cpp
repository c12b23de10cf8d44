#include "TimeAxis.h"
#include <algorithm>
#include <cmath>

namespace player {

int64_t DayStartMs(uint32_t yyyymmdd)
{
    int64_t y = yyyymmdd / 10000;
    const int64_t m = yyyymmdd / 100 % 100, d = yyyymmdd % 100;
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return (era * 146097 + doe - 719468) * 86400000LL;
}

Calendar CalendarOf(int64_t utcMs)
{
    const int64_t secs = utcMs >= 0 ? utcMs / 1000 : (utcMs - 999) / 1000;
    int64_t days = secs >= 0 ? secs / 86400 : (secs - 86399) / 86400;
    const int64_t rest = secs - days * 86400;
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    Calendar c;
    c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    c.year = static_cast<int>(yoe + era * 400 + (c.month <= 2 ? 1 : 0));
    c.hour = static_cast<int>(rest / 3600);
    c.minute = static_cast<int>(rest / 60 % 60);
    c.second = static_cast<int>(rest % 60);
    return c;
}

int WeekdayOf(uint32_t yyyymmdd)
{
    const int64_t days = DayStartMs(yyyymmdd) / 86400000; // exact: a day starts on a whole day
    return static_cast<int>(((days + 3) % 7 + 7) % 7); // 1970-01-01 was a Thursday
}

int DaysInMonth(int year, int month)
{
    if (month < 1 || month > 12)
        return 0;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

void TimeAxis::Show(int64_t startMs, int64_t spanMs)
{
    start_ = startMs;
    span_ = std::clamp(spanMs, kAxisMinSpanMs, kAxisMaxSpanMs);
}

double TimeAxis::XOf(int64_t ms) const
{
    return static_cast<double>(ms - start_) * width_ / static_cast<double>(span_);
}

int64_t TimeAxis::MsAt(double x) const
{
    return start_ + static_cast<int64_t>(std::llround(x * static_cast<double>(span_) / width_));
}

bool TimeAxis::Zoom(double x, int notches)
{
    if (notches == 0)
        return false;
    const int64_t at = MsAt(x);
    const double factor = std::pow(0.8, std::clamp(notches, -20, 20));
    const int64_t span =
        std::clamp(static_cast<int64_t>(std::llround(span_ * factor)), kAxisMinSpanMs, kAxisMaxSpanMs);
    if (span == span_)
        return false;
    span_ = span;
    // The time that was under x is under x again.
    start_ = at - static_cast<int64_t>(std::llround(x * static_cast<double>(span_) / width_));
    return true;
}

bool TimeAxis::KeepInSight(int64_t ms)
{
    if (ms >= start_ && ms <= EndMs())
        return false;
    const int64_t margin = span_ / 10;
    start_ = ms < start_ ? ms - margin : ms - span_ + margin;
    return true;
}

} // namespace player
