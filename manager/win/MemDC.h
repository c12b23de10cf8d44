#pragma once
// CMemDC: flicker-free drawing. Everything drawn through it lands in an off-screen bitmap of the
// target's clip box (filled with the target's background colour first), copied back to the target
// in one piece when it goes. A printer context is drawn on directly.
#include <windows.h>
#include "foundation/Handles.h"

namespace manager {

class CMemDC {
public:
    explicit CMemDC(HDC target) : target_(target)
    {
        if (!target_ || GetDeviceCaps(target_, TECHNOLOGY) == DT_RASPRINTER)
            return;
        GetClipBox(target_, &clip_);
        const int w = clip_.right - clip_.left, h = clip_.bottom - clip_.top;
        if (!memory_.Create(target_, w, h)) {
            memory_.Reset();
            return;
        }
        SetWindowOrgEx(memory_.Get(), clip_.left, clip_.top, nullptr);
        win::Brush back(CreateSolidBrush(GetBkColor(target_)));
        FillRect(memory_.Get(), &clip_, back.Get());
    }
    ~CMemDC()
    {
        if (memory_)
            BitBlt(target_, clip_.left, clip_.top, clip_.right - clip_.left, clip_.bottom - clip_.top, memory_.Get(),
                   clip_.left, clip_.top, SRCCOPY);
    }
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    // Where to draw: the memory context, or the target itself when there is none.
    HDC Get() const { return memory_ ? memory_.Get() : target_; }
    operator HDC() const { return Get(); }
    bool Buffered() const { return static_cast<bool>(memory_); }

private:
    HDC target_; // not ours
    RECT clip_{};
    win::MemoryDC memory_{win::MemoryDC::Later{}}; // the previous bitmap goes back before the DC is deleted
};

} // namespace manager
