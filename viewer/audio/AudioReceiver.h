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
#include <atomic>
#include <cstdint>

namespace audio {

struct AudioClock {
    uint32_t seconds = 0;
    uint32_t milliseconds = 0;
};

class CAudioReceiver {
public:
    CAudioReceiver(IAudioCoding& coding, IAudioOutput* mainPlayer, IAudioOutput* phonePlayer)
        : coding_(coding), main_(mainPlayer), phone_(phonePlayer)
    {
    }

    // User-interface side.
    void SetSelectedChannel(unsigned channel) { selected_.store(channel & 3u, std::memory_order_relaxed); }
    unsigned SelectedChannel() const { return selected_.load(std::memory_order_relaxed); }
    // False while the setup dialog is open with "Enable Audio" unticked.
    void SetAudioEnabled(bool on) { enabled_.store(on, std::memory_order_relaxed); }
    void SetPhoneDown(bool down) { phoneDown_.store(down, std::memory_order_relaxed); }
    bool PhoneDown() const { return phoneDown_.load(std::memory_order_relaxed); }

    // Decode-thread side. Returns false when the record was not audio or was dropped whole.
    bool OnAudioRecord(const void* data, size_t size);
    void ResetSequence() { lastSequence_ = 0; }
    uint32_t LastSequence() const { return lastSequence_; }
    AudioClock Clock() const;

private:
    void PlayChannel(const AudioRecord& r, unsigned channel);
    void PlayTalkBack(const AudioRecord& r);

    IAudioCoding& coding_;
    IAudioOutput* main_;  // not ours
    IAudioOutput* phone_; // not ours
    std::atomic<unsigned> selected_{0};
    std::atomic<bool> enabled_{true};
    std::atomic<bool> phoneDown_{false};
    std::atomic<uint64_t> clock_{0}; // seconds << 32 | milliseconds, read by the video threads
    uint32_t lastSequence_ = 0;      // decode thread only
    uint8_t previous_[kBlockBytes] = {};
    uint8_t previousTalkBack_[kBlockBytes] = {};
};

} // namespace audio
