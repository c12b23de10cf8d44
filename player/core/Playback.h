#pragma once
// Playing a site's recordings: 1, 4, 9 or 16 cameras kept in step by the DVR's time. One play head
// in DVR ms; each Tick(now) moves it by the PC time passed times the speed and hands out what became
// due: per camera the pictures to decode (the last of each camera's run to show) and, at 1x, the
// site's audio blocks. The blocks are those the DVR sent, so the viewer's own decoding path plays them.
//
// Gaps stay gaps: a camera with nothing recorded at the play head is handed nothing. The head moves
// through a gap at the speed while any camera still has pictures there; when every camera is in a
// gap of more than kGapMs ahead, the head jumps to the earliest next picture.
// A store still being written is followed: when every camera has handed out all that is written,
// the head waits (Due::waiting) and carries on as more arrives.
// Not thread-safe: one caller (the player control's UI thread). The PC clock is the caller's nowMs.
#include "StoreReader.h"
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace player {

constexpr int64_t kGapMs = 3000; // the store's own: records further apart than this are different spans
constexpr int64_t kMaxRunMs = 2000; // a head moved further than this in one tick re-seeks (key frame first)
constexpr int64_t kRetryMs = 1000; // PC ms between attempts to find pictures for a camera that had none
// Playing at 1x or slower, every picture is shown: a tick that finds more than one of a camera's
// pictures due (it came late) shows the first and leaves the next for the next tick, as long as the
// picture shown is no further than this behind the head; a camera further behind decodes up to the
// head and shows the last, as at higher speeds.
constexpr int64_t kCatchUpMs = 200;

// Speeds in quarters: 1 (1/4x), 2, 4 (1x), 8, 16, 32, 64 (16x). Above kKeyOnlyAbove only key frames.
constexpr int kNormalSpeed = 4;
constexpr int kKeyOnlyAbove = 16;

// A record kind beside the store's: at most 128 samples (256 bytes) of 8 kHz 16-bit mono PCM,
// little-endian (an export's sound).
constexpr uint8_t kPcmBlock = 0x80;

struct Picture {
    int camera = 0; // 0..15
    bool show = false; // false: decode only (it leads up to the picture shown)
    store::Record record;
};

struct Due {
    std::vector<Picture> video; // each camera's in its decoding order
    // Only at 1x while playing: the store's audio records (all four DVR channels, as sent), or an
    // export's PCM blocks (kind kPcmBlock).
    std::vector<store::Record> audio;
    std::vector<int> restarted; // cameras whose decoding starts afresh at a key frame (reset the decoder)
    std::vector<std::string> problems; // what the store passed over ("path: what"), and bad records
    bool waiting = false; // at the end of what is written: the head waits for more
    int64_t headMs = 0;
};

class Playback {
public:
    // cameras: 1, 4, 9 or 16 distinct channels 0..15. nullptr with *error set otherwise. The head
    // stands nowhere until the first Seek.
    static std::unique_ptr<Playback> Open(const std::string& siteFolder, const std::vector<int>& cameras,
                                          std::string* error);
    // The same from other sources: one per camera, and the sound of an audio channel (0..3) opened
    // when it is chosen (nullptr: none).
    using SoundOpener = std::function<std::unique_ptr<store::RecordSource>(int channel)>;
    static std::unique_ptr<Playback> Open(const std::vector<int>& cameras,
                                          std::vector<std::unique_ptr<store::RecordSource>> sources, SoundOpener sound,
                                          std::string* error);
    ~Playback();
    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    // Each camera to its key frame at or before dvrMs (the next span's first when it lies in a gap);
    // the pictures between that key frame and dvrMs are decoded, the last of them shown.
    Due Seek(int64_t dvrMs);
    Due Tick(int64_t nowMs);
    void Play(); // the next Tick starts counting from its own nowMs
    void Pause();
    Due StepForward(); // pauses; the head to the next picture of any camera
    Due StepBackKey(); // pauses; the head to the nearest key frame before it on any camera
    Due Jump(int64_t deltaMs); // +-10 s, +-1 min, or any: a Seek from the head
    // quarters: 1, 2, 4, 8, 16, 32 or 64; anything else is refused (false, nothing changes).
    bool SetSpeed(int quarters, Due* due);
    // 0..3: which of the block's four channels the caller plays; with a SoundOpener, whose sound
    // is handed out from the head on.
    bool SetAudioChannel(int channel);

    int64_t HeadMs() const { return head_; }
    bool Playing() const { return playing_; }
    int Speed() const { return quarters_; }
    int AudioChannel() const { return audioChannel_; }
    const std::vector<int>& Cameras() const { return channels_; }

private:
    struct Cam;
    Playback() = default;
    static bool CheckCameras(const std::vector<int>& cameras, std::string* error);
    bool KeyOnly() const { return quarters_ > kKeyOnlyAbove; }
    bool Peek(Cam& c, Due& due);
    void SeekCam(Cam& c, int64_t t, Due& due);
    void RunCam(Cam& c, Due& due, bool paced = false); // normal speeds: everything up to the head (paced: see kCatchUpMs)
    void KeyCam(Cam& c, Due& due); // above 4x: the newest key frame at or before the head
    void RunAudio(Due& due);
    void Reposition(int64_t t, Due& due);
    void Finish(Due& due);

    std::vector<std::unique_ptr<Cam>> cams_;
    std::vector<int> channels_;
    std::unique_ptr<store::RecordSource> audio_; // may be nullptr: no sound
    SoundOpener soundOpener_;
    std::optional<store::Record> audioPending_;
    bool audioPositioned_ = false;
    int64_t audioRetryPc_ = INT64_MIN;
    bool seeked_ = false;
    bool playing_ = false;
    int quarters_ = kNormalSpeed;
    int audioChannel_ = 0;
    int64_t head_ = 0;
    std::optional<int64_t> lastTick_;
    int64_t nowPc_ = 0; // the latest nowMs the caller gave
    int64_t carry_ = 0; // PC ms x quarters not yet turned into head ms
};

} // namespace player
