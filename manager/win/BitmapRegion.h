#pragma once
// Skin bitmaps on the manager's windows: a bitmap copied into a rectangle, and the region of a
// keyed bitmap (everything but its magenta), which shapes a window to its picture.
#include <windows.h>
#include "SkinDraw.h"

namespace manager {

// Copies the rectangle's size of `bitmap`, from its top-left, to (left, top) of `dc`; nothing when
// the bitmap is null.
inline void DrawBitmap(HBITMAP bitmap, HDC dc, int left, int top, int right, int bottom)
{
    skinui::DrawBitmap(dc, RECT{left, top, right, bottom}, skinui::BitmapSource{bitmap});
}

// The region of every pixel of `bitmap` that is not the key colour (the caller owns it; an empty
// region for an all-key bitmap), or null on failure.
HRGN BitmapToRegion(HBITMAP bitmap);

} // namespace manager
