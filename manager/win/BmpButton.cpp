#include "BmpButton.h"
#include <windowsx.h>
#include "BitmapRegion.h"
#include "ManagerMessages.h"
#include "foundation/Handles.h"

namespace manager {

bool CBmpButton::Bind(HWND button)
{
    if (!button || !IsWindow(button) || !Attach(button))
        return false;
    GetClientRect(button, &hitArea_);
    hitArea_.right += 100;
    hitArea_.bottom += 100;
    const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
    SetWindowLongPtrW(button, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
    Repaint();
    return true;
}

bool CBmpButton::SetBitmaps(HBITMAP normal, HBITMAP pressed, HBITMAP hover, HBITMAP disabled)
{
    bitmaps_[kNormal] = normal;
    bitmaps_[kPressed] = pressed ? pressed : normal;
    bitmaps_[kHover] = hover ? hover : normal;
    bitmaps_[kDisabled] = disabled ? disabled : normal;
    Repaint();
    return normal != nullptr;
}

void CBmpButton::SetButtonAccess(int drawState, bool forbiddenCursor, bool active)
{
    drawState_ = drawState;
    forbiddenCursor_ = forbiddenCursor;
    active_ = active;
    if (!active)
        pressed_ = false;
    Repaint();
}

LRESULT CBmpButton::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SETCURSOR:
        if (LOWORD(lp) == HTCLIENT) {
            POINT p;
            GetCursorPos(&p);
            ScreenToClient(Hwnd(), &p);
            if (SetPointerCursor(p))
                return TRUE;
        }
        break;
    case WM_MOUSEMOVE: OnMouseMove(wp, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}); return 0;
    case WM_MOUSELEAVE: OnMouseLeave(); break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return OnButtonDown(msg, wp, lp);
    case WM_LBUTTONUP: return OnButtonUp(msg, wp, lp);
    // An inactive button cannot be clicked from the keyboard or by a mnemonic either.
    case WM_KEYDOWN:
    case WM_KEYUP:
        if (!active_ && wp == VK_SPACE)
            return 0;
        break;
    case BM_CLICK:
        if (!active_)
            return 0;
        break;
    }
    return Default(msg, wp, lp);
}

void CBmpButton::OnPaint()
{
    win::PaintDC paint(Hwnd());
    RECT r;
    GetClientRect(Hwnd(), &r);
    if (drawState_ >= kNormal && drawState_ <= kDisabled)
        DrawBitmap(bitmaps_[drawState_], paint.Get(), r.left, r.top, r.right, r.bottom);
}

bool CBmpButton::SetPointerCursor(POINT client)
{
    if (!PtInRect(&hitArea_, client))
        return false;
    SetCursor(forbiddenCursor_ ? no_ : hand_);
    return true;
}

void CBmpButton::OnMouseMove(WPARAM keys, POINT p)
{
    SetPointerCursor(p);
    if (active_) {
        Become(pressed_ ? kPressed : kHover);
        TrackLeave();
        SendMessageW(Hwnd(), BM_SETSTATE, 0, 0);
        Default(WM_MOUSEMOVE, keys, MAKELPARAM(p.x, p.y));
    }
    if (!hovering_) {
        hovering_ = true;
        // Whatever the button's access, a reported hover is always followed by a reported leave.
        TrackLeave();
        Notify(WM_BUTTON_HOVER);
    }
}

void CBmpButton::OnMouseLeave()
{
    if (hovering_) {
        hovering_ = false;
        Notify(WM_BUTTON_LEAVE);
    }
    if (active_)
        Become(kNormal);
}

LRESULT CBmpButton::OnButtonDown(UINT msg, WPARAM wp, LPARAM lp)
{
    SetPointerCursor(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
    if (!active_)
        return 0;
    pressed_ = true;
    Become(kPressed);
    return Default(msg, wp, lp);
}

LRESULT CBmpButton::OnButtonUp(UINT msg, WPARAM wp, LPARAM lp)
{
    SetPointerCursor(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
    if (!active_)
        return 0;
    pressed_ = false;
    Become(kNormal);
    return Default(msg, wp, lp);
}

void CBmpButton::Become(int drawState)
{
    if (drawState_ == drawState)
        return;
    drawState_ = drawState;
    Repaint();
}

void CBmpButton::Repaint()
{
    if (Hwnd())
        InvalidateRect(Hwnd(), nullptr, FALSE);
}

void CBmpButton::TrackLeave()
{
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Hwnd(), 0};
    TrackMouseEvent(&track);
}

void CBmpButton::Notify(UINT msg)
{
    if (notify_)
        PostMessageW(notify_, msg, static_cast<WPARAM>(GetDlgCtrlID(Hwnd())), 0);
}

} // namespace manager
