#include "ModuleHosts.h"

#include "foundation/MessageLoop.h"

#include <algorithm>

#include "ManagerKeys.h"
#include "ManagerSkin.h"
#include "OrvexIds.h"
#include "foundation/Handles.h"
#include "foundation/Messages.h"

namespace manager {

namespace {

// {775D096D-0F0F-45FA-8EE1-4C1FD194910B}
constexpr CLSID kRemoteSetupClsid{0x775D096D, 0x0F0F, 0x45FA, {0x8E, 0xE1, 0x4C, 0x1F, 0xD1, 0x94, 0x91, 0x0B}};
// {DDC012F8-A786-4584-856D-044BC1F49414}: Pellux
constexpr CLSID kViewerClsid{0xDDC012F8, 0xA786, 0x4584, {0x85, 0x6D, 0x04, 0x4B, 0xC1, 0xF4, 0x94, 0x14}};
// {F78A830F-E6D0-4F70-BC4D-B29B6713961F}
constexpr CLSID kBackupClsid{0xF78A830F, 0xE6D0, 0x4F70, {0xBC, 0x4D, 0xB2, 0x9B, 0x67, 0x13, 0x96, 0x1F}};
// {BA04A117-26C3-4C87-A3BA-F3D7A1D8C4FE}
constexpr CLSID kPlayerClsid{0xBA04A117, 0x26C3, 0x4C87, {0xA3, 0xBA, 0xF3, 0xD7, 0xA1, 0xD8, 0xC4, 0xFE}};
// {DBFD22D6-5229-407D-A407-E15D7FF35253}
constexpr CLSID kSearchClsid{0xDBFD22D6, 0x5229, 0x407D, {0xA4, 0x07, 0xE1, 0x5D, 0x7F, 0xF3, 0x52, 0x53}};

// clang-format off
const ModuleInfo kModules[] = {
    // button            code          kind template clsid              control title rect
    {IDC_REMOTE_SETUP, kRemoteSetup, 6, 134, &kRemoteSetupClsid, 2005, 2, 32},
    {IDC_VIEWER,       kViewer,      2, 130, &kViewerClsid,      2002, 3, 33},
    {IDC_BACKUP,       kBackup,      4, 131, &kBackupClsid,      2003, 4, 34},
    {IDC_PLAYER,       kPlayer,      3, 132, &kPlayerClsid,      2004, 5, 35},
    {IDC_SEARCH,       kSearch,      5, 133, &kSearchClsid,      2006, 6, 37},
    {IDC_NVS_CLIENT,   kNvsClient,   1, 130, nullptr,            0,    7, 0},
};
// clang-format on

// The dispatch members every module control takes, in the order they are given.
enum : DISPID { kAddress = 1, kPort = 2, kUser = 3, kPassword = 4, kSetAddr = 5 };

} // namespace

const ModuleInfo* ModuleByCode(int code)
{
    for (const ModuleInfo& m : kModules) {
        if (m.code == code)
            return &m;
    }
    return nullptr;
}

const ModuleInfo* ModuleByButton(int button)
{
    for (const ModuleInfo& m : kModules) {
        if (m.button == button)
            return &m;
    }
    return nullptr;
}

bool CAtvxSControl::CreateModule(HWND parent, REFCLSID clsid, const std::wstring& title, const RECT& rect, int id)
{
    if (!Create(parent, rect, WS_CHILD, title.c_str()))
        return false;
    SetWindowLongPtrW(Hwnd(), GWLP_ID, id);
    if (FAILED(CreateControl(clsid)))
        return false;
    // The control shows itself in place, inside this window: it is shown with it.
    ShowWindow(Hwnd(), SW_SHOW);
    return true;
}

void CAtvxSControl::OnCloseHost()
{
    if (HWND host = GetParent(Hwnd()))
        SendMessageW(host, WM_CLOSE_HOST, 0, 0);
}

SIZE CAtvxSControl::NaturalSize() const
{
    win::ComPtr<IOleObject> ole;
    SIZEL extent{};
    if (!Control() || FAILED(Control()->QueryInterface(IID_IOleObject, ole.PutVoid())) ||
        FAILED(ole->GetExtent(DVASPECT_CONTENT, &extent)))
        return {0, 0};
    win::WindowDC screen(nullptr);
    return {MulDiv(extent.cx, GetDeviceCaps(screen.Get(), LOGPIXELSX), 2540),
            MulDiv(extent.cy, GetDeviceCaps(screen.Get(), LOGPIXELSY), 2540)};
}

SIZE CModuleHostDlg::WindowSize() const
{
    // The module windows are 880 x 660; the viewer's panel needs more room than that, and a
    // window that cut off its right-hand buttons would leave them out of the person's reach.
    SIZE size{880, 660};
    if (wrapper_ && controlCreated) {
        const SIZE wanted = wrapper_->NaturalSize();
        size.cx = std::max(size.cx, wanted.cx);
        size.cy = std::max(size.cy, wanted.cy);
    }
    return size;
}

CModuleHostDlg::CModuleHostDlg(const ModuleInfo& info, std::unique_ptr<CAtvxSControl> wrapper)
    : info_(info), icon_(SMAPI_GetResourceIconHandle(48)), wrapper_(std::move(wrapper))
{}

CModuleHostDlg::~CModuleHostDlg()
{
    win::MessageLoop::RemoveFilter(keyFilter_);
    // The control goes before its window, while its site can still take its last calls.
    if (wrapper_)
        wrapper_->DestroyControl();
}

bool CModuleHostDlg::Open(HWND owner) { return CreateModeless(owner, info_.templateId); }

bool CModuleHostDlg::OnInit()
{
    SendMessageW(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.Get()));
    SendMessageW(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_.Get()));
    if (kind != info_.kind)
        return true;
    const std::wstring title = SkinName(info_.title);
    SetWindowTextW(Hwnd(), title.c_str());
    if (!wrapper_) { // the NVS client entry: nothing to hold
        SendMessageW(Hwnd(), WM_CLOSE_HOST, 0, 0);
        return false;
    }
    return InitControl(title);
}

