#pragma once
// What hangs off the view besides its window: the connection controller and the parts it drives,
// each the real one or its stand-in, chosen here and nowhere else; and the audio hooks that join the
// view's own sound devices to the controller, the phone uplink and the decode threads.
#include <windows.h>
#include "BasicParts.h"
#include "ConnectionController.h"
#include "LiveLayout.h"
#include "Recorder.h"
#include <atomic>
#include <memory>

class CViewAudio;

namespace pipeline {
class IAudioTiming;
}

namespace view {

class CLiveVideo;

// The parts later pieces of the viewer fill in; null members get the stand-ins of BasicParts.h,
// unless `live` is set: then the view makes its own sound devices when `audio` is null, and its own
// video (display, decoder, frame queue and decode threads, as one part) when `decode`, `frames` and
// `display` are all null; pictures are timed against the view's own sound devices only. Each part
// given here must outlive the view window.
struct ViewPartsConfig {
    bool live = false;
    connection::IPanelHooks* panel = nullptr;
    connection::IAudioHooks* audio = nullptr;
    connection::IDecodeThreads* decode = nullptr;
    connection::IFrameSink* frames = nullptr;
    connection::IDisplayHooks* display = nullptr;
    connection::ILayout* layout = nullptr;
};

// The view's PTZ part, which sends the press waiting for the next qualifying stream block.
class IPendingPtz {
public:
    virtual ~IPendingPtz() = default;
    virtual void SendPendingPtz() = 0;
};

class ViewComponents final : private connection::IAudioHooks {
public:
    // `ownPanel`: the view's own panel, used unless the configuration names one. `ownPtz`: the
    // view's PTZ part, which then sends the pending press in place of the layout. `layoutHost`: the
    // view's display, buttons and settings, for the live layout logic used unless the
    // configuration names a layout; without it the all-channels stand-in.
    ViewComponents(const ViewPartsConfig& config, connection::ITransport& transport, connection::IViewWindow& window,
                   connection::IPanelHooks* ownPanel, IPendingPtz* ownPtz = nullptr,
                   connection::ILiveViewHost* layoutHost = nullptr);
    ~ViewComponents() override;
    ViewComponents(const ViewComponents&) = delete;
    ViewComponents& operator=(const ViewComponents&) = delete;

    connection::ConnectionController& Controller() { return *controller_; }
    const connection::ConnectionController& Controller() const { return *controller_; }
    const connection::ViewPorts& Ports() const { return ports_; }
    const connection::CountingFrameSink& FrameCounts() const { return counting_; }

    // The live layout logic; null when the configuration named a layout or no host was given.
    connection::LiveLayout* Layout() const { return liveLayout_.get(); }
    // The live parts; null unless made with ViewPartsConfig::live.
    CLiveVideo* Live() const { return live_.get(); }
    CViewAudio* Audio() const { return audio_.get(); }
    // What pictures wait for: the view's own sound devices, or nothing.
    pipeline::IAudioTiming* AudioTiming();

    // The recording of what the DVR sends: every stream block the controller stores goes to it as
    // well, and its writer thread posts WM_RECORDING to the window set here when it has news.
    record::Recorder& Recorder() { return *recorder_; }
    const record::Recorder& Recorder() const { return *recorder_; }
    void SetRecordingWindow(HWND window) { recordWindow_.store(window); }

    // The setup dialog's "Enable Audio" box and the panel's live-phone button, mirrored into the
    // values the decode threads read. SetPhoneButton is false when the switch could not be sent.
    void SetEnableAudio(bool on);
    bool EnableAudio() const { return enableAudio_; }
    bool SetPhoneButton(bool down);

private:
    struct AudioLinks;
    void MirrorAudioState();
    // connection::IAudioHooks, for the view's own sound devices.
    void StopPhoneCapture() override;
    void StopPlayback() override;
    void PhoneAnswer(bool allowed) override;

    // The decode threads and the controller feed the recorder: it is declared first and goes last.
    std::atomic<HWND> recordWindow_{nullptr}; // not ours
    std::unique_ptr<record::Recorder> recorder_;
    struct RecordingFrames;
    std::unique_ptr<RecordingFrames> recordingFrames_;
    // The decode threads use the sound devices, so live_ is declared after them and goes first.
    std::unique_ptr<AudioLinks> audioLinks_;
    std::unique_ptr<CViewAudio> audio_;
    std::unique_ptr<CLiveVideo> live_;
    bool enableAudio_ = true;
    bool phoneDown_ = false;

    connection::NoPanel noPanel_;
    connection::NoAudio noAudio_;
    connection::NoDecodeThreads noDecode_;
    connection::CountingFrameSink counting_;
    connection::NoDisplay noDisplay_;
    connection::AllChannelsLayout allChannels_;
    std::unique_ptr<connection::LiveLayout> liveLayout_;
    struct PtzLayout;
    std::unique_ptr<PtzLayout> ptzLayout_;
    connection::ViewPorts ports_;
    std::unique_ptr<connection::ConnectionController> controller_;
};

} // namespace view
