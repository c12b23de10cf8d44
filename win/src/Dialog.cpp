#include "foundation/Dialog.h"
#include "foundation/Trace.h"

namespace win {

namespace {

thread_local Dialog* t_dialogs = nullptr; // the thread's live dialogs, newest first

bool IsKey(UINT msg) { return msg >= WM_KEYFIRST && msg <= WM_KEYLAST; }

} // namespace

Dialog::~Dialog()
{
    if (wnd_) {
        HWND w = wnd_;
        SetWindowLongPtrW(w, DWLP_USER, 0);
        wnd_ = nullptr;
        DestroyWindow(w);
    }
    for (Dialog** p = &t_dialogs; *p; p = &(*p)->next_)
        if (*p == this) {
            *p = next_;
            break;
        }
}

bool Dialog::Create(HWND parent, int templateId, HINSTANCE module)
{
    if (wnd_)
        return false;
    ended_ = false;
    result_ = -1;
    HWND w = CreateDialogParamW(module, MAKEINTRESOURCEW(templateId), parent, Proc, reinterpret_cast<LPARAM>(this));
    if (!w)
        return false;
    next_ = t_dialogs;
    t_dialogs = this;
    return true;
}

bool Dialog::CreateModeless(HWND parent, int templateId, HINSTANCE module)
{
    modal_ = false;
    return Create(parent, templateId, module);
}

INT_PTR Dialog::DoModal(HWND parent, int templateId, HINSTANCE module)
{
    modal_ = true;
    // The owner is disabled while the dialog runs, as the platform's own modal loop does.
    bool ownerWasEnabled = parent && IsWindowEnabled(parent);
    if (ownerWasEnabled)
        EnableWindow(parent, FALSE);
    if (!Create(parent, templateId, module)) {
        if (ownerWasEnabled)
            EnableWindow(parent, TRUE);
        return -1;
    }
    ShowWindow(wnd_, SW_SHOW);
    MSG msg;
    while (!ended_ && wnd_) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                PostQuitMessage(static_cast<int>(msg.wParam)); // the program's loop must still see it
            break;
        }
        if (!PreTranslate(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (ownerWasEnabled)
        EnableWindow(parent, TRUE); // before the dialog goes, so the owner gets the activation
    if (wnd_) {
        HWND w = wnd_;
        DestroyWindow(w);
    }
    return result_;
}

void Dialog::End(INT_PTR result)
{
    result_ = result;
    ended_ = true;
    if (!modal_ && wnd_)
        DestroyWindow(wnd_);
    // A modal dialog's loop sees ended_ and destroys the window after re-enabling the owner.
    if (modal_)
        PostMessageW(wnd_, WM_NULL, 0, 0); // wake the loop
}

bool Dialog::Filter(MSG* msg)
{
    if (!wnd_ || (msg->hwnd != wnd_ && !IsChild(wnd_, msg->hwnd)))
        return false;
    if (IsKey(msg->message)) {
        bool swallowed = false;
        try {
            swallowed = OnKey(*msg);
        } catch (...) {
            Trace(L"===>>> exception in a dialog's key handler\n");
            swallowed = true;
        }
        if (swallowed)
            return true;
    }
    return IsDialogMessageW(wnd_, msg) != FALSE;
}

bool Dialog::PreTranslate(MSG* msg)
{
    for (Dialog* d = t_dialogs; d; d = d->next_)
        if (d->Filter(msg))
            return true;
    return false;
}

bool Dialog::OnCommand(int id, int code, HWND control)
{
    switch (id) {
    case IDOK: OnOK(); return true;
    case IDCANCEL: OnCancel(); return true;
    default: return false;
    }
}

INT_PTR Dialog::Handle(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_INITDIALOG: return OnInit() ? TRUE : FALSE;
    case WM_COMMAND: return OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)) ? TRUE : FALSE;
    default: return OnMessage(msg, wp, lp);
    }
}

INT_PTR CALLBACK Dialog::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    Dialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lp);
        self->wnd_ = wnd;
        SetWindowLongPtrW(wnd, DWLP_USER, lp);
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(wnd, DWLP_USER));
    }
    if (!self)
        return FALSE;
    INT_PTR result;
    try {
        result = self->Handle(msg, wp, lp);
    } catch (...) {
        Trace(L"===>>> exception in the dialog procedure, message 0x%04X\n", msg);
        result = FALSE;
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(wnd, DWLP_USER, 0);
        self->wnd_ = nullptr;
        for (Dialog** p = &t_dialogs; *p; p = &(*p)->next_)
            if (*p == self) {
                *p = self->next_;
                break;
            }
        try {
            self->OnFinalMessage();
        } catch (...) {
            Trace(L"===>>> exception after a dialog's last message\n");
        }
    }
    return result;
}

} // namespace win
