#pragma once
// Microphone capture into a small DirectSound capture ring. A capture thread tells the notify window
// of every complete block with a synchronous WM_AUDIO_CAPTURED; the window reads it with Read.
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>
#include <atomic>
#include "foundation/ComPtr.h"
#include "foundation/Handles.h"

#include "foundation/Messages.h" // WM_AUDIO_CAPTURED

class CAudioCapture {
public:
    CAudioCapture() = default;
    ~CAudioCapture();
    CAudioCapture(const CAudioCapture&) = delete;
    CAudioCapture& operator=(const CAudioCapture&) = delete;

    HRESULT Open(HWND window, DWORD blockSize, DWORD blockCount, WORD channels, WORD bits, DWORD rate);
    HRESULT Start();
    int Stop();
    // Copies `length` bytes from the read position and advances it; 0 without a buffer.
    int Read(void* out, DWORD length);
    void Close();
    DWORD ReadPosition() const { return readPosition_.load(std::memory_order_acquire); }

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Run();
    void JoinThread();

    win::CriticalSection lock_;
    HWND window_ = nullptr; // not ours
    DWORD blockSize_ = 256, bufferSize_ = 0;
    std::atomic<DWORD> readPosition_{0};
    win::ComPtr<IDirectSoundCapture> capture_; // under lock_
    win::ComPtr<IDirectSoundCaptureBuffer> buffer_; // under lock_
    win::KernelHandle thread_;
};
