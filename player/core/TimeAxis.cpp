#include "TimeAxis.h"
#include <algorithm>
#include <cmath>

namespace player {

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
