#pragma once
// The playback view: a site's recordings on the viewer's own display, through the viewer's own
// decoding path (decoder manager, frame pipeline with its time conversion, display manager). It
// owns the display window and the decoder, opens 1, 4, 9 or 16 cameras of a site with the
// player's core (Playback) and shows what each step hands out. The player control and the search
// control each hold one; the owner drives it from its user-interface thread (a timer calls Tick).
// The site's sound plays at 1x only, through the viewer's receive path and sound player; any other
// step (a seek, a pause, another speed) silences what was queued.
#include <windows.h>
#include "AudioCoderSet.h"
#include "AudioPlayer.h"
#include "AudioReceiver.h"
#include "CameraWork.h"
#include "CoderSetCoding.h"
#include "DisplayManager.h"
#include "ExportSource.h"
#include "FramePipeline.h"
#include "Playback.h"
#include "XvidLibrary.h"
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace player {

class CPlaybackView final : private pipeline::IPictureDisplay {
public:
    using StatusFn = std::function<void(const std::wstring&)>;

    CPlaybackView();
    ~CPlaybackView();
    CPlaybackView(const CPlaybackView&) = delete;
    CPlaybackView& operator=(const CPlaybackView&) = delete;

    // The display window, a child of `parent` at `area`, shown with black divisions. withSound:
    // false for a view that never plays sound (a still of a moment): no sound device is opened.
    bool Create(HWND parent, const RECT& area, bool withSound = true);
    void Move(const RECT& area);
    // Lines for the person's status list: damaged segments passed over, a decoder missing.
    void SetStatus(StatusFn status) { status_ = std::move(status); }

    // The site's cameras (1, 4, 9 or 16 distinct channels 0..15) in divisions, the head at dvrMs,
    // paused. False (with a status line) when the store cannot be read; the view is then empty.
    bool Open(const std::string& siteFolder, const std::vector<int>& cameras, int64_t dvrMs);
    // The same from an export (it must outlive the view's playing of it): cameras it does not hold
    // stay black; the sound is the chosen audio channel's camera's.
    bool Open(const ExportSet& set, const std::vector<int>& cameras, int64_t dvrMs);
    void Close();
    // Nothing open: `count` black divisions (1, 4, 9 or 16) with their titles.
    void ShowEmpty(size_t count);
    bool IsOpen() const { return playback_ != nullptr; }
    Playback* Core() { return playback_.get(); }

    // The transport: each shows what its step hands out. nowMs: the PC's steady clock.
    void Tick(int64_t nowMs);
    void Seek(int64_t dvrMs);
    void Play();
    void Pause();
    void StepForward();
    void StepBackKey();
    void Jump(int64_t deltaMs);
    bool SetSpeed(int quarters);

    int64_t HeadMs() const { return playback_ ? playback_->HeadMs() : 0; }
    // The DVR's time zone and daylight flag of the latest picture shown (the timeline's clock).
    uint8_t Zone() const { return zone_; }
    uint8_t Daylight() const { return daylight_; }
    bool Waiting() const { return waiting_; }
    // Sound records handed to the receive path since the view was made (for the tests).
    uint64_t SoundRecords() const { return soundRecords_; }
    // Which of the DVR's four audio channels plays (0..3): in an export, the sound of cameras 1 to
    // 4. Kept across openings.
    void SetAudioChannel(int channel);
    int AudioChannel() const { return audioChannel_; }
    uint64_t PicturesShown() const { return shown_.load(); }
    // Threads beside the caller's that decode the cameras of one step (default: the machine's
    // cores less one, at most three; 0: all on the caller's thread).
    void SetCameraThreads(unsigned helpers) { work_ = std::make_unique<CameraWork>(helpers); }
    // Pictures that playing decoded but never showed: a camera's run that one tick handed out in
    // more than one picture (the view fell behind its cameras).
    uint64_t PicturesPassed() const { return passed_.load(); }
    video::DisplayManager& Display() { return display_; }

private:
    bool Start(std::unique_ptr<Playback> playback, const std::string& error, const std::vector<int>& cameras,
               int64_t dvrMs);
    void Apply(Due due, bool playing = false);
    bool DecodeOnly(int camera, std::vector<uint8_t>& block);
    void ShowPicture(int channel, int width, int height, const uint8_t* bgr, const video::PictureTime& time) override;
    void BlankChannels(int channels) override;
    void BlankChannel(int channel);
    void Status(const std::wstring& line);
    void Silence();

    video::DisplayManager display_;
    video::XvidLibrary xvid_;
    std::unique_ptr<video::CMp4DecoderManager> decoder_;
    std::unique_ptr<pipeline::CFramePipeline> pipe_;
    std::unique_ptr<Playback> playback_;
    std::unique_ptr<CameraWork> work_; // the cameras' pictures of one step decoded side by side
    StatusFn status_;
    bool xvidMissingTold_ = false;
    bool waiting_ = false;
    uint8_t zone_ = 255, daylight_ = 0;
    std::atomic<uint64_t> shown_{0}, passed_{0}; // counted by the cameras' threads
    // The sound: the viewer's coders, its receive path and its main player.
    CAudioCoderSet coders_;
    audio::CCoderSetCoding coding_{coders_};
    CAudioPlayer sound_;
    audio::CAudioReceiver receiver_{coding_, &sound_, nullptr};
    bool soundOpen_ = false;
    uint64_t soundRecords_ = 0;
    int audioChannel_ = 0;
};

// The keys of video players, for the player and the search alike: K plays and pauses (Orvex's
// module window takes Enter, Escape and Space first), left and right jump 10 s (with Shift a
// minute), up and down a minute, period steps one picture, comma goes back to the previous key
// frame, plus and minus change the speed (1/4x to 16x). False for any other key.
bool TransportKey(CPlaybackView& view, UINT vk, bool shift);

} // namespace player
