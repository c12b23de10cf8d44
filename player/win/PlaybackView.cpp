#include "PlaybackView.h"
#include "DisplayLayout.h"
#include "foundation/Dib.h"
#include "foundation/Utf8.h"
#include "wire/StreamFrame.h"
#include <algorithm>

namespace player {

namespace {

// The division mode that shows exactly `count` cameras (1, 4, 9, 16).
const video::DivisionMode* ModeFor(size_t count)
{
    for (int m = 0; m < video::kDivisionModeCount; ++m) {
        const video::DivisionMode* d = video::FindDivisionMode(m);
        if (d && static_cast<size_t>(d->channels) == count)
            return d;
    }
    return nullptr;
}

// The block names its own channel; the store's folder says whose it is. A block filed under
// another camera is shown in that camera's division, never in another's.
bool OwnChannel(std::vector<uint8_t>& block, int camera)
{
    if (block.size() < wire::kVideoHeaderSize || camera < 0 || camera >= 16)
        return false;
    block[3] = static_cast<uint8_t>((block[3] & ~0x1F) | (16 + camera));
    return true;
}

} // namespace

CPlaybackView::CPlaybackView() : work_(std::make_unique<CameraWork>()) {}

CPlaybackView::~CPlaybackView()
{
    Close();
    sound_.Reset();
    sound_.Close();
    coders_.Release();
}

void CPlaybackView::Silence()
{
    if (soundOpen_)
        sound_.Reset();
    receiver_.ResetSequence();
}

void CPlaybackView::SetAudioChannel(int channel)
{
    if (channel < 0 || channel > 3 || channel == audioChannel_)
        return;
    audioChannel_ = channel;
    Silence();
    if (playback_)
        playback_->SetAudioChannel(channel);
    receiver_.SetSelectedChannel(static_cast<unsigned>(channel));
}

bool CPlaybackView::Create(HWND parent, const RECT& area, bool withSound)
{
    if (!display_.Create(parent, area, video::kDefaultLayout))
        return false;
    display_.SetFillLevel(0);
    display_.SetBorderColour(RGB(255, 255, 255));
    display_.SetOsdOptions(1, 0, 0);
    for (int ch = 0; ch < 16; ++ch)
        display_.SetChannelTitle(ch, L"Camera %02d");
    display_.BlankAll(1);
    display_.Show(1);
    // The viewer's figures: 256-byte blocks (16 ms), 200 of them, playing from the 20th. Without a
    // sound device the pictures play on in silence.
    // A control activated again makes its windows again; the sound stays open from the first time.
    if (withSound && !soundOpen_) {
        soundOpen_ = coders_.Init(audio::kViewCoderCount) &&
            SUCCEEDED(sound_.Open(display_.Window(), 256, 200, 20, 1, 16, 8000));
        if (!soundOpen_)
            Status(L"No sound device: recordings play without sound");
    }
    return true;
}

void CPlaybackView::Move(const RECT& area)
{
    display_.Resize(area);
}

void CPlaybackView::Status(const std::wstring& line)
{
    if (status_)
        status_(line);
}

bool CPlaybackView::Open(const std::string& siteFolder, const std::vector<int>& cameras, int64_t dvrMs)
{
    Close();
    std::string error;
    auto playback = ModeFor(cameras.size()) ? Playback::Open(siteFolder, cameras, &error) : nullptr;
    return Start(std::move(playback), error, cameras, dvrMs);
}

bool CPlaybackView::Open(const ExportSet& set, const std::vector<int>& cameras, int64_t dvrMs)
{
    Close();
    std::string error;
    std::unique_ptr<Playback> playback;
    if (ModeFor(cameras.size())) {
        std::vector<std::unique_ptr<store::RecordSource>> sources;
        for (int cam : cameras)
            sources.push_back(set.OpenCamera(cam));
        playback = Playback::Open(cameras, std::move(sources), [&set](int channel) { return set.OpenSound(channel); },
                                  &error);
    }
    return Start(std::move(playback), error, cameras, dvrMs);
}

bool CPlaybackView::Start(std::unique_ptr<Playback> playback, const std::string& error, const std::vector<int>& cameras,
                          int64_t dvrMs)
{
    const video::DivisionMode* mode = ModeFor(cameras.size());
    if (!playback || !mode) {
        Status(L"The recordings cannot be read: " + win::FromUtf8(mode ? error : std::string("1, 4, 9 or 16 cameras")));
        return false;
    }
    playback->SetAudioChannel(audioChannel_);
    receiver_.SetSelectedChannel(static_cast<unsigned>(audioChannel_));
    if (xvid_.Load() != video::XvidStatus::Ready && !xvidMissingTold_) {
        xvidMissingTold_ = true;
        Status(L"xvidcore.dll is missing: no pictures");
    }
    decoder_ = std::make_unique<video::CMp4DecoderManager>(xvid_.Api());
    int w[16], h[16];
    std::fill(std::begin(w), std::end(w), 720);
    std::fill(std::begin(h), std::end(h), 480);
    decoder_->Initialize(16, 0, w, h, nullptr);
    // No sound device to wait for and no watchdog: the play head is the clock.
    pipe_ = std::make_unique<pipeline::CFramePipeline>(*decoder_, static_cast<pipeline::IPictureDisplay&>(*this), nullptr, nullptr);
    pipe_->SetChannelCount(16);
    playback_ = std::move(playback);

    uint8_t order[video::kDisplayChannels];
    std::fill(std::begin(order), std::end(order), video::kNoEntry);
    for (size_t i = 0; i < cameras.size(); ++i)
        order[i] = static_cast<uint8_t>(cameras[i]);
    display_.SetLayout(mode->layout, order, cameras.size());
    display_.SetChannelCount(16);
    display_.BlankAll(1);
    display_.SetOsdOptions(1, 1, 1);
    // A camera with nothing recorded yet stays black, without a size or a time.
    for (int ch : cameras)
        BlankChannel(ch);
    Seek(dvrMs);
    return true;
}

void CPlaybackView::Close()
{
    Silence();
    playback_.reset();
    pipe_.reset();
    decoder_.reset();
    waiting_ = false;
    if (display_.Window()) {
        display_.SetOsdOptions(1, 0, 0);
        display_.BlankAll(1);
    }
}

void CPlaybackView::ShowEmpty(size_t count)
{
    const video::DivisionMode* mode = ModeFor(count);
    if (!mode || IsOpen())
        return;
    uint8_t order[video::kDisplayChannels];
    std::fill(std::begin(order), std::end(order), video::kNoEntry);
    for (size_t i = 0; i < count; ++i)
        order[i] = static_cast<uint8_t>(i);
    display_.SetLayout(mode->layout, order, count);
    display_.BlankAll(1);
}

void CPlaybackView::Tick(int64_t nowMs)
{
    if (playback_)
        Apply(playback_->Tick(nowMs), true);
}

void CPlaybackView::Seek(int64_t dvrMs)
{
    if (playback_) {
        Silence();
        Apply(playback_->Seek(dvrMs));
    }
}

void CPlaybackView::Play()
{
    if (playback_)
        playback_->Play();
}

void CPlaybackView::Pause()
{
    if (playback_) {
        playback_->Pause();
        Silence();
    }
}

void CPlaybackView::StepForward()
{
    if (playback_) {
        Silence();
        Apply(playback_->StepForward());
    }
}

void CPlaybackView::StepBackKey()
{
    if (playback_) {
        Silence();
        Apply(playback_->StepBackKey());
    }
}

void CPlaybackView::Jump(int64_t deltaMs)
{
    if (playback_) {
        Silence();
        Apply(playback_->Jump(deltaMs));
    }
}

bool CPlaybackView::SetSpeed(int quarters)
{
    Due due;
    if (!playback_ || !playback_->SetSpeed(quarters, &due))
        return false;
    Silence();
    Apply(std::move(due));
    return true;
}

void CPlaybackView::Apply(Due due, bool playing)
{
    waiting_ = due.waiting;
    for (const std::string& p : due.problems)
        Status(L"Passed over: " + win::FromUtf8(p));
    for (int ch : due.restarted) {
        int width = 0, height = 0;
        if (decoder_->ChannelSize(ch, width, height))
            decoder_->ResetChannel(ch, 0, width, height);
    }
    for (const store::Record& r : due.audio) {
        if (!soundOpen_)
            break;
        if (r.kind == kPcmBlock) {
            // An export's sound is PCM already: whole blocks of the player's size (a short last one
            // padded with silence), the queue held to the receive path's bound.
            uint8_t block[audio::kBlockBytes] = {};
            std::copy_n(r.block.begin(), std::min(r.block.size(), sizeof block), block);
            if (sound_.QueuedBytes() <= audio::CAudioReceiver::kMaxQueuedBytes && sound_.Write(block, sizeof block) == 0)
                ++soundRecords_;
        } else if (receiver_.OnAudioRecord(r.block.data(), r.block.size())) {
            ++soundRecords_;
        }
    }
    // Each camera's pictures in their order, the cameras side by side.
    std::vector<std::vector<Picture*>> runs(16);
    for (Picture& p : due.video) {
        if (!OwnChannel(p.record.block, p.camera))
            continue;
        runs[static_cast<size_t>(p.camera)].push_back(&p);
        if (p.show) {
            zone_ = p.record.zone;
            daylight_ = p.record.daylight;
        }
    }
    std::vector<std::function<void()>> jobs;
    for (std::vector<Picture*>& run : runs) {
        if (run.empty())
            continue;
        jobs.emplace_back([this, &run, playing] {
            for (Picture* p : run) {
                if (!p->show) {
                    DecodeOnly(p->camera, p->record.block);
                    passed_ += playing;
                } else if (pipe_->ProcessVideo(-1, p->record.block.data(), p->record.block.size()) ==
                           pipeline::SlotResult::Consumed) {
                    ++shown_;
                }
            }
        });
    }
    work_->Run(jobs);
}

// A picture that leads up to the one shown: decoded by the same decoder manager, not drawn.
bool CPlaybackView::DecodeOnly(int camera, std::vector<uint8_t>& block)
{
    wire::VideoFrameHeader h;
    if (!wire::ParseVideoFrameHeader(block.data(), block.size(), h) || h.total != block.size())
        return false;
    video::DecodedPicture picture{};
    return decoder_->DecodeFrame(h, block.data(), block.size(), &picture, camera) != 0;
}

void CPlaybackView::ShowPicture(int channel, int width, int height, const uint8_t* bgr,
                                const video::PictureTime& time)
{
    const BITMAPINFO bi = win::TopDownDib(width, height, 24, static_cast<DWORD>(width * 3 * height));
    display_.SetChannelPicture(channel, &bi, time, bgr);
}

void CPlaybackView::BlankChannels(int channels)
{
    for (int ch = 0; ch < channels && ch < 16; ++ch)
        BlankChannel(ch);
}

void CPlaybackView::BlankChannel(int channel)
{
    const BITMAPINFO bi = win::TopDownDib(1, 1, 24, 4); // one black pixel, its row padded to 4 bytes
    const uint8_t black[4] = {};
    display_.SetChannelPicture(channel, &bi, black);
}

bool TransportKey(CPlaybackView& view, UINT vk, bool shift)
{
    static constexpr int kSpeeds[] = {1, 2, 4, 8, 16, 32, 64};
    switch (vk) {
    case 'K':
        if (Playback* p = view.Core(); p && p->Playing())
            view.Pause();
        else
            view.Play();
        return true;
    case VK_LEFT: view.Jump(shift ? -60000 : -10000); return true;
    case VK_RIGHT: view.Jump(shift ? 60000 : 10000); return true;
    case VK_DOWN: view.Jump(-60000); return true;
    case VK_UP: view.Jump(60000); return true;
    case VK_OEM_PERIOD: view.StepForward(); return true;
    case VK_OEM_COMMA: view.StepBackKey(); return true;
    case VK_OEM_PLUS:
    case VK_ADD:
    case VK_OEM_MINUS:
    case VK_SUBTRACT: {
        const Playback* p = view.Core();
        if (!p)
            return true;
        const int* at = std::find(std::begin(kSpeeds), std::end(kSpeeds), p->Speed());
        const bool faster = vk == VK_OEM_PLUS || vk == VK_ADD;
        if (at == std::end(kSpeeds) || (faster && at + 1 == std::end(kSpeeds)) || (!faster && at == std::begin(kSpeeds)))
            return true;
        view.SetSpeed(faster ? at[1] : at[-1]);
        return true;
    }
    default: return false;
    }
}

} // namespace player
