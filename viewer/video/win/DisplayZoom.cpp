// The display's digital zoom and the age of stopped pictures: what DivisionOverlay decides, applied
// to the plans, the back buffer and the pointer.
#include "DisplayManager.h"
#include "foundation/Handles.h"
#include <algorithm>
#include <cstring>

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

int DisplayManager::ChannelAtPoint(POINT client)
{
    Guard g(lock_);
    const Layout& l = store_.LayoutAt(store_.CurrentLayout());
    for (int p = 0; p < l.count; ++p) {
        const DivRect& d = l.divisions[p].rect;
        if (client.x >= d.left && client.x < d.right && client.y >= d.top && client.y < d.bottom) {
            const uint8_t c = store_.ChannelAt(p);
            return c < kDisplayChannels ? c : -1;
        }
    }
    return -1;
}

bool DisplayManager::CopyPicture(int channel, Still& still)
{
    Guard g(lock_);
    // What a buffer holds before the first picture (the fill level) is no picture.
    if (channel < 0 || channel >= kDisplayChannels || !store_.HasBuffer(channel) || !overlay_.HasPicture(channel))
        return false;
    const PictureRecord& r = store_.Record(channel);
    const DibHeader& h = r.info.header;
    const PictureBytes bytes = CheckPicture(h);
    // The decoder's pictures only: 24 bits, uncompressed; the one-pixel blank is no picture.
    if (!r.pixels || !bytes.ok || h.bitCount != 24 || h.compression != 0 || h.width <= 2 || h.height == 0)
        return false;
    const int rows = h.height < 0 ? -h.height : h.height;
    const size_t stride = (static_cast<size_t>(h.width) * 3 + 3) & ~size_t{3};
    if (stride * rows > bytes.copy)
        return false;
    still.width = h.width;
    still.height = rows;
    still.stride = stride;
    still.time = r.time;
    still.bgr.resize(stride * rows);
    for (int y = 0; y < rows; ++y) {
        const int from = h.height < 0 ? y : rows - 1 - y; // bottom-up rows turned over
        std::memcpy(still.bgr.data() + stride * y, r.pixels + stride * from, stride);
    }
    return true;
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
