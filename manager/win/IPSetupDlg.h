#pragma once
// The site edit dialog: one site's address, port, location, user ID and password, checked before
// it is given back. The site always leaves as an address entered by hand (type 0, no DDNS fields).
#include <windows.h>
#include <array>
#include <string>
#include "TransparentControls.h"
#include "foundation/Dialog.h"
#include "foundation/Handles.h"
#include "sites/SiteRecord.h"

namespace manager {

class CIPSetupDlg final : public win::Dialog {
public:
    explicit CIPSetupDlg(const sites::SiteRecord& site) : site_(site) {}
    // IDOK with Result() set, or IDCANCEL.
    INT_PTR Run(HWND owner);
    const sites::SiteRecord& Result() const { return site_; }

private:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override {}
    bool OnKey(const MSG& msg) override;
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void Confirm();
    void Refuse(const wchar_t* key, const wchar_t* def);

    sites::SiteRecord site_;
    win::Bitmap background_;
    std::array<CTransparentStatic, 7> labels_;
    std::array<CTransparentButton, 2> modes_;
};

} // namespace manager
