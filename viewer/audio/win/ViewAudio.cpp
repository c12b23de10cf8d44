#include "ViewAudio.h"

CViewAudio::CViewAudio(audio::IPhoneTransport& transport) : uplink_(coding_, transport, *this) {}

CViewAudio::~CViewAudio() { Close(); }

HRESULT CViewAudio::Open(HWND view)
{
    if (!coders_.Init(audio::kViewCoderCount))
        return E_OUTOFMEMORY;
    receiver_.ResetSequence();
    HRESULT first = S_OK;
    auto keep = [&first](HRESULT hr) {
        if (FAILED(hr) && SUCCEEDED(first))
            first = hr;
    };
    keep(phone_.Open(view, 256, 200, 20, 1, 16, 8000));
    keep(main_.Open(view, 256, 200, 20, 1, 16, 8000));
    keep(capture_.Open(view, 256, 10, 1, 16, 8000));
    return first;
}

void CViewAudio::Close()
{
    main_.Reset();
    main_.Close();
    phone_.Reset();
    phone_.Close();
    capture_.Stop();
    capture_.Close();
    coders_.Release();
}

int64_t CViewAudio::AudioNowMs()
{
    const audio::AudioClock c = receiver_.Clock();
    const int64_t clock = int64_t(c.seconds) * 1000 + c.milliseconds;
    if (main_.PlayPosition() < 0)
        return clock;
    // The end of the audio written less what the player still holds, to the millisecond. (The
    // record clock less whole queued blocks runs up to a block behind, by a varying amount: pictures
    // then came 8 ms late on average, and as the queue was trimmed the clock moved for blocks never
    // written.)
    const int64_t end = receiver_.WrittenEndMs();
    if (end == 0)
        return clock - int64_t(main_.QueuedBytes() / audio::kBlockBytes) * audio::kBlockMs;
    return end - int64_t(main_.QueuedBytes()) * audio::kBlockMs / int64_t(audio::kBlockBytes);
}

void CViewAudio::SelectChannel(int buttonId)
{
    if (buttonId >= kFirstChannelButton && buttonId < kFirstChannelButton + 4)
        receiver_.SetSelectedChannel(static_cast<unsigned>(buttonId - kFirstChannelButton));
}

bool CViewAudio::SetPhoneButton(bool down)
{
    receiver_.SetPhoneDown(down);
    return uplink_.SetButton(down);
}

bool CViewAudio::OnDisconnected()
{
    receiver_.SetPhoneDown(false);
    return uplink_.OnDisconnected();
}

bool CViewAudio::ReadCaptured(void* out, size_t length) { return capture_.Read(out, static_cast<DWORD>(length)) != 0; }

void CViewAudio::StartCapture() { capture_.Start(); }
void CViewAudio::StopCapture() { capture_.Stop(); }
void CViewAudio::ResetPhonePlayer() { phone_.Reset(); }

bool CViewAudio::PerformanceCounter(int64_t& counter, int64_t& frequency)
{
    LARGE_INTEGER c, f;
    if (!QueryPerformanceFrequency(&f) || f.QuadPart <= 0 || !QueryPerformanceCounter(&c))
        return false;
    counter = c.QuadPart;
    frequency = f.QuadPart;
    return true;
}
