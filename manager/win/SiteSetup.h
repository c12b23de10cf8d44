#pragma once
// The site list: every site of the site file in an owner-drawn list, added, updated and deleted in
// memory, saved on SAVE and on a selection; selecting a site runs the login check, and the chosen
// site goes back to the main window when it passes.
#include <windows.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "MagicList.h"
#include "foundation/Dialog.h"
#include "foundation/Handles.h"
#include "sites/SiteRecord.h"

namespace manager {

class CSiteSetup final : public win::Dialog {
public:
    // Reads the site file (`path`; the program folder's CONFIG\H264Site.ini when empty).
    explicit CSiteSetup(std::wstring path = L"");
    ~CSiteSetup() override;

    // IDOK with Chosen() set once a site passed the login check, or IDCANCEL.
    INT_PTR Run(HWND owner);
    const sites::SiteRecord& Chosen() const { return chosen_; }

    // The login check of a chosen site (its port 0 made 50000); IDOK when it passed.
    std::function<INT_PTR(HWND owner, const sites::SiteRecord& site)> runLogin;

private:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override {}
    bool OnKey(const MSG& msg) override;
    LRESULT OnNotify(int id, NMHDR* header) override;
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

    void Fill();
    void ShowRow(int row, const sites::SiteRecord& site);
    void NewSite();
    void UpdateSite();
    void DeleteSite();
    bool Save();
    void Select();
    sites::SiteRecord* SelectedSite();

    std::wstring path_;
    std::vector<std::unique_ptr<sites::SiteRecord>> sites_;
    sites::SiteRecord chosen_{};
    CMagicList list_;
    win::Bitmap background_;
};

} // namespace manager
