#pragma once
// The view's live video: the display window in the skin's display rectangle, the decoder manager
// made at the login reply and kept across quiet reconnects, the frame slot pool with its seventeen
// decode threads, and the decode threads'
// work (audio hold, decode, local time, display). Plugs into the connection controller as its
// decode threads, frame sink and display hooks.
#include <windows.h>
#include "DisplayManager.h"
#include "FramePipeline.h"
#include "ConnectionController.h"
#include "LiveRequests.h"
#include "ViewParts.h"
#include "PostMessageNotify.h"
#include "XvidLibrary.h"
#include "Recorder.h"
#include "StoreWriter.h"
#include <array>
#include <atomic>
#include <memory>

namespace view {

class CLiveVideo final : public connection::IDecodeThreads,
                         public connection::IFrameSink,
                         public connection::IDisplayHooks,
                         private pipeline::IPictureDisplay,
                         private pipeline::IPictureWatchdog {
public:
    CLiveVideo();
    ~CLiveVideo() override;
    CLiveVideo(const CLiveVideo&) = delete;
    CLiveVideo& operator=(const CLiveVideo&) = delete;

    // After the view window exists: creates the display in `area` with layout 4. The controller
    // supplies the channel count at login; `audio` (may be null) is what pictures wait for.
    bool Attach(HWND view, const RECT& area, const connection::ConnectionController* controller,
                pipeline::IAudioTiming* audio);
    void Detach();

    video::DisplayManager& Display() { return display_; }
    // The layout's display mode and page; kept and shown again when the decode threads start.
    void ShowPage(int displayMode, const connection::Page& page);
    const pipeline::CFramePipeline* Pipeline() const { return pipe_.get(); }
    // Mirrors of the view's "Enable Audio" box and phone button.
    void SetAudioSync(bool enableAudio, bool phoneOn);
    uint64_t PicturesShown() const { return pipe_ ? pipe_->PicturesShown() : 0; }
    // Frames the slot pool refused (a full ring, since the view started) and frames the pipeline
    // dropped (since the last login).
    uint64_t FramesDropped() const { return refused_.load() + (pipe_ ? pipe_->FramesDropped() : 0); }
    // The first of the two: frames the slot pool refused because its ring was full.
    uint64_t FramesRefusedFull() const { return refusedFull_.load(); }
    // Where each shown picture's display latency goes, from the next login on, and each stored
    // frame's arrival latency (wall clock at store less the header's send time). Null: nowhere. Not ours.
    // `sync`: the audio clock less the picture's time at display (see CFramePipeline::SetSyncStats).
    void SetLatencyStats(pipeline::CLatencyHistogram* display, pipeline::CLatencyHistogram* arrival,
                         pipeline::CLatencyHistogram* sync = nullptr)
    {
        latency_ = display;
        arrival_ = arrival;
        sync_ = sync;
    }

    // Where the motion levels of decoded pictures go while it records. Not ours; outlives the threads.
    void SetRecorder(record::Recorder* recorder) { recorder_ = recorder; }

    // The decode threads' poll timing, from the next login on.
    void SetQueueTiming(const pipeline::CFrameQueue::Timing& timing) { timing_ = timing; }

    // connection::IDecodeThreads
    bool Start() override;
    void Stop() override;
    bool Running() const override;
    void SetPictureWatchdog(bool running) override;
    void MakeDecoder(int channels) override;
    void FreeDecoder() override;
    // The decoder manager, for the tests; null when none is made. And how many were made.
    const video::CMp4DecoderManager* Decoder() const { return decoder_.get(); }
    int DecodersMade() const { return decodersMade_; }
    // The NTSC mark the decoder manager holds; -1 when none is made.
    int NtscMark() const { return decoder_ ? decoder_->NtscMark() : -1; }
    // What the setup dialog shows of the decoder: a channel's resolution class (0 without a
    // decoder) and the video standard (NTSC until a decoder says otherwise).
    int ResolutionClass(int channel) const { return decoder_ ? decoder_->GetResolutionClass(channel) : 0; }
    bool Ntsc() const { return NtscMark() != 0; }
    // connection::IFrameSink
    void StoreVideo(int channel, const uint8_t* data, size_t length) override;
    void StoreAudio(const uint8_t* data, size_t length) override;
    void MarkWritePositionsForReset() override {}
    void ClearSlots() override {}
    // connection::IDisplayHooks
    void Reset() override;
    void RefreshEmpty() override;
    // Byte 6 of the login reply: the NTSC mark of the decoder manager (set now when the manager
    // exists, else as soon as one is made).
    void SetDecoderOption(int option) override;
    // While set, the last pictures stay on screen (the view reconnects).
    void SetConnectionDropped(bool dropped) override;

private:
    void ShowPicture(int channel, int width, int height, const uint8_t* bgr, const video::PictureTime& time) override;
    void BlankChannels(int channels) override;
    void PictureDecoded(int channel, int width, int height, const uint8_t* bgr, uint32_t utcSeconds) override;
    void PictureArrived() override;

    HWND view_ = nullptr; // not ours
    const connection::ConnectionController* controller_ = nullptr; // not ours
    pipeline::IAudioTiming* audio_ = nullptr; // not ours
    video::DisplayManager display_;
    // Shared with the frame path: a decode thread that outlives the stop bound keeps them.
    std::shared_ptr<video::XvidLibrary> xvid_ = std::make_shared<video::XvidLibrary>();
    bool xvidMissingLogged_ = false;
    bool storedAny_ = false;
    std::unique_ptr<video::CMp4DecoderManager> decoder_;
    std::unique_ptr<pipeline::CFramePipeline> pipe_;
    std::unique_ptr<pipeline::CFrameQueue> queue_;
    int decoderOption_ = 0;
    int decodersMade_ = 0;
    int pageMode_ = -1; // no page yet: the smallest mode that shows every channel
    connection::Page page_;
    bool audioSync_ = true, phoneOn_ = false, dropped_ = false, watchdog_ = false;
    std::shared_ptr<video::CPostMessageNotify> notify_; // posts 1223 to the view
    pipeline::CFrameQueue::Timing timing_;
    std::atomic<uint64_t> refused_{0};
    std::atomic<uint64_t> refusedFull_{0};
    pipeline::CLatencyHistogram* latency_ = nullptr; // not ours
    pipeline::CLatencyHistogram* arrival_ = nullptr; // not ours
    pipeline::CLatencyHistogram* sync_ = nullptr; // not ours
    record::Recorder* recorder_ = nullptr; // not ours
    // One per camera, each used by the decode thread of its channel only.
    std::array<store::MotionMeter, 16> meters_;
    // A meter takes a picture of its camera at most every kMotionEveryMs: the level of a second
    // needs a few differences, not every picture's (a D1 picture costs the meter milliseconds).
    static constexpr int64_t kMotionEveryMs = 200;
    std::array<int64_t, 16> meteredAtMs_{};
};

} // namespace view
