#pragma once
// The timeline's axis: which stretch of DVR time its width shows. The wheel zooms around the time
// under the pointer (from 24 hours down to 1 minute across the width), a drag at an edge pans, and
// the play head is kept in sight. Neutral; the timeline window draws with it.
#include <cstdint>

namespace player {

constexpr int64_t kAxisMinSpanMs = 60 * 1000;
constexpr int64_t kAxisMaxSpanMs = 24 * 3600 * 1000LL;

// A UTC day of the store (yyyymmdd) to its first millisecond, and UTC ms to the calendar. The
// store's days and the timeline's labels use them; proleptic Gregorian, any sign.
int64_t DayStartMs(uint32_t yyyymmdd);
struct Calendar {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
Calendar CalendarOf(int64_t utcMs);
// The month calendar's arithmetic: the weekday of a day (0 Monday .. 6 Sunday) and the days of a
// month (0 for a month outside 1..12).
int WeekdayOf(uint32_t yyyymmdd);
int DaysInMonth(int year, int month);

class TimeAxis {
public:
    // width: pixels of the lanes (at least 1 is used).
    void SetWidth(int width) { width_ = width < 1 ? 1 : width; }
    int Width() const { return width_; }
    // The span is clamped to 1 min..24 h.
    void Show(int64_t startMs, int64_t spanMs);
    int64_t StartMs() const { return start_; }
    int64_t SpanMs() const { return span_; }
    int64_t EndMs() const { return start_ + span_; }

    // Pixel of a time (may lie outside 0..width) and time at a pixel.
    double XOf(int64_t ms) const;
    int64_t MsAt(double x) const;

    // notches > 0 zooms in (the span shrinks by a fifth a notch), < 0 out; the time under x stays
    // under x. False when the span is already at its bound that way.
    bool Zoom(double x, int notches);
    void Pan(int64_t deltaMs) { start_ += deltaMs; }
    // Moves the window so that ms lies inside it, a tenth of the width in from the edge it left by.
    // False when it was in sight already.
    bool KeepInSight(int64_t ms);

private:
    int width_ = 1;
    int64_t start_ = 0;
    int64_t span_ = 3600 * 1000;
};

} // namespace player
