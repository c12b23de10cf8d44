// The display's digital zoom and the age of stopped pictures: what DivisionOverlay decides, applied
// to the plans, the back buffer and the pointer.
#include "DisplayManager.h"
#include "foundation/Handles.h"
#include <algorithm>

namespace video {

using Guard = win::Lock;

void DisplayManager::PlanAt(int position, DivisionPlan& plan) const
{
    store_.Plan(position, plan);
    if (plan.draw && plan.picture)
        plan.source = ZoomedSource(plan.source, ZoomLocked(plan.channel));
}

Zoom DisplayManager::ZoomLocked(int channel) const
{
    if (zoomAll_ > 1.0)
        return Zoom{zoomAll_, 0.5, 0.5};
    return overlay_.ZoomOf(channel);
}

void DisplayManager::DimIfAged(const DivisionPlan& plan)
{
    if (!backBits_ || !overlay_.Aged(plan.channel))
        return;
    const DivRect& d = plan.rect;
    const int x0 = std::max(d.left, 0), x1 = std::min(d.right, backWidth_);
    const int y0 = std::max(d.top, 0), y1 = std::min(d.bottom, backHeight_);
    if (x1 <= x0 || y1 <= y0)
        return;
    GdiFlush();
    DimPixels(backBits_ + static_cast<size_t>(y0) * backWidth_ + x0, x1 - x0, y1 - y0, static_cast<size_t>(backWidth_));
}

void DisplayManager::DrawOverlay(const DivisionPlan& plan, RECT& extent)
{
    if (!plan.picture)
        return;
    const DivRect& d = plan.rect;
    const int f = plan.style.fontPoints;
    // The age in the middle, the zoom above the time at the right.
    if (overlay_.Aged(plan.channel)) {
        const std::u16string& text = overlay_.AgeText(plan.channel);
        const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), u'\n'));
        const int mid = (d.top + d.bottom) / 2, half = (lines * 3 * f + 1) / 2;
        const TextBox box{d.left + 4, mid - half, d.right - 4, mid + half};
        DrawOutlinedText(text.c_str(), box, DT_CENTER | DT_TOP | DT_NOPREFIX);
        extent.left = std::min<LONG>(extent.left, box.left - 1);
        extent.right = std::max<LONG>(extent.right, box.right + 1);
    }
    const Zoom z = ZoomLocked(plan.channel);
    if (z.Active()) {
        const std::u16string text = ZoomText(z.factor);
        const TextBox box{d.right - 4 - 16 * f, d.bottom - 7 * f, d.right - 4, d.bottom - 4 * f};
        DrawOutlinedText(text.c_str(), box, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX);
    }
}

bool DisplayManager::WheelZoom(POINT client, int wheelDelta)
{
    Guard g(lock_);
    const Layout& l = store_.LayoutAt(store_.CurrentLayout());
    for (int p = 0; p < l.count; ++p) {
        const DivRect& d = l.divisions[p].rect;
        if (client.x < d.left || client.x >= d.right || client.y < d.top || client.y >= d.bottom)
            continue;
        const uint8_t c = store_.ChannelAt(p);
        if (c >= kDisplayChannels || d.Width() <= 0 || d.Height() <= 0)
            return false;
        const double u = (client.x - d.left + 0.5) / d.Width(), v = (client.y - d.top + 0.5) / d.Height();
        overlay_.SetZoom(c, ZoomAround(overlay_.ZoomOf(c), wheelDelta / static_cast<double>(WHEEL_DELTA), u, v));
        RedrawLocked(1u << c);
        return true;
    }
    return false;
}

Zoom DisplayManager::ZoomOf(int channel)
{
    Guard g(lock_);
    return channel >= 0 && channel < kDisplayChannels ? overlay_.ZoomOf(channel) : Zoom{};
}

void DisplayManager::ZoomAll(double factor)
{
    Guard g(lock_);
    zoomAll_ = std::clamp(factor, 1.0, kMaxZoom);
    RedrawLocked(0xFFFFFFFFu);
}

void DisplayManager::AgePictures(uint64_t nowMs, uint64_t afterMs,
                                 const std::function<std::u16string(int, long long)>& text)
{
    Guard g(lock_);
    const uint32_t changed = overlay_.Age(nowMs, afterMs, text);
    if (changed)
        RedrawLocked(changed);
}

bool DisplayManager::Aged(int channel)
{
    Guard g(lock_);
    return channel >= 0 && channel < kDisplayChannels && overlay_.Aged(channel);
}

std::u16string DisplayManager::AgeText(int channel)
{
    Guard g(lock_);
    return channel >= 0 && channel < kDisplayChannels ? overlay_.AgeText(channel) : std::u16string();
}

bool DisplayManager::OnPanMouse(UINT msg, LPARAM lp)
{
    const POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    if (msg == WM_LBUTTONDOWN) {
        Guard g(lock_);
        const Layout& l = store_.LayoutAt(store_.CurrentLayout());
        for (int p = 0; p < l.count; ++p) {
            const DivRect& d = l.divisions[p].rect;
            const uint8_t c = store_.ChannelAt(p);
            if (pt.x >= d.left && pt.x < d.right && pt.y >= d.top && pt.y < d.bottom && c < kDisplayChannels &&
                overlay_.ZoomOf(c).Active()) {
                panChannel_ = c;
                panFrom_ = pt;
                SetCapture(Hwnd());
                return true;
            }
        }
        return false;
    }
    if (panChannel_ < 0)
        return false;
    if (msg == WM_CAPTURECHANGED) {
        panChannel_ = -1;
        return true;
    }
    {
        Guard g(lock_);
        const uint8_t p = store_.PositionOf(panChannel_);
        if (p != kNoEntry) {
            const DivRect& d = store_.LayoutAt(store_.CurrentLayout()).divisions[p].rect;
            const Zoom& z = overlay_.ZoomOf(panChannel_);
            overlay_.SetZoom(panChannel_, Panned(z, pt.x - panFrom_.x, pt.y - panFrom_.y, d.Width(), d.Height()));
            RedrawLocked(1u << panChannel_);
        }
        panFrom_ = pt;
    }
    if (msg == WM_LBUTTONUP) {
        panChannel_ = -1;
        ReleaseCapture();
    }
    return true;
}

} // namespace video
