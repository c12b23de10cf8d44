#pragma once
// Orvex's main window: a shaped launcher cut out of the skin's background, eight image buttons, the
// version and the chosen site's lines, and a translucent help balloon over the button under the
// pointer.
#include <windows.h>
#include <array>
#include <memory>
#include <string>
#include "BmpButton.h"
#include "LoginCheck.h"
#include "ModuleHosts.h"
#include "foundation/Dialog.h"
#include "foundation/Handles.h"
#include "sites/SiteRecord.h"

namespace manager {

// Draws a help text in a translucent box (nothing for an empty text); lines at each CR LF.
void DrawHelpBalloon(const std::wstring& text, HDC dc, int left, int top, int right, int bottom);

// The chosen site of the program folder's site file (CONFIG\H264Site.ini, section DVR1), read as
// the program starts; false when the file names no site.
bool LoadStartupSite(sites::SiteRecord* site);

class CWebApplicationManagerDlg : public win::Dialog, private login::ModuleAccess {
public:
    CWebApplicationManagerDlg();
    ~CWebApplicationManagerDlg() override;

    INT_PTR Run() { return DoModal(nullptr, 102); }

    // Allowed: drawn normal, hand cursor, reacts to the mouse; otherwise drawn disabled, the no-entry
    // cursor, no reaction. Either way repainted.
    void SetButtonAccess(int buttonId, bool allowed);

    const sites::SiteRecord& SelectedSite() const { return selectedSite_; }
    bool SiteSelected() const { return siteSelected_; }

    // Opens module `code` (1 to 6) in its window, closing the one open first.
    void OpenModule(int code);
    void CloseCurrentModule();
    int CurrentModuleCode() const { return currentCode_; }
    CModuleHostDlg* CurrentModule() const { return current_; }

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;
    bool OnKey(const MSG& msg) override;
    void OnTimer(UINT_PTR id) override;
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    struct Slot {
        Slot(int c, unsigned short s) : control(c), skin(s) {}
        int control;
        unsigned short skin;
        CBmpButton button;
        std::array<win::Bitmap, 4> bitmaps;
    };
    Slot* SlotOf(int control);
    void ReadVersion();
    void PaintBackground(HDC dc);
    void OnHover(int control);
    void OnLeave(int control);
    void LeaveStep();
    void OnSiteSetup();
    void OnPaintMinimised();
    void OnModuleClosed();
    void SetModuleAccess(int buttonId, bool allowed) override { SetButtonAccess(buttonId, allowed); }
    void DeleteCurrentModule();

    std::array<Slot, 8> slots_;
    win::Bitmap background_;
    win::Icon icon_;
    std::wstring hoverText_;
    int hoverButton_ = 0;
    bool balloonShown_ = false;
    std::wstring version_;
    sites::SiteRecord selectedSite_{};
    bool siteSelected_ = false;

    std::array<std::unique_ptr<CModuleHostDlg>, 7> hosts_; // by kind code 1 to 6
    CModuleHostDlg* current_ = nullptr; // one of hosts_
    int currentCode_ = kNoModule;
};

} // namespace manager
