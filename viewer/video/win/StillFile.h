#pragma once
// A still picture of a camera as a file: the name proposed for it, the writing through the
// platform's image encoder (PNG, or BMP), and the save dialog that chooses where (the live view's
// Ctrl+S and the player's). Only the person chooses the path: the controls are scriptable, and no
// script may write a file where it says.
#include <windows.h>
#include "DisplayManager.h"
#include "TimeZoneConvert.h"
#include <cstddef>
#include <cstdint>
#include <string>

namespace video {

// "CAM05 2026-12-08 19-54-03.png": the camera (1-based) and the picture's local time; the PC's
// local time when the picture has none.
std::wstring StillFileName(int camera, const video::PictureTime& time);

// Writes width x height 24-bit BGR pixels (rows top-down, `stride` bytes apart) to `path` as PNG,
// or BMP when `bmp`. The file is complete or not there.
HRESULT WriteStillFile(const std::wstring& path, bool bmp, int width, int height, size_t stride, const uint8_t* bgr);

enum class StillSaved { kCancelled, kSaved, kFailed };
// The save dialog (owned by `owner`, in the person's Pictures folder, the name proposed from the
// camera, 1-based, and the picture's time); then the file, PNG or BMP as chosen. *path: where.
StillSaved SaveStillAs(HWND owner, int camera, const DisplayManager::Still& still, std::wstring* path);

} // namespace video
