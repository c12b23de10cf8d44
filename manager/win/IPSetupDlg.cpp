#include "IPSetupDlg.h"

#include "ManagerKeys.h"
#include "ManagerSkin.h"
#include "OrvexIds.h"

#include <algorithm>
#include <cwchar>

namespace manager {

namespace {

constexpr wchar_t kSection[] = L"SETUP CONNECTION";

void Place(HWND dialog, int id, int x, int y, int w, int h, bool show = true)
{
    if (HWND item = GetDlgItem(dialog, id))
        SetWindowPos(item, nullptr, x, y, w, h,
                     SWP_NOZORDER | SWP_NOACTIVATE | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void Hide(HWND dialog, int id)
{
    if (HWND item = GetDlgItem(dialog, id))
        ShowWindow(item, SW_HIDE);
}

// Why the site file cannot keep `text` as typed or pasted, or nullptr. A control character (a pasted
// line break above all) would start a line of its own in the file, and a character the code page
// lacks would be saved as "?" or a near letter: the DVR would then get another user or password.
const wchar_t* UnstorableText(const std::wstring& text)
{
    for (wchar_t c : text)
        if (c < 0x20 || c == 0x7F)
            return L"control characters (line breaks, tabs) cannot be stored. Please type it again.";
    if (text.empty())
        return nullptr;
    BOOL lossy = FALSE;
    const int bytes =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), int(text.size()), nullptr, 0, nullptr, &lossy);
    std::string ansi(size_t(std::max(bytes, 0)), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), int(text.size()), ansi.data(), bytes, nullptr,
                            &lossy);
    std::wstring back(text.size(), L'\0');
    const int chars = bytes > 0 ? MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, back.data(), int(back.size())) : 0;
    if (lossy || bytes <= 0 || size_t(chars) != text.size() || back != text)
        return L"it holds a character that this computer's code page cannot store. Please use other letters.";
    return nullptr;
}

} // namespace

INT_PTR CIPSetupDlg::Run(HWND owner) { return DoModal(owner, IDD_IP_SETUP); }

bool CIPSetupDlg::OnInit()
{
    HWND wnd = Hwnd();
    background_.Attach(SMAPI_GetResourceBitmapHandle(65));
    SizeToBitmapAndCentre(wnd, background_.Get());
    SetWindowTextW(wnd, (L"  " + SkinName(1)).c_str());
    SetSkinTexts(wnd, kSection,
                 {{IDC_MODE_MANUAL, L"Manual", L"MANUAL"},
                  {IDC_MODE_DDNS, L"DDNS", L"DDNS"},
                  {IDC_DDNS_MEMBER_LABEL, L"DDNS ID", L"MEMBER ID"},
                  {IDC_DDNS_NAME_LABEL, L"DDNS Name", L"NAME"},
                  {IDC_DDNS_TEST, L"DDNS Test", L"GET ADDRESS & PORT"},
                  {IDC_ADDRESS_LABEL, L"Address", L"ADDRESS"},
                  {IDC_LOCATION_LABEL, L"Location", L"LOCATION"},
                  {IDC_PORT_LABEL, L"Port", L"PORT"},
                  {IDC_USER_LABEL, L"UserID", L"USER ID"},
                  {IDC_PASSWORD_LABEL, L"Password", L"PASSWORD"},
                  {IDC_IP_OK, L"OK", L"OK"},
                  {IDC_IP_CANCEL, L"Cancel", L"CANCEL"}});

    SetWindowPos(wnd, nullptr, 0, 0, 424, 348, SWP_NOZORDER | SWP_NOACTIVATE);
    CentreOnWorkArea(wnd);

    const int labelIds[] = {IDC_ADDRESS_LABEL,  IDC_PORT_LABEL,        IDC_LOCATION_LABEL, IDC_USER_LABEL,
                            IDC_PASSWORD_LABEL, IDC_DDNS_MEMBER_LABEL, IDC_DDNS_NAME_LABEL};
    for (size_t i = 0; i < labels_.size(); ++i)
        labels_[i].Bind(Item(labelIds[i]));
    modes_[0].Bind(Item(IDC_MODE_MANUAL));
    modes_[1].Bind(Item(IDC_MODE_DDNS));
    Hide(wnd, IDC_DDNS_MEMBER_LABEL);
    Hide(wnd, IDC_DDNS_NAME_LABEL);
    const int rows[] = {90, 120, 160, 200, 240}; // address, port, location, user ID, password
    for (int i = 0; i < 5; ++i) {
        Place(wnd, labelIds[i], 35, rows[i], 125, 20);
        labels_[i].SetTextColor(i == 0 ? RGB(210, 225, 210) : RGB(210, 210, 210));
    }

    Place(wnd, IDC_IP_OK, 60, 290, 150, 25);
    Place(wnd, IDC_IP_CANCEL, 220, 290, 150, 25);
    const int edits[] = {IDC_ADDRESS, IDC_PORT, IDC_LOCATION, IDC_USER, IDC_PASSWORD};
    for (int i = 0; i < 5; ++i)
        Place(wnd, edits[i], 170, rows[i], 220, 20);
    for (int id : {IDC_DDNS_TEST, IDC_DDNS_NAME, IDC_DDNS_MEMBER, IDC_MODE_DDNS, IDC_MODE_MANUAL})
        Hide(wnd, id);

    const struct {
        int id, chars;
    } limits[] = {{IDC_ADDRESS, 60}, {IDC_LOCATION, 60}, {IDC_PORT, 5}, {IDC_USER, 8}, {IDC_PASSWORD, 8}};
    for (const auto& l : limits)
        SendDlgItemMessageW(wnd, l.id, EM_LIMITTEXT, l.chars, 0);

    SetChecked(IDC_MODE_MANUAL, true);
    SetChecked(IDC_MODE_DDNS, false);
    EnableItem(IDC_ADDRESS, true);
    EnableItem(IDC_PORT, true);
    EnableItem(IDC_DDNS_MEMBER, false);
    EnableItem(IDC_DDNS_NAME, false);
    EnableItem(IDC_DDNS_TEST, false);

    SetItemText(IDC_ADDRESS, sites::FieldText(site_.address));
    SetDlgItemInt(wnd, IDC_PORT, static_cast<UINT>(sites::ShownPort(site_)), TRUE);
    SetItemText(IDC_LOCATION, sites::FieldText(site_.location));
    SetItemText(IDC_USER, sites::FieldText(site_.userId));
    SetItemText(IDC_PASSWORD, sites::FieldText(site_.password));
    return true;
}

