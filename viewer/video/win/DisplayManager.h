#pragma once
// The split-screen display: a child window of the view that shows up to 25 camera pictures in one
// of eleven layouts, each division with its border, camera title, picture size and time stamp.
// Decode threads hand it pictures at any time; the user-interface thread chooses the layout, the
// channel of each division and the on-screen-display options. Every entry point takes the display
// lock, and the drawing into the back buffer and the copy to the window happen on the caller's thread.
#include "DisplayStore.h"
#include "DivisionOverlay.h"
#include "foundation/Handles.h"
#include "foundation/Window.h"
#include <windows.h>
#include <functional>
#include <mutex>
#include <vector>

namespace video {

// The view's right-click switches for title, size and time: each starts at 0 and flips on every
// right button press in a child window.
struct OsdSwitches {
    int title = 0, size = 0, time = 0;
    void Flip()
    {
        title = !title;
        size = !size;
        time = !time;
    }
};

class DisplayManager final : private win::Window {
public:
    DisplayManager();
    ~DisplayManager() override;
    DisplayManager(const DisplayManager&) = delete;
    DisplayManager& operator=(const DisplayManager&) = delete;

    // Creates the "DISPLAY" child window at area (the parent's client coordinates), hidden.
    bool Create(HWND parent, const RECT& area, int layout);
    void Show(int show);
    // Moves the window to `area` (the parent's client coordinates) and lays the divisions out anew
    // for its size; the kept pictures are drawn again.
    bool Resize(const RECT& area);

    // channels[i]: the channel at position i (255 = none); positions past count stay empty.
    bool SetLayout(int layout, const uint8_t* channels, size_t count);

    // info: the 44-byte bitmap information (40-byte header and one more 32-bit value). Refused when
    // the channel is outside 0-24 or the picture does not fit its buffer; the time, when given, is the
    // picture's local time to show.
    bool SetChannelPicture(int channel, const BITMAPINFO* info, const void* pixels);
    bool SetChannelPicture(int channel, const BITMAPINFO* info, const PictureTime& time, const void* pixels);

    bool SetChannelTitle(int channel, const wchar_t* format);
    void SetChannelCount(int n);
    void BlankAll(int redraw);
    void SetFillLevel(uint8_t level);
    void SetBorderColour(COLORREF colour);
    void SetOsdOptions(int title, int size, int time);
    void Redraw(uint32_t channelMask);
    // The channels being recorded (bit n = channel n): each of their divisions shows a red "REC"
    // under its title.
    void SetRecording(uint32_t channelMask);
    uint32_t Recording();

    // Called by the view for WM_PARENTNOTIFY: the view becomes the window that double clicks are
    // posted to, and a right button press flips the switches and applies them. True when it was one.
    bool OnParentNotify(HWND view, WPARAM wp, LPARAM lp);
    void SetNotifyWindow(HWND view);

    // Digital zoom (DisplayZoom.cpp). The wheel at a point of the display's client area zooms the
    // division there around the point; a drag with the left button pans a zoomed division. A
    // layout change returns every division to its whole picture.
    bool WheelZoom(POINT client, int wheelDelta);
    Zoom ZoomOf(int channel);
    // Every division at `factor` around its middle, whatever the layout (the benchmark's
    // comparison); 1: each division's own zoom again.
    void ZoomAll(double factor);
    // Dims the divisions whose last picture is older than `afterMs` with the text `text(channel,
    // seconds)` gives, or renews that text; the channel's next picture clears it.
    void AgePictures(uint64_t nowMs, uint64_t afterMs, const std::function<std::u16string(int, long long)>& text);
    bool Aged(int channel);
    // The channel of the division at a client point; -1 where none is.
    int ChannelAtPoint(POINT client);
    // A copy of the channel's kept picture at its decoded size, rows top-down, 24-bit BGR rows of
    // `stride` bytes, with its local time; false when it has no real picture.
    struct Still {
        int width = 0, height = 0;
        size_t stride = 0;
        std::vector<uint8_t> bgr;
        PictureTime time;
    };
    bool CopyPicture(int channel, Still& still);
    std::u16string AgeText(int channel);

