#include "ManagerDlg.h"

#include "BitmapRegion.h"
#include "MainFace.h"
#include "ManagerMessages.h"
#include "OrvexIds.h"
#include "SiteSetup.h"
#include "SiteStore.h"
#include "foundation/Messages.h"

#include <stdexcept>
#include "foundation/Module.h"
#include "LoginDlg.h"
#include "ManagerKeys.h"
#include "ManagerSkin.h"
#include "skin/SkinApi.h"

#include <algorithm>
#include <cwchar>
#include <vector>

namespace manager {

namespace {

constexpr UINT_PTR kHelpTimer = 100;
constexpr UINT kHelpDelayMs = 100;

// The buttons with a help balloon: all but exit.
bool HasHelp(int control)
{
    return (control >= IDC_NVS_CLIENT && control <= IDC_REMOTE_SETUP) || control == IDC_SITE_SETUP;
}

class CAboutDlg final : public win::Dialog {
public:
    explicit CAboutDlg(HICON icon) : icon_(icon) {}

private:
    bool OnInit() override
    {
        SendDlgItemMessageW(Hwnd(), IDC_ABOUT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
        SetItemText(IDC_ABOUT_NAME, SkinHelp(49));
        SetItemText(IDC_ABOUT_NOTICE, SkinHelp(50));
        return true;
    }
    HICON icon_;
};

} // namespace

void DrawHelpBalloon(const std::wstring& text, HDC dc, int left, int top, int right, int bottom)
{
    if (text.empty() || !dc)
        return;
    const BalloonLayout layout = LayOutBalloon(text, {left, top, right, bottom});
    const BalloonBox& box = layout.box;
    const int w = box.right - box.left, h = box.bottom - box.top;
    win::Font font(CreateFontW(20, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH, L"MS Sans Serif"));
    if (w > 0 && h > 0) {
        // The box's colour (red 253, green 230, blue 120) blended in at 60 of 255. Its pixels carry
        // an opaque alpha: with the alpha of a plain compatible bitmap (0) the blend adds the colour
        // to the screen's, and bright pictures behind the box overflow into other colours.
        win::MemoryDC memory(win::MemoryDC::Later{});
        if (uint32_t* pixels = memory.CreateDib(dc, w, h)) {
            std::fill_n(pixels, static_cast<size_t>(w) * h, 0xFFFDE678u);
            const BLENDFUNCTION blend{AC_SRC_OVER, 0, 60, AC_SRC_ALPHA};
            AlphaBlend(dc, box.left, box.top, w, h, memory.Get(), 0, 0, w, h, blend);
        }
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, SkinColor(10));
    win::ScopedSelect selected(dc, font.Get());
    for (size_t i = 0; i < layout.lines.size(); ++i) {
        RECT band{layout.textLeft, layout.lineTops[i], layout.textRight,
                  layout.lineTops[i] + BalloonLayout::kLineHeight};
        const std::wstring& line = layout.lines[i];
        DrawTextW(dc, line.c_str(), static_cast<int>(line.size()), &band, DT_VCENTER);
    }
}

bool LoadStartupSite(sites::SiteRecord* site)
{
    const std::wstring path = sites::SiteFilePath();
    if (GetPrivateProfileIntW(L"SETUP_INFO", L"NUMBER", 0, path.c_str()) == 0)
        return false;
    wchar_t address[64] = L"";
    GetPrivateProfileStringW(L"DVR1", L"IP", L"", address, 64, path.c_str());
    if (!address[0])
        return false;
    *site = sites::SiteRecord{};
    site->size = sites::kSiteRecordSize;
    sites::SetField(site->address, address);
    site->port = static_cast<int32_t>(GetPrivateProfileIntW(L"DVR1", L"PORT", sites::kDefaultPort, path.c_str()));
    site->type = static_cast<uint8_t>(GetPrivateProfileIntW(L"DVR1", L"TYPE", 0, path.c_str()));
    auto text = [&](const wchar_t* key, sites::SiteChar(&field)[sites::kTextUnits]) {
        // Read wider than the field and cut, as the site list reads: the platform drops the last
        // character of a quoted value that just fills its buffer.
        wchar_t value[65] = L"";
        GetPrivateProfileStringW(L"DVR1", key, L"", value, 65, path.c_str());
        sites::SetField(field, value);
    };
    text(L"DDNS_MEMBER", site->ddnsMember);
    text(L"DDNS_NAME", site->ddnsName);
    text(L"ID", site->userId);
    text(L"PWD", site->password);
    return true;
}

CWebApplicationManagerDlg::CWebApplicationManagerDlg()
    : slots_{{{IDC_SITE_SETUP, 1},
              {IDC_REMOTE_SETUP, 2},
              {IDC_VIEWER, 3},
              {IDC_BACKUP, 4},
              {IDC_PLAYER, 5},
              {IDC_SEARCH, 6},
              {IDC_NVS_CLIENT, 7},
              {IDC_EXIT, 9}}},
      icon_(SMAPI_GetResourceIconHandle(48))
{}

CWebApplicationManagerDlg::~CWebApplicationManagerDlg() = default;

CWebApplicationManagerDlg::Slot* CWebApplicationManagerDlg::SlotOf(int control)
{
    for (Slot& s : slots_) {
        if (s.control == control)
            return &s;
    }
    return nullptr;
}

bool CWebApplicationManagerDlg::OnInit()
{
    for (int id :
         {IDC_SITE_SETUP, IDC_NVS_CLIENT, IDC_VIEWER, IDC_BACKUP, IDC_PLAYER, IDC_SEARCH, IDC_REMOTE_SETUP, IDC_EXIT})
        SlotOf(id)->button.Bind(Item(id));

    const std::wstring about = SkinHelp(48);
    if (!about.empty()) {
        if (HMENU menu = GetSystemMenu(Hwnd(), FALSE)) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }
    SendMessageW(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.Get()));
    SendMessageW(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_.Get()));

