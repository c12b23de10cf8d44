#pragma once
// A message-only window for the capture thread's WM_AUDIO_CAPTURED (a block of `wp` bytes is ready):
// once `onCaptured` is set, each message is counted and handed to it.
#include "AudioCapture.h"
#include "TestKit.h"
#include <functional>

struct CaptureWindow {
    CaptureWindow()
    {
        window.onMessage = [this](UINT, WPARAM wp, LPARAM) -> LRESULT {
            if (onCaptured) {
                ++messages;
                onCaptured(wp);
            }
            return 0;
        };
    }
    testkit::RecorderWindow window{WM_AUDIO_CAPTURED, WM_AUDIO_CAPTURED, HWND_MESSAGE};
    HWND hwnd = window.Hwnd();
    int messages = 0;
    std::function<void(WPARAM)> onCaptured;
};
