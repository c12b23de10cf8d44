#include "LoginDlg.h"

#include "ManagerKeys.h"
#include "ManagerSkin.h"
#include "AnsiText.h"
#include "LoginIds.h"

namespace {

constexpr wchar_t kSection[] = L"LOGIN";

struct ProfileText {
    const wchar_t* key;
    const wchar_t* def;
};

ProfileText MessageText(login::LoginMessage m)
{
    switch (m) {
    case login::LoginMessage::CheckPassword: return {L"ErrMsg1", L"Check Password!"};
    case login::LoginMessage::CheckIdPassword: return {L"ErrMsg2", L"Check ID Password!"};
    case login::LoginMessage::TooManyUsers: return {L"ErrMsg3", L"Users connect excess."};
    case login::LoginMessage::FailConnect: break;
    }
    return {L"Socket", L"Fail Connect"};
}

constexpr int kPasswordChars = 8;

} // namespace

CLoginDlg::CLoginDlg(LoginSite site, login::ModuleAccess& access)
    : site_(std::move(site)), access_(access), attempt_(*this, protocol::ToAnsi(site_.userId, login::kMaxAnsiBytes))
{
    site_.port = login::EffectivePort(site_.port);
}

CLoginDlg::~CLoginDlg() { ReleaseTransport(); }

INT_PTR CLoginDlg::Run(HWND parent) { return DoModal(parent, IDD_LOGIN); }

bool CLoginDlg::OnInit()
{
    manager::SetSkinTexts(Hwnd(), kSection,
                          {{IDC_LOGIN_ID_LABEL, L"ID", L"ID"},
                           {IDC_LOGIN_PASSWORD_LABEL, L"Password", L"PASSWORD"},
                           {IDC_LOGIN_OK, L"Login", L"LOGIN"},
                           {IDC_LOGIN_CANCEL, L"Cancel", L"Cancel"}});
    initialized_ = NSMGAPI_Initialize() != 0;
    transport_ = NSMGAPI_Create(Hwnd(), nullptr, nullptr);
    if (!transport_) {
        PostQuitMessage(0); // without a transport the program cannot check any site
        return true;
    }
    SetItemText(IDC_LOGIN_ID, site_.userId);
    SendDlgItemMessageW(Hwnd(), IDC_LOGIN_PASSWORD, EM_LIMITTEXT, kPasswordChars, 0);
    SetFocus(Item(IDC_LOGIN_PASSWORD));
    return false;
}

bool CLoginDlg::OnCommand(int id, int code, HWND control)
{
    if (code != BN_CLICKED)
        return Dialog::OnCommand(id, code, control);
    switch (id) {
    case IDC_LOGIN_OK: attempt_.LoginClicked(); return true;
    case IDC_LOGIN_CANCEL:
    case IDCANCEL: attempt_.Cancel(); return true; // IDCANCEL: closed by the system
    default: return Dialog::OnCommand(id, code, control);
    }
}

// Enter and Escape go to the focused control: they neither log in nor cancel.
bool CLoginDlg::OnKey(const MSG& msg) { return manager::KeysToFocusedControl(msg); }

void CLoginDlg::OnTimer(UINT_PTR id)
{
    if (id == kGuardTimer)
        attempt_.GuardElapsed();
    else if (id == kWaitTimer)
        attempt_.WaitElapsed();
}

INT_PTR CLoginDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case NSMG_WM_CONNECT: attempt_.ConnectResult(wp != 0); return TRUE;
    case NSMG_WM_LOST: attempt_.ConnectionClosed(); return TRUE;
    case NSMG_WM_PACKET_A:
    case NSMG_WM_PACKET:
        if (wp) {
            auto* header = reinterpret_cast<const _tagNsmgPacketHeader*>(wp);
            attempt_.Packet(header->command, reinterpret_cast<const uint8_t*>(lp), lp ? header->length : 0);
        }
        return TRUE;
    case WM_DESTROY: ReleaseTransport(); return FALSE;
    default: return FALSE;
    }
}

bool CLoginDlg::Connect()
{
    _tagConnectSocketInfo info;
    login::BuildConnectInfo(protocol::ToAnsi(site_.address, login::kMaxAnsiBytes), site_.port, info);
    return transport_ && NSMGAPI_Connect(transport_, &info) != 0;
}

void CLoginDlg::Disconnect()
{
    if (transport_)
        NSMGAPI_Disconnect(transport_);
}

bool CLoginDlg::SendInit() { return transport_ && NSMGAPI_SendInitPacketData(transport_) != 0; }

bool CLoginDlg::SendLogin()
{
    uint8_t packet[protocol::kLoginSize];
    login::BuildLoginPacket(protocol::ToAnsi(site_.userId, login::kMaxAnsiBytes),
                            protocol::ToAnsi(ItemText(IDC_LOGIN_PASSWORD), login::kMaxAnsiBytes), packet);
    return transport_ &&
        NSMGAPI_SendPacketData(transport_, protocol::kCmdLogin, packet, static_cast<int>(sizeof packet)) != 0;
}

void CLoginDlg::StartTimer(Timer t, unsigned ms) { SetTimer(Hwnd(), t, ms, nullptr); }

void CLoginDlg::StopTimer(Timer t) { KillTimer(Hwnd(), t); }

void CLoginDlg::ShowMessage(login::LoginMessage m)
{
    const ProfileText t = MessageText(m);
    MessageBoxW(nullptr, manager::SkinText(kSection, t.key, t.def).c_str(), nullptr, MB_OK);
}

void CLoginDlg::EnableLogin(bool enable) { EnableItem(IDC_LOGIN_OK, enable); }

void CLoginDlg::ClearPassword() { SetItemText(IDC_LOGIN_PASSWORD, L""); }

// Whatever the outcome: no thread, socket or window of the check outlives the dialog.
void CLoginDlg::ReleaseTransport()
{
    if (transport_) {
        NSMGAPI_Disconnect(transport_);
        NSMGAPI_Destroy(transport_);
        transport_ = nullptr;
    }
    if (initialized_) {
        NSMGAPI_Uninitialize();
        initialized_ = false;
    }
}
