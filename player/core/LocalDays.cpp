#include "LocalDays.h"
#include "TimeAxis.h"
#include "TimeZoneConvert.h"
#include <algorithm>

namespace player {

namespace {

constexpr int64_t kDayMs = 86400000;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

uint32_t DayOfCalendar(const Calendar& c)
{
    return c.year < 1 || c.year > 9999 ? 0 : static_cast<uint32_t>(c.year * 10000 + c.month * 100 + c.day);
}

} // namespace

bool IsDay(uint32_t day)
{
    const int year = static_cast<int>(day / 10000), month = static_cast<int>(day / 100 % 100),
              d = static_cast<int>(day % 100);
    return year >= 1 && year <= 9999 && d >= 1 && d <= DaysInMonth(year, month);
}

uint32_t NextDay(uint32_t day)
{
    return IsDay(day) ? DayOfCalendar(CalendarOf(DayStartMs(day) + kDayMs)) : 0;
}

uint32_t UtcDayOf(int64_t utcMs) { return DayOfCalendar(CalendarOf(utcMs)); }

uint32_t LocalDayOf(int64_t utcMs, DvrZone zone)
{
    return UtcDayOf(video::LocalSecondsOf(FloorDiv(utcMs, 1000), zone.zone, zone.daylight) * 1000);
}

DayRange LocalDayRange(uint32_t day, DvrZone zone)
{
    if (!IsDay(day))
        return {};
    auto start = [&](uint32_t d) {
        return video::UtcOfLocalSeconds(DayStartMs(d) / 1000, zone.zone, zone.daylight) * 1000;
    };
    DayRange r{start(day), 0};
    const uint32_t next = NextDay(day);
    r.endMs = next ? start(next) : r.startMs + kDayMs;
    if (r.endMs <= r.startMs)
        r.endMs = r.startMs + kDayMs;
    return r;
}

std::vector<uint32_t> StoreDaysOf(DayRange range)
{
    std::vector<uint32_t> days;
    if (range.endMs <= range.startMs)
        return days;
    const uint32_t last = UtcDayOf(range.endMs - 1);
    // A local day touches at most three UTC days (a zone up to a day away, a 25-hour day).
    for (uint32_t d = UtcDayOf(range.startMs); d && days.size() < 4; d = NextDay(d)) {
        days.push_back(d);
        if (d == last)
            break;
    }
    return days;
}

void LocalCalendar::Clear()
{
    byStoreDay_.clear();
    days_.clear();
    read_ = false;
}

bool LocalCalendar::Refresh(const store::Catalogue& site, DvrZone zone)
{
    const std::vector<uint32_t> days = site.Days();
    if (!read_ || zone.zone != zone_.zone || zone.daylight != zone_.daylight)
        byStoreDay_.clear();
    // The latest day read before may have grown since, up to its end: it is read once more.
    const uint32_t again = byStoreDay_.empty() ? 0 : byStoreDay_.rbegin()->first;
    read_ = true;
    zone_ = zone;
    for (auto at = byStoreDay_.begin(); at != byStoreDay_.end();)
        at = std::binary_search(days.begin(), days.end(), at->first) ? std::next(at) : byStoreDay_.erase(at);
    for (uint32_t day : days) {
        if (!IsDay(day) || (byStoreDay_.count(day) && day < again))
            continue;
        std::set<uint32_t>& marks = byStoreDay_[day];
        marks.clear();
        const int64_t from = DayStartMs(day), to = from + kDayMs - 1;
        for (int cam : site.Cameras(day))
            for (const store::Span& s : site.Spans(cam, day)) {
                // The stretch as far as it lies in its day (the files' times are not trusted).
                const int64_t a = std::max(s.startMs, from), b = std::min(s.endMs, to);
                if (a > b)
                    continue;
                const uint32_t last = LocalDayOf(b, zone);
                for (uint32_t d = LocalDayOf(a, zone), n = 0; d && n < 4; d = NextDay(d), ++n) {
                    marks.insert(d);
                    if (d == last)
                        break;
                }
            }
    }
    std::set<uint32_t> now;
    for (const auto& [day, marks] : byStoreDay_)
        now.insert(marks.begin(), marks.end());
    const bool changed = now != days_;
    days_ = std::move(now);
    return changed;
}

} // namespace player
