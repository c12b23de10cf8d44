#include "DisplayManager.h"
#include "PictureScale.h"
#include "foundation/Dib.h"
#include "foundation/Module.h"
#include "foundation/Trace.h"
#include <windowsx.h>
#include <algorithm>
#include <cstring>

namespace video {

namespace {

constexpr wchar_t kClassName[] = L"DisplayManager";
constexpr wchar_t kWindowTitle[] = L"DISPLAY";
constexpr int kMaxBackBufferSide = 8192;

using win::Trace;

// The pictures the display scales itself: top-down 24 bits, what the decoder hands over. The rest
// goes through the platform's stretch.
bool ScalesItself(const DibHeader& h) { return h.bitCount == 24 && h.height < 0 && h.width > 0; }
using Guard = win::Lock;

void Unite(RECT& into, const RECT& r)
{
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    if (into.right <= into.left || into.bottom <= into.top) {
        into = r;
        return;
    }
    into.left = std::min(into.left, r.left);
    into.top = std::min(into.top, r.top);
    into.right = std::max(into.right, r.right);
    into.bottom = std::max(into.bottom, r.bottom);
}

RECT Grown(const TextBox& b, int by) { return RECT{b.left - by, b.top - by, b.right + by, b.bottom + by}; }

} // namespace

DisplayManager::DisplayManager() { store_.AllocateBuffers(); }

DisplayManager::~DisplayManager()
{
    if (Hwnd())
        DestroyWindow(Hwnd());
    Guard g(lock_);
    DeleteGdiObjects();
    store_.FreeBuffers();
}

bool DisplayManager::Create(HWND parent, const RECT& area, int layout)
{
    {
        Guard g(lock_);
        if (wnd_)
            return false;
        // A manager whose window was destroyed gets its buffers back for the new one.
        store_.AllocateBuffers();
        parent_ = parent;
        notify_ = parent;
        area_ = area;
    }

    if (!win::RegisterModuleClass(ClassOf(kClassName, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS,
                                          static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)))))
        return false;
    if (!CreateEx(0, kClassName, kWindowTitle, WS_CHILD | WS_CLIPSIBLINGS, area.left, area.top, area.right - area.left,
                  area.bottom - area.top, parent, 0)) {
        Trace(L"===>>> Fail CreateWindow  0x%08X \r\n", GetLastError());
        return false;
    }

    Guard g(lock_);
    wnd_ = Hwnd();
    store_.SetIdentityMaps();
    store_.SetArea(area.right - area.left, area.bottom - area.top);
    store_.SetCurrentLayout(layout);
    int dpi = 96;
    if (win::WindowDC dc(wnd_); dc)
        dpi = GetDeviceCaps(dc.Get(), LOGPIXELSY);
    font_.Attach(CreateFontW(-MulDiv(9, dpi, 72), 0, 0, 0, 300, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_DONTCARE,
                             L"Fixedsys"));
    if (!font_)
        Trace(L"===>>> Fail CreateFont  0x%08X \r\n", GetLastError());
    BuildBackBuffer();
    return true;
}

void DisplayManager::Show(int show)
{
    if (wnd_)
        ShowWindow(wnd_, show == 1 ? SW_SHOW : SW_HIDE);
}

bool DisplayManager::SetLayout(int layout, const uint8_t* channels, size_t count)
{
    Guard g(lock_);
    uint32_t mask = 0;
    const int before = store_.CurrentLayout();
    if (!store_.SetLayout(layout, channels, count, mask))
        return false;
    overlay_.ResetZooms();
    if (store_.CurrentLayout() != before)
        overlay_.ForgetPictures(); // the store blanked them
    // A cell without a channel is never drawn and keeps what the back buffer holds there; after a
    // change of layout that is the old grid's lines and pictures, so it starts at the fill level.
    if (back_.Get() && store_.CurrentLayout() != before) {
        const Layout& l = store_.LayoutAt(store_.CurrentLayout());
        const uint8_t level = store_.FillLevel();
        win::Brush brush(CreateSolidBrush(RGB(level, level, level)));
        for (int p = 0; p < l.count && brush.Get(); ++p) {
            if (store_.ChannelAt(p) < kDisplayChannels)
                continue;
            const DivRect& d = l.divisions[p].rect;
            RECT r{d.left, d.top, d.right, d.bottom};
            FillRect(back_.Get(), &r, brush.Get());
            if (wnd_)
                InvalidateRect(wnd_, &r, FALSE);
        }
    }
    RedrawLocked(mask);
    return true;
}

