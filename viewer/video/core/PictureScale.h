#pragma once
// Scaling a decoded picture into its division, apart from the platform's stretch and on the caller's
// own thread. Shrinking, each output pixel is the area average of the source it covers, every source
// pixel weighted by the part of it covered (exact within rounding, whatever the ratio); enlarging,
// bilinear between the two nearest source pixels on each axis. Each axis is scaled in turn.
#include "DisplayLayout.h"
#include <cstddef>
#include <cstdint>

namespace video {

// `pixels`: a 24-bit picture of width x rows, rows top-down, each padded to four bytes. `source`:
// the part of it to show (clipped to the picture). Writes dstWidth x dstHeight pixels of 0x00RRGGBB
// to `dst`, rows `dstStride` pixels apart. False, with nothing written, for an empty source or
// destination.
bool ScalePicture(const uint8_t* pixels, int width, int rows, const SourceRect& source, uint32_t* dst, int dstWidth,
                  int dstHeight, size_t dstStride);

} // namespace video
