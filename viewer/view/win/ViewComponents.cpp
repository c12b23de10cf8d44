#include "ViewComponents.h"
#include "LiveVideo.h"
#include "ViewAudio.h"
#include "foundation/Messages.h"
#include <chrono>

namespace view {

// What the sound devices need from the view (the live-phone uplink's sending) and what the decode
// threads need from the sound devices (the audio clock, the receive path).
struct ViewComponents::AudioLinks final : audio::IPhoneTransport, pipeline::IAudioTiming {
    AudioLinks(ViewComponents& c, connection::ITransport& t) : components(c), transport(t) {}
    bool SendCommand(uint16_t code, const void* payload, size_t length) override
    {
        return components.controller_->SendCommand(code, static_cast<const uint8_t*>(payload), length);
    }
    bool SendStream(const void* data, size_t length) override
    {
        return transport.SendStream(static_cast<const uint8_t*>(data), length);
    }
    int64_t AudioNowMs() override { return components.audio_->AudioNowMs(); }
    bool PlayRecord(const uint8_t* record, size_t size) override
    {
        return components.audio_->Receiver().OnAudioRecord(record, size);
    }
    ViewComponents& components;
    connection::ITransport& transport;
};

// The layout in use, with the pending PTZ press sent by the view's PTZ part.
struct ViewComponents::PtzLayout final : connection::ILayout {
    PtzLayout(connection::ILayout& l, IPendingPtz& p) : layout(l), ptz(p) {}
    void RestoreAfterLogin(connection::ConnectionController& c) override { layout.RestoreAfterLogin(c); }
    void AfterLoginAccepted(connection::ConnectionController& c) override { layout.AfterLoginAccepted(c); }
    void ResetAfterUserTeardown(connection::ConnectionController& c) override { layout.ResetAfterUserTeardown(c); }
    uint32_t ShownChannelMask() const override { return layout.ShownChannelMask(); }
    void SendPendingPtz(connection::ConnectionController&) override { ptz.SendPendingPtz(); }
    connection::ILayout& layout;
    IPendingPtz& ptz;
};

// The frame sink in use, with every block also handed to the recorder (which takes it only while it
// records, and only the channels asked for).
struct ViewComponents::RecordingFrames final : connection::IFrameSink {
    RecordingFrames(connection::IFrameSink& f, record::Recorder& r) : frames(f), recorder(r) {}
    static int64_t NowMs()
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }
    void StoreVideo(int channel, const uint8_t* data, size_t length) override
    {
        if (recorder.Active())
            recorder.PushBlock(channel, data, length, NowMs());
        frames.StoreVideo(channel, data, length);
    }
    void StoreAudio(const uint8_t* data, size_t length) override
    {
        if (recorder.Active())
            recorder.PushBlock(-1, data, length, NowMs());
        frames.StoreAudio(data, length);
    }
    void MarkWritePositionsForReset() override { frames.MarkWritePositionsForReset(); }
    void ClearSlots() override { frames.ClearSlots(); }
    connection::IFrameSink& frames;
    record::Recorder& recorder;
};

ViewComponents::ViewComponents(const ViewPartsConfig& config, connection::ITransport& transport,
                               connection::IViewWindow& window, connection::IPanelHooks* ownPanel, IPendingPtz* ownPtz,
                               connection::ILiveViewHost* layoutHost)
{
    recorder_ = std::make_unique<record::Recorder>([this] {
        // The writer thread: a post, never a wait on the user-interface thread.
        if (HWND w = recordWindow_.load())
            PostMessageW(w, WM_RECORDING, 0, 0);
    });
    if (config.live) {
        audioLinks_ = std::make_unique<AudioLinks>(*this, transport);
        if (!config.audio)
            audio_ = std::make_unique<CViewAudio>(*audioLinks_);
        if (!config.decode && !config.frames && !config.display)
            live_ = std::make_unique<CLiveVideo>();
    }
    auto pick = [](auto* given, auto* own, auto* standIn) { return given ? given : own ? own : standIn; };
    ports_.transport = &transport;
    ports_.window = &window;
    ports_.panel = pick(config.panel, ownPanel, static_cast<connection::IPanelHooks*>(&noPanel_));
    ports_.audio = pick(config.audio, audio_ ? static_cast<connection::IAudioHooks*>(this) : nullptr,
                        static_cast<connection::IAudioHooks*>(&noAudio_));
    ports_.decode = pick(config.decode, static_cast<connection::IDecodeThreads*>(live_.get()),
                         static_cast<connection::IDecodeThreads*>(&noDecode_));
    ports_.frames = pick(config.frames, static_cast<connection::IFrameSink*>(live_.get()),
                         static_cast<connection::IFrameSink*>(&counting_));
    recordingFrames_ = std::make_unique<RecordingFrames>(*ports_.frames, *recorder_);
    ports_.frames = recordingFrames_.get();
    if (live_)
        live_->SetRecorder(recorder_.get());
    ports_.display = pick(config.display, static_cast<connection::IDisplayHooks*>(live_.get()),
                          static_cast<connection::IDisplayHooks*>(&noDisplay_));
    if (!config.layout && layoutHost)
        liveLayout_ = std::make_unique<connection::LiveLayout>(*layoutHost);
    ports_.layout = pick(config.layout, static_cast<connection::ILayout*>(liveLayout_.get()), &allChannels_);
    if (ownPtz) {
        ptzLayout_ = std::make_unique<PtzLayout>(*ports_.layout, *ownPtz);
        ports_.layout = ptzLayout_.get();
    }
    controller_ = std::make_unique<connection::ConnectionController>(ports_);
    controller_->SetChannelRequestObserver([this](uint32_t mask) {
        recorder_->SetChannels(mask);
        if (HWND w = recordWindow_.load())
            PostMessageW(w, WM_RECORDING, 0, 0); // the REC marks follow the channels asked for
    });
}

ViewComponents::~ViewComponents() = default;

pipeline::IAudioTiming* ViewComponents::AudioTiming() { return audio_ ? audioLinks_.get() : nullptr; }

void ViewComponents::SetEnableAudio(bool on)
{
    enableAudio_ = on;
    MirrorAudioState();
}

bool ViewComponents::SetPhoneButton(bool down)
{
    phoneDown_ = down;
    noPanel_.phoneDown = down; // the stand-in panel remembers the button for the teardown
    MirrorAudioState();
    if (!audio_ || audio_->SetPhoneButton(down))
        return true;
    // The switch did not reach the DVR: the button goes back up.
    if (down) {
        audio_->StopPhoneCapture();
        phoneDown_ = noPanel_.phoneDown = false;
        MirrorAudioState();
    }
    return false;
}

void ViewComponents::MirrorAudioState()
{
    if (audio_)
        audio_->SetAudioEnabled(enableAudio_);
    if (live_)
        live_->SetAudioSync(enableAudio_, phoneDown_);
}

void ViewComponents::StopPhoneCapture()
{
    audio_->StopPhoneCapture();
    phoneDown_ = noPanel_.phoneDown = false;
    MirrorAudioState();
}

void ViewComponents::StopPlayback() { audio_->StopPlayback(); }

void ViewComponents::PhoneAnswer(bool allowed) { audio_->PhoneAnswer(allowed); }

} // namespace view
