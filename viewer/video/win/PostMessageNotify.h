#pragma once
// Posts the decoder manager's resolution-class changes to the view's window.
#include "Mp4DecoderManager.h"
#include "foundation/Messages.h"
#include <windows.h>

namespace video {

static_assert(kMsgResolutionClass == WM_RESOLUTION_CLASS, "the decoder manager's message is the view's 1223");

class CPostMessageNotify final : public IDecoderNotify {
public:
    explicit CPostMessageNotify(HWND window) : window_(window) {}
    void ResolutionClassChanged(int channel, int resolutionClass) override
    {
        if (window_)
            PostMessageW(window_, WM_RESOLUTION_CLASS, static_cast<WPARAM>(channel),
                         static_cast<LPARAM>(resolutionClass));
    }

private:
    HWND window_; // the view's: not ours
};

} // namespace video
