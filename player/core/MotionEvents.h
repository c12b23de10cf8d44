#pragma once
// The search's motion events: a camera's per-second motion levels for a day (the store's 86400
// levels, 255 where none was recorded) turned into stretches of motion. A second counts when its
// level reaches the threshold; seconds that count and lie at most kJoinQuietS quiet seconds apart
// are one event (a person crossing the picture rarely moves every single second). Neutral.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace player {

constexpr int kJoinQuietS = 2;

struct MotionEvent {
    int camera = 0; // 0..15
    int64_t startMs = 0; // DVR UTC ms of the event's first second
    int64_t lengthMs = 0; // from its first second to the end of its last one
    uint8_t peak = 0; // the highest level inside, 1..100
};

// The sensitivity the person sets (1 least .. 100 most) to the level a second must reach.
inline int ThresholdOf(int sensitivity)
{
    return sensitivity < 1 ? 100 : sensitivity > 100 ? 1 : 101 - sensitivity;
}

// The events of one camera's day. levels: at most `seconds` are read (a UTC day; a local day has 23
// or 25 hours at a daylight change, at most kMaxDaySeconds); a level above 100 (not one the store
// writes) counts as nothing recorded. threshold: 1..100 (clamped). In time order.
constexpr size_t kMaxDaySeconds = 25 * 3600;
std::vector<MotionEvent> FindMotionEvents(int camera, int64_t dayStartMs, const std::vector<uint8_t>& levels,
                                          int threshold, size_t seconds = 86400);

// Several cameras' events in one list: by start, then camera.
void SortEvents(std::vector<MotionEvent>& events);

} // namespace player
