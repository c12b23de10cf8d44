#include "Timeline.h"
#include "TimeZoneConvert.h"
#include "foundation/Module.h"
#include <windowsx.h>
#include <algorithm>
#include <cstdio>

namespace player {

namespace {

constexpr wchar_t kClass[] = L"PxPlaybackTimeline";
constexpr UINT_PTR kEdgeTimer = 1;
constexpr UINT kEdgeEveryMs = 50;
constexpr COLORREF kBack = RGB(22, 24, 28), kLane = RGB(38, 41, 48), kSpan = RGB(58, 118, 190),
                   kMotion = RGB(236, 160, 40), kHead = RGB(255, 64, 64), kInk = RGB(200, 204, 212),
                   kTick = RGB(70, 74, 84);

} // namespace

bool CTimeline::Create(HWND parent, const RECT& area, UINT id)
{
    if (!win::RegisterModuleClass(ClassOf(kClass, CS_DBLCLKS)))
        return false;
    font_ = win::Font(CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
    if (!CreateEx(0, kClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, area.left, area.top, area.right - area.left,
                  area.bottom - area.top, parent, id))
        return false;
    Layout();
    return true;
}

void CTimeline::Move(const RECT& area)
{
    MoveWindow(Hwnd(), area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    Layout();
}

RECT CTimeline::LaneArea() const
{
    RECT c{};
    GetClientRect(Hwnd(), &c);
    return RECT{kLabelWidth, kScaleHeight, std::max<LONG>(kLabelWidth + 1, c.right - 2), c.bottom};
}

void CTimeline::Layout()
{
    const RECT lanes = LaneArea();
    axis_.SetWidth(lanes.right - lanes.left);
}

void CTimeline::SetLanes(std::vector<TimelineLane> lanes)
{
    lanes_ = std::move(lanes);
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

void CTimeline::SetHead(int64_t ms)
{
    // Called at every tick: the lanes are drawn again only when the head moved by a pixel.
    const bool moved = !hasHead_ || static_cast<int>(axis_.XOf(ms)) != static_cast<int>(axis_.XOf(head_));
    head_ = ms;
    hasHead_ = true;
    const bool panned = !dragging_ && axis_.KeepInSight(ms);
    if (moved || panned)
        InvalidateRect(Hwnd(), nullptr, FALSE);
}

void CTimeline::SetZone(uint8_t zone, uint8_t daylight)
{
    if (zone == zone_ && daylight == daylight_)
        return;
    zone_ = zone;
    daylight_ = daylight;
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

LRESULT CTimeline::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_SIZE: Layout(); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        win::PaintDC dc(Hwnd());
        RECT client{};
        GetClientRect(Hwnd(), &client);
        OnPaint(dc.Get(), client);
        return 0;
    }
    case WM_MOUSEWHEEL: OnWheel(GET_WHEEL_DELTA_WPARAM(wp), POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}); return 0;
    case WM_LBUTTONDOWN: OnButtonDown(GET_X_LPARAM(lp)); return 0;
    case WM_MOUSEMOVE: OnMouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); return 0;
    case WM_MOUSELEAVE:
        tracking_ = false;
        if (hover_)
            hover_(-1, -1);
        return 0;
    case WM_LBUTTONUP: OnButtonUp(GET_X_LPARAM(lp)); return 0;
    case WM_LBUTTONDBLCLK: OnDoubleClick(GET_X_LPARAM(lp)); return 0;
    case WM_CAPTURECHANGED:
        if (dragging_ && reinterpret_cast<HWND>(lp) != Hwnd())
            OnButtonUp(dragX_);
        return 0;
    case WM_TIMER:
        if (wp == kEdgeTimer)
            OnEdgeTimer();
        return 0;
    case kMsgTimeAt: {
        const RECT lanes = LaneArea();
        const int x = static_cast<int>(static_cast<INT_PTR>(wp));
        return static_cast<LRESULT>(axis_.MsAt(std::clamp<int>(x, lanes.left, lanes.right - 1) - lanes.left));
    }
    case kMsgHeadTime: return static_cast<LRESULT>(head_);
    // The wheel and a press reach the timeline; the keys stay with the control.
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    default: return Default(msg, wp, lp);
    }
}