    hoverText_.clear();
    SetWindowTextW(Hwnd(), (L"  " + SkinHelp(0)).c_str());
    ReadVersion();
    siteSelected_ = LoadStartupSite(&selectedSite_);

    background_.Attach(SMAPI_GetResourceBitmapHandle(0));
    BITMAP info{};
    if (background_ && GetObjectW(background_.Get(), sizeof info, &info)) {
        SetWindowPos(Hwnd(), nullptr, 0, 0, info.bmWidth, info.bmHeight, SWP_NOZORDER | SWP_NOACTIVATE);
        if (HRGN shape = BitmapToRegion(background_.Get())) {
            if (!SetWindowRgn(Hwnd(), shape, TRUE)) // on success the window owns the region
                DeleteObject(shape);
        }
    }
    CentreOnWorkArea(Hwnd());

    for (Slot& s : slots_) {
        HBITMAP faces[4] = {};
        SMAPI_GetResourceBitmapHandle(s.skin, &faces[0], &faces[1], &faces[2], &faces[3]);
        for (int i = 0; i < 4; ++i)
            s.bitmaps[i].Attach(faces[i]);
        // The skin's sets run normal, hover, pressed, disabled; the button takes pressed before hover.
        s.button.SetBitmaps(faces[0], faces[2], faces[1], faces[3]);
    }
    for (Slot& s : slots_) {
        const RECT r = SkinRect(s.skin);
        SetWindowPos(Item(s.control), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    }
    for (Slot& s : slots_)
        s.button.SetNotifyWindow(Hwnd());
    for (int id : {IDC_NVS_CLIENT, IDC_VIEWER, IDC_BACKUP, IDC_SEARCH, IDC_REMOTE_SETUP})
        SetButtonAccess(id, false);
    return true;
}

void CWebApplicationManagerDlg::SetButtonAccess(int buttonId, bool allowed)
{
    if (Slot* s = SlotOf(buttonId))
        s->button.SetButtonAccess(allowed ? CBmpButton::kNormal : CBmpButton::kDisabled, !allowed, allowed);
}

void CWebApplicationManagerDlg::ReadVersion()
{
    version_.clear();
    const std::wstring file = win::ModulePath(nullptr);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (!size)
        return;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data()))
        return;
    struct Translation {
        WORD language, codePage;
    }* pair = nullptr;
    UINT bytes = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pair), &bytes) ||
        bytes < sizeof(Translation))
        return;
    wchar_t query[64];
    swprintf(query, 64, L"\\StringFileInfo\\%04x%04x\\FileVersion", pair->language, pair->codePage);
    wchar_t* value = nullptr;
    UINT chars = 0;
    if (!VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&value), &chars) || !value)
        return;
    version_ = L"Ver " + std::wstring(value, wcsnlen(value, chars));
}

