// DirectSound reaches the session's sound server: a secondary buffer plays and its play cursor
// advances; a capture buffer fills from the default source.
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>
#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

WAVEFORMATEX Pcm8k()
{
    WAVEFORMATEX wf{};
    wf.wFormatTag = WAVE_FORMAT_PCM;
    wf.nChannels = 1;
    wf.nSamplesPerSec = 8000;
    wf.wBitsPerSample = 16;
    wf.nBlockAlign = 2;
    wf.nAvgBytesPerSec = 16000;
    return wf;
}

template <class T> struct Com {
    T* p = nullptr;
    ~Com()
    {
        if (p)
            p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() { return p; }
};

TEST(BenchDirectSound, SecondaryBufferPlaysAndCursorAdvances)
{
    Com<IDirectSound8> ds;
    ASSERT_EQ(DirectSoundCreate8(nullptr, &ds, nullptr), DS_OK);
    ASSERT_EQ(ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY), DS_OK);
    WAVEFORMATEX wf = Pcm8k();
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;
    desc.dwBufferBytes = 16000;
    desc.lpwfxFormat = &wf;
    Com<IDirectSoundBuffer> buf;
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &buf, nullptr), DS_OK);

    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    ASSERT_EQ(buf->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
    auto* s = static_cast<int16_t*>(p1);
    for (DWORD i = 0; i < n1 / 2; ++i)
        s[i] = static_cast<int16_t>(8000 * std::sin(i * 2 * 3.14159265 * 440 / 8000));
    buf->Unlock(p1, n1, p2, n2);

    DWORD play0 = 0, write0 = 0;
    ASSERT_EQ(buf->GetCurrentPosition(&play0, &write0), DS_OK);
    ASSERT_EQ(buf->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    DWORD status = 0;
    ASSERT_EQ(buf->GetStatus(&status), DS_OK);
    EXPECT_TRUE(status & DSBSTATUS_PLAYING);
    Sleep(400);
    DWORD play1 = 0, write1 = 0;
    ASSERT_EQ(buf->GetCurrentPosition(&play1, &write1), DS_OK);
    // 400 ms is 6400 bytes at 16000 bytes/s; the server's latency takes some of it.
    EXPECT_GT(play1, play0 + 1000) << "play cursor " << play0 << " -> " << play1;
    buf->Stop();
}

TEST(BenchDirectSound, CaptureBufferFills)
{
    Com<IDirectSoundCapture> cap;
    ASSERT_EQ(DirectSoundCaptureCreate(nullptr, &cap, nullptr), DS_OK);
    WAVEFORMATEX wf = Pcm8k();
    DSCBUFFERDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwBufferBytes = 16000;
    desc.lpwfxFormat = &wf;
    Com<IDirectSoundCaptureBuffer> buf;
    ASSERT_EQ(cap->CreateCaptureBuffer(&desc, &buf, nullptr), DS_OK);
    ASSERT_EQ(buf->Start(DSCBSTART_LOOPING), DS_OK);
    DWORD capture = 0, read = 0;
    DWORD start = GetTickCount();
    while (read < 3200 && GetTickCount() - start < 5000) {
        Sleep(20);
        ASSERT_EQ(buf->GetCurrentPosition(&capture, &read), DS_OK);
    }
    EXPECT_GE(read, 3200u) << "capture read cursor stayed at " << read;
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    ASSERT_EQ(buf->Lock(0, 3200, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1 + n2, 3200u);
    buf->Unlock(p1, n1, p2, n2);
    buf->Stop();
}

} // namespace