bool DisplayManager::StorePicture(int channel, const BITMAPINFO* info, const PictureTime* time, const void* pixels)
{
    if (!info)
        return false;
    PictureInfo pi;
    static_assert(sizeof(BITMAPINFO) == sizeof(PictureInfo), "BITMAPINFO is the 44-byte bitmap information");
    std::memcpy(&pi, info, sizeof pi);
    DivisionPlan plan;
    {
        Guard g(lock_);
        if (!store_.StorePicture(channel, pi, pixels, time))
            return false;
        if (pi.header.width > 2) // not the one-pixel blank
            overlay_.PictureStored(channel, GetTickCount64());
        // The fast way takes a whole top-down 24-bit picture (what the decoder hands over); all else
        // is stretched under the lock.
        const PictureBytes bytes = CheckPicture(pi.header);
        const uint8_t position = store_.PositionOf(channel);
        bool fast = scaleOutside_ && wnd_ && back_.Get() && backBits_ && position != kNoEntry &&
            ScalesItself(pi.header) && bytes.copy >= bytes.needed;
        if (fast) {
            PlanAt(position, plan);
            fast =
                plan.draw && plan.picture && plan.channel == channel && plan.rect.Width() > 0 && plan.rect.Height() > 0;
        }
        if (!fast) {
            RedrawLocked(1u << channel);
            return true;
        }
    }
    // Outside the lock: the pixels are the caller's, valid for the call, and the same bytes the store
    // now holds.
    Scaled& scaled = scaled_[channel];
    std::lock_guard<std::mutex> hold(scaled.lock);
    const int w = plan.rect.Width(), h = plan.rect.Height();
    scaled.pixels.resize(static_cast<size_t>(w) * h);
    const bool made = ScalePicture(static_cast<const uint8_t*>(pixels), pi.header.width, -pi.header.height, plan.source,
                                   scaled.pixels.data(), w, h, static_cast<size_t>(w));
    Guard g(lock_);
    // The layout, the area or the picture may have changed meanwhile: then draw the usual way.
    DivisionPlan now;
    const uint8_t position = store_.PositionOf(channel);
    if (position != kNoEntry)
        PlanAt(position, now);
    const bool same = made && now.draw && now.picture && now.channel == channel &&
        std::memcmp(&now.rect, &plan.rect, sizeof plan.rect) == 0 &&
        std::memcmp(&now.source, &plan.source, sizeof plan.source) == 0 && wnd_ && back_.Get() && backBits_;
    if (!same) {
        RedrawLocked(1u << channel);
        return true;
    }
    CopyToWindowLocked(DrawDivision(now, scaled.pixels.data()));
    store_.MarkDrawn(channel);
    return true;
}

bool DisplayManager::SetChannelPicture(int channel, const BITMAPINFO* info, const void* pixels)
{
    return StorePicture(channel, info, nullptr, pixels);
}

bool DisplayManager::SetChannelPicture(int channel, const BITMAPINFO* info, const PictureTime& time, const void* pixels)
{
    return StorePicture(channel, info, &time, pixels);
}

bool DisplayManager::SetChannelTitle(int channel, const wchar_t* format)
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide characters are UTF-16 here");
    Guard g(lock_);
    return store_.SetChannelTitle(channel, reinterpret_cast<const char16_t*>(format));
}

void DisplayManager::SetChannelCount(int n)
{
    Guard g(lock_);
    store_.SetChannelCount(n);
}

void DisplayManager::BlankAll(int redraw)
{
    Guard g(lock_);
    store_.BlankAll();
    overlay_.ForgetPictures();
    if (redraw == 1)
        RedrawLocked(0xFFFF);
}

void DisplayManager::SetFillLevel(uint8_t level)
{
    Guard g(lock_);
    store_.SetFillLevel(level);
    RedrawLocked(0xFFFF);
}

void DisplayManager::SetBorderColour(COLORREF colour)
{
    Guard g(lock_);
    if (colour != borderColour_)
        for (win::Pen& p : pens_)
            p.Reset();
    borderColour_ = colour;
    RedrawLocked(0xFFFF);
}

void DisplayManager::SetOsdOptions(int title, int size, int time)
{
    Guard g(lock_);
    store_.SetOsdOptions(title, size, time);
    RedrawLocked(0xFFFF);
}

void DisplayManager::SetRecording(uint32_t mask)
{
    Guard g(lock_);
    const uint32_t changed = recording_ ^ mask;
    recording_ = mask;
    RedrawLocked(changed);
}