void CTimeline::OnWheel(int delta, POINT screen)
{
    ScreenToClient(Hwnd(), &screen);
    wheelRest_ += delta;
    const int notches = wheelRest_ / WHEEL_DELTA;
    wheelRest_ -= notches * WHEEL_DELTA;
    const RECT lanes = LaneArea();
    const int x = std::clamp<int>(screen.x, lanes.left, lanes.right) - lanes.left;
    if (axis_.Zoom(x, notches))
        InvalidateRect(Hwnd(), nullptr, FALSE);
}

void CTimeline::OnButtonDown(int x)
{
    if (lanes_.empty())
        return;
    dragging_ = true;
    SetCapture(Hwnd());
    Scrub(x, false);
}

void CTimeline::OnMouseMove(int x, int y)
{
    if (!dragging_) {
        Hover(x, y);
        return;
    }
    const RECT lanes = LaneArea();
    const bool atEdge = x < lanes.left || x >= lanes.right;
    if (atEdge)
        SetTimer(Hwnd(), kEdgeTimer, kEdgeEveryMs, nullptr);
    else
        KillTimer(Hwnd(), kEdgeTimer);
    Scrub(x, false);
}

void CTimeline::OnButtonUp(int x)
{
    if (!dragging_)
        return;
    dragging_ = false;
    KillTimer(Hwnd(), kEdgeTimer);
    if (GetCapture() == Hwnd())
        ReleaseCapture();
    Scrub(x, true);
}

void CTimeline::Hover(int x, int y)
{
    if (!hover_)
        return;
    if (!tracking_) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Hwnd(), 0};
        tracking_ = TrackMouseEvent(&track) != FALSE;
    }
    const RECT lanes = LaneArea();
    const int count = static_cast<int>(lanes_.size());
    const int laneHeight = count ? std::max(3, static_cast<int>(lanes.bottom - lanes.top) / count) : 0;
    const int lane = laneHeight && y >= lanes.top ? (y - lanes.top) / laneHeight : -1;
    if (lane < 0 || lane >= count || x < lanes.left || x >= lanes.right) {
        hover_(-1, -1);
        return;
    }
    hover_(axis_.MsAt(x - lanes.left), lanes_[static_cast<size_t>(lane)].camera);
}

// The second press of a double click: the head there, and the owner told.
void CTimeline::OnDoubleClick(int x)
{
    if (lanes_.empty())
        return;
    Scrub(x, true);
    if (activate_)
        activate_(head_);
}

// Held past an edge: the window pans on by a twentieth of its span per beat, the head with it.
void CTimeline::OnEdgeTimer()
{
    if (!dragging_) {
        KillTimer(Hwnd(), kEdgeTimer);
        return;
    }
    const RECT lanes = LaneArea();
    axis_.Pan(dragX_ < lanes.left ? -axis_.SpanMs() / 20 : axis_.SpanMs() / 20);
    Scrub(dragX_, false);
}

void CTimeline::Scrub(int x, bool done)
{
    dragX_ = x;
    const RECT lanes = LaneArea();
    const int inside = std::clamp<int>(x, lanes.left, lanes.right - 1) - lanes.left;
    head_ = axis_.MsAt(inside);
    hasHead_ = true;
    InvalidateRect(Hwnd(), nullptr, FALSE);
    if (scrub_)
        scrub_(head_, done);
}

std::wstring CTimeline::Label(int64_t ms, int64_t step) const
{
    const Calendar c = CalendarOf(ms);
    video::RecordingTime utc;
    utc.year = c.year, utc.month = c.month, utc.day = c.day, utc.hour = c.hour, utc.minute = c.minute,
    utc.second = c.second;
    video::PictureTime local{};
    uint32_t mark = 0;
    video::TimeZoneSettings zone;
    if (zone_ == 255 || !video::LoadTimeZone(zone, zone_, daylight_) ||
        !video::ConvertFrameTime(zone, utc, local, mark)) {
        local.hour = static_cast<uint16_t>(utc.hour);
        local.minute = static_cast<uint16_t>(utc.minute);
        local.second = static_cast<uint16_t>(utc.second);
    }
    wchar_t text[16];
    if (step >= 60000)
        swprintf(text, 16, L"%02u:%02u", local.hour, local.minute);
    else
        swprintf(text, 16, L"%02u:%02u:%02u", local.hour, local.minute, local.second);
    return text;
}

