#pragma once
// Playback of 8 kHz PCM through a DirectSound secondary buffer used as a ring of blocks. Playing
// starts once `start blocks` are buffered; a monitor thread stops and rewinds the ring when the play
// cursor catches up with the last block written.
#include "AudioOutput.h"
#include "foundation/ComPtr.h"
#include "foundation/Handles.h"
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>
#include <atomic>
#include <thread>

class CAudioPlayer : public audio::IAudioOutput {
public:
    CAudioPlayer() = default;
    ~CAudioPlayer();
    CAudioPlayer(const CAudioPlayer&) = delete;
    CAudioPlayer& operator=(const CAudioPlayer&) = delete;

    HRESULT Open(HWND window, DWORD blockSize, DWORD blockCount, DWORD startBlocks, WORD channels, WORD bits,
                 DWORD rate);
    // 0, E_ACCESSDENIED (no room: the block is dropped), E_FAIL, or DSERR_OBJECTNOTFOUND (no device).
    long Write(const void* data, uint32_t length) override;
    // The play cursor in bytes, or -1 without a buffer or monitor thread.
    long PlayPosition();
    // Where the next block goes; safe to read from any thread.
    DWORD WritePosition() const { return writePosition_.load(std::memory_order_acquire); }
    DWORD BufferSize() const { return bufferSize_; }
    bool IsPlaying();
    // Written and not yet played: the stretch from the play cursor to the write position, or all
    // that was written while the buffer waits for its start threshold.
    uint32_t QueuedBytes() override;
    void Reset();
    void Close();

private:
    void Monitor();
    void Rewind(); // under lock_

    win::CriticalSection lock_; // re-entrant: QueuedBytes holds it across the calls that take it
    DWORD blockSize_ = 256, bufferSize_ = 0, startBlocks_ = 20;
    std::atomic<DWORD> writePosition_{0};
    DWORD lastPlay_ = 0; // the play cursor at the monitor's last look; under lock_
    win::ComPtr<IDirectSound8> sound_; // released in Close
    win::ComPtr<IDirectSoundBuffer> buffer_; // under lock_
    win::ComPtr<IDirectSoundNotify> notify_;
    win::KernelHandle notifyEvent_;
    std::atomic<bool> stopRequest_{false};
    std::atomic<bool> monitorStopped_{true};
    std::thread monitor_;
};
