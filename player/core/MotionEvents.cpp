#include "MotionEvents.h"
#include <algorithm>

namespace player {

std::vector<MotionEvent> FindMotionEvents(int camera, int64_t dayStartMs, const std::vector<uint8_t>& levels,
                                          int threshold, size_t seconds)
{
    threshold = std::clamp(threshold, 1, 100);
    std::vector<MotionEvent> events;
    const size_t n = std::min({levels.size(), seconds, kMaxDaySeconds});
    int64_t lastS = -1; // the latest second that counted, in the open event
    for (size_t s = 0; s < n; ++s) {
        const uint8_t level = levels[s];
        if (level > 100 || level < threshold)
            continue;
        const int64_t second = static_cast<int64_t>(s);
        if (lastS >= 0 && second - lastS - 1 <= kJoinQuietS) {
            MotionEvent& e = events.back();
            e.lengthMs = dayStartMs + (second + 1) * 1000 - e.startMs;
            e.peak = std::max(e.peak, level);
        } else {
            events.push_back(MotionEvent{camera, dayStartMs + second * 1000, 1000, level});
        }
        lastS = second;
    }
    return events;
}

void SortEvents(std::vector<MotionEvent>& events)
{
    std::stable_sort(events.begin(), events.end(), [](const MotionEvent& a, const MotionEvent& b) {
        return a.startMs != b.startMs ? a.startMs < b.startMs : a.camera < b.camera;
    });
}

} // namespace player
