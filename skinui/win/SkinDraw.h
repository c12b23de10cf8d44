#pragma once
// Skin bitmaps drawn into rectangles: a background or a part of one, and a button's face (the image
// of its four-state set that its state shows).
#include <windows.h>
#include "ImageButton.h"

namespace skinui {

struct BitmapSource {
    HBITMAP bitmap = nullptr; // not ours
    POINT origin{0, 0}; // top-left of the part drawn
    bool keyed = false; // pixels of `key` are left out, the target's show through
    COLORREF key = 0;
};

// Copies the rectangle's size of `source` from its origin into `to` of `dc`. False when nothing was
// drawn.
bool DrawBitmap(HDC dc, const RECT& to, const BitmapSource& source);
// The same into a bitmap (a back buffer), which no other DC may hold selected.
bool DrawBitmap(HBITMAP target, const RECT& to, const BitmapSource& source);

// The image `button` shows now, into its rectangle of `target`; false when it shows none.
bool DrawButtonFace(HBITMAP target, const CImageButton& button);

} // namespace skinui
