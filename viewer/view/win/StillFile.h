#pragma once
// A still picture of a camera as a file: the name proposed for it and the writing, through the
// platform's image encoder (PNG, or BMP).
#include <windows.h>
#include "TimeZoneConvert.h"
#include <cstddef>
#include <cstdint>
#include <string>

namespace view {

// "CAM05 2026-12-08 19-54-03.png": the camera (1-based) and the picture's local time; the PC's
// local time when the picture has none.
std::wstring StillFileName(int camera, const video::PictureTime& time);

// Writes width x height 24-bit BGR pixels (rows top-down, `stride` bytes apart) to `path` as PNG,
// or BMP when `bmp`. The file is complete or not there.
HRESULT WriteStillFile(const std::wstring& path, bool bmp, int width, int height, size_t stride, const uint8_t* bgr);

} // namespace view
