#pragma once
// The dialog base: dialogs from templates, modal or modeless, with one shared dialog procedure
// (the object in DWLP_USER from WM_INITDIALOG to WM_NCDESTROY, every message behind an exception
// barrier) and virtual hooks for initialisation, commands, OK, Cancel and keys. A modal dialog runs
// its own message loop, so OnKey sees each key before the dialog manager turns Enter into OK,
// Escape into Cancel or Space into a click: a dialog that must swallow one of them answers true.
#include <windows.h>
#include "foundation/Module.h"

namespace win {

class Dialog {
public:
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog();

    // Runs the dialog of template `templateId` of `module` until End; its result, or -1 when the
    // dialog could not be created.
    INT_PTR DoModal(HWND parent, int templateId, HINSTANCE module = ThisModule());
    // Creates the dialog and returns; the thread's message loop passes its messages through
    // PreTranslate. False when the dialog could not be created.
    bool CreateModeless(HWND parent, int templateId, HINSTANCE module = ThisModule());

    HWND Hwnd() const { return wnd_; }
    HWND Item(int id) const { return GetDlgItem(wnd_, id); }

    // For a message loop that runs modeless dialogs: keys and dialog navigation for the dialog
    // that `msg` is meant for. True when the message was handled and must not be dispatched.
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

    HWND wnd_ = nullptr; // ours: destroyed by End or with this object
    bool modal_ = false;
    bool ended_ = false;
    INT_PTR result_ = -1;
    Dialog* next_ = nullptr; // the thread's list of live dialogs
};

} // namespace win
