#pragma once
// The runs of a keyed picture: in each row, the stretches of pixels that are not the key colour
// (magenta with some slack in green, as skin painters leave it), as one-pixel-high rectangles handed
// over in batches, so that a caller can build a shaped window's region a batch at a time.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace manager {

struct RunRect {
    int32_t left, top, right, bottom; // right and bottom outside
};

constexpr size_t kRunBatch = 1000;
constexpr uint8_t kKeyGreenTolerance = 16;

// A pixel of a 32-bit BGRA buffer (bytes blue, green, red, unused) is the key colour when blue and
// red are 255 and green is at most the tolerance.
inline bool IsKeyPixel(const uint8_t* bgra)
{
    return bgra[0] == 255 && bgra[1] <= kKeyGreenTolerance && bgra[2] == 255;
}

// Scans `height` rows of `width` pixels, `stride` bytes apart, from the top; `batch` receives every
// kRunBatch rectangles and once more with the rest (not called when there are none). A batch answer
// of false stops the scan. False on a bad geometry (non-positive size, stride shorter than a row,
// no pixels) or when a batch refused.
using RunBatch = std::function<bool(const RunRect* rects, size_t count)>;
bool FindRegionRuns(const uint8_t* pixels, int width, int height, size_t stride, const RunBatch& batch);

} // namespace manager
