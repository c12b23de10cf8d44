#pragma once
// Hands out one channel's frames round and round from its encoded loop, each with a fresh 64-byte
// header: channel, picture type, size, interlaced bit, time stamp, sequence number, recording date
// and time in universal time, time-zone index, daylight flag and total length. Faults on demand:
// lost frames (sequence gaps), repeated frames, and a size change that alternates between two
// loops at intra pictures.
#include "VideoLoop.h"
#include <cstdint>
#include <vector>

namespace dvrsim {

struct VideoFaults {
    int loseEvery = 0; // every n-th frame is never sent: its sequence number is skipped
    int repeatEvery = 0; // every n-th frame is sent twice with the same sequence number
    int sizeChangeAfter = 0; // after this many frames, switch to the other loop at its start
    int badTimeEvery = 0; // every n-th frame's microseconds are 1,000,000 or more (no time)
    int clockAhead = 0; // seconds the video clock runs ahead of the audio clock
};

struct SentVideoFrame {
    uint32_t sequence = 0;
    bool intra = false;
    bool repeated = false;
    int lostBefore = 0; // frames skipped just before this one
    int sourceIndex = 0;
    const VideoLoop* loop = nullptr;
};

class VideoChannelStream {
public:
    // The loops stay the caller's. alternate may be null (no size change).
    VideoChannelStream(int channel, const VideoLoop* primary, const VideoLoop* alternate = nullptr,
                       VideoFaults faults = {}, uint8_t zone = 31, uint8_t daylight = 0);

    // The next frame (header and VOP) into out, stamped with unixMicros. False when there is no loop.
    bool Next(uint64_t unixMicros, std::vector<uint8_t>& out, SentVideoFrame* info = nullptr);
    // The time between frames of the loop being sent, in microseconds.
    uint64_t FrameMicros() const;
    const VideoLoop* Current() const { return current_; }

private:
    int channel_;
    const VideoLoop* primary_;
    const VideoLoop* alternate_;
    const VideoLoop* current_;
    VideoFaults faults_;
    uint8_t zone_;
    uint8_t daylight_;
    size_t position_ = 0;
    uint32_t sequence_ = 0;
    uint64_t handedOut_ = 0; // frames taken from loops, lost ones included
    uint64_t sinceSwitch_ = 0;
    std::vector<uint8_t> last_;
    SentVideoFrame lastInfo_;
    bool repeatPending_ = false;
};

// Year, month, day, hour, minute, second of a time in universal time.
void CivilFromUnix(uint64_t unixSeconds, int& year, int& month, int& day, int& hour, int& minute, int& second);

} // namespace dvrsim
