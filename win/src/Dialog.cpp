#include "foundation/Dialog.h"
#include "foundation/MessageLoop.h"
#include "Barrier.h"
#include "foundation/Trace.h"

namespace win {

namespace {

bool IsKey(UINT msg) { return msg >= WM_KEYFIRST && msg <= WM_KEYLAST; }

} // namespace

Dialog::~Dialog()
{
    detail::DestroyOwned(wnd_, DWLP_USER);
    Unlist();
}

void Dialog::Unlist()
{
    MessageLoop::RemoveFilter(filter_);
    filter_ = 0;
}

bool Dialog::Create(HWND parent, int templateId, HINSTANCE module)
{
    if (wnd_)
        return false;
    ended_ = false;
    result_ = -1;
    // In the chain before OnInit runs, so the filters that OnInit adds (its control hosts') come
    // before the dialog manager's.
    Unlist();
    filter_ = MessageLoop::AddFilter([this](MSG* m) { return Filter(m); });
    HWND w = CreateDialogParamW(module, MAKEINTRESOURCEW(templateId), parent, Proc, reinterpret_cast<LPARAM>(this));
    if (!w)
        Unlist();
    return w != nullptr;
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
    MessageLoop::RunUntil([this] { return ended_ || !wnd_; }); // WM_QUIT is posted again for the program's loop
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

bool Dialog::PreTranslate(MSG* msg) { return MessageLoop::PreTranslate(msg); }

std::wstring ItemText(HWND parent, int id)
{
    HWND item = GetDlgItem(parent, id);
    if (!item)
        return {};
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    int n = GetWindowTextW(item, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(n > 0 ? n : 0));
    return text;
}

bool SetItemText(HWND parent, int id, const std::wstring& text)
{
    return SetDlgItemTextW(parent, id, text.c_str()) != FALSE;
}

bool IsChecked(HWND parent, int id) { return IsDlgButtonChecked(parent, id) == BST_CHECKED; }

void SetChecked(HWND parent, int id, bool checked)
{
    CheckDlgButton(parent, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

namespace {
// A list-like item's answer to `message`; -1 when there is no such item.
int ItemAnswer(HWND parent, int id, UINT message, WPARAM wp = 0)
{
    HWND item = GetDlgItem(parent, id);
    return item ? static_cast<int>(SendMessageW(item, message, wp, 0)) : -1;
}
} // namespace

int ComboSelection(HWND parent, int id) { return ItemAnswer(parent, id, CB_GETCURSEL); }

int ListSelection(HWND parent, int id) { return ItemAnswer(parent, id, LB_GETCURSEL); }

// CB_SETCURSEL and LB_SETCURSEL answer -1 (CB_ERR, LB_ERR) both for a bad index and for -1 (none).
bool SelectCombo(HWND parent, int id, int index)
{
    return GetDlgItem(parent, id) &&
        (ItemAnswer(parent, id, CB_SETCURSEL, static_cast<WPARAM>(index)) != CB_ERR || index == -1);
}

bool SelectList(HWND parent, int id, int index)
{
    return GetDlgItem(parent, id) &&
        (ItemAnswer(parent, id, LB_SETCURSEL, static_cast<WPARAM>(index)) != LB_ERR || index == -1);
}

void EnableItem(HWND parent, int id, bool enable)
{
    if (HWND item = GetDlgItem(parent, id))
        EnableWindow(item, enable ? TRUE : FALSE);
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
    case WM_TIMER: OnTimer(wp); return TRUE;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lp);
        LRESULT answer = header ? OnNotify(static_cast<int>(header->idFrom), header) : 0;
        SetWindowLongPtrW(wnd_, DWLP_MSGRESULT, answer);
        return TRUE;
    }
    case WM_DRAWITEM:
        if (OnDrawItem(static_cast<int>(wp), reinterpret_cast<DRAWITEMSTRUCT*>(lp)))
            return TRUE;
        break;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        // The one case where a dialog procedure answers with a value of its own, not TRUE.
        if (HBRUSH brush = OnCtlColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp), msg - WM_CTLCOLORMSGBOX))
            return reinterpret_cast<INT_PTR>(brush);
        break;
    default: break;
    }
    return OnMessage(msg, wp, lp);
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
    const INT_PTR result =
        detail::Barrier(L"the dialog procedure", msg, INT_PTR(FALSE), [&] { return self->Handle(msg, wp, lp); });
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(wnd, DWLP_USER, 0);
        self->wnd_ = nullptr;
        self->Unlist();
        detail::FinalBarrier(L"a dialog's last message", [&] { self->OnFinalMessage(); });
    }
    return result;
}

} // namespace win
