#pragma once
// What a decode thread does with a frame from its slot: video frames are held against the audio
// clock, decoded, time-stamped in the DVR's local time and handed to the display; audio records go
// to the audio receive path. Neutral: the display and the audio timing come in as interfaces, so the
// whole pipeline runs natively with the real decoder and a recording display.
#include "FrameQueue.h"
#include "LatencyHistogram.h"
#include "Mp4DecoderManager.h"
#include "TimeZoneConvert.h"
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include "ReadWriteLock.h"
#include <shared_mutex>

namespace pipeline {

// The display manager, as the decode threads use it. `bgr` is width x height 24-bit top-down rows.
class IPictureDisplay {
public:
    virtual void ShowPicture(int channel, int width, int height, const uint8_t* bgr,
                             const video::PictureTime& time) = 0;
    // A 1 x 1 black picture without a time for each of the first `channels` channels.
    virtual void BlankChannels(int channels) = 0;
    // Each decoded picture before it is shown, with the frame's UTC seconds (the view's motion
    // marks while it records). On the decode thread of the channel.
    virtual void PictureDecoded(int, int, int, const uint8_t*, uint32_t) {}

protected:
    ~IPictureDisplay() = default;
};

// The audio side as the video threads see it.
class IAudioTiming {
public:
    // Milliseconds of the audio clock less the audio still queued for playback: the "now" of audio.
    virtual int64_t AudioNowMs() = 0;
    // Plays one received audio record; true when something was played.
    virtual bool PlayRecord(const uint8_t* record, size_t size) = 0;

protected:
    ~IAudioTiming() = default;
};

// Told (from a decode thread) when a picture was decoded while the picture watchdog ran. The view
// posts itself a message: decode threads never call window functions that wait on the UI thread.
class IPictureWatchdog {
public:
    virtual void PictureArrived() = 0;

protected:
    ~IPictureWatchdog() = default;
};

class CFramePipeline final : public IFrameConsumer {
public:
    // How long audio may be silent before pictures stop waiting for it.
    static constexpr std::chrono::milliseconds kAudioSilence{500};
    // How far a picture may run ahead of the audio being heard and still wait for it, and how long
    // it waits at most. The receive path keeps at most 640 ms of sound queued, so a picture further
    // ahead than this is not explained by the audio queue: the DVR's clocks disagree (a clock set
    // forward, a corrupt header) and the picture is shown at once. Lip sync resumes by itself as
    // soon as the two clocks agree again, whichever way either of them jumped.
    static constexpr std::chrono::milliseconds kMaxAudioLead{1000};

    CFramePipeline(video::CMp4DecoderManager& decoder, IPictureDisplay& display, IAudioTiming* audio,
                   IPictureWatchdog* watchdog)
        : decoder_(decoder), display_(display), audio_(audio), watchdog_(watchdog)
    {}

    // Mirrors of the view's state, written by the user-interface thread.
    void SetAudioSync(bool enableAudioTicked, bool phoneOn) { sync_.store(enableAudioTicked && !phoneOn); }
    void SetWatchdogRunning(bool running) { watchdogRunning_.store(running); }
    void SetKeepPictures(bool keep) { keepPictures_.store(keep); }
    void SetChannelCount(int channels) { channels_.store(channels); }
    // Optional: each shown picture records the wall clock less its header's send time. Not ours;
    // it must outlive the decode threads (or be cleared before they run again).
    void SetLatencyStats(CLatencyHistogram* stats) { stats_.store(stats); }
    // Optional: each picture shown while pictures wait for the audio records the audio clock at that
    // moment less the picture's time, plus kSyncBiasMicros (the histogram counts from zero). Not
    // ours; the same lifetime as the latency histogram.
    static constexpr int64_t kSyncBiasMicros = 5000000;
    void SetSyncStats(CLatencyHistogram* stats) { syncStats_.store(stats); }

    // From now on no decode thread reaches the display, the audio, the watchdog or the statistics
    // (they belong to the view, which may go before a late thread ends). Waits for a call to them
    // that is under way; those calls never wait for the user-interface thread.
    void CutOff();

    SlotResult ProcessVideo(int thread, uint8_t* frame, size_t size) override;
    SlotResult ProcessAudio(uint8_t* record, size_t size) override;
    void BlankAll() override;
    bool KeepPicturesOnScreen() override { return keepPictures_.load(); }
    std::chrono::milliseconds DueIn(int thread) override;

    // Figures for the view and the benchmarks.
    uint64_t PicturesShown() const { return shown_.load(); }
    uint64_t FramesDropped() const { return dropped_.load(); }

private:
    bool HeldByAudio(int thread, const wire::VideoFrameHeader& h);

    video::CMp4DecoderManager& decoder_;
    IPictureDisplay& display_; // not ours
    IAudioTiming* audio_; // not ours; may be null (no sound devices)
    IPictureWatchdog* watchdog_; // not ours; may be null
    std::atomic<bool> sync_{true};
    std::atomic<bool> watchdogRunning_{false};
    std::atomic<bool> keepPictures_{false};
    std::atomic<int> channels_{0};
    std::atomic<int64_t> lastAudioPlayed_{INT64_MIN / 2}; // steady clock, milliseconds
    std::atomic<uint64_t> shown_{0};
    std::atomic<uint64_t> dropped_{0};
    std::atomic<CLatencyHistogram*> stats_{nullptr};
    std::atomic<CLatencyHistogram*> syncStats_{nullptr};
    video::ReadWriteLock outputs_; // shared around every use of display_, audio_, watchdog_, stats_
    bool cutOff_ = false; // guarded by outputs_
    // Steady-clock milliseconds at which each video thread began holding the picture it retries;
    // 0 when it holds none. Each entry belongs to its thread.
    int64_t holdingSince_[kAudioThread] = {};
    // How far ahead of the audio each video thread's held picture was when last offered (ms).
    int64_t heldLead_[kAudioThread] = {};
};

// Stops the decode threads of one login within the queue's stop bound and frees its frame path.
// When every thread ended in time, queue and pipeline are freed, `freed` runs, the decoder stays the
// caller's (a quiet reconnect decodes on with it) and the result is true. A thread that misses the
// bound (stuck in the decoder, say) is not waited for: the pipeline is cut off, and queue, pipeline
// and decoder go to a thread of their own that frees them once the late thread has ended, then runs
// `freed` (which may keep alive what the decoder uses); the three pointers are then empty.
bool StopDecodeThreads(std::unique_ptr<CFrameQueue>& queue, std::unique_ptr<CFramePipeline>& pipe,
                       std::unique_ptr<video::CMp4DecoderManager>& decoder, std::function<void()> freed = {});

} // namespace pipeline
