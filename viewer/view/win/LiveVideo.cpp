#include "LiveVideo.h"
#include "DisplayLayout.h"
#include "foundation/Dib.h"
#include "foundation/Messages.h"
#include "foundation/Trace.h"
#include "wire/StreamFrame.h"
#include <chrono>

namespace view {

CLiveVideo::CLiveVideo() = default;

CLiveVideo::~CLiveVideo() { Stop(); }

bool CLiveVideo::Attach(HWND view, const RECT& area, const connection::ConnectionController* controller,
                        pipeline::IAudioTiming* audio)
{
    view_ = view;
    controller_ = controller;
    audio_ = audio;
    notify_ = std::make_shared<video::CPostMessageNotify>(view);
    if (!display_.Create(view, area, video::kDefaultLayout))
        return false;
    display_.SetNotifyWindow(view);
    // Until a DVR is connected: black divisions with their titles only.
    display_.SetFillLevel(0);
    display_.BlankAll(1);
    display_.SetBorderColour(RGB(255, 255, 255));
    display_.SetOsdOptions(1, 0, 0);
    for (int ch = 0; ch < 16; ++ch)
        display_.SetChannelTitle(ch, L"Camera %02d");
    display_.Show(1);
    return true;
}

void CLiveVideo::Detach()
{
    FreeDecoder();
    view_ = nullptr;
}

void CLiveVideo::SetAudioSync(bool enableAudio, bool phoneOn)
{
    audioSync_ = enableAudio;
    phoneOn_ = phoneOn;
    if (pipe_)
        pipe_->SetAudioSync(enableAudio, phoneOn);
}

void CLiveVideo::SetConnectionDropped(bool dropped)
{
    dropped_ = dropped;
    if (pipe_)
        pipe_->SetKeepPictures(dropped);
}

void CLiveVideo::ShowPage(int displayMode, const connection::Page& page)
{
    const video::DivisionMode* mode = video::FindDivisionMode(displayMode);
    if (!mode)
        return;
    pageMode_ = displayMode;
    page_ = page;
    uint8_t order[video::kDisplayChannels];
    for (int i = 0; i < video::kDisplayChannels; ++i)
        order[i] = i < page.count && page.channels[i] >= 0 ? static_cast<uint8_t>(page.channels[i]) : video::kNoEntry;
    display_.SetLayout(mode->layout, order, static_cast<size_t>(mode->channels));
    display_.Redraw(0xFFFFFFFFu);
}

namespace {
// The DVR's channel count as the decoder manager and the threads take it: 16 when out of range.
int DecodeChannels(int channels) { return channels < 1 || channels > 16 ? 16 : channels; }
} // namespace

void CLiveVideo::MakeDecoder(int channels)
{
    // The threads decode with the manager that is replaced: they stop first.
    Stop();
    decoder_.reset();
    channels = DecodeChannels(channels);
    if (xvid_->Load() != video::XvidStatus::Ready && !xvidMissingLogged_) {
        xvidMissingLogged_ = true;
        win::Trace(L"===>>> xvidcore.dll missing: no pictures\n");
    }
    decoder_ = std::make_unique<video::CMp4DecoderManager>(xvid_->Api());
    int w[16], h[16];
    for (int i = 0; i < 16; ++i) {
        w[i] = 720;
        h[i] = 480;
    }
    decoder_->Initialize(channels, 0, w, h, notify_.get());
    decoder_->SetNtscMark(decoderOption_);
    ++decodersMade_;
    win::Trace(L"===>>> decoder manager for %d channels\n", channels);
}

void CLiveVideo::FreeDecoder()
{
    Stop();
    decoder_.reset();
}

bool CLiveVideo::Start()
{
    if (queue_)
        return true;
    const int channels = DecodeChannels(controller_ ? controller_->State().channelCount : 0);
    // Made at the login reply; gone only when a thread missed the stop bound and took it along.
    if (!decoder_ || decoder_->Channels() != channels)
        MakeDecoder(channels);
    pipe_ = std::make_unique<pipeline::CFramePipeline>(*decoder_, static_cast<pipeline::IPictureDisplay&>(*this),
                                                       audio_, static_cast<pipeline::IPictureWatchdog*>(this));
    pipe_->SetChannelCount(channels);
    pipe_->SetAudioSync(audioSync_, phoneOn_);
    pipe_->SetWatchdogRunning(watchdog_);
    pipe_->SetLatencyStats(latency_);
    pipe_->SetSyncStats(sync_);
    dropped_ = false; // a login clears the connection-dropped mark
    pipe_->SetKeepPictures(false);

    if (pageMode_ >= 0) {
        ShowPage(pageMode_, page_);
    } else {
        // The default layout for the channel count: the smallest division mode that shows them all.
        const video::DivisionMode* mode = nullptr;
        for (int m = 0; m < video::kDivisionModeCount; ++m) {
            const video::DivisionMode* d = video::FindDivisionMode(m);
            if (d && d->channels >= channels && (!mode || d->channels < mode->channels))
                mode = d;
        }
        if (mode) {
            uint8_t order[16];
            for (int i = 0; i < 16; ++i)
                order[i] = static_cast<uint8_t>(i < channels ? i : video::kNoEntry);
            display_.SetLayout(mode->layout, order, static_cast<size_t>(mode->channels));
        }
    }
    // Titles for the DVR's channels, none for the others; size and time shown while connected.
    for (int ch = 0; ch < 25; ++ch)
        display_.SetChannelTitle(ch, ch < channels ? L"Camera %02d" : L"");
    display_.SetChannelCount(channels);
    display_.SetOsdOptions(1, 1, 1);

    win::Trace(L"===>>> live video: %d channels, xvid %S\n", channels, video::XvidStatusText(xvid_->Api().status));
    queue_ = std::make_unique<pipeline::CFrameQueue>(*pipe_, timing_);
    queue_->SetConnected(true);
    if (!queue_->Start(channels)) {
        queue_.reset();
        return false;
    }
    return true;
}

void CLiveVideo::Stop()
{
    if (!queue_)
        return; // no thread runs: nothing to wait for
    win::Trace(L"===>>> live video stops: %llu pictures shown, %llu frames dropped\n",
               static_cast<unsigned long long>(pipe_->PicturesShown()),
               static_cast<unsigned long long>(pipe_->FramesDropped()));
    queue_->SetConnected(false);
    // A thread that misses the stop bound is left to finish on its own; it keeps the decoder
    // library and the notifier its decoder uses.
    if (!pipeline::StopDecodeThreads(queue_, pipe_, decoder_, [xvid = xvid_, notify = notify_] {}))
        win::Trace(L"===>>> a decode thread missed the stop bound: it finishes on its own\n");
}

void CLiveVideo::SetPictureWatchdog(bool running)
{
    watchdog_ = running;
    if (pipe_)
        pipe_->SetWatchdogRunning(running);
}

void CLiveVideo::SetDecoderOption(int option)
{
    decoderOption_ = option;
    if (decoder_)
        decoder_->SetNtscMark(option);
}

bool CLiveVideo::Running() const { return queue_ && queue_->Running(); }

void CLiveVideo::StoreVideo(int, const uint8_t* data, size_t length)
{
    if (!queue_)
        return;
    if (!storedAny_) {
        storedAny_ = true;
        win::Trace(L"===>>> first video frame\n");
    }
    wire::VideoFrameHeader h;
    if (arrival_ && wire::ParseVideoFrameHeader(data, length, h)) {
        const int64_t sent = static_cast<int64_t>(h.seconds) * 1000000 + h.microseconds;
        arrival_->Record(
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
                .count() -
            sent);
    }
    pipeline::StoreResult r = queue_->Store(data, length);
    if (r != pipeline::StoreResult::Stored)
        ++refused_;
    if (r == pipeline::StoreResult::QueueFull)
        ++refusedFull_;
    if (r != pipeline::StoreResult::Stored && r != pipeline::StoreResult::QueueFull) {
        win::Trace(L"<<< frame of %u bytes not stored (%d)\n", static_cast<unsigned>(length), static_cast<int>(r));
    }
}

void CLiveVideo::StoreAudio(const uint8_t* data, size_t length)
{
    if (queue_)
        queue_->Store(data, length);
}

void CLiveVideo::Reset() { RefreshEmpty(); }

void CLiveVideo::RefreshEmpty()
{
    // A connection the DVR dropped keeps its pictures, sizes and times until the view gives up.
    if (dropped_)
        return;
    display_.SetChannelCount(0);
    display_.SetOsdOptions(1, 0, 0);
    display_.BlankAll(1);
}

namespace {
// The bitmap information of a decoded picture: 24 bits, top-down rows, image size as stated.
BITMAPINFO TopDownBgr(int width, int height, DWORD imageSize) { return win::TopDownDib(width, height, 24, imageSize); }
} // namespace

void CLiveVideo::ShowPicture(int channel, int width, int height, const uint8_t* bgr, const video::PictureTime& time)
{
    const BITMAPINFO bi = TopDownBgr(width, height, static_cast<DWORD>(width * 3 * height));
    display_.SetChannelPicture(channel, &bi, time, bgr);
}

void CLiveVideo::BlankChannels(int channels)
{
    const BITMAPINFO bi = TopDownBgr(1, 1, 4); // one black pixel, its row padded to 4 bytes
    const uint8_t black[4] = {};
    for (int ch = 0; ch < channels && ch < 16; ++ch)
        display_.SetChannelPicture(ch, &bi, black);
}

void CLiveVideo::PictureDecoded(int channel, int width, int height, const uint8_t* bgr, uint32_t utcSeconds)
{
    if (!recorder_ || !recorder_->Active() || channel < 0 || channel >= 16)
        return;
    const int64_t now = static_cast<int64_t>(GetTickCount64());
    int64_t& last = meteredAtMs_[static_cast<size_t>(channel)];
    if (now - last < kMotionEveryMs)
        return;
    last = now;
    store::MotionMeter& meter = meters_[static_cast<size_t>(channel)];
    meter.AddBgr(bgr, width, height, width * 3, utcSeconds);
    uint32_t second = 0;
    uint8_t level = 0;
    if (meter.Take(&second, &level))
        recorder_->PushMotion(channel, second, level);
}

void CLiveVideo::PictureArrived()
{
    if (view_)
        PostMessageW(view_, WM_PICTURE_SHOWN, 0, 0);
}

} // namespace view