void CTimeline::OnPaint(HDC target, const RECT& client)
{
    win::MemoryDC back{win::MemoryDC::Later{}};
    if (!back.Create(target, client.right, client.bottom))
        return;
    const HDC dc = back.Get();
    win::Brush backBrush(CreateSolidBrush(kBack)), laneBrush(CreateSolidBrush(kLane)),
        spanBrush(CreateSolidBrush(kSpan)), motionBrush(CreateSolidBrush(kMotion)), tickBrush(CreateSolidBrush(kTick)),
        headBrush(CreateSolidBrush(kHead));
    FillRect(dc, &client, backBrush.Get());
    win::ScopedSelect font(dc, font_.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kInk);
    const RECT lanes = LaneArea();
    const int width = lanes.right - lanes.left;

    // The scale: a step that leaves about 80 pixels between labels.
    static const int64_t kSteps[] = {1000, 5000, 10000, 30000, 60000, 300000, 600000, 1800000, 3600000, 10800000};
    int64_t step = kSteps[std::size(kSteps) - 1];
    for (int64_t s : kSteps) {
        if (axis_.XOf(axis_.StartMs() + s) >= 80) {
            step = s;
            break;
        }
    }
    const int64_t first = (axis_.StartMs() / step + 1) * step;
    for (int64_t t = first; t < axis_.EndMs(); t += step) {
        const int x = lanes.left + static_cast<int>(axis_.XOf(t));
        RECT tick{x, lanes.top - 4, x + 1, client.bottom};
        FillRect(dc, &tick, tickBrush.Get());
        const std::wstring label = Label(t, step);
        TextOutW(dc, x + 3, 2, label.c_str(), static_cast<int>(label.size()));
    }

    const int count = static_cast<int>(lanes_.size());
    const int laneHeight = count ? std::max(3, static_cast<int>(lanes.bottom - lanes.top) / count) : 0;
    auto drawRuns = [&](const std::vector<store::Span>& runs, const RECT& lane, HBRUSH brush) {
        for (const store::Span& s : runs) {
            if (s.endMs < axis_.StartMs() || s.startMs > axis_.EndMs())
                continue;
            const double a = std::max(0.0, axis_.XOf(s.startMs));
            const double b = std::min<double>(width, axis_.XOf(s.endMs));
            RECT r{lanes.left + static_cast<int>(a), lane.top, lanes.left + std::max(static_cast<int>(a) + 1,
                                                                                      static_cast<int>(b)),
                   lane.bottom};
            FillRect(dc, &r, brush);
        }
    };
    for (int i = 0; i < count; ++i) {
        const int top = lanes.top + i * laneHeight;
        RECT lane{lanes.left, top + 1, lanes.right, top + laneHeight - 1};
        FillRect(dc, &lane, laneBrush.Get());
        drawRuns(lanes_[static_cast<size_t>(i)].spans, lane, spanBrush.Get());
        RECT low{lane.left, lane.top + (lane.bottom - lane.top) / 2, lane.right, lane.bottom};
        drawRuns(lanes_[static_cast<size_t>(i)].motion, low, motionBrush.Get());
        wchar_t name[8];
        swprintf(name, 8, L"%02d", lanes_[static_cast<size_t>(i)].camera + 1);
        if (laneHeight >= 10)
            TextOutW(dc, 6, top + (laneHeight - 12) / 2, name, static_cast<int>(wcslen(name)));
    }
    if (hasHead_) {
        const double x = axis_.XOf(head_);
        if (x >= 0 && x <= width) {
            const int hx = lanes.left + static_cast<int>(x);
            RECT line{hx - 1, lanes.top - 4, hx + 1, client.bottom};
            FillRect(dc, &line, headBrush.Get());
        }
    }
    BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
}

} // namespace player
