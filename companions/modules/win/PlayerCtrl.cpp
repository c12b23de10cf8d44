#include "PlayerCtrl.h"
#include "foundation/Messages.h"
#include "foundation/Module.h"
#include "foundation/Utf8.h"
#include "StillFile.h"
#include <commdlg.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <windowsx.h>
#include <algorithm>
#include <cstdio>

namespace {

constexpr const wchar_t* kWindowClass = L"OrvmodsPlayerCtrl";
constexpr DWORD kMiscStatus = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT |
    OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
const win::ControlClass kPlayerClass = {&CLSID_Player, &DIID__DPlayer, &DIID__DModuleEvents, nullptr,
                                        L"Player Control", kMiscStatus};

constexpr UINT_PTR kTickTimer = 1, kRefreshTimer = 2;
constexpr UINT kTickMs = 20, kRefreshMs = player::kLaneRefreshMs;
constexpr int kBar = 34, kSide = 210, kTimelineHeight = 118, kGap = 4, kLabel = 18, kSoundLabel = 40;
constexpr COLORREF kBack = RGB(16, 17, 20), kPanel = RGB(30, 32, 37), kInk = RGB(214, 218, 226);

int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM, LPARAM data)
{
    if (msg == BFFM_INITIALIZED && data)
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

} // namespace

// The folder the viewer records into: the one chosen in its folder dialog (kept beside the
// settings), else the person's Videos folder plus "Orvex". Read only: it stays the viewer's.
std::wstring ViewerRecordingsFolder()
{
    wchar_t chosen[MAX_PATH] = {};
    GetPrivateProfileStringW(L"Recording", L"Folder", L"", chosen, MAX_PATH, L"C:/Program Files/Orvex/ViewRecord.ini");
    if (chosen[0])
        return chosen;
    std::wstring videos;
    PWSTR known = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Videos, 0, nullptr, &known)) && known)
        videos = known;
    CoTaskMemFree(known);
    return videos.empty() ? std::wstring() : videos + L"\\Orvex";
}

CPlayerCtrl::CPlayerCtrl()
    : ActiveXControl(kPlayerClass),
      font_(CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma")),
      dark_(CreateSolidBrush(kPanel))
{
    SetExtentPixels(960, 640);
}

CPlayerCtrl::~CPlayerCtrl() = default;

// The members every module takes; what arrived is also the window's text, for a container in
// another process.
HRESULT CPlayerCtrl::InvokeMember(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr)
{
    bool changed = false;
    const HRESULT hr = members_.Invoke(id, flags, params, result, argErr, &changed);
    if (changed && Hwnd())
        SetWindowTextW(Hwnd(), members_.ReceivedText().c_str());
    return hr;
}

// ---- the window ----

bool CPlayerCtrl::CreateControlWindow(HWND parent, const RECT& pos)
{
    return CreateChildWindow(kWindowClass, parent, pos);
}

LRESULT CPlayerCtrl::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE: return OnCreate();
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_SIZE: OnSize(LOWORD(lp), HIWORD(lp)); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        win::PaintDC dc(Hwnd());
        OnPaint(dc.Get());
        return 0;
    }
    case WM_COMMAND: OnCommand(LOWORD(wp), HIWORD(wp)); return 0;
    case skinui::kMsgViewCommand: OnViewCommand(static_cast<int>(wp)); return 0;
    case WM_TIMER: OnTimer(wp); return 0;
    case WM_KEYDOWN: return OnKey(static_cast<UINT>(wp)) ? 0 : Default(msg, wp, lp);
    case WM_LBUTTONDOWN:
        SetFocus(Hwnd());
        if (buttons_)
            buttons_->MouseDown(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        return 0;
    case WM_LBUTTONUP:
        if (buttons_)
            buttons_->MouseUp(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        return 0;
    case WM_MOUSEMOVE:
        if (buttons_)
            buttons_->MouseMove((wp & MK_LBUTTON) != 0, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        return 0;
    case WM_MOUSEWHEEL: OnWheel(GET_WHEEL_DELTA_WPARAM(wp), POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}, wp, lp); return 0;
    case WM_MOUSEACTIVATE: InPlaceActivate(true); return Default(msg, wp, lp);
    case WM_PARENTNOTIFY:
        // A press in the pictures or the timeline gives the keys back to the control.
        if (LOWORD(wp) == WM_LBUTTONDOWN)
            SetFocus(Hwnd());
        return 0;
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: return reinterpret_cast<LRESULT>(OnColour(reinterpret_cast<HDC>(wp)));
    case WM_DRAWITEM: OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp)); return TRUE;
    default: return Default(msg, wp, lp);
    }
}

