#pragma once
// The base of the remote-setup control (RemoteSetupCtrl.h) and of the backup control (BackupCtrl.h):
// each takes the site the manager hands it through its dispatch interface, shows in its window what
// arrived and with which type (also as its window text), reads it back as text (Received, DISPID
// 100), and asks its container to close (WM_CLOSE_HOST to its parent) from its Close button or F8.
#include <windows.h>
#include <string>
#include <vector>
#include "Orvmods_h.h"
#include "foundation/ActiveXControl.h"
#include "foundation/ComServer.h"
#include "foundation/Handles.h"

// What tells the controls on this base apart.
struct SubstituteKind {
    const wchar_t* name; // shown first, e.g. "Remote setup"
    win::ControlClass cls;
    VARTYPE portType; // what DISPID 2 accepts: VT_UI4 or VT_BSTR
};

extern const SubstituteKind kRemoteSetupKind, kBackupKind;

// The module's class table, one row per control (Orvmods.cpp).
extern const win::com::ClassRow kOrvmodsRows[4];

class CSubstituteCtrl : public win::ActiveXControl {
public:
    enum : DISPID { kAddress = 1, kPort = 2, kUser = 3, kPassword = 4, kSetAddr = 5, kReceived = 100 };
    enum : int { kCloseButton = 1001 };
    static constexpr UINT kCloseKey = VK_F8;

    // What the control has received, one line each: the module, address, port and its type, user,
    // the password's length (never the password), SetAddr.
    std::vector<std::wstring> Lines() const;

protected:
    explicit CSubstituteCtrl(const SubstituteKind& kind);
    ~CSubstituteCtrl() override = default;

    bool CreateControlWindow(HWND parent, const RECT& pos) override;
    HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr) override;
    void ExchangeProperties(win::PropertyExchange&) override {}
    bool PreTranslate(MSG& msg) override;
    void DrawContent(HDC dc, const RECT& bounds) override;
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

    HRESULT Member(int index, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr);
    HRESULT SetAddr(WORD flags, DISPPARAMS& params, VARIANT* result);
    std::wstring Text(int index) const;
    // DISPIDs 1 to 4 (index 0 to 3) as they came, VT_EMPTY until then.
    const VARIANT& Value(int index) const { return *values_[index].Get(); }
    virtual void Paint(HDC dc, const RECT& bounds);
    // The top of what lies below the Close button.
    static int BelowCloseButton();
    void Changed();
    void ShowReceivedAsText();
    void CloseHost();
    std::wstring Address() const { return Text(0); }
    std::wstring Port() const { return Text(1); }
    int SetAddrCalls() const { return setAddrCalls_; }
    // After SetAddr has taken the site (the backup control reads its recordings then).
    virtual void OnSiteTaken() {}

    win::Font titleFont_, textFont_;

private:
    const SubstituteKind& kind_;
    win::Variant values_[4]; // DISPIDs 1 to 4, as they came (VT_EMPTY until then)
    int setAddrCalls_ = 0;
    bool setAddrAnswer_ = false;
    HWND closeButton_ = nullptr; // a child of ours
};