bool CModuleHostDlg::InitControl(const std::wstring& title)
{
    if (!wrapper_->CreateModule(Hwnd(), *info_.clsid, title, RECT{0, 0, 1024, 768}, info_.controlId)) {
        SendMessageW(Hwnd(), WM_CLOSE_HOST, 0, 0);
        return false;
    }
    controlCreated = true;
    // Enter, Escape and Space go nowhere, not even to the control: this filter, added after the
    // control's own, runs before it (the newest filter runs first).
    keyFilter_ = win::MessageLoop::AddFilter([this](MSG* m) {
        return m && Hwnd() && (m->hwnd == Hwnd() || IsChild(Hwnd(), m->hwnd)) && SwallowLauncherKeys(*m);
    });
    if (site && site->size == sites::kSiteRecordSize && info_.code != kPlayer)
        PassSite();
    const RECT r = SkinRect(info_.rect);
    MoveWindow(Hwnd(), r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    CentreOnWorkArea(Hwnd());
    return true;
}

void CModuleHostDlg::PassSite()
{
    IDispatch* control = wrapper_->Dispatch();
    if (!control)
        return;
    win::dispatch::PutText(control, kAddress, sites::FieldText(site->address));
    if (info_.code == kRemoteSetup) {
        VARIANT port;
        VariantInit(&port);
        port.vt = VT_UI4;
        port.ulVal = static_cast<ULONG>(site->port);
        win::dispatch::PutValue(control, kPort, port);
    } else {
        win::dispatch::PutText(control, kPort, portText);
    }
    win::dispatch::PutText(control, kUser, sites::FieldText(site->userId));
    win::dispatch::PutText(control, kPassword, sites::FieldText(site->password));
    win::dispatch::Call(control, kSetAddr); // its answer changes nothing here
}

void CModuleHostDlg::CloseHost()
{
    closed_ = true;
    ShowWindow(Hwnd(), SW_HIDE);
    SetWindowPos(Hwnd(), nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
    PostMessageW(GetWindow(Hwnd(), GW_OWNER), WM_MODULE_CLOSED, 0, 0);
    // The window stays (hidden) until the main window deletes this object.
}

HBRUSH CModuleHostDlg::OnCtlColor(HDC dc, HWND control, UINT type)
{
    return type == CTLCOLOR_DLG ? background_.Get() : nullptr;
}

bool CModuleHostDlg::OnKey(const MSG& msg) { return SwallowLauncherKeys(msg); }

INT_PTR CModuleHostDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_SIZE && wrapper_ && wrapper_->Hwnd()) { // the control's holder fills the window
        MoveWindow(wrapper_->Hwnd(), 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        return FALSE;
    }
    if (msg != WM_CLOSE && msg != WM_CLOSE_HOST)
        return FALSE;
    CloseHost();
    SetWindowLongPtrW(Hwnd(), DWLP_MSGRESULT, 0);
    return TRUE;
}

CActiveXCtlDlg::CActiveXCtlDlg() : CModuleHostDlg(*ModuleByCode(kNvsClient), nullptr) {}
CActiveXRemoteSetupCtlDlg::CActiveXRemoteSetupCtlDlg()
    : CModuleHostDlg(*ModuleByCode(kRemoteSetup), std::make_unique<CAtvxSRemoteSetup>())
{}
CActiveXViewerCtlDlg::CActiveXViewerCtlDlg() : CModuleHostDlg(*ModuleByCode(kViewer), std::make_unique<CAtvxSViewer>())
{}
CActiveXBackupCtlDlg::CActiveXBackupCtlDlg() : CModuleHostDlg(*ModuleByCode(kBackup), std::make_unique<CAtvxSBackup>())
{}
CActiveXPlayerCtlDlg::CActiveXPlayerCtlDlg() : CModuleHostDlg(*ModuleByCode(kPlayer), std::make_unique<CAtvxSPlayer>())
{}
CActiveXSearchCtlDlg::CActiveXSearchCtlDlg() : CModuleHostDlg(*ModuleByCode(kSearch), std::make_unique<CAtvxSSearch>())
{}

std::unique_ptr<CModuleHostDlg> MakeModuleHost(int code)
{
    switch (code) {
    case kRemoteSetup: return std::make_unique<CActiveXRemoteSetupCtlDlg>();
    case kViewer: return std::make_unique<CActiveXViewerCtlDlg>();
    case kBackup: return std::make_unique<CActiveXBackupCtlDlg>();
    case kPlayer: return std::make_unique<CActiveXPlayerCtlDlg>();
    case kSearch: return std::make_unique<CActiveXSearchCtlDlg>();
    case kNvsClient: return std::make_unique<CActiveXCtlDlg>();
    default: return nullptr;
    }
}

} // namespace manager
