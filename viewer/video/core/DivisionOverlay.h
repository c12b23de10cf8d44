#pragma once
// What the display draws over a division's picture besides its texts: the digital zoom (a part of
// the kept picture scaled into the division, so a zoomed picture is as sharp as the source allows)
// and the age of a picture that stopped (dimmed, with a line saying how old it is). Kept per
// channel. Not locked: the display manager holds its lock around every call.
#include "DisplayLayout.h"
#include <cstdint>
#include <initializer_list>
#include <string>

namespace video {

constexpr double kMaxZoom = 8.0;
constexpr double kZoomStep = 1.25; // per wheel notch

// A zoom of one picture: the factor (1 = the whole picture) and the middle of what is shown, in
// fractions of the whole source rectangle.
struct Zoom {
    double factor = 1.0;
    double cx = 0.5, cy = 0.5;
    bool Active() const { return factor > 1.0; }
};

// The part of `full` a zoom shows, at least one pixel each way and inside `full`.
SourceRect ZoomedSource(const SourceRect& full, const Zoom& z);
// The zoom after `notches` wheel notches (positive: closer) with the pointer at (u, v), the
// pointer's place in the division as fractions of its width and height: the picture point under
// the pointer stays under it. Below 1.01 it is the whole picture again.
Zoom ZoomAround(const Zoom& z, double notches, double u, double v);
// The zoom after the picture was dragged by (dx, dy) division pixels in a division of the given
// size: the picture moves with the pointer, never past its edges.
Zoom Panned(const Zoom& z, int dx, int dy, int divWidth, int divHeight);
// "2.0x": the factor as the division shows it.
std::u16string ZoomText(double factor);

// Dims a block of 0x00RRGGBB pixels to 5/8 of their brightness, rows `stride` pixels apart: plainly
// dimmed, yet what the camera shows stays legible.
void DimPixels(uint32_t* pixels, int width, int height, size_t stride);

// A text whose "%d" conversions are filled, in order, with the given values; every other character,
// a lone % included, stays as it is, and conversions past the values are left out. For texts
// from the language library, which are never handed to a printf.
std::u16string FillNumbers(const std::u16string& text, std::initializer_list<long long> values);

class DivisionOverlay {
public:
    const Zoom& ZoomOf(int channel) const { return zoom_[Index(channel)]; }
    void SetZoom(int channel, const Zoom& z);
    void ResetZooms();
    bool AnyZoom() const;

    // A real picture of the channel arrived at `nowMs`: its age mark, if any, goes.
    // True when it was marked.
    bool PictureStored(int channel, uint64_t nowMs);
    // The kept pictures are gone (blanked): nothing to age.
    void ForgetPictures();
    // Marks the channels whose last picture is older than `afterMs`, with the text `text(ch,
    // seconds)` gives; returns the mask of channels whose mark or text changed.
    template <class TextOf> uint32_t Age(uint64_t nowMs, uint64_t afterMs, TextOf text)
    {
        uint32_t changed = 0;
        for (int c = 0; c < kDisplayChannels; ++c) {
            if (!last_[c] || nowMs < last_[c] || nowMs - last_[c] <= afterMs)
                continue;
            std::u16string t = text(c, static_cast<long long>((nowMs - last_[c]) / 1000));
            if (!aged_[c] || t != ageText_[c])
                changed |= 1u << c;
            aged_[c] = true;
            ageText_[c] = std::move(t);
        }
        return changed;
    }
    bool Aged(int channel) const { return aged_[Index(channel)]; }
    // A real picture of the channel arrived since the pictures were last forgotten.
    bool HasPicture(int channel) const { return last_[Index(channel)] != 0; }
    const std::u16string& AgeText(int channel) const { return ageText_[Index(channel)]; }

private:
    static int Index(int channel) { return channel >= 0 && channel < kDisplayChannels ? channel : 0; }
    Zoom zoom_[kDisplayChannels];
    uint64_t last_[kDisplayChannels] = {};
    bool aged_[kDisplayChannels] = {};
    std::u16string ageText_[kDisplayChannels];
};

} // namespace video
