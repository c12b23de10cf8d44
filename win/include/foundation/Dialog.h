#pragma once
// The dialog base: dialogs from templates, modal or modeless, with one shared dialog procedure
// (the object in DWLP_USER from WM_INITDIALOG to WM_NCDESTROY, every message behind an exception
// barrier) and virtual hooks for initialisation, commands, OK, Cancel, keys, timers, notifications,
// owner drawing and control colours. Every live dialog is a filter of its thread's message chain
// (MessageLoop), and a modal dialog runs that chain in its own loop, so OnKey sees each key before
// the dialog manager turns Enter into OK, Escape into Cancel or Space into a click: a dialog that
// must swallow one of them answers true.
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "foundation/Module.h"

namespace win {

// The items of any window that holds controls by identifier (a dialog, or a window such as the
// viewer's main view that places its controls itself).
std::wstring ItemText(HWND parent, int id); // "" when there is no such item
bool SetItemText(HWND parent, int id, const std::wstring& text);
// A check box or radio button: checked (BST_CHECKED) or not.
bool IsChecked(HWND parent, int id);
void SetChecked(HWND parent, int id, bool checked);
// The selected entry of a combo box or a single-selection list box; -1 when none (or no item).
int ComboSelection(HWND parent, int id);
int ListSelection(HWND parent, int id);
// Selects entry `index` (-1: none). False when the index is out of the list.
bool SelectCombo(HWND parent, int id, int index);
bool SelectList(HWND parent, int id, int index);
void EnableItem(HWND parent, int id, bool enable);

class Dialog {
public:
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog();

    // Runs the dialog of template `templateId` of `module` until End; its result, or -1 when the
    // dialog could not be created.
    INT_PTR DoModal(HWND parent, int templateId, HINSTANCE module = ThisModule());
    // Creates the dialog and returns; the thread's message loop (MessageLoop::Run) passes its
    // messages through the dialog. False when the dialog could not be created.
    bool CreateModeless(HWND parent, int templateId, HINSTANCE module = ThisModule());

    HWND Hwnd() const { return wnd_; }
    HWND Item(int id) const { return GetDlgItem(wnd_, id); }

    // ---- items (the functions above, for this dialog) ----
    std::wstring ItemText(int id) const { return win::ItemText(wnd_, id); }
    bool SetItemText(int id, const std::wstring& text) { return win::SetItemText(wnd_, id, text); }
    bool IsChecked(int id) const { return win::IsChecked(wnd_, id); }
    void SetChecked(int id, bool checked) { win::SetChecked(wnd_, id, checked); }
    int ComboSelection(int id) const { return win::ComboSelection(wnd_, id); }
    int ListSelection(int id) const { return win::ListSelection(wnd_, id); }
    bool SelectCombo(int id, int index) { return win::SelectCombo(wnd_, id, index); }
    bool SelectList(int id, int index) { return win::SelectList(wnd_, id, index); }
    void EnableItem(int id, bool enable) { win::EnableItem(wnd_, id, enable); }

    // For a hand-written message loop: the thread's filter chain (MessageLoop::PreTranslate), which
    // holds every live dialog's keys and navigation. True when the message must not be dispatched.
    static bool PreTranslate(MSG* msg);

protected:
    Dialog() = default;

    // WM_INITDIALOG: true lets the dialog manager set the focus.
    virtual bool OnInit() { return true; }
    // WM_COMMAND: the default turns IDOK into OnOK and IDCANCEL into OnCancel. True when handled.
    virtual bool OnCommand(int id, int code, HWND control);
    virtual void OnOK() { End(IDOK); }
    virtual void OnCancel() { End(IDCANCEL); }
    // A keyboard message for the dialog or one of its items, before anything else sees it.
    virtual bool OnKey(const MSG& msg) { return false; }
    // WM_TIMER of a timer without a procedure of its own.
    virtual void OnTimer(UINT_PTR id) {}
    // WM_NOTIFY from item `id`: the answer goes to the sender (DWLP_MSGRESULT). 0 is the default
    // answer of every notification.
    virtual LRESULT OnNotify(int id, NMHDR* header) { return 0; }
    // WM_DRAWITEM of an owner-drawn item: true when drawn (otherwise OnMessage sees it).
    virtual bool OnDrawItem(int id, DRAWITEMSTRUCT* draw) { return false; }
    // WM_CTLCOLOR* (type: CTLCOLOR_EDIT, CTLCOLOR_STATIC, CTLCOLOR_DLG...; `control` is the dialog
    // itself for CTLCOLOR_DLG): the brush for the background, after setting the DC's colours; null
    // for the default (then OnMessage sees it). The brush stays the dialog's: it is not deleted.
    virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT type) { return nullptr; }
    // Every other message, as a dialog procedure answers (FALSE: not handled).
    virtual INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp) { return FALSE; }
    // After WM_NCDESTROY, with the window gone.
    virtual void OnFinalMessage() {}

    // Ends a modal dialog with `result`, or destroys a modeless one.
    void End(INT_PTR result);

private:
    bool Create(HWND parent, int templateId, HINSTANCE module);
    bool Filter(MSG* msg);
    static INT_PTR CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR Handle(UINT msg, WPARAM wp, LPARAM lp);

    void Unlist();

    HWND wnd_ = nullptr; // ours: destroyed by End or with this object
    bool modal_ = false;
    bool ended_ = false;
    INT_PTR result_ = -1;
    UINT_PTR filter_ = 0; // in the message chain of the thread that made the window
};

} // namespace win