void CWebApplicationManagerDlg::PaintBackground(HDC dc)
{
    const RECT whole = SkinRect(0);
    DrawBitmap(background_.Get(), dc, whole.left, whole.top, whole.right, whole.bottom);
    SetBkMode(dc, TRANSPARENT);
    // The template's font (Tahoma 10), not the system font of an erase DC: a cut address line of
    // 23 characters then fits its rectangle.
    win::ScopedSelect font(dc, reinterpret_cast<HFONT>(SendMessageW(Hwnd(), WM_GETFONT, 0, 0)));

    SetTextColor(dc, SkinColor(13));
    RECT r = SkinRect(13);
    OffsetRect(&r, 200, 0);
    DrawTextW(dc, version_.c_str(), static_cast<int>(version_.size()), &r, DT_VCENTER);

    if (siteSelected_) {
        const std::wstring id = IdLine(selectedSite_.userId);
        r = SkinRect(11);
        SetTextColor(dc, SkinColor(11));
        DrawTextW(dc, id.c_str(), static_cast<int>(id.size()), &r, DT_VCENTER);
        const std::wstring ip = IpLine(selectedSite_.address);
        r = SkinRect(12);
        SetTextColor(dc, SkinColor(12));
        DrawTextW(dc, ip.c_str(), static_cast<int>(ip.size()), &r, DT_VCENTER);
    }
    if (balloonShown_) {
        r = SkinRect(10);
        DrawHelpBalloon(hoverText_, dc, r.left, r.top, r.right, r.bottom);
    }
}

void CWebApplicationManagerDlg::OnHover(int control)
{
    if (hoverButton_ && HasHelp(hoverButton_))
        LeaveStep();
    hoverButton_ = control;
    if (const Slot* s = SlotOf(control); s && HasHelp(control)) {
        hoverText_ = SkinHelp(s->skin);
        SetTimer(Hwnd(), kHelpTimer, kHelpDelayMs, nullptr);
    }
}

void CWebApplicationManagerDlg::OnLeave(int control)
{
    if (control != hoverButton_)
        return;
    hoverButton_ = 0;
    if (HasHelp(control))
        LeaveStep();
}

void CWebApplicationManagerDlg::LeaveStep()
{
    hoverText_.clear();
    KillTimer(Hwnd(), kHelpTimer);
    if (balloonShown_) {
        balloonShown_ = false;
        RECT r = SkinRect(10);
        r.top -= 100;
        r.bottom += 100;
        InvalidateRect(Hwnd(), &r, TRUE);
    }
}

void CWebApplicationManagerDlg::OnTimer(UINT_PTR id)
{
    if (id != kHelpTimer)
        return;
    KillTimer(Hwnd(), kHelpTimer);
    const RECT r = SkinRect(10);
    if (r.right == r.left || r.bottom == r.top)
        return;
    win::WindowDC dc(Hwnd());
    DrawHelpBalloon(hoverText_, dc.Get(), r.left, r.top, r.right, r.bottom);
    balloonShown_ = true;
}

void CWebApplicationManagerDlg::OnSiteSetup()
{
    CSiteSetup list; // reads the site file
    if (currentCode_ != kNoModule)
        CloseCurrentModule();
    list.runLogin = [this](HWND owner, const sites::SiteRecord& site) {
        CLoginDlg login({sites::FieldText(site.address), site.port, sites::FieldText(site.userId)}, *this);
        return login.Run(owner);
    };
    if (list.Run(Hwnd()) == IDOK) {
        selectedSite_ = list.Chosen();
        for (unsigned short id : {11, 12}) {
            const RECT r = SkinRect(id);
            InvalidateRect(Hwnd(), &r, TRUE);
        }
        siteSelected_ = true;
    }
    currentCode_ = kNoModule;
}

void CWebApplicationManagerDlg::DeleteCurrentModule()
{
    if (!current_)
        return;
    hosts_[current_->kind].reset();
    current_ = nullptr;
}

void CWebApplicationManagerDlg::CloseCurrentModule()
{
    if (!current_)
        return;
    SendMessageW(current_->Hwnd(), currentCode_ == kSearch ? WM_CLOSE : WM_CLOSE_HOST, 0, 0);
    DeleteCurrentModule();
    currentCode_ = kNoModule; // until another opens: a failed open must not leave this one's code
}

