#include "AudioCapture.h"
#include "SoundRing.h"
#include <cstring>

CAudioCapture::~CAudioCapture() { Close(); }

HRESULT CAudioCapture::Open(HWND window, DWORD blockSize, DWORD blockCount, WORD channels, WORD bits, DWORD rate)
{
    Close();
    window_ = window;
    blockSize_ = blockSize;
    bufferSize_ = blockSize * blockCount;
    readPosition_.store(0, std::memory_order_release);
    if (bufferSize_ == 0)
        return E_INVALIDARG;

    win::ComPtr<IDirectSoundCapture> capture;
    HRESULT hr = DirectSoundCaptureCreate(nullptr, capture.Put(), nullptr);
    if (FAILED(hr))
        return hr;
    WAVEFORMATEX wf = PcmFormat(channels, bits, rate);
    DSCBUFFERDESC desc = RingDesc<DSCBUFFERDESC>(bufferSize_, &wf);
    win::ComPtr<IDirectSoundCaptureBuffer> buffer;
    hr = capture->CreateCaptureBuffer(&desc, buffer.Put(), nullptr);
    if (FAILED(hr))
        return hr;
    win::Lock hold(lock_);
    capture_ = std::move(capture);
    buffer_ = std::move(buffer);
    return S_OK;
}

HRESULT CAudioCapture::Start()
{
    bool capturing;
    {
        win::Lock hold(lock_);
        if (!buffer_)
            return DSERR_OBJECTNOTFOUND;
        DWORD status = 0;
        capturing = SUCCEEDED(buffer_->GetStatus(&status)) && (status & DSCBSTATUS_CAPTURING);
    }
    // Already capturing: its thread runs until the capture stops, so waiting for it would never end.
    if (capturing && thread_ && WaitForSingleObject(thread_.Get(), 0) == WAIT_TIMEOUT)
        return S_OK;
    // A thread of an earlier Start may still be finishing its last message.
    JoinThread();
    HRESULT hr;
    {
        win::Lock hold(lock_);
        hr = buffer_ ? buffer_->Start(DSCBSTART_LOOPING) : DSERR_OBJECTNOTFOUND;
    }
    if (FAILED(hr))
        return hr;
    thread_.Attach(CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
    return thread_ ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

int CAudioCapture::Stop()
{
    win::Lock hold(lock_);
    return buffer_ ? (buffer_->Stop(), 1) : 0;
}

int CAudioCapture::Read(void* out, DWORD length)
{
    win::Lock hold(lock_);
    int result = 0;
    if (buffer_ && out && length <= bufferSize_) {
        const DWORD position = readPosition_.load(std::memory_order_relaxed);
        void* p1 = nullptr;
        void* p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        if (SUCCEEDED(buffer_->Lock(position, length, &p1, &n1, &p2, &n2, 0))) {
            std::memcpy(out, p1, n1);
            if (p2 && n2)
                std::memcpy(static_cast<BYTE*>(out) + n1, p2, n2);
            buffer_->Unlock(p1, n1, p2, n2);
            readPosition_.store(RingAdvance(position, length, bufferSize_), std::memory_order_release);
            result = 1;
        }
    }
    return result;
}

DWORD WINAPI CAudioCapture::ThreadMain(void* self)
{
    static_cast<CAudioCapture*>(self)->Run();
    return 0;
}

void CAudioCapture::Run()
{
    for (;;) {
        DWORD status = 0, capture = 0, read = 0, position = 0;
        bool running;
        {
            win::Lock hold(lock_);
            running = buffer_ && SUCCEEDED(buffer_->GetStatus(&status)) && (status & DSCBSTATUS_CAPTURING) &&
                SUCCEEDED(buffer_->GetCurrentPosition(&capture, &read));
            position = readPosition_.load(std::memory_order_relaxed);
        }
        if (!running)
            return;
        long available = static_cast<long>(read) - static_cast<long>(position);
        if (available < 0)
            available += static_cast<long>(bufferSize_);
        if (available < static_cast<long>(blockSize_)) {
            Sleep(5);
            continue;
        }
        SendMessageW(window_, WM_AUDIO_CAPTURED, blockSize_, available);
        // A window that left the block unread (or is gone) would have us send again at once, forever:
        // wait for the next block instead.
        if (readPosition_.load(std::memory_order_acquire) == position)
            Sleep(5);
    }
}

void CAudioCapture::JoinThread()
{
    if (!thread_)
        return;
    // The thread may be inside SendMessage to this (the window's) thread: serve sent messages
    // while waiting for it.
    for (;;) {
        HANDLE thread = thread_.Get();
        const DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1)
            break;
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    thread_.Reset();
}

void CAudioCapture::Close()
{
    Stop();
    JoinThread();
    win::Lock hold(lock_);
    buffer_.Release();
    capture_.Release();
}
