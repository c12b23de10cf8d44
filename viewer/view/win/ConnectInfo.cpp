// The view's side of the control shell: the last connection read back from the connection-info
// file, and the keyboard navigation the control hands to the view.
#include "DVRScreenView.h"
#include "ViewStrings.h"
#include "foundation/Dialog.h"

namespace view {

namespace {

std::wstring ReadKey(const std::wstring& section, const std::wstring& key, const wchar_t* fallback, DWORD chars,
                     const std::wstring& file)
{
    std::wstring value(chars, L'\0');
    DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), fallback, value.data(), chars, file.c_str());
    value.resize(n < chars ? n : 0);
    return value;
}

} // namespace

void DVRScreenView::LoadConnectInfo()
{
    const std::wstring file = InfoFilePath();
    if (file.empty())
        return;
    const std::wstring section = Text(connection::kTextInfoSection);
    const struct {
        int item;
        int key;
        DWORD chars;
    } fields[] = {
        {kItemAddress, connection::kTextInfoUrl, kAddressChars},
        {kItemPort, connection::kTextInfoPort, kPortChars},
        {kItemUser, connection::kTextInfoUser, kUserChars},
        {kItemPassword, connection::kTextInfoPassword, kPasswordChars},
    };
    // Each value as wide as its field; the buffer holds the terminating zero besides.
    for (const auto& f : fields)
        win::SetItemText(Hwnd(), f.item, ReadKey(section, Text(f.key), L"", f.chars + 1, file).substr(0, f.chars));
    const bool autoPtz = ReadKey(L"AUTO_PTZ_TYPE", L"AUTO", L"ON", 20, file) == L"ON";
    win::SetChecked(Hwnd(), kItemAutoPtz, autoPtz);
    // The PTZ protocol and baud-rate selectors are disabled while the "DVR PTZ" box is checked.
    for (int item : {kItemPtzProtocol, kItemBaud})
        win::EnableItem(Hwnd(), item, !autoPtz);
}

bool DVRScreenView::PreTranslate(MSG* msg)
{
    if (!Hwnd() || !msg || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST)
        return false;
    if (msg->hwnd != Hwnd() && !IsChild(Hwnd(), msg->hwnd))
        return false;
    if (OnViewKey(*msg))
        return true;
    // Tab moves between the fields and the arrows stay with the field that has the focus, as in
    // a dialog.
    return IsDialogMessageW(Hwnd(), msg) != FALSE;
}

} // namespace view
