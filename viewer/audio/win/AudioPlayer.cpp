#include "AudioPlayer.h"
#include "AudioRecord.h"
#include "SoundRing.h"
#include <cstring>
#include <system_error>
#include <vector>

CAudioPlayer::~CAudioPlayer() { Close(); }

HRESULT CAudioPlayer::Open(HWND window, DWORD blockSize, DWORD blockCount, DWORD startBlocks, WORD channels, WORD bits,
                           DWORD rate)
{
    Close();
    blockSize_ = blockSize;
    bufferSize_ = blockSize * blockCount;
    startBlocks_ = startBlocks;
    writePosition_.store(0, std::memory_order_release);
    if (blockSize == 0 || blockCount == 0)
        return E_INVALIDARG;

    HRESULT hr = DirectSoundCreate8(nullptr, sound_.Put(), nullptr);
    if (FAILED(hr))
        return hr;
    hr = sound_->SetCooperativeLevel(window ? window : GetDesktopWindow(), DSSCL_PRIORITY);
    if (FAILED(hr))
        return hr;

    WAVEFORMATEX wf = PcmFormat(channels, bits, rate);
    DSBUFFERDESC desc = RingDesc<DSBUFFERDESC>(bufferSize_, &wf);
    desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS | DSBCAPS_STICKYFOCUS |
        DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY;
    win::ComPtr<IDirectSoundBuffer> buffer;
    hr = sound_->CreateSoundBuffer(&desc, buffer.Put(), nullptr);
    if (FAILED(hr))
        return hr;
    hr = buffer->QueryInterface(IID_IDirectSoundNotify, notify_.PutVoid());
    if (FAILED(hr))
        return hr;
    buffer->Stop();
    buffer->SetCurrentPosition(0);

    notifyEvent_.Attach(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!notifyEvent_)
        return HRESULT_FROM_WIN32(GetLastError());
    std::vector<DSBPOSITIONNOTIFY> marks(blockCount);
    for (DWORD i = 0; i < blockCount; ++i) {
        marks[i].dwOffset = i * blockSize;
        marks[i].hEventNotify = notifyEvent_.Get();
    }
    hr = notify_->SetNotificationPositions(blockCount, marks.data());
    if (FAILED(hr))
        return hr;

    {
        win::Lock hold(lock_);
        buffer_ = std::move(buffer);
    }
    stopRequest_ = false;
    monitorStopped_ = false;
    try {
        monitor_ = std::thread([this] { Monitor(); });
    } catch (const std::system_error&) {
        monitorStopped_ = true; // no monitor: PlayPosition answers -1, as without a device
        return E_FAIL;
    }
    return S_OK;
}

void CAudioPlayer::Monitor()
{
    while (!stopRequest_.load(std::memory_order_acquire)) {
        WaitForSingleObject(notifyEvent_.Get(), 1);
        win::Lock hold(lock_);
        DWORD play = 0, write = 0, status = 0;
        if (buffer_ && SUCCEEDED(buffer_->GetStatus(&status)) && (status & DSBSTATUS_PLAYING) &&
            SUCCEEDED(buffer_->GetCurrentPosition(&play, &write))) {
            if (audio::RingRanDrySince(lastPlay_, play, write, writePosition_.load(std::memory_order_relaxed),
                                       bufferSize_))
                Rewind();
            else
                lastPlay_ = play;
        }
    }
    monitorStopped_.store(true, std::memory_order_release);
}

void CAudioPlayer::Rewind()
{
    buffer_->Stop();
    buffer_->SetCurrentPosition(0);
    // The next block must land where the device will start, or stale audio counts as buffered.
    writePosition_.store(0, std::memory_order_release);
    lastPlay_ = 0;
}

long CAudioPlayer::Write(const void* data, uint32_t length)
{
    // The whole write runs under the lock the monitor uses, so a rewind cannot fall between reading
    // the write position and advancing it.
    win::Lock hold(lock_);
    long result = 0;
    do {
        if (!buffer_) {
            result = DSERR_OBJECTNOTFOUND;
            break;
        }
        DWORD play = 0, write = 0, status = 0;
        if (FAILED(buffer_->GetCurrentPosition(&play, &write)) || FAILED(buffer_->GetStatus(&status))) {
            result = E_FAIL;
            break;
        }
        const DWORD position = writePosition_.load(std::memory_order_relaxed);
        if (!data ||
            !audio::RingHasRoom((status & DSBSTATUS_PLAYING) != 0, play, write, position, bufferSize_, length)) {
            result = E_ACCESSDENIED;
            break;
        }
        void* p1 = nullptr;
        void* p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        HRESULT hr = buffer_->Lock(position, length, &p1, &n1, &p2, &n2, 0);
        if (hr == DSERR_BUFFERLOST) {
            buffer_->Restore();
            hr = buffer_->Lock(position, length, &p1, &n1, &p2, &n2, 0);
        }
        if (FAILED(hr)) {
            result = E_FAIL;
            break;
        }
        std::memcpy(p1, data, n1);
        if (p2 && n2)
            std::memcpy(p2, static_cast<const uint8_t*>(data) + n1, n2);
        buffer_->Unlock(p1, n1, p2, n2);

        const DWORD next = RingAdvance(position, length, bufferSize_);
        writePosition_.store(next, std::memory_order_release);
        if (!(status & DSBSTATUS_PLAYING)) {
            buffer_->GetCurrentPosition(&play, &write);
            if (audio::BufferedBytes(next, play, bufferSize_) >= startBlocks_ * blockSize_ &&
                SUCCEEDED(buffer_->Play(0, 0, DSBPLAY_LOOPING)))
                lastPlay_ = play;
        }
    } while (false);
    return result;
}

long CAudioPlayer::PlayPosition()
{
    win::Lock hold(lock_);
    DWORD play = 0, write = 0;
    if (buffer_ && !monitorStopped_.load(std::memory_order_acquire) &&
        SUCCEEDED(buffer_->GetCurrentPosition(&play, &write)))
        return static_cast<long>(play);
    return -1;
}

uint32_t CAudioPlayer::QueuedBytes()
{
    // One hold of the (re-entrant) lock: the monitor's rewind cannot fall between the reads.
    long play;
    uint32_t write;
    bool playing;
    {
        win::Lock hold(lock_);
        play = PlayPosition();
        write = WritePosition();
        playing = IsPlaying();
    }
    if (play < 0 || !bufferSize_ || !playing)
        return write;
    return (write + bufferSize_ - static_cast<uint32_t>(play)) % bufferSize_;
}

bool CAudioPlayer::IsPlaying()
{
    win::Lock hold(lock_);
    DWORD status = 0;
    return buffer_ && SUCCEEDED(buffer_->GetStatus(&status)) && (status & DSBSTATUS_PLAYING);
}

void CAudioPlayer::Reset()
{
    win::Lock hold(lock_);
    if (buffer_)
        Rewind();
}

void CAudioPlayer::Close()
{
    stopRequest_.store(true, std::memory_order_release);
    if (monitor_.joinable())
        monitor_.join();
    {
        win::Lock hold(lock_);
        if (buffer_)
            buffer_->Stop();
        buffer_.Release();
    }
    notify_.Release();
    sound_.Release();
    notifyEvent_.Reset();
}
