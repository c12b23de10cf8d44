#pragma once
// Pictures of known content, a host window for the display, and pixel reads of the window, shared
// by the display's Wine tests, its screenshot program and its benchmark.
#include "DisplayManager.h"
#include "foundation/Dib.h"
#include "foundation/Module.h"
#include "foundation/Window.h"
#include <cstdint>
#include <cstdlib>
#include <vector>
#include <windows.h>

namespace displaykit {

struct Picture {
    BITMAPINFO info{};
    std::vector<uint8_t> pixels; // 24-bit BGR, top-down
    int width = 0, height = 0;

    void Set(int x, int y, COLORREF c)
    {
        uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 3];
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
    }
};

inline Picture MakePicture(int w, int h)
{
    Picture p;
    p.width = w;
    p.height = h;
    p.pixels.assign(static_cast<size_t>(w) * h * 3 + 4, 0);
    p.info = win::TopDownDib(w, h, 24, static_cast<DWORD>(w * 3 * h));
    return p;
}

inline Picture Solid(int w, int h, COLORREF c)
{
    Picture p = MakePicture(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.Set(x, y, c);
    return p;
}

constexpr COLORREF kRed = RGB(200, 0, 0), kGreen = RGB(0, 160, 0), kBlue = RGB(0, 0, 200), kYellow = RGB(200, 200, 0),
                   kMagenta = RGB(255, 0, 255), kCyan = RGB(0, 255, 255);

// Quadrants red, green / blue, yellow; a 5-pixel magenta edge at the top and left and a 15-pixel
// cyan edge at the right and bottom: the edges the display cuts away from a D1 picture.
inline Picture QuadrantCard(int w, int h)
{
    Picture p = MakePicture(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            COLORREF c = y < h / 2 ? (x < w / 2 ? kRed : kGreen) : (x < w / 2 ? kBlue : kYellow);
            if (x < 5 || y < 5)
                c = kMagenta;
            else if (x >= w - 15 || y >= h - 15)
                c = kCyan;
            p.Set(x, y, c);
        }
    return p;
}

// A broadcast-style test card: colour bars, a grey ramp, a centre cross and a channel mark of
// channel + 1 white blocks, so each division shows which picture it got and how it was scaled.
inline Picture TestCard(int w, int h, int channel)
{
    static const COLORREF bars[8] = {RGB(235, 235, 235), RGB(235, 235, 16), RGB(16, 235, 235), RGB(16, 235, 16),
                                     RGB(235, 16, 235),  RGB(235, 16, 16),  RGB(16, 16, 235),  RGB(16, 16, 16)};
    Picture p = MakePicture(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            COLORREF c;
            if (y < h * 2 / 3)
                c = bars[x * 8 / w];
            else if (y < h * 5 / 6) {
                const int g = x * 255 / (w - 1);
                c = RGB(g, g, g);
            } else
                c = RGB(32, 32, 96);
            if (std::abs(x - w / 2) < 2 || std::abs(y - h / 2) < 2)
                c = RGB(0, 0, 0);
            p.Set(x, y, c);
        }
    const int block = w / 40;
    for (int i = 0; i <= channel; ++i)
        for (int y = h * 5 / 6 + block; y < h * 5 / 6 + 2 * block && y < h; ++y)
            for (int x = block + i * 2 * block; x < block + i * 2 * block + block && x < w; ++x)
                p.Set(x, y, RGB(255, 255, 255));
    return p;
}

// A popup host at the screen's corner that passes child notifications to the display, as the view does.
class Host final : public win::Window {
public:
    explicit Host(int w, int h)
    {
        static const bool registered =
            win::RegisterModuleClass(ClassOf(L"DisplayTestHost", 0, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))));
        if (registered)
            CreateEx(0, L"DisplayTestHost", L"host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, w, h, nullptr, 0);
    }

    HWND Window() const { return Hwnd(); }
    video::DisplayManager* display = nullptr;
    int doubleClicks = 0;
    LPARAM lastDoubleClick = 0;

    static void Pump(DWORD ms = 50)
    {
        const DWORD start = GetTickCount();
        MSG msg;
        do {
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        } while (GetTickCount() - start < ms);
    }

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override
    {
        switch (msg) {
        case WM_PARENTNOTIFY:
            if (!display)
                break;
            display->OnParentNotify(Hwnd(), wp, lp);
            return 0;
        case WM_LBUTTONDBLCLK:
            doubleClicks++;
            lastDoubleClick = lp;
            return 0;
        }
        return Default(msg, wp, lp);
    }
};

// The display of the screenshots and the benchmark: w x h in `host`, sixteen channels titled
// "Camera NN", every text on. False when it did not open.
inline bool OpenSixteenTitledChannels(Host& host, video::DisplayManager& dm, int w, int h)
{
    host.display = &dm;
    if (!host.Window() || !dm.Create(host.Window(), RECT{0, 0, w, h}, 4))
        return false;
    dm.Show(1);
    for (int c = 0; c < video::kDisplayChannels; ++c)
        dm.SetChannelTitle(c, c < 16 ? L"Camera %02d" : L"");
    dm.SetChannelCount(16);
    dm.SetOsdOptions(1, 1, 1);
    return true;
}

// The pixels a window shows: its device context copied into a 32-bit top-down bitmap.
class WindowPixels {
public:
    bool Capture(HWND wnd)
    {
        RECT rc{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; // no window: the screen
        if (wnd && !GetClientRect(wnd, &rc))
            return false;
        w_ = rc.right;
        h_ = rc.bottom;
        const BITMAPINFO bi = win::TopDownDib(w_, h_, 32);
        HDC wdc = wnd ? GetDC(wnd) : GetDC(nullptr);
        HDC mem = CreateCompatibleDC(wdc);
        void* bits = nullptr;
        HBITMAP bmp = CreateDIBSection(wdc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(mem, bmp);
        BitBlt(mem, 0, 0, w_, h_, wdc, 0, 0, SRCCOPY);
        GdiFlush();
        const uint32_t* p = static_cast<const uint32_t*>(bits);
        px_.assign(p, p + static_cast<size_t>(w_) * h_);
        SelectObject(mem, old);
        DeleteObject(bmp);
        DeleteDC(mem);
        ReleaseDC(wnd, wdc);
        return true;
    }
    COLORREF At(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= w_ || y >= h_)
            return CLR_INVALID;
        const uint32_t v = px_[static_cast<size_t>(y) * w_ + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    int Width() const { return w_; }
    int Height() const { return h_; }
    const std::vector<uint32_t>& Raw() const { return px_; }

private:
    std::vector<uint32_t> px_;
    int w_ = 0, h_ = 0;
};

} // namespace displaykit
