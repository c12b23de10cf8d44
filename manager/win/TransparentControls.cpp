#include "TransparentControls.h"

namespace manager {

bool CTransparentStatic::Bind(HWND label) { return label && IsWindow(label) && Attach(label); }

void CTransparentStatic::SetTextColor(COLORREF colour)
{
    colour_ = colour;
    if (Hwnd())
        InvalidateRect(Hwnd(), nullptr, FALSE);
}

void CTransparentStatic::SetFormat(UINT format)
{
    format_ = format;
    if (Hwnd())
        InvalidateRect(Hwnd(), nullptr, FALSE);
}

LRESULT CTransparentStatic::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SETTEXT: return OnSetText(wp, lp);
    }
    return Default(msg, wp, lp);
}

void CTransparentStatic::OnPaint()
{
    win::PaintDC paint(Hwnd());
    HDC dc = paint.Get();
    if (!font_)
        font_.Attach(CreateFontW(-MulDiv(10, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                                 FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 DEFAULT_PITCH | FF_SWISS, L"Arial"));
    win::ScopedSelect font(dc, font_.Get());
    wchar_t text[125] = {};
    GetWindowTextW(Hwnd(), text, 125);
    RECT r;
    GetClientRect(Hwnd(), &r);
    SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colour_);
    DrawTextW(dc, text, -1, &r, format_ | DT_SINGLELINE | DT_VCENTER);
}

// Nothing of the old text may stay behind the new: the dialog repaints its picture under the label
// first, and the label draws over it.
LRESULT CTransparentStatic::OnSetText(WPARAM wp, LPARAM lp)
{
    const LRESULT result = Default(WM_SETTEXT, wp, lp);
    HWND parent = GetParent(Hwnd());
    RECT r;
    GetWindowRect(Hwnd(), &r);
    if (parent) {
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        RedrawWindow(parent, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    } else {
        InvalidateRect(Hwnd(), nullptr, FALSE);
    }
    return result;
}

bool CTransparentButton::Bind(HWND button)
{
    HWND parent = button ? GetParent(button) : nullptr;
    if (!parent || !parent_.Attach(parent))
        return false;
    button_ = button;
    InvalidateRect(button, nullptr, TRUE);
    return true;
}

LRESULT CTransparentButton::ColourAnswer::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    if ((msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) && reinterpret_cast<HWND>(lp) == owner_.button_) {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, RGB(210, 210, 210));
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetStockObject(HOLLOW_BRUSH));
    }
    return Default(msg, wp, lp);
}

} // namespace manager