void CWebApplicationManagerDlg::OpenModule(int code)
{
    const ModuleInfo* module = ModuleByCode(code);
    if (!module)
        return;
    if (currentCode_ == code) {
        if (code == kBackup && current_)
            SendMessageW(current_->Hwnd(), WM_NEXTDLGCTL, 0, 0);
        return;
    }
    CloseCurrentModule();
    std::unique_ptr<CModuleHostDlg>* slot = nullptr;
    try {
        slot = &hosts_[module->kind];
        *slot = MakeModuleHost(code);
        CModuleHostDlg& host = **slot;
        host.kind = module->kind;
        host.site = &selectedSite_;
        if (selectedSite_.port >= sites::kLowestPort && selectedSite_.port <= sites::kHighestPort)
            host.portText = std::to_wstring(selectedSite_.port);
        else
            selectedSite_.size = 0; // no later window gets this site
        if (!host.Open(Hwnd()))
            throw std::runtime_error("module window");
        current_ = &host;
        RECT main;
        GetWindowRect(Hwnd(), &main);
        const bool showFirst = code == kSearch || code == kRemoteSetup || code == kNvsClient;
        if (showFirst)
            ShowWindow(host.Hwnd(), SW_SHOW);
        const SIZE size = host.WindowSize();
        SetWindowPos(host.Hwnd(), nullptr, main.left + 60, main.top + 74, size.cx, size.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (!showFirst)
            ShowWindow(host.Hwnd(), SW_SHOW);
        if (code == kBackup)
            SendMessageW(host.Hwnd(), WM_NEXTDLGCTL, 0, 0);
        currentCode_ = code;
    } catch (...) {
        balloonShown_ = false;
        if (slot && *slot) {
            if (current_ == slot->get())
                current_ = nullptr;
            slot->reset();
        }
        EnableWindow(Hwnd(), TRUE);
        ShowWindow(Hwnd(), SW_SHOW);
        CentreOnWorkArea(Hwnd());
    }
}

void CWebApplicationManagerDlg::OnModuleClosed()
{
    // The notice does not say which window closed. Only a closed current window ends the module:
    // any other notice is the late one of a window already deleted (by a switch, or after the NVS
    // client entry or a control that could not be made closed itself while another module was
    // chosen before its notice came), and must not close the module opened since.
    if (current_ && current_->Closed()) {
        EnableWindow(Hwnd(), TRUE);
        ShowWindow(Hwnd(), SW_SHOW);
        currentCode_ = kNoModule;
        if (current_)
            ShowWindow(current_->Hwnd(), SW_MINIMIZE);
        DeleteCurrentModule();
    }
    CentreOnWorkArea(Hwnd());
}

bool CWebApplicationManagerDlg::OnCommand(int id, int code, HWND control)
{
    switch (id) {
    case IDC_SITE_SETUP: OnSiteSetup(); return true;
    case IDC_REMOTE_SETUP:
    case IDC_VIEWER:
    case IDC_BACKUP:
    case IDC_PLAYER:
    case IDC_SEARCH:
    case IDC_NVS_CLIENT: OpenModule(ModuleByButton(id)->code); return true;
    case IDC_EXIT: OnOK(); return true;
    default: return Dialog::OnCommand(id, code, control);
    }
}

void CWebApplicationManagerDlg::OnOK() { End(IDOK); }

bool CWebApplicationManagerDlg::OnKey(const MSG& msg) { return SwallowLauncherKeys(msg); }

void CWebApplicationManagerDlg::OnPaintMinimised()
{
    win::PaintDC paint(Hwnd());
    SendMessageW(Hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.Get()), 0);
    RECT client;
    GetClientRect(Hwnd(), &client);
    const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
    DrawIcon(paint.Get(), (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, icon_.Get());
}

INT_PTR CWebApplicationManagerDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_ERASEBKGND:
        PaintBackground(reinterpret_cast<HDC>(wp));
        SetWindowLongPtrW(Hwnd(), DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_PAINT:
        if (!IsIconic(Hwnd()))
            return FALSE;
        OnPaintMinimised();
        return TRUE;
    case WM_QUERYDRAGICON: return reinterpret_cast<INT_PTR>(icon_.Get());
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) != IDM_ABOUTBOX)
            return FALSE;
        CAboutDlg(icon_.Get()).DoModal(Hwnd(), IDD_ABOUTBOX);
        return TRUE;
    case WM_MODULE_CLOSED: OnModuleClosed(); return FALSE;
    case WM_DESTROY:
        DeleteCurrentModule();
        EnableWindow(Hwnd(), TRUE);
        return FALSE;
    case WM_BUTTON_HOVER: OnHover(static_cast<int>(wp)); return TRUE;
    case WM_BUTTON_LEAVE: OnLeave(static_cast<int>(wp)); return TRUE;
    default: return FALSE;
    }
}

} // namespace manager
