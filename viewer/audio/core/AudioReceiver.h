#pragma once
// The receive path of DVR audio, called by the audio decode thread for every audio record: picks
// the selected channel's block, fills sequence gaps with softened repeats, keeps the audio clock the
// video threads time against, and in live phone plays the DVR's talk-back instead.
//
// The thread never asks a window for anything: the view mirrors the "Enable Audio" box, the live-phone
// button and the channel choice into the atomics below.
#include "AudioCoding.h"
#include "AudioOutput.h"
#include "AudioRecord.h"
#include "QueueTrim.h"
#include <atomic>
#include <cstdint>

namespace audio {

struct AudioClock {
    uint32_t seconds = 0;
    uint32_t milliseconds = 0;
};

class CAudioReceiver {
public:
    // The most audio the main player may hold. A burst from the network would otherwise stay in the
    // player for good, and every picture waits for the audio clock: with a second of sound queued a
    // channel's 30 frame slots fill before its pictures are due. Blocks that arrive while more than
    // this waits are skipped (twice the player's 20-block start threshold: 640 ms).
    static constexpr uint32_t kMaxQueuedBytes = 40 * kBlockBytes;
    // Below the cap, the queue is trimmed back towards this low-water mark: the lowest it held over
    // half a second of blocks (32) above the mark is left out, at most one block in four (16 ms of
    // sound merged into the next block). The start threshold of 20 blocks less 4 of jitter: a
    // steady network then keeps about the threshold queued, where a burst, or a sound device that
    // fell behind under load, used to leave 30 to 40 for good.
    static constexpr uint32_t kQueueLowWaterBytes = 16 * kBlockBytes;
    static constexpr uint32_t kTrimWindowBlocks = 32;
    static constexpr uint32_t kTrimSpacingBlocks = 2;

    CAudioReceiver(IAudioCoding& coding, IAudioOutput* mainPlayer, IAudioOutput* phonePlayer)
        : coding_(coding), main_(mainPlayer), phone_(phonePlayer)
    {}

    // User-interface side.
    void SetSelectedChannel(unsigned channel) { selected_.store(channel & 3u, std::memory_order_relaxed); }
    unsigned SelectedChannel() const { return selected_.load(std::memory_order_relaxed); }
    // False while the setup dialog is open with "Enable Audio" unticked.
    void SetAudioEnabled(bool on) { enabled_.store(on, std::memory_order_relaxed); }
    // Off: the queue is left as it grows, up to the cap (for comparisons).
    void SetQueueTrim(bool on) { trimOn_.store(on, std::memory_order_relaxed); }
    void SetPhoneDown(bool down) { phoneDown_.store(down, std::memory_order_relaxed); }
    bool PhoneDown() const { return phoneDown_.load(std::memory_order_relaxed); }

    // Decode-thread side. Returns false when the record was not audio or was dropped whole.
    bool OnAudioRecord(const void* data, size_t size);
    void ResetSequence();
    uint32_t LastSequence() const { return lastSequence_; }
    AudioClock Clock() const;
    // Unix milliseconds at which the audio last written to the main player ends (the record's time
    // plus its 16 ms), 0 before any: less what the player still holds, the instant being heard.
    // Unlike the clock it does not move for a block left out (skipped at the cap, or held back to
    // be merged), so that the instant stays right while the queue is trimmed.
    int64_t WrittenEndMs() const { return writtenEnd_.load(std::memory_order_acquire); }
    // Blocks skipped because the main player held too much (for the figures).
    uint64_t BlocksSkipped() const { return skipped_.load(std::memory_order_relaxed); }
    // Blocks merged into the next to bring the queue back towards its low-water mark.
    uint64_t BlocksTrimmed() const { return trimmed_.load(std::memory_order_relaxed); }

private:
    void PlayChannel(const AudioRecord& r, unsigned channel);
    void PlayTalkBack(const AudioRecord& r);

    IAudioCoding& coding_;
    IAudioOutput* main_; // not ours
    IAudioOutput* phone_; // not ours
    std::atomic<unsigned> selected_{0};
    std::atomic<bool> enabled_{true};
    std::atomic<bool> phoneDown_{false};
    std::atomic<bool> trimOn_{true};
    std::atomic<uint64_t> clock_{0}; // seconds << 32 | milliseconds, read by the video threads
    std::atomic<int64_t> writtenEnd_{0};
    uint32_t lastSequence_ = 0; // decode thread only
    std::atomic<uint64_t> skipped_{0};
    std::atomic<uint64_t> trimmed_{0};
    CQueueTrim trim_{kQueueLowWaterBytes, kTrimWindowBlocks, kTrimSpacingBlocks, kBlockBytes};
    bool pending_ = false; // previous_ was left out and waits to be merged into the next block
    uint8_t previous_[kBlockBytes] = {};
    uint8_t previousTalkBack_[kBlockBytes] = {};
};

} // namespace audio
