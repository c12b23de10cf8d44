#include "FramePipeline.h"
#include "wire/StreamFrame.h"

namespace pipeline {

namespace {
int64_t SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t UnixMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}
} // namespace

bool CFramePipeline::HeldByAudio(int thread, const wire::VideoFrameHeader& h)
{
    if (!audio_ || !sync_.load() || thread < 0 || thread >= kAudioThread)
        return false;
    // Microseconds of a million or more are no time: nothing to wait for.
    if (h.microseconds >= 1000000)
        return false;
    const int64_t now = SteadyMs();
    // Pictures wait for the audio being heard only while audio flows: a DVR that sends no audio,
    // or stops sending it, must not freeze the video.
    if (now - lastAudioPlayed_.load() > kAudioSilence.count())
        return false;
    const int64_t videoMs = static_cast<int64_t>(h.seconds) * 1000 + h.microseconds / 1000;
    const int64_t lead = videoMs - audio_->AudioNowMs();
    if (lead <= 0 || lead > kMaxAudioLead.count())
        return false;
    // A picture the audio clock does not reach (a clock that stands still while records flow) is
    // still shown once it has waited as long as any lead the audio queue explains.
    int64_t& since = holdingSince_[thread];
    if (since == 0)
        since = now;
    return now - since <= kMaxAudioLead.count();
}

SlotResult CFramePipeline::ProcessVideo(int thread, uint8_t* frame, size_t size)
{
    wire::VideoFrameHeader h;
    if (!wire::ParseVideoFrameHeader(frame, size, h)) {
        ++dropped_;
        return SlotResult::Dropped;
    }
    if (HeldByAudio(thread, h))
        return SlotResult::NotYet;
    if (thread >= 0 && thread < kAudioThread)
        holdingSince_[thread] = 0;
    if (watchdogRunning_.exchange(false) && watchdog_)
        watchdog_->PictureArrived();

    const uint32_t field = h.ChannelBits();
    if (field < 16 || h.total > kSlotSize || h.total > size) {
        ++dropped_;
        return SlotResult::Dropped;
    }
    const int ch = static_cast<int>(field - 16);
    frame[3] = static_cast<uint8_t>((frame[3] & ~0x1F) | ch); // the decoder reads the bare channel

    video::DecodedPicture picture{};
    if (decoder_.DecodeFrame(frame, size, &picture, ch) == 0) {
        ++dropped_;
        return SlotResult::Dropped;
    }
    video::PictureTime local;
    uint32_t daylightMark = 0;
    video::ConvertFrameHeaderTime(h, local, daylightMark);

    const int w = h.Width(), hgt = h.Height();
    int madeW = 0, madeH = 0;
    // The picture is handed on only when the decoder's buffer was made for exactly the size the
    // header states: the display reads width x height x 3 bytes from it.
    if (w <= 0 || hgt <= 0 || w > video::kMaxPictureWidth || hgt > video::kMaxPictureHeight ||
        !decoder_.ChannelSize(ch, madeW, madeH) || madeW != w || madeH != hgt) {
        ++dropped_;
        return SlotResult::Dropped;
    }
    if (picture.plane[0]) {
        display_.ShowPicture(ch, w, hgt, static_cast<const uint8_t*>(picture.plane[0]), local);
        ++shown_;
        if (CLatencyHistogram* stats = stats_.load())
            stats->Record(UnixMicros() - (static_cast<int64_t>(h.seconds) * 1000000 + h.microseconds));
    }
    return SlotResult::Consumed;
}

SlotResult CFramePipeline::ProcessAudio(uint8_t* record, size_t size)
{
    if (audio_ && audio_->PlayRecord(record, size))
        lastAudioPlayed_.store(SteadyMs());
    return SlotResult::Consumed;
}

} // namespace pipeline