bool CIPSetupDlg::OnCommand(int id, int code, HWND control)
{
    switch (id) {
    case IDC_PORT:
        if (code == EN_CHANGE) {
            BOOL ok = FALSE;
            const int port = static_cast<int>(GetDlgItemInt(Hwnd(), IDC_PORT, &ok, TRUE));
            if (ok && port > sites::kHighestPort)
                SetDlgItemInt(Hwnd(), IDC_PORT, static_cast<UINT>(sites::kHighestPort), TRUE);
        }
        return true;
    case IDC_IP_OK: Confirm(); return true;
    case IDC_IP_CANCEL: End(IDCANCEL); return true;
    default: return Dialog::OnCommand(id, code, control);
    }
}

void CIPSetupDlg::Refuse(const wchar_t* key, const wchar_t* def)
{
    MessageBoxW(Hwnd(), SkinText(kSection, key, def).c_str(), nullptr, MB_OK);
}

void CIPSetupDlg::Confirm()
{
    sites::SiteRecord r{};
    r.size = sites::kSiteRecordSize;
    sites::SetField(r.address, ItemText(IDC_ADDRESS));
    BOOL ok = FALSE;
    r.port = static_cast<int32_t>(GetDlgItemInt(Hwnd(), IDC_PORT, &ok, TRUE));
    if (!ok)
        r.port = 0;
    sites::SetField(r.location, ItemText(IDC_LOCATION));
    sites::SetField(r.userId, ItemText(IDC_USER));
    sites::SetField(r.password, ItemText(IDC_PASSWORD));
    if (!r.address[0])
        return Refuse(L"ErrMsg3", L"ADDRESS EMPTY");
    if (r.port < sites::kLowestPort || r.port > sites::kHighestPort)
        return Refuse(L"ErrMsg4", L"INVALID PORT");
    if (!r.userId[0])
        return Refuse(L"ErrMsg5", L"USER ID EMPTY");
    const struct {
        int id;
        const wchar_t *key, *def;
    } fields[] = {{IDC_ADDRESS, L"Address", L"ADDRESS"},
                  {IDC_LOCATION, L"Location", L"LOCATION"},
                  {IDC_USER, L"UserID", L"USER ID"},
                  {IDC_PASSWORD, L"Password", L"PASSWORD"}};
    for (const auto& f : fields) {
        if (const wchar_t* why = UnstorableText(ItemText(f.id))) {
            SetFocus(Item(f.id));
            MessageBoxW(Hwnd(), (SkinText(kSection, f.key, f.def) + L": " + why).c_str(), nullptr, MB_OK);
            return;
        }
    }
    site_ = r;
    End(IDOK);
}

bool CIPSetupDlg::OnKey(const MSG& msg) { return KeysToFocusedControl(msg); }

INT_PTR CIPSetupDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    return msg == WM_ERASEBKGND && EraseWithSkin(Hwnd(), reinterpret_cast<HDC>(wp), background_.Get(), 65);
}

} // namespace manager