    HWND Window() const { return wnd_; }
    int CurrentLayout();
    uint8_t PositionOf(int channel);
    uint8_t ChannelAt(int position);
    const OsdSwitches& Switches() const { return switches_; }

    // For tests and the benchmark: a pixel of the back buffer (CLR_INVALID outside it), and whether
    // a picture copies the whole back buffer to the window rather than what it changed.
    COLORREF BackBufferPixel(int x, int y);
    void SetCopyWholeBuffer(bool whole);
    // Whether a decode thread scales its picture itself, outside the display lock (the default), or
    // the platform's halftone stretch does it under the lock. For the benchmark's comparison.
    void SetScaleOutsideLock(bool outside);

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    LRESULT OnDoubleClick(WPARAM wp, LPARAM lp);
    LRESULT OnPaintMessage();
    void OnPaint(HDC dc);
    void OnDestroy();

    bool BuildBackBuffer();
    void DeleteBackBuffer();
    void DeleteGdiObjects();
    void RedrawLocked(uint32_t mask);
    void DrawAllLocked();
    // Draws a division into the back buffer: the picture (stretched, or the rows of `scaled` when
    // given, already of the division's size), the border and the texts; returns what it covered.
    RECT DrawDivision(const DivisionPlan& plan, const uint32_t* scaled = nullptr);
    void CopyScaled(const DivRect& d, const uint32_t* scaled);
    // The back buffer's `dirty` part to the window (all of it in copy-whole mode).
    void CopyToWindowLocked(RECT dirty);
    void DrawOutlinedText(const char16_t* text, const TextBox& box, UINT format);
    // The plan with the division's zoom applied, and what is drawn over a zoomed or aged picture.
    void PlanAt(int position, DivisionPlan& plan) const;
    void DimIfAged(const DivisionPlan& plan);
    void DrawOverlay(const DivisionPlan& plan, RECT& extent);
    void DrawRecordMark(const DivisionPlan& plan, RECT& extent);
    bool OnPanMouse(UINT msg, LPARAM lp);
    Zoom ZoomLocked(int channel) const;
    HFONT TextFont(int points);
    HPEN BorderPen(int width);
    bool StorePicture(int channel, const BITMAPINFO* info, const PictureTime* time, const void* pixels);

    win::CriticalSection lock_;
    DisplayStore store_;
    HWND parent_ = nullptr; // not ours: the view's window
    HWND notify_ = nullptr; // not ours: where double clicks go (the view)
    HWND wnd_ = nullptr; // ours (the base's window), under the lock for the decode threads
    RECT area_{};
    win::MemoryDC back_{win::MemoryDC::Later{}}; // the back buffer's DC, made for the window's size
    uint32_t* backBits_ = nullptr; // the back buffer's pixels, 32 bits, top-down
    int backWidth_ = 0, backHeight_ = 0;
    win::Font font_; // "Fixedsys", answered to WM_GETFONT
    win::Font textFonts_[17]; // "Arial" per point size, made on first use
    win::Pen pens_[5]; // border pens per width in borderColour_
    COLORREF outlineColour_ = RGB(0, 0, 0);
    COLORREF textColour_ = RGB(255, 255, 255);
    COLORREF borderColour_ = RGB(255, 255, 255);
    bool copyWhole_ = false;
    bool scaleOutside_ = true;
    OsdSwitches switches_;
    // Each channel's picture scaled to its division, made outside the lock by the thread that
    // stores the channel's pictures; its mutex keeps two storing threads of one channel apart.
    struct Scaled {
        std::mutex lock;
        std::vector<uint32_t> pixels;
    };
    Scaled scaled_[kDisplayChannels];
    std::vector<uint32_t> redrawScratch_; // under the lock
    DivisionOverlay overlay_; // under the lock
    double zoomAll_ = 1.0; // under the lock
    uint32_t recording_ = 0; // under the lock
    int panChannel_ = -1; // the channel a left-button drag pans; -1 none (user-interface thread)
    POINT panFrom_{};
};

} // namespace video
