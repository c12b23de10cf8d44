#pragma once
// The DVR's local days. The store files its recordings by the UTC day of the DVR's clock, while a
// person thinks in the days of the DVR's own clock (the one its pictures show): a recording at
// 23:30 on the 3rd belongs to the 3rd wherever the DVR stands. These map one to the other for the
// DVR's zone index and daylight flag (as its records carry them; 255: no zone, UTC). A local day
// lasts 23 or 25 hours at a daylight change. Neutral.
#include "Catalogue.h"
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace player {

struct DvrZone {
    uint8_t zone = 255; // index into the DVR's zone table; 255 (or any index past it): UTC
    uint8_t daylight = 0; // the DVR's daylight-saving flag
};

// The UTC day (yyyymmdd) of a UTC ms.
uint32_t UtcDayOf(int64_t utcMs);
// The DVR's local day (yyyymmdd) of a UTC ms.
uint32_t LocalDayOf(int64_t utcMs, DvrZone zone);
// A local day from its local 00:00 to the next day's 00:00, in UTC ms. A local midnight that falls
// in a spring gap starts the day at the change; at an autumn change the earlier of two midnights.
struct DayRange {
    int64_t startMs = 0, endMs = 0;
};
DayRange LocalDayRange(uint32_t day, DvrZone zone);
// The store's days (UTC, ascending) that hold some of a stretch of UTC ms.
std::vector<uint32_t> StoreDaysOf(DayRange range);
// The days before and after (yyyymmdd; 0 for a day that is not one).
uint32_t NextDay(uint32_t day);
bool IsDay(uint32_t day);

// The local days that hold recordings of a site's cameras, for the month calendar. Each recorded
// stretch marks every local day it touches. The store's days before its latest no longer change and
// are read once; the latest is read at every Refresh, so a store being written adds its new days.
class LocalCalendar {
public:
    // Reads the store again (a zone other than the last one's reads everything). True when the
    // marked days changed.
    bool Refresh(const store::Catalogue& site, DvrZone zone);
    const std::set<uint32_t>& Days() const { return days_; }
    void Clear();

private:
    std::map<uint32_t, std::set<uint32_t>> byStoreDay_; // the local days each store day marks
    std::set<uint32_t> days_;
    DvrZone zone_{};
    bool read_ = false;
};

} // namespace player
