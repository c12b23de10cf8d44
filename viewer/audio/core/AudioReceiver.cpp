#include "AudioReceiver.h"
#include <cstring>

namespace audio {

AudioClock CAudioReceiver::Clock() const
{
    const uint64_t v = clock_.load(std::memory_order_acquire);
    return AudioClock{static_cast<uint32_t>(v >> 32), static_cast<uint32_t>(v)};
}

void CAudioReceiver::ResetSequence()
{
    lastSequence_ = 0;
    pending_ = false;
    trim_.Reset();
    writtenEnd_.store(0, std::memory_order_release);
}

bool CAudioReceiver::OnAudioRecord(const void* data, size_t size)
{
    AudioRecord r;
    if (!ParseAudioRecord(data, size, r))
        return false;
    if (!phoneDown_.load(std::memory_order_relaxed)) {
        if (!enabled_.load(std::memory_order_relaxed))
            return false;
        // Microseconds of a million or more are no time: the clock keeps the last one.
        if (r.microseconds < 1000000)
            clock_.store((static_cast<uint64_t>(r.seconds) << 32) | (r.microseconds / 1000), std::memory_order_release);
        const unsigned selected = selected_.load(std::memory_order_relaxed);
        if (r.channelMask & (1u << selected))
            PlayChannel(r, selected);
    } else if (r.statedLength > kTalkBackOffset) {
        PlayTalkBack(r);
    }
    return true;
}

void CAudioReceiver::PlayChannel(const AudioRecord& r, unsigned channel)
{
    const uint8_t* coded = r.ChannelBlock(channel);
    uint8_t block[kBlockBytes];
    if (!coded || !coding_.DecodeChannel(channel, coded, block))
        return;
    const uint32_t queued = main_ ? main_->QueuedBytes() : 0;
    const bool behind = queued > kMaxQueuedBytes;
    if (behind)
        pending_ = false; // skipped with the rest
    const unsigned repeats = RepeatCount(r.sequence, lastSequence_);
    if (pending_ && repeats) {
        // A gap follows the block left out: it is played as it was, and the repeats after it.
        main_->Write(previous_, kBlockBytes);
        pending_ = false;
    }
    if (repeats) {
        SoftenBlock(previous_, previous_, kBlockBytes);
        for (unsigned i = 0; i < repeats && main_ && !behind; ++i)
            main_->Write(previous_, kBlockBytes);
        SoftenBlock(previous_, block, kBlockBytes);
    }
    bool written = false;
    if (behind) {
        skipped_.fetch_add(1, std::memory_order_relaxed);
    } else if (pending_) {
        uint8_t merged[kBlockBytes];
        MergeBlocks(previous_, block, merged, kBlockBytes);
        written = main_->Write(merged, kBlockBytes) == 0;
        pending_ = false;
        trimmed_.fetch_add(1, std::memory_order_relaxed);
    } else if (main_ && trim_.Trim(queued) && trimOn_.load(std::memory_order_relaxed)) {
        pending_ = true;
    } else if (main_) {
        written = main_->Write(block, kBlockBytes) == 0;
    }
    if (written && r.microseconds < 1000000)
        writtenEnd_.store(int64_t(r.seconds) * 1000 + r.microseconds / 1000 + kBlockMs, std::memory_order_release);
    std::memcpy(previous_, block, kBlockBytes);
    lastSequence_ = r.sequence;
}

void CAudioReceiver::PlayTalkBack(const AudioRecord& r)
{
    const uint8_t* coded = r.TalkBackBlock();
    if (!coded || !coding_.DecodeTalkBack(coded, previousTalkBack_))
        return;
    if (phone_) {
        for (unsigned i = RepeatCount(r.sequence, lastSequence_); i > 0; --i)
            phone_->Write(previousTalkBack_, kBlockBytes);
        phone_->Write(previousTalkBack_, kBlockBytes);
    }
    lastSequence_ = r.sequence;
}

} // namespace audio
