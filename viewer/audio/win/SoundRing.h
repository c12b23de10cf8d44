#pragma once
// What the DirectSound player and capture share about their rings: the PCM format and description
// of a ring and the wrap of a position within it.
#include <windows.h>
#include <mmsystem.h>

inline WAVEFORMATEX PcmFormat(WORD channels, WORD bits, DWORD rate)
{
    WAVEFORMATEX wf{};
    wf.wFormatTag = WAVE_FORMAT_PCM;
    wf.nChannels = channels;
    wf.nSamplesPerSec = rate;
    wf.wBitsPerSample = bits;
    wf.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    wf.nAvgBytesPerSec = rate * wf.nBlockAlign;
    return wf;
}

// The description of a ring of `bytes` in format `wf`, for a playback (DSBUFFERDESC) or capture
// (DSCBUFFERDESC) buffer.
template <typename Desc> Desc RingDesc(DWORD bytes, WAVEFORMATEX* wf)
{
    Desc desc{};
    desc.dwSize = sizeof desc;
    desc.dwBufferBytes = bytes;
    desc.lpwfxFormat = wf;
    return desc;
}

// The ring position `length` bytes after `position` (length at most the ring's size).
inline DWORD RingAdvance(DWORD position, DWORD length, DWORD ringSize)
{
    DWORD next = position + length;
    if (next >= ringSize)
        next -= ringSize;
    return next;
}
