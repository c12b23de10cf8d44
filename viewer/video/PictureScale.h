#pragma once
// Scaling a decoded picture into its division, apart from the platform's stretch: each output
// pixel is the average of the source pixels it covers (at least one), which is what a halftone
// stretch approximates, at a fraction of its cost, and on the caller's own thread.
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
