#pragma once
// CBmpButton: a dialog's push button drawn from four skin bitmaps (normal, pressed, hover,
// disabled), with the hand cursor over it and hover/leave notices to a window of the owner's
// choosing (the main dialog's help balloon). An inactive button shows the no-entry cursor when it is
// forbidden, keeps its picture, and cannot be clicked; it still reports hovering and leaving.
#include <windows.h>
#include "foundation/Window.h"

namespace manager {

class CBmpButton : public win::Subclass {
public:
    enum DrawState : int { kNormal = 0, kPressed = 1, kHover = 2, kDisabled = 3 };

    CBmpButton() = default;

    // Takes over a button control: makes it owner-drawn and sets the cursor's hit area (the client
    // rectangle widened by 100 pixels to the right and downwards). False when `button` is no window.
    bool Bind(HWND button);
    bool Bind(HWND dialog, int id) { return Bind(GetDlgItem(dialog, id)); }

    // The bitmaps by draw state; a null pressed, hover or disabled one is replaced by the normal one.
    // They stay the caller's. Repaints; true when a normal bitmap was given.
    bool SetBitmaps(HBITMAP normal, HBITMAP pressed = nullptr, HBITMAP hover = nullptr, HBITMAP disabled = nullptr);
    // Sets the draw state (0 to 3; other values draw nothing), whether the pointer shows the no-entry
    // cursor, and whether the button reacts to the mouse; repaints.
    void SetButtonAccess(int drawState, bool forbiddenCursor, bool active);
    // Receiver of WM_BUTTON_HOVER and WM_BUTTON_LEAVE (null: none).
    void SetNotifyWindow(HWND wnd) { notify_ = wnd; }

    int DrawState() const { return drawState_; }
    bool Active() const { return active_; }
    bool ForbiddenCursor() const { return forbiddenCursor_; }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void OnPaint();
    bool SetPointerCursor(POINT client);
    void OnMouseMove(WPARAM keys, POINT p);
    void OnMouseLeave();
    LRESULT OnButtonDown(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnButtonUp(UINT msg, WPARAM wp, LPARAM lp);
    void Become(int drawState);
    void Repaint();
    void TrackLeave();
    void Notify(UINT msg);

    HBITMAP bitmaps_[4] = {}; // not ours: the skin's
    RECT hitArea_{};
    HCURSOR hand_ = LoadCursorW(nullptr, IDC_HAND); // shared system cursors: never destroyed
    HCURSOR no_ = LoadCursorW(nullptr, IDC_NO);
    bool forbiddenCursor_ = false;
    bool active_ = true;
    int drawState_ = kNormal;
    bool pressed_ = false;
    bool hovering_ = false;
    HWND notify_ = nullptr; // not ours
};

} // namespace manager
