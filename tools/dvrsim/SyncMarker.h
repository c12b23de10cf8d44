#pragma once
// The lip-sync marker (--sync-marker CAMERA): that camera's loop starts with an all-white picture,
// and the audio gets a click at the same instant. The video producer announces the time stamp of
// the next white picture one frame ahead; the audio producer puts the click at that instant of
// the record whose 16 ms hold it.
#include <atomic>
#include <cstdint>

namespace dvrsim {

inline std::atomic<int> g_syncCamera{0}; // 1 to 16; 0: no marker
inline std::atomic<uint64_t> g_syncNextMicros{0}; // Unix µs of the next white picture; 0: none

} // namespace dvrsim