uint32_t DisplayManager::Recording()
{
    Guard g(lock_);
    return recording_;
}

void DisplayManager::DrawRecordMark(const DivisionPlan& plan, RECT& extent)
{
    if (plan.channel < 0 || plan.channel >= kDisplayChannels || !(recording_ & (1u << plan.channel)))
        return;
    // Under the title, in the title's font: the same place in every layout, clear of size and time.
    const TextBox& t = plan.titleBox;
    const int h = t.bottom - t.top;
    const TextBox box{t.left, t.bottom, t.left + 4 * h, t.bottom + h};
    const COLORREF text = textColour_;
    textColour_ = RGB(255, 0, 0);
    DrawOutlinedText(u"REC", box, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    textColour_ = text;
    Unite(extent, Grown(box, 1));
}

void DisplayManager::Redraw(uint32_t mask)
{
    Guard g(lock_);
    RedrawLocked(mask);
}

bool DisplayManager::OnParentNotify(HWND view, WPARAM wp, LPARAM)
{
    SetNotifyWindow(view);
    if (LOWORD(wp) != WM_RBUTTONDOWN)
        return false;
    switches_.Flip();
    SetOsdOptions(switches_.title, switches_.size, switches_.time);
    return true;
}

void DisplayManager::SetNotifyWindow(HWND view)
{
    Guard g(lock_);
    notify_ = view;
}

int DisplayManager::CurrentLayout()
{
    Guard g(lock_);
    return store_.CurrentLayout();
}

uint8_t DisplayManager::PositionOf(int channel)
{
    Guard g(lock_);
    return store_.PositionOf(channel);
}

uint8_t DisplayManager::ChannelAt(int position)
{
    Guard g(lock_);
    return store_.ChannelAt(position);
}

COLORREF DisplayManager::BackBufferPixel(int x, int y)
{
    Guard g(lock_);
    if (!backBits_ || x < 0 || y < 0 || x >= backWidth_ || y >= backHeight_)
        return CLR_INVALID;
    GdiFlush();
    const uint32_t v = backBits_[static_cast<size_t>(y) * backWidth_ + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

void DisplayManager::SetCopyWholeBuffer(bool whole)
{
    Guard g(lock_);
    copyWhole_ = whole;
}

void DisplayManager::SetScaleOutsideLock(bool outside)
{
    Guard g(lock_);
    scaleOutside_ = outside;
}

bool DisplayManager::Resize(const RECT& area)
{
    {
        Guard g(lock_);
        if (!wnd_)
            return false;
        area_ = area;
        store_.SetArea(area.right - area.left, area.bottom - area.top);
        if (BuildBackBuffer())
            DrawAllLocked();
    }
    // Outside the lock: moving the window sends it messages.
    return MoveWindow(Hwnd(), area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE) != FALSE;
}

bool DisplayManager::BuildBackBuffer()
{
    DeleteBackBuffer();
    const int w = area_.right - area_.left, h = area_.bottom - area_.top;
    // No screen is this large; an area beyond it (a broken skin rectangle) gets the blue fallback.
    if (w <= 0 || h <= 0 || w > kMaxBackBufferSide || h > kMaxBackBufferSide)
        return false;
    {
        win::WindowDC dc(wnd_);
        backBits_ = back_.CreateDib(dc.Get(), w, h);
    }
    if (!backBits_) {
        DeleteBackBuffer();
        return false;
    }
    backWidth_ = w;
    backHeight_ = h;
    SetStretchBltMode(back_.Get(), HALFTONE);
    SetBrushOrgEx(back_.Get(), 0, 0, nullptr);
    SetBkMode(back_.Get(), TRANSPARENT);
    DrawAllLocked();
    return true;
}

void DisplayManager::DeleteBackBuffer()
{
    back_.Reset();
    backBits_ = nullptr;
    backWidth_ = backHeight_ = 0;
}

void DisplayManager::DeleteGdiObjects()
{
    DeleteBackBuffer();
    font_.Reset();
    for (win::Font& f : textFonts_)
        f.Reset();
    for (win::Pen& p : pens_)
        p.Reset();
}

void DisplayManager::DrawAllLocked()
{
    const Layout& l = store_.LayoutAt(store_.CurrentLayout());
    DivisionPlan plan;
    for (int p = 0; p < l.count; ++p) {
        PlanAt(p, plan);
        if (plan.draw) {
            DrawDivision(plan);
            store_.MarkDrawn(plan.channel);
        }
    }
}

void DisplayManager::RedrawLocked(uint32_t mask)
{
    if (!wnd_ || !back_.Get())
        return;
    RECT dirty{};
    DivisionPlan plan;
    for (int c = 0; c < kDisplayChannels; ++c) {
        if (!(mask & (1u << c)))
            continue;
        const uint8_t p = store_.PositionOf(c);
        if (p == kNoEntry)
            continue;
        PlanAt(p, plan);
        if (!plan.draw)
            continue;
        Unite(dirty, DrawDivision(plan));
        store_.MarkDrawn(c);
    }
    CopyToWindowLocked(dirty);
}

void DisplayManager::CopyToWindowLocked(RECT dirty)
{
    if (!wnd_ || !back_.Get())
        return;
    if (copyWhole_)
        dirty = RECT{0, 0, backWidth_, backHeight_};
    dirty.left = std::max<LONG>(dirty.left, 0);
    dirty.top = std::max<LONG>(dirty.top, 0);
    dirty.right = std::min<LONG>(dirty.right, backWidth_);
    dirty.bottom = std::min<LONG>(dirty.bottom, backHeight_);
    if (dirty.right <= dirty.left || dirty.bottom <= dirty.top)
        return;
    win::WindowDC dc(wnd_);
    if (!dc)
        return;
    BitBlt(dc.Get(), dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, back_.Get(), dirty.left,
           dirty.top, SRCCOPY);
}

HFONT DisplayManager::TextFont(int points)
{
    if (points < 1 || points > 16)
        points = 8;
    if (!textFonts_[points]) {
        const int dpi = GetDeviceCaps(back_.Get(), LOGPIXELSY);
        textFonts_[points].Attach(CreateFontW(-(points * dpi / 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                              DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                              DEFAULT_PITCH | FF_DONTCARE, L"Arial"));
    }
    return textFonts_[points].Get();
}

HPEN DisplayManager::BorderPen(int width)
{
    if (width < 1 || width > 4)
        width = 1;
    if (!pens_[width])
        pens_[width].Attach(CreatePen(PS_SOLID, width, borderColour_));
    return pens_[width].Get();
}

void DisplayManager::DrawOutlinedText(const char16_t* text, const TextBox& box, UINT format)
{
    wchar_t buf[kTitleLength];
    size_t n = 0;
    for (; text[n] && n + 1 < kTitleLength; ++n)
        buf[n] = static_cast<wchar_t>(text[n]);
    buf[n] = 0;
    if (!n)
        return;
    DRAWTEXTPARAMS params{};
    params.cbSize = sizeof params;
    params.iTabLength = 1;
    params.iLeftMargin = 4;
    params.iRightMargin = 4;
    static const int kOffsets[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    SetTextColor(back_.Get(), outlineColour_);
    for (const auto& o : kOffsets) {
        RECT r{box.left + o[0], box.top + o[1], box.right + o[0], box.bottom + o[1]};
        DrawTextExW(back_.Get(), buf, static_cast<int>(n), &r, format, &params);
    }
    SetTextColor(back_.Get(), textColour_);
    RECT r{box.left, box.top, box.right, box.bottom};
    DrawTextExW(back_.Get(), buf, static_cast<int>(n), &r, format, &params);
}

void DisplayManager::CopyScaled(const DivRect& d, const uint32_t* scaled)
{
    GdiFlush(); // what GDI still owes the back buffer lands before its bits are written
    const int w = d.Width();
    const int x0 = std::max(d.left, 0), x1 = std::min(d.right, backWidth_);
    if (x1 <= x0)
        return;
    for (int y = std::max(d.top, 0); y < std::min(d.bottom, backHeight_); ++y)
        std::memcpy(backBits_ + static_cast<size_t>(y) * backWidth_ + x0,
                    scaled + static_cast<size_t>(y - d.top) * w + (x0 - d.left),
                    static_cast<size_t>(x1 - x0) * sizeof(uint32_t));
}

RECT DisplayManager::DrawDivision(const DivisionPlan& plan, const uint32_t* scaled)
{
    const DivRect& d = plan.rect;
    const PictureRecord& rec = *plan.record;
    if (plan.picture && !scaled && scaleOutside_ && ScalesItself(rec.info.header) && d.Width() > 0 && d.Height() > 0) {
        // A redraw scales the stored picture the same way a decode thread does, so that a picture
        // looks the same whichever drew it.
        redrawScratch_.resize(static_cast<size_t>(d.Width()) * d.Height());
        if (ScalePicture(rec.pixels, rec.info.header.width, -rec.info.header.height, plan.source, redrawScratch_.data(),
                         d.Width(), d.Height(), static_cast<size_t>(d.Width())))
            scaled = redrawScratch_.data();
    }
    if (plan.picture && scaled) {
        CopyScaled(d, scaled);
    } else if (plan.picture) {
        StretchDIBits(back_.Get(), d.left, d.top, d.Width(), d.Height(), plan.source.x,
                      plan.source.StretchY(rec.info.header.height), plan.source.width, plan.source.height, rec.pixels,
                      reinterpret_cast<const BITMAPINFO*>(&rec.info), DIB_RGB_COLORS, SRCCOPY);
    } else if (plan.fill) {
        win::Brush brush(CreateSolidBrush(RGB(plan.fillLevel, plan.fillLevel, plan.fillLevel)));
        RECT r{d.left, d.top, d.right, d.bottom};
        FillRect(back_.Get(), &r, brush.Get());
    }
    if (plan.picture)
        DimIfAged(plan);

    const int w = plan.style.borderWidth;
    {
        win::ScopedSelect pen(back_.Get(), BorderPen(w));
        MoveToEx(back_.Get(), d.left, d.top, nullptr);
        LineTo(back_.Get(), d.right, d.top);
        LineTo(back_.Get(), d.right, d.bottom);
        LineTo(back_.Get(), d.left, d.bottom);
        LineTo(back_.Get(), d.left, d.top);
    }

    RECT extent{d.left - w - 1, d.top - w - 1, d.right + w + 1, d.bottom + w + 1};
    win::ScopedSelect font(back_.Get(), TextFont(plan.style.fontPoints));
    SetBkMode(back_.Get(), TRANSPARENT);
    if (plan.title) {
        DrawOutlinedText(rec.title, plan.titleBox, DT_LEFT | DT_TOP | DT_WORD_ELLIPSIS | DT_EXPANDTABS | DT_NOPREFIX);
        Unite(extent, Grown(plan.titleBox, 1));
    }
    if (plan.size) {
        DrawOutlinedText(plan.sizeText, plan.sizeBox, DT_RIGHT | DT_TOP | DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX);
        Unite(extent, Grown(plan.sizeBox, 1));
    }
    if (plan.time) {
        DrawOutlinedText(plan.timeText, plan.timeBox,
                         DT_CENTER | DT_BOTTOM | DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX);
        Unite(extent, Grown(plan.timeBox, 1));
    }
    DrawOverlay(plan, extent);
    DrawRecordMark(plan, extent);
    return extent;
}

void DisplayManager::OnPaint(HDC dc)
{
    Guard g(lock_);
    if (!backBits_ && !BuildBackBuffer()) {
        win::Brush blue(CreateSolidBrush(0xFF0000));
        RECT all{0, 0, area_.right - area_.left, area_.bottom - area_.top};
        FillRect(dc, &all, blue.Get());
        return;
    }
    BitBlt(dc, 0, 0, backWidth_, backHeight_, back_.Get(), 0, 0, SRCCOPY);
}

void DisplayManager::OnDestroy()
{
    Trace(L"===>>> Display Manager WM_DESTROY \r\n");
    Guard g(lock_);
    DeleteGdiObjects();
    store_.FreeBuffers();
    store_.ClearMaps();
    store_.ResetDefaults();
    borderColour_ = RGB(255, 255, 255);
    wnd_ = nullptr;
}

LRESULT DisplayManager::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED: OnPanMouse(msg, lp); return 0;
    case WM_MOUSEWHEEL: {
        POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        ScreenToClient(Hwnd(), &pt);
        WheelZoom(pt, GET_WHEEL_DELTA_WPARAM(wp));
        return 0;
    }
    case WM_LBUTTONDBLCLK: return OnDoubleClick(wp, lp);
    case WM_PAINT: return OnPaintMessage();
    case WM_ERASEBKGND: OnPaint(reinterpret_cast<HDC>(wp)); return 1;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(font_.Get());
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_ENABLE: Trace(L"===>>> Display Manager WM_ENABLE \r\n"); return 0;
    }
    return Default(msg, wp, lp);
}

LRESULT DisplayManager::OnDoubleClick(WPARAM wp, LPARAM lp)
{
    HWND to;
    {
        Guard g(lock_);
        to = notify_;
    }
    if (to)
        PostMessageW(to, WM_LBUTTONDBLCLK, wp, lp);
    return 0;
}

LRESULT DisplayManager::OnPaintMessage()
{
    win::PaintDC dc(Hwnd());
    if (dc.Get())
        OnPaint(dc.Get());
    return 0;
}

} // namespace video
