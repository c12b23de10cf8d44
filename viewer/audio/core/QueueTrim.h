#pragma once
// Keeps a live stream's playback queue near its target. The player starts at its threshold, but a
// burst from the network leaves it holding more for good (it plays no faster than the DVR sends),
// and every picture waits for the audio being heard. Once a window of blocks has gone by, what the
// queue held at its lowest above the low-water mark is surplus: that many blocks are left out, one
// at a time and spaced apart, each merged with the block after it so the sound has no step.
#include <cstddef>
#include <cstdint>

namespace audio {

class CQueueTrim {
public:
    CQueueTrim(uint32_t lowWaterBytes, uint32_t windowBlocks, uint32_t spacingBlocks, uint32_t blockBytes)
        : lowWater_(lowWaterBytes), window_(windowBlocks), spacing_(spacingBlocks), blockBytes_(blockBytes)
    {
        Reset();
    }

    // Called for each block about to be written, with what the player holds. True: merge this
    // block into the next one instead of writing it.
    bool Trim(uint32_t queuedBytes);
    void Reset();
    uint32_t Surplus() const { return surplus_; }

private:
    uint32_t lowWater_, window_, spacing_, blockBytes_;
    uint32_t seen_ = 0; // blocks in the current window
    uint32_t lowest_ = 0; // the queue's lowest in the current window
    uint32_t surplus_ = 0; // blocks still to leave out
    uint32_t sinceTrim_ = 0; // blocks written since the last one left out
};

// Two consecutive blocks of 16-bit little-endian samples squeezed into one (`length` bytes each):
// a linear cross-fade that starts on a's first sample and ends on b's last, so both joins are
// continuous.
void MergeBlocks(const uint8_t* a, const uint8_t* b, uint8_t* out, size_t length);

} // namespace audio
