#pragma once
// The view's audio: the two players (DVR channel, live-phone talk-back), the microphone capture, the
// coder set, the receive path that the audio decode thread calls and the live-phone uplink that the
// user-interface thread drives. The view forwards its buttons, the DVR's command 100 and
// WM_AUDIO_CAPTURED here, and mirrors "Enable Audio" with SetAudioEnabled.
#include "AudioCapture.h"
#include "AudioCoderSet.h"
#include "AudioPlayer.h"
#include "AudioReceiver.h"
#include "CoderSetCoding.h"
#include "PhoneUplink.h"
#include "ViewParts.h"

class CViewAudio final : public connection::IAudioHooks, private audio::IPhoneDevices {
public:
    static constexpr int kFirstChannelButton = 64; // 64-67: audio channels 1-4
    static constexpr int kPhoneButton = 97;

    explicit CViewAudio(audio::IPhoneTransport& transport);
    ~CViewAudio();
    CViewAudio(const CViewAudio&) = delete;
    CViewAudio& operator=(const CViewAudio&) = delete;

    // Start-up: six coders, the phone player, the main player, the capture. A device that cannot
    // be opened stays silent; the first failure is returned.
    HRESULT Open(HWND view);
    void Close();

    // Decode thread.
    audio::CAudioReceiver& Receiver() { return receiver_; }
    // Milliseconds of the audio clock minus what is still buffered: the "now" of audio.
    int64_t AudioNowMs();
    // What the main player holds, in bytes (-1 when it does not play), for the figures.
    long MainQueuedBytes() { return main_.IsPlaying() ? static_cast<long>(main_.QueuedBytes()) : -1; }

    // User-interface thread.
    void SelectChannel(int buttonId);
    unsigned SelectedChannel() const { return receiver_.SelectedChannel(); }
    // False when command 100 could not be sent: the view then handles the connection loss.
    bool SetPhoneButton(bool down);
    void OnPhoneReply(int32_t value) { uplink_.OnDvrAnswer(value); }
    void OnCaptured(bool connected) { uplink_.OnCaptured(connected); }
    // True when the phone button was down (the view shows it released and disabled).
    bool OnDisconnected();
    void SetAudioEnabled(bool on) { receiver_.SetAudioEnabled(on); }

    // connection::IAudioHooks: what a teardown does to the audio.
    void StopPhoneCapture() override { OnDisconnected(); }
    void StopPlayback() override { main_.Reset(); }
    void PhoneAnswer(bool allowed) override { OnPhoneReply(allowed ? 1 : 2); }

    CAudioPlayer& MainPlayer() { return main_; }
    CAudioPlayer& PhonePlayer() { return phone_; }
    CAudioCapture& Capture() { return capture_; }
    const audio::CPhoneUplink& Uplink() const { return uplink_; }

private:
    bool ReadCaptured(void* out, size_t length) override;
    void StartCapture() override;
    void StopCapture() override;
    void ResetPhonePlayer() override;
    bool PerformanceCounter(int64_t& counter, int64_t& frequency) override;

    CAudioCoderSet coders_;
    audio::CCoderSetCoding coding_{coders_};
    CAudioPlayer main_;
    CAudioPlayer phone_;
    CAudioCapture capture_;
    audio::CAudioReceiver receiver_{coding_, &main_, &phone_};
    audio::CPhoneUplink uplink_;
};
