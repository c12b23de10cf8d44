#include "Playback.h"
#include "wire/StreamFrame.h"
#include <algorithm>
#include <climits>

namespace player {

struct Playback::Cam {
    int channel = 0;
    std::unique_ptr<store::RecordSource> reader;
    std::optional<store::Record> pending; // read, not yet due
    bool positioned = false; // a Seek found pictures; otherwise retried from the head
    int64_t retryPc = INT64_MIN;
    int64_t lastKeyMs = INT64_MIN; // above 4x: the newest key frame handed out
};

bool Playback::CheckCameras(const std::vector<int>& cameras, std::string* error)
{
    auto fail = [&](const char* what) {
        if (error)
            *error = what;
        return false;
    };
    const size_t n = cameras.size();
    if (n != 1 && n != 4 && n != 9 && n != 16)
        return fail("1, 4, 9 or 16 cameras");
    for (size_t i = 0; i < n; ++i) {
        if (cameras[i] < 0 || cameras[i] >= store::kCameraStreams)
            return fail("no such camera");
        if (std::count(cameras.begin(), cameras.end(), cameras[i]) != 1)
            return fail("a camera given twice");
    }
    return true;
}

std::unique_ptr<Playback> Playback::Open(const std::string& siteFolder, const std::vector<int>& cameras,
                                         std::string* error)
{
    if (!CheckCameras(cameras, error))
        return nullptr;
    std::unique_ptr<Playback> p(new Playback());
    p->channels_ = cameras;
    for (int ch : cameras) {
        auto c = std::make_unique<Cam>();
        c->channel = ch;
        c->reader = store::StoreReader::Open(siteFolder, ch, false, error);
        if (!c->reader)
            return nullptr;
        p->cams_.push_back(std::move(c));
    }
    p->audio_ = store::StoreReader::OpenAudio(siteFolder, error);
    if (!p->audio_)
        return nullptr;
    return p;
}

std::unique_ptr<Playback> Playback::Open(const std::vector<int>& cameras,
                                         std::vector<std::unique_ptr<store::RecordSource>> sources, SoundOpener sound,
                                         std::string* error)
{
    if (!CheckCameras(cameras, error))
        return nullptr;
    if (sources.size() != cameras.size() || std::count(sources.begin(), sources.end(), nullptr) != 0) {
        if (error)
            *error = "a source for each camera";
        return nullptr;
    }
    std::unique_ptr<Playback> p(new Playback());
    p->channels_ = cameras;
    for (size_t i = 0; i < cameras.size(); ++i) {
        auto c = std::make_unique<Cam>();
        c->channel = cameras[i];
        c->reader = std::move(sources[i]);
        p->cams_.push_back(std::move(c));
    }
    p->soundOpener_ = std::move(sound);
    if (p->soundOpener_)
        p->audio_ = p->soundOpener_(p->audioChannel_);
    return p;
}

Playback::~Playback() = default;

// A record from the store checks (CRC) but says nothing about its block: a picture handed to the
// decoder must hold at least the frame header, and the header's own length must match.
static bool VideoBlockFits(const store::Record& r)
{
    if (r.kind != store::kVideo || r.block.size() < wire::kVideoHeaderSize)
        return false;
    const uint8_t* t = r.block.data() + 60;
    const uint32_t total = uint32_t(t[0]) | uint32_t(t[1]) << 8 | uint32_t(t[2]) << 16 | uint32_t(t[3]) << 24;
    return total == r.block.size();
}

bool Playback::Peek(Cam& c, Due& due)
{
    if (c.pending)
        return true;
    if (!c.positioned)
        return false;
    store::Record r;
    while (c.reader->Next(&r)) {
        if (!VideoBlockFits(r)) {
            due.problems.push_back("camera " + std::to_string(c.channel + 1) + ": record at " +
                                   std::to_string(r.dvrMs) + " is no video frame, passed over");
            continue;
        }
        c.pending = std::move(r);
        return true;
    }
    return false;
}

void Playback::SeekCam(Cam& c, int64_t t, Due& due)
{
    c.pending.reset();
    c.lastKeyMs = INT64_MIN;
    c.retryPc = nowPc_ + kRetryMs;
    c.positioned = c.reader->Seek(t);
    due.restarted.push_back(c.channel);
    if (!c.positioned)
        return;
    if (KeyOnly()) {
        KeyCam(c, due);
        return;
    }
    // Decoding starts at the key frame; RunCam stops at the head, showing the last picture.
    RunCam(c, due);
}

void Playback::RunCam(Cam& c, Due& due, bool paced)
{
    if (!c.positioned && nowPc_ >= c.retryPc) {
        SeekCam(c, head_, due);
        return;
    }
    size_t last = SIZE_MAX;
    while (Peek(c, due) && c.pending->dvrMs <= head_) {
        if (paced && last != SIZE_MAX && head_ - due.video[last].record.dvrMs <= kCatchUpMs)
            break; // the next picture waits for the next tick
        // A picture that does not follow a key frame it can stand on is useless after a seek.
        if (last == SIZE_MAX && c.lastKeyMs == INT64_MIN && !c.pending->key) {
            c.pending.reset();
            continue;
        }
        if (c.pending->key)
            c.lastKeyMs = c.pending->dvrMs;
        due.video.push_back({c.channel, false, std::move(*c.pending)});
        c.pending.reset();
        last = due.video.size() - 1;
    }
    if (last != SIZE_MAX)
        due.video[last].show = true;
}

void Playback::KeyCam(Cam& c, Due& due)
{
    if (!c.positioned) {
        if (nowPc_ >= c.retryPc)
            SeekCam(c, head_, due);
        return;
    }
    if (Peek(c, due) && c.pending->dvrMs > head_)
        return; // nothing new before the next record: a gap, or the head not there yet
    c.pending.reset();
    // The newest key frame at or before the head; the reader then stands just after it.
    if (!c.reader->Seek(head_))
        return;
    if (!Peek(c, due))
        return;
    if (c.pending->dvrMs <= head_) {
        if (c.pending->key && c.pending->dvrMs > c.lastKeyMs) {
            c.lastKeyMs = c.pending->dvrMs;
            due.video.push_back({c.channel, true, std::move(*c.pending)});
        }
        c.pending.reset();
        Peek(c, due); // what follows: tells a gap or the growing end from more to come
    }
}

void Playback::RunAudio(Due& due)
{
    if (!audio_ || !playing_ || quarters_ != kNormalSpeed) {
        audioPositioned_ = false;
        audioPending_.reset();
        return;
    }
    if (!audioPositioned_) {
        if (nowPc_ < audioRetryPc_)
            return;
        audioRetryPc_ = nowPc_ + kRetryMs;
        audioPending_.reset();
        if (!audio_->Seek(head_))
            return;
        audioPositioned_ = true;
    }
    for (;;) {
        if (!audioPending_) {
            store::Record r;
            if (!audio_->Next(&r))
                return;
            const bool pcm = r.kind == kPcmBlock && !r.block.empty() && r.block.size() % 2 == 0;
            if (!pcm && (r.kind != store::kAudio || r.block.size() < wire::kAudioHeaderSize)) {
                due.problems.push_back("audio: record at " + std::to_string(r.dvrMs) + " is no audio block, passed over");
                continue;
            }
            audioPending_ = std::move(r);
        }
        if (audioPending_->dvrMs > head_)
            return;
        due.audio.push_back(std::move(*audioPending_));
        audioPending_.reset();
    }
}

void Playback::Reposition(int64_t t, Due& due)
{
    head_ = t;
    seeked_ = true;
    carry_ = 0;
    audioPositioned_ = false;
    audioRetryPc_ = INT64_MIN;
    for (auto& c : cams_)
        SeekCam(*c, t, due);
}

void Playback::Finish(Due& due)
{
    for (auto& c : cams_)
        for (auto& p : c->reader->TakeProblems())
            due.problems.push_back(std::move(p));
    if (audio_)
        for (auto& p : audio_->TakeProblems())
            due.problems.push_back(std::move(p));
    due.headMs = head_;
}

Due Playback::Seek(int64_t dvrMs)
{
    Due due;
    Reposition(dvrMs, due);
    RunAudio(due);
    Finish(due);
    return due;
}

Due Playback::Tick(int64_t nowMs)
{
    Due due;
    nowPc_ = nowMs;
    if (!seeked_) {
        Finish(due);
        return due;
    }
    if (playing_) {
        const int64_t elapsed = lastTick_ ? std::max<int64_t>(0, nowMs - *lastTick_) : 0;
        lastTick_ = nowMs;
        // What is written now: every camera's next record, read afresh at the growing end.
        bool any = false, allAhead = true;
        int64_t earliest = INT64_MAX;
        for (auto& c : cams_) {
            if (Peek(*c, due)) {
                any = true;
                earliest = std::min(earliest, c->pending->dvrMs);
            } else if (c->positioned) {
                allAhead = false; // may be written into any moment
            }
        }
        if (!any) {
            due.waiting = true; // the end of what is written: the head waits for more
        } else {
            const int64_t total = elapsed * quarters_ + carry_;
            const int64_t advance = total / kNormalSpeed;
            carry_ = total % kNormalSpeed;
            int64_t next = head_ + advance;
            if (allAhead && earliest > next + kGapMs)
                next = earliest; // every camera in a gap: on to the next span
            if (next - head_ > kMaxRunMs && !KeyOnly()) {
                Reposition(next, due);
                RunAudio(due);
                Finish(due);
                return due;
            }
            head_ = next;
        }
    }
    const bool paced = playing_ && quarters_ <= kNormalSpeed;
    for (auto& c : cams_)
        KeyOnly() ? KeyCam(*c, due) : RunCam(*c, due, paced);
    RunAudio(due);
    Finish(due);
    return due;
}

void Playback::Play()
{
    playing_ = true;
    lastTick_.reset();
    carry_ = 0;
}

void Playback::Pause()
{
    playing_ = false;
    audioPositioned_ = false;
    audioPending_.reset();
}

Due Playback::StepForward()
{
    Pause();
    Due due;
    if (!seeked_) {
        Finish(due);
        return due;
    }
    int64_t earliest = INT64_MAX;
    for (auto& c : cams_)
        if (Peek(*c, due))
            earliest = std::min(earliest, c->pending->dvrMs);
    if (earliest == INT64_MAX) {
        due.waiting = true;
    } else {
        head_ = std::max(head_, earliest);
        for (auto& c : cams_)
            RunCam(*c, due); // above 4x too: one picture forward needs the predicted ones
    }
    Finish(due);
    return due;
}

Due Playback::StepBackKey()
{
    Pause();
    Due due;
    if (!seeked_) {
        Finish(due);
        return due;
    }
    // Each camera's key frame before the head; the nearest of them is where all go.
    int64_t best = INT64_MIN;
    for (auto& c : cams_) {
        if (!c->reader->Seek(head_ - 1))
            continue;
        store::Record r;
        while (c->reader->Next(&r)) {
            if (r.kind == store::kVideo) {
                if (r.key && r.dvrMs < head_)
                    best = std::max(best, r.dvrMs);
                break;
            }
        }
    }
    if (best == INT64_MIN) {
        // Nothing before the head: put every camera back where it was.
        Reposition(head_, due);
    } else {
        Reposition(best, due);
    }
    Finish(due);
    return due;
}

Due Playback::Jump(int64_t deltaMs)
{
    Due due;
    if (!seeked_) {
        Finish(due);
        return due;
    }
    Reposition(head_ + deltaMs, due);
    RunAudio(due);
    Finish(due);
    return due;
}

bool Playback::SetSpeed(int quarters, Due* due)
{
    static constexpr int kSpeeds[] = {1, 2, 4, 8, 16, 32, 64};
    if (std::find(std::begin(kSpeeds), std::end(kSpeeds), quarters) == std::end(kSpeeds))
        return false;
    const bool wasKeyOnly = KeyOnly();
    quarters_ = quarters;
    carry_ = 0;
    Due local;
    Due& d = due ? *due : local;
    if (seeked_ && wasKeyOnly != KeyOnly())
        Reposition(head_, d); // key frames only, or all pictures again: each camera from a key frame
    Finish(d);
    return true;
}

bool Playback::SetAudioChannel(int channel)
{
    if (channel < 0 || channel > 3)
        return false;
    if (soundOpener_ && channel != audioChannel_) {
        audio_ = soundOpener_(channel);
        audioPositioned_ = false;
        audioPending_.reset();
        audioRetryPc_ = INT64_MIN;
    }
    audioChannel_ = channel;
    return true;
}

} // namespace player
