#pragma once
#include <cstdint>

namespace video {

// The time a division shows: year, month, day of week (0 = Sunday), day, hour, minute, second,
// milliseconds, 16 bits each.
struct PictureTime {
    uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
};
static_assert(sizeof(PictureTime) == 16, "picture time: eight 16-bit values");

} // namespace video
