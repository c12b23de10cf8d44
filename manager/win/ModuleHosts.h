#pragma once
// The module windows: modeless popups of the main window, each holding one module control (the
// viewer, player, search, backup or remote setup) made by class identifier, handed the chosen site
// through its dispatch interface. The NVS client entry has no control: its window closes at once.
#include <windows.h>
#include <memory>
#include <string>
#include "foundation/ControlHost.h"
#include "foundation/Dialog.h"
#include "foundation/Handles.h"
#include "sites/SiteRecord.h"

namespace manager {

// One module as the main window numbers it (its button and code) and as its window shows it.
struct ModuleInfo {
    int button; // the main window's button
    int code; // the main window's current module code
    int kind; // the window's kind code
    int templateId; // the template its window is made from
    const CLSID* clsid; // null: no control (the NVS client entry)
    int controlId;
    unsigned short title; // skin name string
    unsigned short rect; // skin rectangle; 0 for none
};

// By main window code 1 to 6; null for any other code.
const ModuleInfo* ModuleByCode(int code);
const ModuleInfo* ModuleByButton(int button);
enum ModuleCode { kNoModule = 0, kRemoteSetup = 1, kViewer = 2, kBackup = 3, kPlayer = 4, kSearch = 5, kNvsClient = 6 };

// A control wrapper: a child window of the module window that holds the module's control.
class CAtvxSControl : public win::ControlHost {
public:
    // Makes the wrapper (WS_CHILD, `rect`, `id`, window name `title`) and its control; false when
    // the control is not registered or cannot be made.
    bool CreateModule(HWND parent, REFCLSID clsid, const std::wstring& title, const RECT& rect, int id);
    // The size the control asks for (IOleObject::GetExtent) in pixels; {0, 0} when it names none.
    SIZE NaturalSize() const;

private:
    // The control posts WM_CLOSE_HOST to its parent, this wrapper: it is the module window that
    // closes, and tells the main window.
    void OnCloseHost() override;
};
class CAtvxSRemoteSetup final : public CAtvxSControl {};
class CAtvxSViewer final : public CAtvxSControl {};
class CAtvxSBackup final : public CAtvxSControl {};
class CAtvxSPlayer final : public CAtvxSControl {};
class CAtvxSSearch final : public CAtvxSControl {};

// A module window. Closing it (WM_CLOSE, WM_CLOSE_HOST) hides it and tells its owner with
// WM_MODULE_CLOSED; only the main window deletes it.
class CModuleHostDlg : public win::Dialog {
public:
    ~CModuleHostDlg() override;

    int kind = 0; // set before the window exists
    sites::SiteRecord* site = nullptr; // the main window's chosen site; not ours
    std::wstring portText;
    bool controlCreated = false;

    // Creates the window modelessly from its template, owned by `owner`.
    bool Open(HWND owner);
    const ModuleInfo& Info() const { return info_; }
    // Closed (hidden, its notice posted to the owner) and waiting to be deleted.
    bool Closed() const { return closed_; }
    CAtvxSControl* Wrapper() const { return wrapper_.get(); }
    // The window's size: 880 x 660, or more where its control asks for more.
    SIZE WindowSize() const;

protected:
    CModuleHostDlg(const ModuleInfo& info, std::unique_ptr<CAtvxSControl> wrapper);
    bool OnInit() override;
    bool OnKey(const MSG& msg) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT type) override;
    void OnOK() override {}
    void OnCancel() override {}
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    bool InitControl(const std::wstring& title);
    void PassSite();
    void CloseHost();

    const ModuleInfo& info_;
    win::Icon icon_;
    win::Brush background_{CreateSolidBrush(RGB(8, 14, 30))}; // around a control smaller than the window
    std::unique_ptr<CAtvxSControl> wrapper_; // null for the NVS client entry
    bool closed_ = false;
    UINT_PTR keyFilter_ = 0; // the key filter ahead of the control's
};

class CActiveXCtlDlg final : public CModuleHostDlg { // the NVS client entry
public:
    CActiveXCtlDlg();
};
class CActiveXRemoteSetupCtlDlg final : public CModuleHostDlg {
public:
    CActiveXRemoteSetupCtlDlg();
};
class CActiveXViewerCtlDlg final : public CModuleHostDlg {
public:
    CActiveXViewerCtlDlg();
};
class CActiveXBackupCtlDlg final : public CModuleHostDlg {
public:
    CActiveXBackupCtlDlg();
};
class CActiveXPlayerCtlDlg final : public CModuleHostDlg {
public:
    CActiveXPlayerCtlDlg();
};
class CActiveXSearchCtlDlg final : public CModuleHostDlg {
public:
    CActiveXSearchCtlDlg();
};

// A new module window object of the module's class.
std::unique_ptr<CModuleHostDlg> MakeModuleHost(int code);

} // namespace manager
