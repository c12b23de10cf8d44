#include "DivisionOverlay.h"
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace video {

namespace {

// The middle of a view 1/factor wide stays where the whole view still fits.
double ClampCentre(double c, double factor)
{
    const double half = 0.5 / factor;
    return std::clamp(c, half, 1.0 - half);
}

Zoom Clamped(Zoom z)
{
    if (!(z.factor >= 1.01)) // NaN too
        return Zoom{};
    z.factor = std::min(z.factor, kMaxZoom);
    z.cx = ClampCentre(z.cx, z.factor);
    z.cy = ClampCentre(z.cy, z.factor);
    return z;
}

} // namespace

SourceRect ZoomedSource(const SourceRect& full, const Zoom& z)
{
    if (!z.Active() || full.width <= 0 || full.height <= 0)
        return full;
    SourceRect r;
    r.width = std::max(1, static_cast<int>(std::lround(full.width / z.factor)));
    r.height = std::max(1, static_cast<int>(std::lround(full.height / z.factor)));
    const long x = std::lround(z.cx * full.width - r.width / 2.0);
    const long y = std::lround(z.cy * full.height - r.height / 2.0);
    r.x = full.x + static_cast<int>(std::clamp<long>(x, 0, full.width - r.width));
    r.y = full.y + static_cast<int>(std::clamp<long>(y, 0, full.height - r.height));
    return r;
}

Zoom ZoomAround(const Zoom& z, double notches, double u, double v)
{
    u = std::clamp(u, 0.0, 1.0);
    v = std::clamp(v, 0.0, 1.0);
    const double factor = std::clamp(z.factor * std::pow(kZoomStep, notches), 1.0, kMaxZoom);
    // The picture point under the pointer, in fractions of the whole picture, before and after.
    const double px = z.cx + (u - 0.5) / z.factor, py = z.cy + (v - 0.5) / z.factor;
    Zoom next;
    next.factor = factor;
    next.cx = px - (u - 0.5) / factor;
    next.cy = py - (v - 0.5) / factor;
    return Clamped(next);
}

Zoom Panned(const Zoom& z, int dx, int dy, int divWidth, int divHeight)
{
    if (!z.Active() || divWidth <= 0 || divHeight <= 0)
        return z;
    Zoom next = z;
    next.cx -= static_cast<double>(dx) / divWidth / z.factor;
    next.cy -= static_cast<double>(dy) / divHeight / z.factor;
    return Clamped(next);
}

std::u16string ZoomText(double factor)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1fx", factor);
    return std::u16string(buf, buf + std::char_traits<char>::length(buf));
}

void DimPixels(uint32_t* pixels, int width, int height, size_t stride)
{
    for (int y = 0; y < height; ++y) {
        uint32_t* row = pixels + static_cast<size_t>(y) * stride;
        for (int x = 0; x < width; ++x)
            row[x] = ((row[x] >> 1) & 0x007F7F7Fu) + ((row[x] >> 3) & 0x001F1F1Fu);
    }
}

std::u16string FillNumbers(const std::u16string& text, std::initializer_list<long long> values)
{
    std::u16string out;
    auto next = values.begin();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'%' && i + 1 < text.size() && text[i + 1] == u'd') {
            if (next != values.end()) {
                const std::string n = std::to_string(*next++);
                out.append(n.begin(), n.end());
            }
            ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

void DivisionOverlay::SetZoom(int channel, const Zoom& z)
{
    if (channel >= 0 && channel < kDisplayChannels)
        zoom_[channel] = Clamped(z);
}

void DivisionOverlay::ResetZooms()
{
    for (Zoom& z : zoom_)
        z = Zoom{};
}

bool DivisionOverlay::AnyZoom() const
{
    return std::any_of(std::begin(zoom_), std::end(zoom_), [](const Zoom& z) { return z.Active(); });
}

bool DivisionOverlay::PictureStored(int channel, uint64_t nowMs)
{
    if (channel < 0 || channel >= kDisplayChannels)
        return false;
    last_[channel] = nowMs ? nowMs : 1;
    const bool was = aged_[channel];
    aged_[channel] = false;
    ageText_[channel].clear();
    return was;
}

void DivisionOverlay::ForgetPictures()
{
    for (int c = 0; c < kDisplayChannels; ++c) {
        last_[c] = 0;
        aged_[c] = false;
        ageText_[c].clear();
    }
}

} // namespace video