LRESULT CPlayerCtrl::OnCreate()
{
    const HINSTANCE module = win::ThisModule();
    auto child = [&](const wchar_t* cls, DWORD style, int id) {
        HWND w = CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, Hwnd(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module, nullptr);
        if (w)
            SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
        return w;
    };
    close_ = child(L"BUTTON", BS_OWNERDRAW | WS_TABSTOP, kCloseButton);
    sites_ = child(L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kSiteList);
    cameras_ = child(L"LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, kCameraList);
    status_ = child(L"LISTBOX", LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL, kStatusList);
    if (!close_ || !sites_ || !cameras_ || !status_)
        return -1;
    SetWindowTextW(close_, L"Close (F8)");

    buttons_ = std::make_unique<player::CFaceButtons>(Hwnd());
    struct Face {
        int command;
        const wchar_t* label;
        int width;
        bool toggle;
    };
    static const Face kFaces[] = {
        {kCmdFolder, L"Folder...", 64, false}, {kCmdExport, L"Export...", 64, false},
        {kCmdLayout1, L"1", 26, true},         {kCmdLayout4, L"4", 26, true},
        {kCmdLayout9, L"9", 26, true},         {kCmdLayout16, L"16", 30, true},     {kCmdBackKey, L"|<", 30, false},
        {kCmdBack1m, L"-1m", 36, false},       {kCmdBack10s, L"-10s", 40, false},   {kCmdPlay, L"Play", 48, true},
        {kCmdFore10s, L"+10s", 40, false},     {kCmdFore1m, L"+1m", 36, false},     {kCmdStep, L">|", 30, false},
        {kCmdSlower, L"Slower", 48, false},    {kCmdFaster, L"Faster", 48, false},
        {kCmdSound1, L"1", 22, true},          {kCmdSound2, L"2", 22, true},
        {kCmdSound3, L"3", 22, true},          {kCmdSound4, L"4", 22, true},
    };
    int x = kGap;
    for (const Face& f : kFaces) {
        const bool groupEnd = f.command == kCmdExport || f.command == kCmdLayout16 || f.command == kCmdStep;
        if (f.command == kCmdSound1)
            x += 12 + kSoundLabel; // "Sound" is drawn there
        buttons_->Add(f.command, f.label, RECT{x, 5, x + f.width, kBar - 5}, f.toggle);
        x += f.width + (groupEnd ? 12 : 2);
    }
    buttons_->SetChecked(kCmdSound1 + view_.AudioChannel(), true);

    RECT none{0, 0, 10, 10};
    view_.SetStatus([this](const std::wstring& line) { Status(line); });
    if (!view_.Create(Hwnd(), none) || !timeline_.Create(Hwnd(), none, kTimeline))
        return -1;
    timeline_.SetScrub([this](int64_t ms, bool) {
        view_.Seek(ms);
        ShowState();
    });
    SetWindowTextW(Hwnd(), members_.ReceivedText().c_str());
    SetCount(count_);
    OpenRoot(ViewerRecordingsFolder());
    SetTimer(Hwnd(), kTickTimer, kTickMs, nullptr);
    SetTimer(Hwnd(), kRefreshTimer, kRefreshMs, nullptr);
    return 0;
}

void CPlayerCtrl::OnDestroy()
{
    KillTimer(Hwnd(), kTickTimer);
    KillTimer(Hwnd(), kRefreshTimer);
    view_.Close();
    close_ = sites_ = cameras_ = status_ = nullptr;
}

void CPlayerCtrl::OnSize(int width, int height)
{
    const int left = width - kSide;
    const int timelineTop = std::max(kBar + 40, height - kTimelineHeight - kGap);
    view_.Move(RECT{kGap, kBar, std::max(kGap + 1, left - kGap), timelineTop - kGap});
    timeline_.Move(RECT{kGap, timelineTop, std::max(kGap + 1, left - kGap), height - kGap});
    int y = kBar + kLabel;
    MoveWindow(sites_, left, y, kSide - kGap, 240, TRUE);
    y += 26 + kLabel;
    const int statusHeight = std::max(60, (height - y) / 3);
    const int closeTop = height - 30 - kGap;
    const int statusTop = closeTop - kGap - statusHeight;
    MoveWindow(cameras_, left, y, kSide - kGap, std::max(20, statusTop - kLabel - y - kGap), TRUE);
    MoveWindow(status_, left, statusTop, kSide - kGap, statusHeight, TRUE);
    MoveWindow(close_, left, closeTop, kSide - kGap, 30, TRUE);
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

void CPlayerCtrl::OnPaint(HDC dc)
{
    RECT all{};
    GetClientRect(Hwnd(), &all);
    win::Brush back(CreateSolidBrush(kBack));
    FillRect(dc, &all, back.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kInk);
    win::ScopedSelect font(dc, font_.Get());
    const int left = all.right - kSide;
    TextOutW(dc, left, kBar + 2, L"Sites", 5);
    TextOutW(dc, left, kBar + kLabel + 26 + 2, L"Cameras", 7);
    RECT statusRect{};
    GetWindowRect(status_, &statusRect);
    MapWindowPoints(nullptr, Hwnd(), reinterpret_cast<POINT*>(&statusRect), 2);
    TextOutW(dc, left, statusRect.top - kLabel + 2, L"Status", 6);
    RECT state{all.right - kSide - 260, 0, all.right - kGap, kBar};
    DrawTextW(dc, stateText_.c_str(), -1, &state, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (buttons_) {
        const RECT first = buttons_->RectOf(kCmdSound1);
        RECT label{first.left - kSoundLabel - 2, 0, first.left - 2, kBar};
        DrawTextW(dc, L"Sound", -1, &label, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        buttons_->Paint(dc);
    }
}

HBRUSH CPlayerCtrl::OnColour(HDC dc)
{
    SetTextColor(dc, kInk);
    SetBkColor(dc, kPanel);
    return dark_.Get();
}

void CPlayerCtrl::OnDrawItem(const DRAWITEMSTRUCT& item)
{
    if (item.CtlID != kCloseButton)
        return;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    win::Brush face(CreateSolidBrush(pressed ? RGB(30, 90, 160) : RGB(44, 47, 54)));
    FillRect(item.hDC, &item.rcItem, face.Get());
    win::Brush edge(CreateSolidBrush(RGB(80, 86, 98)));
    FrameRect(item.hDC, &item.rcItem, edge.Get());
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, kInk);
    RECT r = item.rcItem;
    DrawTextW(item.hDC, L"Close (F8)", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void CPlayerCtrl::OnCommand(int id, int code)
{
    if (id == kCloseButton && code == BN_CLICKED)
        CloseHost();
    else if (id == kSiteList && code == CBN_SELCHANGE)
        OpenSite(static_cast<int>(SendMessageW(sites_, CB_GETCURSEL, 0, 0)));
    else if (id == kCameraList && code == LBN_SELCHANGE)
        OpenCameras(true);
}

void CPlayerCtrl::OnViewCommand(int command)
{
    switch (command) {
    case kCmdFolder: ChooseFolder(); break;
    case kCmdExport: ChooseExport(); break;
    case kCmdSound1:
    case kCmdSound2:
    case kCmdSound3:
    case kCmdSound4: SetSound(command - kCmdSound1); break;
    case kCmdLayout1: SetCount(1); break;
    case kCmdLayout4: SetCount(4); break;
    case kCmdLayout9: SetCount(9); break;
    case kCmdLayout16: SetCount(16); break;
    case kCmdBackKey: OnKey(VK_OEM_COMMA); break;
    case kCmdBack1m: view_.Jump(-60000); break;
    case kCmdBack10s: view_.Jump(-10000); break;
    case kCmdPlay: OnKey('K'); break;
    case kCmdFore10s: view_.Jump(10000); break;
    case kCmdFore1m: view_.Jump(60000); break;
    case kCmdStep: OnKey(VK_OEM_PERIOD); break;
    case kCmdSlower: OnKey(VK_OEM_MINUS); break;
    case kCmdFaster: OnKey(VK_OEM_PLUS); break;
    default: break;
    }
    ShowState();
    SetFocus(Hwnd());
}

// The keys of video players (player::TransportKey); Ctrl+S saves a still; F8 closes the module.
bool CPlayerCtrl::OnKey(UINT vk)
{
    if (vk == kCloseKey) {
        CloseHost();
        return true;
    }
    if (vk == 'S' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0) {
        SaveStill();
        return true;
    }
    if (!player::TransportKey(view_, vk, GetKeyState(VK_SHIFT) < 0))
        return false;
    ShowState();
    return true;
}

// While UI-active the keys reach the player whichever child has the focus, but the lists keep
// their own arrows.
bool CPlayerCtrl::PreTranslate(MSG& msg)
{
    if (msg.message != WM_KEYDOWN)
        return false;
    const HWND focus = GetFocus();
    const bool inList = focus && (focus == cameras_ || focus == status_ || focus == sites_ || IsChild(sites_, focus));
    if (inList && (msg.wParam == VK_UP || msg.wParam == VK_DOWN || msg.wParam == VK_LEFT || msg.wParam == VK_RIGHT))
        return false;
    return OnKey(static_cast<UINT>(msg.wParam));
}

void CPlayerCtrl::OnTimer(UINT_PTR id)
{
    if (id == kTickTimer) {
        if (!view_.IsOpen())
            return;
        view_.Tick(static_cast<int64_t>(GetTickCount64()));
        if (!timeline_.Dragging())
            timeline_.SetHead(view_.HeadMs());
        timeline_.SetZone(view_.Zone(), view_.Daylight());
        ShowState();
    } else if (id == kRefreshTimer) {
        // A store being written grows: its lanes follow.
        RefreshLanes();
    }
}

void CPlayerCtrl::ShowState()
{
    std::wstring text;
    if (const player::Playback* p = view_.Core()) {
        // A store may still grow; an export ends.
        const wchar_t* atEnd = export_ ? L"End of the export" : L"Waiting for more";
        text = std::wstring(p->Playing() ? (view_.Waiting() ? atEnd : L"Playing") : L"Paused") +
            L"  " + orvmods::SpeedText(p->Speed());
        if (buttons_)
            buttons_->SetChecked(kCmdPlay, p->Playing());
    }
    if (text != stateText_) {
        stateText_ = text;
        RECT all{};
        GetClientRect(Hwnd(), &all);
        RECT state{all.right - kSide - 260, 0, all.right, kBar};
        InvalidateRect(Hwnd(), &state, FALSE);
    }
}

// The wheel reaches the window with the focus (the control): it goes on to what is under the
// pointer, the timeline (zoom of the time) or a division (the display's digital zoom, as live).
void CPlayerCtrl::OnWheel(int delta, POINT screen, WPARAM wp, LPARAM lp)
{
    const HWND under = WindowFromPoint(screen);
    if (under && under == timeline_.Window()) {
        SendMessageW(under, WM_MOUSEWHEEL, wp, lp);
        return;
    }
    if (const HWND display = view_.Display().Window(); under && under == display) {
        POINT client = screen;
        ScreenToClient(display, &client);
        view_.Display().WheelZoom(client, delta);
    }
}

void CPlayerCtrl::CloseHost()
{
    if (Hwnd())
        PostMessageW(GetParent(Hwnd()), WM_CLOSE_HOST, 0, 0);
}

// ---- the recordings ----

void CPlayerCtrl::Status(const std::wstring& line)
{
    if (!status_)
        return;
    const LRESULT at = SendMessageW(status_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    // The list keeps its latest 500 lines.
    if (SendMessageW(status_, LB_GETCOUNT, 0, 0) > 500)
        SendMessageW(status_, LB_DELETESTRING, 0, 0);
    if (at >= 0)
        SendMessageW(status_, LB_SETTOPINDEX, static_cast<WPARAM>(std::max<LRESULT>(0, at - 3)), 0);
}

// The person picks another folder; it is kept for this session only (the viewer's own recording
// folder stays as the viewer set it).
void CPlayerCtrl::ChooseFolder()
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    BROWSEINFOW bi{};
    bi.hwndOwner = Hwnd();
    bi.lpszTitle = L"The folder of the recordings to play";
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    bi.lpfn = BrowseCallback;
    bi.lParam = reinterpret_cast<LPARAM>(root_.c_str());
    if (PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&bi)) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(list, path) && path[0])
            OpenRoot(path);
        CoTaskMemFree(list);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
}

void CPlayerCtrl::OpenRoot(const std::wstring& root)
{
    view_.Close();
    export_.reset();
    root_ = root;
    site_ = -1;
    siteCameras_.clear();
    shown_.clear();
    SendMessageW(sites_, CB_RESETCONTENT, 0, 0);
    SendMessageW(cameras_, LB_RESETCONTENT, 0, 0);
    timeline_.SetLanes({});
    siteEntries_ = root.empty() ? std::vector<store::SiteEntry>() : store::Catalogue::ListSites(win::Utf8(root));
    if (siteEntries_.empty()) {
        Status(L"No recordings in " + (root.empty() ? std::wstring(L"(no Videos folder)") : root));
        return;
    }
    Status(L"Recordings: " + root);
    for (const store::SiteEntry& s : siteEntries_) {
        std::wstring name = s.address.empty() ? win::FromUtf8(s.folder.substr(s.folder.find_last_of("/\\") + 1))
                                              : win::FromUtf8(s.address) + L":" + std::to_wstring(s.port);
        SendMessageW(sites_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    SendMessageW(sites_, CB_SETCURSEL, 0, 0);
    OpenSite(0);
}

void CPlayerCtrl::OpenSite(int index)
{
    if (export_)
        return; // the export is the list's only entry
    view_.Close();
    SendMessageW(cameras_, LB_RESETCONTENT, 0, 0);
    siteCameras_.clear();
    if (index < 0 || static_cast<size_t>(index) >= siteEntries_.size())
        return;
    site_ = index;
    const store::Catalogue cat(siteEntries_[static_cast<size_t>(index)].folder);
    for (uint32_t day : cat.Days())
        for (int cam : cat.Cameras(day))
            if (cam >= 0 && cam < 16 && std::find(siteCameras_.begin(), siteCameras_.end(), cam) == siteCameras_.end())
                siteCameras_.push_back(cam);
    std::sort(siteCameras_.begin(), siteCameras_.end());
    if (siteCameras_.empty()) {
        Status(L"This site has no recordings");
        timeline_.SetLanes({});
        return;
    }
    for (int cam : siteCameras_) {
        wchar_t name[16];
        swprintf(name, 16, L"Camera %02d", cam + 1);
        SendMessageW(cameras_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    SendMessageW(cameras_, LB_SETCURSEL, 0, 0);
    // The smallest division mode that shows every camera of the site.
    const int n = static_cast<int>(siteCameras_.size());
    SetCount(n <= 1 ? 1 : n <= 4 ? 4 : n <= 9 ? 9 : 16);
}

void CPlayerCtrl::SetCount(int count)
{
    count_ = count;
    if (buttons_) {
        buttons_->SetChecked(kCmdLayout1, count == 1);
        buttons_->SetChecked(kCmdLayout4, count == 4);
        buttons_->SetChecked(kCmdLayout9, count == 9);
        buttons_->SetChecked(kCmdLayout16, count == 16);
    }
    if (!HasRecordings())
        view_.ShowEmpty(static_cast<size_t>(count));
    else
        OpenCameras(true);
}

// The divisions show the site's cameras from the one chosen in the list on, then channels without
// recordings to fill the mode (their divisions stay black).
void CPlayerCtrl::OpenCameras(bool keepHead)
{
    if (!HasRecordings())
        return;
    const LRESULT sel = SendMessageW(cameras_, LB_GETCURSEL, 0, 0);
    const size_t from = sel >= 0 && static_cast<size_t>(sel) < siteCameras_.size() ? static_cast<size_t>(sel) : 0;
    std::vector<int> cams;
    for (size_t i = from; i < siteCameras_.size() && cams.size() < static_cast<size_t>(count_); ++i)
        cams.push_back(siteCameras_[i]);
    for (int ch = 0; ch < 16 && cams.size() < static_cast<size_t>(count_); ++ch)
        if (std::find(cams.begin(), cams.end(), ch) == cams.end() &&
            std::find(siteCameras_.begin(), siteCameras_.end(), ch) == siteCameras_.end())
            cams.push_back(ch);
    for (size_t i = 0; i < from && cams.size() < static_cast<size_t>(count_); ++i)
        cams.push_back(siteCameras_[i]);

    if (export_) {
        // The exported span, whole, on the timeline; the head at its start at first.
        const int64_t head = view_.IsOpen() && keepHead ? view_.HeadMs() : export_->FirstMs();
        shown_ = cams;
        if (!view_.Open(*export_, cams, head))
            return;
        std::vector<player::TimelineLane> lanes;
        for (int cam : cams) {
            player::TimelineLane lane;
            lane.camera = cam;
            lane.spans = export_->Spans(cam);
            lanes.push_back(std::move(lane));
        }
        timeline_.SetLanes(std::move(lanes));
        const int64_t span = std::max<int64_t>(export_->LastMs() - export_->FirstMs(), player::kAxisMinSpanMs);
        timeline_.Axis().Show(export_->FirstMs() - span / 20, span + span / 10);
        timeline_.SetZone(export_->Zone(), export_->Daylight());
        timeline_.SetHead(view_.HeadMs());
        ShowState();
        return;
    }
    const store::Catalogue cat(siteEntries_[static_cast<size_t>(site_)].folder);
    int64_t head = view_.IsOpen() && keepHead ? view_.HeadMs() : INT64_MAX;
    if (head == INT64_MAX) {
        // The start of the latest day's recording.
        const std::vector<uint32_t> days = cat.Days();
        for (int cam : cams)
            for (const store::Span& s : days.empty() ? std::vector<store::Span>() : cat.Spans(cam, days.back()))
                head = std::min(head, s.startMs);
        if (head == INT64_MAX)
            head = 0;
    }
    shown_ = cams;
    lanes_.Close();
    if (!view_.Open(siteEntries_[static_cast<size_t>(site_)].folder, cams, head))
        return;
    lanes_.Open(siteEntries_[static_cast<size_t>(site_)].folder, cams, INT64_MIN, INT64_MAX, false);
    RefreshLanes();
    // The whole of the lanes in sight, at most a day, the head inside.
    const int64_t first = lanes_.FirstMs(), last = lanes_.LastMs();
    if (first != INT64_MAX) {
        const int64_t span = std::max<int64_t>(last - first, player::kAxisMinSpanMs);
        timeline_.Axis().Show(first - span / 20, span + span / 10);
    }
    timeline_.SetHead(view_.HeadMs());
    ShowState();
}

void CPlayerCtrl::RefreshLanes()
{
    if (export_ || site_ < 0 || !view_.IsOpen() || !lanes_.IsOpen())
        return;
    std::vector<std::string> problems;
    if (lanes_.Refresh(&problems))
        timeline_.SetLanes(lanes_.Lanes());
}

// An export of the backup module, chosen by the person in the open dialog: its manifest, or any
// of its files (the manifest beside it that names the file is read).
void CPlayerCtrl::ChooseExport()
{
    wchar_t file[MAX_PATH] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Hwnd();
    ofn.lpstrFilter = L"Export manifest (*-manifest.txt, *-manifest.json)\0*-manifest.txt;*-manifest.json\0"
                      L"Exported video (*.avi)\0*.avi\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = L"Open an export";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool chosen = GetOpenFileNameW(&ofn) != FALSE;
    if (SUCCEEDED(com))
        CoUninitialize();
    if (chosen)
        OpenExport(file);
}

void CPlayerCtrl::OpenExport(const std::wstring& path)
{
    std::string error;
    std::unique_ptr<player::ExportSet> set = player::ExportSet::Open(win::Utf8(path), &error);
    if (!set) {
        Status(L"The export cannot be played: " + win::FromUtf8(error));
        return;
    }
    view_.Close();
    export_ = std::move(set);
    site_ = -1;
    siteCameras_ = export_->Cameras();
    shown_.clear();
    lanes_.Close();
    SendMessageW(sites_, CB_RESETCONTENT, 0, 0);
    SendMessageW(cameras_, LB_RESETCONTENT, 0, 0);
    const std::wstring name = L"Export " + win::FromUtf8(export_->Name());
    SendMessageW(sites_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageW(sites_, CB_SETCURSEL, 0, 0);
    Status(L"Export: " + path);
    for (const std::string& p : export_->Problems())
        Status(L"Passed over: " + win::FromUtf8(p));
    for (int cam : siteCameras_) {
        wchar_t text[16];
        swprintf(text, 16, L"Camera %02d", cam + 1);
        SendMessageW(cameras_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendMessageW(cameras_, LB_SETCURSEL, 0, 0);
    const size_t n = siteCameras_.size();
    SetCount(n <= 1 ? 1 : n <= 4 ? 4 : n <= 9 ? 9 : 16);
}

// Ctrl+S: the picture of the division under the pointer (as the live view), or else of the first
// division (the camera chosen in the list), saved where the person chooses in the save dialog.
void CPlayerCtrl::SaveStill()
{
    video::DisplayManager& display = view_.Display();
    if (!display.Window())
        return;
    POINT pt{};
    int channel = -1;
    if (GetCursorPos(&pt) && WindowFromPoint(pt) == display.Window() && ScreenToClient(display.Window(), &pt))
        channel = display.ChannelAtPoint(pt);
    if (channel < 0 && !shown_.empty())
        channel = shown_.front();
    if (channel < 0)
        return;
    wchar_t camera[16];
    swprintf(camera, 16, L"Camera %02d", channel + 1);
    video::DisplayManager::Still still;
    if (!view_.IsOpen() || !display.CopyPicture(channel, still)) {
        Status(std::wstring(camera) + L" has no picture to save");
        return;
    }
    std::wstring path;
    switch (video::SaveStillAs(Hwnd(), channel + 1, still, &path)) {
    case video::StillSaved::kSaved: Status(L"Picture saved: " + path); break;
    case video::StillSaved::kFailed: Status(L"The picture could not be saved: " + path); break;
    case video::StillSaved::kCancelled: break;
    }
    SetFocus(Hwnd());
}

// The sound of cameras 1 to 4 (the DVR's audio channels 1 to 4), one at a time, as the live
// view's audio buttons choose.
void CPlayerCtrl::SetSound(int channel)
{
    view_.SetAudioChannel(channel);
    if (buttons_)
        for (int i = 0; i < 4; ++i)
            buttons_->SetChecked(kCmdSound1 + i, i == view_.AudioChannel());
    Status(L"Sound: camera " + std::to_wstring(view_.AudioChannel() + 1));
}

void CPlayerCtrl::DrawContent(HDC dc, const RECT& bounds)
{
    win::Brush back(CreateSolidBrush(kBack));
    FillRect(dc, &bounds, back.Get());
}
