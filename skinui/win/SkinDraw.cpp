#include "SkinDraw.h"
#include "foundation/Handles.h"

namespace skinui {

bool DrawBitmap(HDC dc, const RECT& to, const BitmapSource& source)
{
    const int w = to.right - to.left, h = to.bottom - to.top;
    if (!dc || !source.bitmap || w <= 0 || h <= 0)
        return false;
    win::MemoryDC from(dc);
    win::ScopedSelect select(from.Get(), source.bitmap);
    const int x = source.origin.x, y = source.origin.y;
    if (source.keyed)
        return TransparentBlt(dc, to.left, to.top, w, h, from.Get(), x, y, w, h, source.key);
    return BitBlt(dc, to.left, to.top, w, h, from.Get(), x, y, SRCCOPY);
}

bool DrawBitmap(HBITMAP target, const RECT& to, const BitmapSource& source)
{
    if (!target)
        return false;
    win::MemoryDC dc;
    win::ScopedSelect select(dc.Get(), target);
    return DrawBitmap(dc.Get(), to, source);
}

bool DrawButtonFace(HBITMAP target, const CImageButton& button)
{
    const ButtonRect& r = button.rect;
    BitmapSource face;
    face.bitmap = static_cast<HBITMAP>(button.Image());
    face.keyed = button.transparent;
    face.key = button.transparentColour;
    return DrawBitmap(target, RECT{r.left, r.top, r.right, r.bottom}, face);
}

} // namespace skinui
