#include "FramePipeline.h"
#include "wire/StreamFrame.h"
#include <mutex>
#include <system_error>
#include <thread>

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

void CFramePipeline::CutOff()
{
    std::unique_lock<video::ReadWriteLock> l(outputs_);
    cutOff_ = true;
}

void CFramePipeline::BlankAll()
{
    std::shared_lock<video::ReadWriteLock> l(outputs_);
    if (!cutOff_)
        display_.BlankChannels(channels_.load());
}

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
    int64_t audioNow;
    {
        std::shared_lock<video::ReadWriteLock> l(outputs_);
        if (cutOff_)
            return false;
        audioNow = audio_->AudioNowMs();
    }
    const int64_t lead = videoMs - audioNow;
    if (lead <= 0 || lead > kMaxAudioLead.count())
        return false;
    // A picture the audio clock does not reach (a clock that stands still while records flow) is
    // still shown once it has waited as long as any lead the audio queue explains.
    int64_t& since = holdingSince_[thread];
    if (since == 0)
        since = now;
    heldLead_[thread] = lead;
    return now - since <= kMaxAudioLead.count();
}

std::chrono::milliseconds CFramePipeline::DueIn(int thread)
{
    if (thread < 0 || thread >= kAudioThread)
        return std::chrono::milliseconds::max();
    return std::chrono::milliseconds(heldLead_[thread]);
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
    if (watchdogRunning_.exchange(false) && watchdog_) {
        std::shared_lock<video::ReadWriteLock> l(outputs_);
        if (!cutOff_)
            watchdog_->PictureArrived();
    }

    const uint32_t field = h.ChannelBits();
    if (field < 16 || h.total > kSlotSize || h.total > size) {
        ++dropped_;
        return SlotResult::Dropped;
    }
    const int ch = static_cast<int>(field - 16);
    frame[3] = static_cast<uint8_t>((frame[3] & ~0x1F) | ch); // the decoder reads the bare channel
    h.word0 = wire::LoadLE32(frame);

    video::DecodedPicture picture{};
    if (decoder_.DecodeFrame(h, frame, size, &picture, ch) == 0) {
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
        std::shared_lock<video::ReadWriteLock> l(outputs_);
        if (cutOff_)
            return SlotResult::Dropped;
        display_.PictureDecoded(ch, w, hgt, static_cast<const uint8_t*>(picture.plane[0]), h.seconds);
        display_.ShowPicture(ch, w, hgt, static_cast<const uint8_t*>(picture.plane[0]), local);
        ++shown_;
        if (CLatencyHistogram* stats = stats_.load())
            stats->Record(UnixMicros() - (static_cast<int64_t>(h.seconds) * 1000000 + h.microseconds));
        CLatencyHistogram* sync = syncStats_.load();
        if (sync && audio_ && sync_.load() && SteadyMs() - lastAudioPlayed_.load() <= kAudioSilence.count()) {
            const int64_t videoMs = static_cast<int64_t>(h.seconds) * 1000 + h.microseconds / 1000;
            sync->Record((audio_->AudioNowMs() - videoMs) * 1000 + kSyncBiasMicros);
        }
    }
    return SlotResult::Consumed;
}

SlotResult CFramePipeline::ProcessAudio(uint8_t* record, size_t size)
{
    std::shared_lock<video::ReadWriteLock> l(outputs_);
    if (!cutOff_ && audio_ && audio_->PlayRecord(record, size))
        lastAudioPlayed_.store(SteadyMs());
    return SlotResult::Consumed;
}

namespace {
// What a late decode thread still uses, freed in this order once it has ended: the queue (whose
// destructor waits for the thread), the pipeline, the decoder.
struct LateRun {
    std::unique_ptr<video::CMp4DecoderManager> decoder;
    std::unique_ptr<CFramePipeline> pipe;
    std::unique_ptr<CFrameQueue> queue;
    std::function<void()> freed;
};
} // namespace

bool StopDecodeThreads(std::unique_ptr<CFrameQueue>& queue, std::unique_ptr<CFramePipeline>& pipe,
                       std::unique_ptr<video::CMp4DecoderManager>& decoder, std::function<void()> freed)
{
    if (!queue || queue->Stop()) {
        queue.reset();
        pipe.reset();
        if (freed)
            freed();
        return true;
    }
    if (pipe)
        pipe->CutOff();
    auto* late = new LateRun{std::move(decoder), std::move(pipe), std::move(queue), std::move(freed)};
    try {
        std::thread([late] {
            std::function<void()> done = std::move(late->freed);
            delete late;
            if (done)
                done();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to wait on: the run stays allocated rather than be waited for here.
    }
    return false;
}

} // namespace pipeline
