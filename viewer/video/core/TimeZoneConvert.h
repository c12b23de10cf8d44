#pragma once
// A video frame's recording time comes in universal time with the index of the DVR's time zone
// and the DVR's daylight-saving flag. This converts it to the DVR's local time with the DVR's own
// zone table, so that each division's clock shows what the DVR shows.
//
// Neutral code, no process-wide state: every caller owns its TimeZoneSettings (one per decode
// thread, or one per call), so threads converting frames of different DVRs never share a record.
#include "wire/StreamFrame.h"
#include <cstdint>

namespace video {

constexpr int kTimeZoneCount = 85;
constexpr int kTimeZoneNameLength = 60;
constexpr int32_t kDaylightShiftMinutes = 60;

// Month 1-12 (start month 0: the zone keeps no daylight saving); week 1-4 = n-th, 5 = last
// occurrence of the weekday (0 = Sunday), week 0 = the fixed day of the month. The start hour is
// in local standard time, the end hour in local daylight time.
struct DaylightRule {
    uint16_t startMonth, startWeek, startWeekday, startDay, startHour;
    uint16_t endMonth, endWeek, endWeekday, endDay, endHour;
};

struct TimeZoneEntry {
    char16_t name[kTimeZoneNameLength]; // zero-terminated display name
    int32_t bias; // minutes added to universal time to give local standard time
    DaylightRule rule;
};
static_assert(sizeof(TimeZoneEntry) == 144, "the zone table's entries are 144 bytes");

extern const TimeZoneEntry kTimeZoneTable[kTimeZoneCount];

// The entry at a frame's zone index, or nullptr when the DVR sends an index past the table.
const TimeZoneEntry* FindTimeZone(unsigned index);

// The ASCII display name of a zone (the names hold nothing else); empty past the table.
const char* TimeZoneNameAscii(unsigned index);

// A recording time as the frame header carries it, in universal time.
struct RecordingTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The time a division shows: year, month, day of week (0 = Sunday), day, hour, minute, second,
// milliseconds, 16 bits each.
struct PictureTime {
    uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
};
static_assert(sizeof(PictureTime) == 16, "picture time: eight 16-bit values");

// The zone settings a conversion uses. A caller-owned value: build it with the three setting
// operations (in this order, as the decode thread does per frame) or with LoadTimeZone.
struct TimeZoneSettings {
    int32_t bias = 0;
    DaylightRule rule{};
    int32_t shift = 0;
    uint32_t daylight = 0;
};

// Bias and shift are limited to a day either way: anything larger is not a time zone, and the
// limit keeps every converted year within the picture time's 16 bits.
void SetTimeZoneBias(TimeZoneSettings& s, int32_t biasMinutes);
void SetDaylightRule(TimeZoneSettings& s, const DaylightRule& rule, int32_t shiftMinutes);
void SetDaylightFlag(TimeZoneSettings& s, uint32_t flag); // non-zero = 1

// The three setting operations for a frame's zone index and daylight flag. An index past the
// table gives bias 0 and no daylight rule, so such a frame shows its universal time unconverted
// (no zone to convert to is better than a guessed one); returns false in that case.
bool LoadTimeZone(TimeZoneSettings& s, unsigned zoneIndex, uint32_t daylightFlag);

// True when the fields name a real Gregorian date and time of day (years 1-9999, seconds 0-59).
bool IsCalendarTime(const RecordingTime& t);

// Converts with the given settings. Returns 1 with the local time, its day of the week and the
// daylight mark (1 when the daylight hour was added). Returns 0 when the recording time is not a
// calendar date (month 0, day 32, hour 25...): the DVR's fields are then shown as they came,
// unconverted (each kept within 0-9999 for the year and 0-99 for the others, day of week 0),
// daylight mark 0, rather than a converted time invented from impossible figures.
int ConvertFrameTime(const TimeZoneSettings& s, const RecordingTime& utc, PictureTime& local, uint32_t& daylightMark);

// Seconds since 1970 of the DVR's local clock fields of a UTC second, for the zone index and
// daylight flag a record carries (an index past the table: the UTC second itself).
int64_t LocalSecondsOf(int64_t utcSeconds, unsigned zoneIndex, uint32_t daylightFlag);
// The UTC second of a DVR local time (seconds since 1970 of its fields): the first second whose
// local time matches (at the autumn change the earlier one), or in the spring gap the first second
// after it.
int64_t UtcOfLocalSeconds(int64_t localSeconds, unsigned zoneIndex, uint32_t daylightFlag);

// 1 and the day of the month of the n-th given weekday (n = 5: the last one), or -1 when the
// arguments are invalid (years up to 1970 included) or no such day exists; day is then 0.
int NthWeekdayOfMonth(int year, int month, int n, int weekday, int& day);

// 1 when the daylight period starts before it ends within the year (northern hemisphere), 0 when
// it ends first (southern hemisphere), 2 when the two are equal or a week-based day is not found.
int DaylightOrder(const DaylightRule& rule, int year);

// The recording time of a video frame header: bytes 48..53 are signed (year - 2000 may be negative).
RecordingTime RecordingTimeOf(const wire::VideoFrameHeader& h);

// What the decode thread does for each picture: the three setting operations for the header's zone
// and flag, then the conversion. Returns what ConvertFrameTime returns.
int ConvertFrameHeaderTime(const wire::VideoFrameHeader& h, PictureTime& local, uint32_t& daylightMark);

} // namespace video
