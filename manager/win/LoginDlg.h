#pragma once
// CLoginDlg (template 207): asks for the site user's password, proves the login against the DVR
// through Conduix and hands the verdict to the main dialog's module buttons. Modal; IDOK means the
// check passed. The transport lives exactly as long as the dialog's window.
#include <windows.h>
#include <string>
#include "LoginCheck.h"
#include "conduix/NSMGAPI.h"
#include "foundation/Dialog.h"

// What the check needs of a site.
struct LoginSite {
    std::wstring address;
    int port = 0; // 0: the DVR's default
    std::wstring userId;
};

class CLoginDlg final : public win::Dialog, private login::LoginEffects {
public:
    // `access` outlives the dialog.
    CLoginDlg(LoginSite site, login::ModuleAccess& access);
    ~CLoginDlg() override;

    // Runs the dialog modally over `parent`: IDOK when the DVR accepted the login.
    INT_PTR Run(HWND parent);

private:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override {} // only the login button logs in
    void OnCancel() override { attempt_.Cancel(); }
    bool OnKey(const MSG& msg) override;
    void OnTimer(UINT_PTR id) override;
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

    bool Connect() override;
    void Disconnect() override;
    bool SendInit() override;
    bool SendLogin() override;
    void StartTimer(Timer t, unsigned ms) override;
    void StopTimer(Timer t) override;
    void ShowMessage(login::LoginMessage m) override;
    void EnableLogin(bool enable) override;
    void ClearPassword() override;
    void SetAccess(int buttonId, bool allowed) override { access_.SetModuleAccess(buttonId, allowed); }
    void EndDialog(bool passed) override { End(passed ? IDOK : IDCANCEL); }

    void ReleaseTransport();

    LoginSite site_;
    login::ModuleAccess& access_; // not ours
    login::LoginAttempt attempt_;
    NSMG_HANDLE transport_ = nullptr; // ours: destroyed when the window goes
    bool initialized_ = false; // NSMGAPI_Initialize to be undone
};
