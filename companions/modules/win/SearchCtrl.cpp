#include "SearchCtrl.h"
#include "Format.h"
#include "Layout.h"
#include "PlayerCtrl.h"
#include "StoreReader.h"
#include "TimeAxis.h"
#include "TimeZoneConvert.h"
#include "foundation/Messages.h"
#include "foundation/Module.h"
#include "foundation/Utf8.h"
#include <commctrl.h>
#include <windowsx.h>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>

namespace {

constexpr const wchar_t* kWindowClass = L"OrvmodsSearchCtrl";
constexpr DWORD kMiscStatus = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT |
    OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
const win::ControlClass kSearchClass = {&CLSID_Search, &DIID__DSearch, &DIID__DModuleEvents, nullptr,
                                        L"Search Control", kMiscStatus};

constexpr UINT_PTR kTickTimer = 1, kRefreshTimer = 2;
constexpr UINT kTickMs = 20;
constexpr int kBar = 34, kSide = 236, kCalendarHeight = 170, kTimelineHeight = 118, kGap = 4, kLabel = 18,
              kNoticeHeight = 22;
constexpr int kPreviewWidth = 224, kPreviewHeight = 152;
constexpr UINT kPreviewEveryMs = 100;
constexpr COLORREF kBack = RGB(16, 17, 20), kPanel = RGB(30, 32, 37), kInk = RGB(214, 218, 226),
                   kNoticeInk = RGB(255, 255, 255);

std::wstring DayText(uint32_t day)
{
    wchar_t text[16];
    swprintf(text, 16, L"%04u-%02u-%02u", day / 10000, day / 100 % 100, day % 100);
    return text;
}

std::wstring LengthText(int64_t ms)
{
    const int64_t s = std::max<int64_t>(0, ms / 1000);
    wchar_t text[32];
    if (s < 60)
        swprintf(text, 32, L"%lld s", static_cast<long long>(s));
    else
        swprintf(text, 32, L"%lld min %02lld s", static_cast<long long>(s / 60), static_cast<long long>(s % 60));
    return text;
}

// Nothing chosen, but the list kept where it was.
const player::MotionEvent kNoEvent{-1, 0, 0, 0};

std::wstring CameraText(int camera)
{
    wchar_t text[16];
    swprintf(text, 16, L"Camera %02d", camera + 1);
    return text;
}

} // namespace

// The popup of the small picture: never active, never takes the focus.
class CSearchCtrl::PreviewFrame final : public win::Window {
public:
    bool Create(HWND owner)
    {
        static constexpr wchar_t kClass[] = L"OrvmodsSearchPreview";
        return win::RegisterModuleClass(ClassOf(kClass)) &&
            CreateEx(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClass, L"", WS_POPUP | WS_BORDER, 0, 0, kPreviewWidth,
                     kPreviewHeight, owner, 0);
    }
    void Destroy()
    {
        if (Hwnd())
            DestroyWindow(Hwnd());
    }

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override
    {
        switch (msg) {
        case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
        case WM_ERASEBKGND: return 1;
        default: return Default(msg, wp, lp);
        }
    }
};

CSearchCtrl::CSearchCtrl()
    : ActiveXControl(kSearchClass),
      font_(CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma")),
      noticeFont_(CreateFontW(-14, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma")),
      panel_(CreateSolidBrush(kPanel)), back_(CreateSolidBrush(kBack))
{
    SetExtentPixels(960, 640);
}

CSearchCtrl::~CSearchCtrl() = default;

// The members every module takes; what arrived is also the window's text, for a container in
// another process. SetAddr takes the site (address, port and user there) and opens its recordings.
HRESULT CSearchCtrl::InvokeMember(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr)
{
    bool changed = false;
    const HRESULT hr = members_.Invoke(id, flags, params, result, argErr, &changed);
    if (changed && Hwnd()) {
        SetWindowTextW(Hwnd(), members_.ReceivedText().c_str());
        if (id == orvmods::ModuleMembers::kSetAddr)
            OpenSite();
    }
    return hr;
}

// ---- the window ----

bool CSearchCtrl::CreateControlWindow(HWND parent, const RECT& pos)
{
    return CreateChildWindow(kWindowClass, parent, pos);
}

LRESULT CSearchCtrl::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
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
    case WM_NOTIFY: return lp ? OnNotify(*reinterpret_cast<const NMHDR*>(lp)) : 0;
    case WM_HSCROLL:
        if (reinterpret_cast<HWND>(lp) == sensitivity_ && sensitivity_)
            FindEvents();
        return 0;
    case skinui::kMsgViewCommand: OnViewCommand(static_cast<int>(wp)); return 0;
    case WM_TIMER:
        if (wp == kTickTimer)
            OnTimer();
        else if (wp == kRefreshTimer)
            RefreshSite();
        return 0;
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
        // A press in the pictures, the timeline or the calendar gives the keys back to the control.
        if (LOWORD(wp) == WM_LBUTTONDOWN) {
            POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            const HWND under = ChildWindowFromPoint(Hwnd(), at);
            if (under != list_.Hwnd() && under != filter_ && under != sensitivity_ && under != status_)
                SetFocus(Hwnd());
        }
        return 0;
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<LRESULT>(OnColour(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp)));
    case WM_DRAWITEM: OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp)); return TRUE;
    default: return Default(msg, wp, lp);
    }
}

LRESULT CSearchCtrl::OnCreate()
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    const HINSTANCE module = win::ThisModule();
    auto child = [&](const wchar_t* cls, DWORD style, int id, DWORD exStyle = 0) {
        HWND w = CreateWindowExW(exStyle, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, Hwnd(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module, nullptr);
        if (w)
            SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
        return w;
    };
    close_ = child(L"BUTTON", BS_OWNERDRAW | WS_TABSTOP, kCloseButton);
    filter_ = child(L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kCameraFilter);
    sensitivity_ = child(TRACKBAR_CLASSW, TBS_HORZ | TBS_BOTTOM | TBS_NOTICKS | WS_TABSTOP, kSensitivity);
    const HWND list = child(WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_TABSTOP,
                            kEventList);
    status_ = child(L"LISTBOX", LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL, kStatusList);
    notice_ = child(L"STATIC", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS | SS_CENTERIMAGE, kNotice);
    if (!close_ || !filter_ || !sensitivity_ || !list || !status_ || !notice_)
        return -1;
    SetWindowTextW(close_, L"Close (F8)");
    SendMessageW(notice_, WM_SETFONT, reinterpret_cast<WPARAM>(noticeFont_.Get()), FALSE);
    SendMessageW(sensitivity_, TBM_SETRANGE, FALSE, MAKELPARAM(1, 100));
    SendMessageW(sensitivity_, TBM_SETPOS, TRUE, kDefaultSensitivity);
    list_.Attach(list);
    list_.SetExtendedStyle(LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    list_.InsertColumn(0, L"Camera", 74);
    list_.InsertColumn(1, L"Start", 80);
    list_.InsertColumn(2, L"Length", 64, LVCFMT_RIGHT);
    SendMessageW(list, LVM_SETBKCOLOR, 0, kPanel);
    SendMessageW(list, LVM_SETTEXTBKCOLOR, 0, kPanel);
    SendMessageW(list, LVM_SETTEXTCOLOR, 0, kInk);

    buttons_ = std::make_unique<player::CFaceButtons>(Hwnd());
    struct Face {
        int command;
        const wchar_t* label;
        int width;
        bool toggle;
    };
    static const Face kFaces[] = {
        {kCmdBackKey, L"|<", 30, false}, {kCmdBack10s, L"-10s", 40, false}, {kCmdPlay, L"Play", 48, true},
        {kCmdFore10s, L"+10s", 40, false}, {kCmdStep, L">|", 30, false}, {kCmdSlower, L"Slower", 48, false},
        {kCmdFaster, L"Faster", 48, false},
    };
    int x = kSide + kGap;
    for (const Face& f : kFaces) {
        buttons_->Add(f.command, f.label, RECT{x, 5, x + f.width, kBar - 5}, f.toggle);
        x += f.width + (f.command == kCmdStep ? 12 : 2);
    }

    RECT none{0, 0, 10, 10};
    view_.SetStatus([this](const std::wstring& line) { Status(line); });
    if (!view_.Create(Hwnd(), none) || !timeline_.Create(Hwnd(), none, kTimeline) ||
        !calendar_.Create(Hwnd(), none, kCalendar))
        return -1;
    timeline_.SetScrub([this](int64_t ms, bool) {
        view_.Seek(ms);
        ShowState();
    });
    timeline_.SetActivate([this](int64_t ms) { PlayFrom(ms); });
    frame_ = std::make_unique<PreviewFrame>();
    RECT small{0, 0, kPreviewWidth - 2, kPreviewHeight - 2};
    if (!frame_->Create(Hwnd()) || !preview_.Create(frame_->Hwnd(), small, false))
        return -1;
    timeline_.SetHover([this](int64_t ms, int camera) {
        RECT line{};
        GetWindowRect(timeline_.Window(), &line);
        POINT at{};
        GetCursorPos(&at);
        Preview(ms, camera, POINT{at.x - kPreviewWidth / 2, line.top - kPreviewHeight - kGap});
    });
    calendar_.SetChoose([this](uint32_t day) { OpenDay(day); });
    SetWindowTextW(Hwnd(), members_.ReceivedText().c_str());
    view_.ShowEmpty(4);
    OpenSite();
    SetTimer(Hwnd(), kTickTimer, kTickMs, nullptr);
    SetTimer(Hwnd(), kRefreshTimer, player::kLaneRefreshMs, nullptr);
    return 0;
}

void CSearchCtrl::OnDestroy()
{
    KillTimer(Hwnd(), kTickTimer);
    KillTimer(Hwnd(), kRefreshTimer);
    view_.Close();
    preview_.Close();
    previewOpen_ = -1;
    if (frame_)
        frame_->Destroy();
    close_ = filter_ = sensitivity_ = status_ = notice_ = nullptr;
    list_.Attach(nullptr);
}

void CSearchCtrl::OnSize(int width, int height)
{
    const int right = kSide + kGap, side = kSide - kGap;
    const int timelineTop = std::max(kBar + kNoticeHeight + 40, height - kTimelineHeight - kGap);
    MoveWindow(notice_, right, kBar, std::max(1, width - right - kGap), kNoticeHeight, TRUE);
    view_.Move(RECT{right, kBar + kNoticeHeight + kGap, std::max(right + 1, width - kGap), timelineTop - kGap});
    timeline_.Move(RECT{right, timelineTop, std::max(right + 1, width - kGap), height - kGap});

    int y = kBar;
    calendar_.Move(RECT{kGap, y, kSide, y + kCalendarHeight});
    y += kCalendarHeight + kGap;
    labelTop_[0] = y;
    MoveWindow(filter_, kGap, y + kLabel, side, 240, TRUE);
    y += kLabel + 26;
    labelTop_[1] = y;
    MoveWindow(sensitivity_, kGap, y + kLabel, side, 26, TRUE);
    y += kLabel + 30;
    labelTop_[2] = y;
    const int closeTop = height - 30 - kGap;
    const int statusTop = closeTop - kGap - 64;
    labelTop_[3] = statusTop - kLabel;
    MoveWindow(list_.Hwnd(), kGap, y + kLabel, side, std::max(30, labelTop_[3] - kGap - y - kLabel), TRUE);
    MoveWindow(status_, kGap, statusTop, side, 64, TRUE);
    MoveWindow(close_, kGap, closeTop, side, 30, TRUE);
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

void CSearchCtrl::OnPaint(HDC dc)
{
    RECT all{};
    GetClientRect(Hwnd(), &all);
    FillRect(dc, &all, back_.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kInk);
    win::ScopedSelect font(dc, font_.Get());
    std::wstring title = L"Search";
    if (!members_.Text(0).empty())
        title += L"  " + members_.Text(0) + L":" + members_.Text(1);
    RECT head{kGap, 0, kSide, kBar};
    DrawTextW(dc, title.c_str(), -1, &head, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    const wchar_t* labels[] = {L"Camera", L"Sensitivity", L"Motion (double click plays)", L"Status"};
    for (int i = 0; i < 4; ++i)
        TextOutW(dc, kGap, labelTop_[i] + 2, labels[i], static_cast<int>(wcslen(labels[i])));
    if (sensitivity_) {
        const std::wstring level =
            L"level " + std::to_wstring(player::ThresholdOf(static_cast<int>(SendMessageW(sensitivity_, TBM_GETPOS, 0, 0)))) +
            L" or more";
        RECT r{kGap, labelTop_[1], kSide - kGap, labelTop_[1] + kLabel};
        DrawTextW(dc, level.c_str(), -1, &r, DT_RIGHT | DT_TOP | DT_SINGLELINE);
    }
    RECT state{all.right - 200, 0, all.right - kGap, kBar};
    DrawTextW(dc, stateText_.c_str(), -1, &state, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (buttons_)
        buttons_->Paint(dc);
}

HBRUSH CSearchCtrl::OnColour(HDC dc, HWND child)
{
    if (child && child == notice_) {
        SetTextColor(dc, kNoticeInk);
        SetBkColor(dc, kBack);
        return back_.Get();
    }
    SetTextColor(dc, kInk);
    SetBkColor(dc, kPanel);
    return panel_.Get();
}

void CSearchCtrl::OnDrawItem(const DRAWITEMSTRUCT& item)
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

void CSearchCtrl::OnCommand(int id, int code)
{
    if (id == kCloseButton && code == BN_CLICKED)
        CloseHost();
    else if (id == kCameraFilter && code == CBN_SELCHANGE)
        FillList();
}

LRESULT CSearchCtrl::OnNotify(const NMHDR& hdr)
{
    if (hdr.idFrom == kEventList && hdr.code == LVN_ITEMCHANGED) {
        if (refilling_)
            return 0;
        // A chosen event: its first moment beside the list.
        const NMLISTVIEW& change = reinterpret_cast<const NMLISTVIEW&>(hdr);
        if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_SELECTED) && !(change.uOldState & LVIS_SELECTED)) {
            const LPARAM at = list_.Data(change.iItem);
            RECT row{};
            row.left = LVIR_BOUNDS;
            if (at >= 0 && static_cast<size_t>(at) < events_.size() &&
                SendMessageW(list_.Hwnd(), LVM_GETITEMRECT, static_cast<WPARAM>(change.iItem), reinterpret_cast<LPARAM>(&row))) {
                POINT corner{row.right, row.top};
                ClientToScreen(list_.Hwnd(), &corner);
                Preview(events_[static_cast<size_t>(at)].startMs, events_[static_cast<size_t>(at)].camera, corner);
            }
        }
        return 0;
    }
    if (hdr.idFrom != kEventList || hdr.code != NM_DBLCLK)
        return 0;
    int row = reinterpret_cast<const NMITEMACTIVATE&>(hdr).iItem;
    if (row < 0)
        row = list_.Selected();
    const LPARAM at = row >= 0 ? list_.Data(row) : -1;
    if (at >= 0 && static_cast<size_t>(at) < events_.size())
        PlayFrom(events_[static_cast<size_t>(at)].startMs);
    return 0;
}

void CSearchCtrl::OnViewCommand(int command)
{
    switch (command) {
    case kCmdBackKey: OnKey(VK_OEM_COMMA); break;
    case kCmdBack10s: OnKey(VK_LEFT); break;
    case kCmdPlay: OnKey('K'); break;
    case kCmdFore10s: OnKey(VK_RIGHT); break;
    case kCmdStep: OnKey(VK_OEM_PERIOD); break;
    case kCmdSlower: OnKey(VK_OEM_MINUS); break;
    case kCmdFaster: OnKey(VK_OEM_PLUS); break;
    default: break;
    }
    SetFocus(Hwnd());
}

// The player's keys (player::TransportKey); F8 closes the module.
bool CSearchCtrl::OnKey(UINT vk)
{
    if (vk == kCloseKey) {
        CloseHost();
        return true;
    }
    if (!player::TransportKey(view_, vk, GetKeyState(VK_SHIFT) < 0))
        return false;
    if (!timeline_.Dragging())
        timeline_.SetHead(view_.HeadMs());
    ShowState();
    return true;
}

// While UI-active the keys reach the search whichever child has the focus, but the list, the
// camera choice and the sensitivity keep their own arrows.
bool CSearchCtrl::PreTranslate(MSG& msg)
{
    if (msg.message != WM_KEYDOWN)
        return false;
    const HWND focus = GetFocus();
    const bool own = focus && (focus == list_.Hwnd() || focus == status_ || focus == sensitivity_ || focus == filter_ ||
                               IsChild(filter_, focus));
    if (own && (msg.wParam == VK_UP || msg.wParam == VK_DOWN || msg.wParam == VK_LEFT || msg.wParam == VK_RIGHT))
        return false;
    return OnKey(static_cast<UINT>(msg.wParam));
}

void CSearchCtrl::OnTimer()
{
    ApplyPreview();
    if (!view_.IsOpen())
        return;
    view_.Tick(static_cast<int64_t>(GetTickCount64()));
    if (!timeline_.Dragging())
        timeline_.SetHead(view_.HeadMs());
    timeline_.SetZone(view_.Zone(), view_.Daylight());
    ShowState();
}

void CSearchCtrl::ShowState()
{
    std::wstring text;
    if (const player::Playback* p = view_.Core()) {
        text = std::wstring(p->Playing() ? (view_.Waiting() ? L"Waiting for more" : L"Playing") : L"Paused") + L"  " +
            orvmods::SpeedText(p->Speed());
        if (buttons_)
            buttons_->SetChecked(kCmdPlay, p->Playing());
    }
    if (text != stateText_) {
        stateText_ = text;
        RECT all{};
        GetClientRect(Hwnd(), &all);
        RECT state{all.right - 200, 0, all.right, kBar};
        InvalidateRect(Hwnd(), &state, FALSE);
    }
}

void CSearchCtrl::OnWheel(int delta, POINT screen, WPARAM wp, LPARAM lp)
{
    const HWND under = WindowFromPoint(screen);
    if (under && under == timeline_.Window()) {
        SendMessageW(under, WM_MOUSEWHEEL, wp, lp);
        return;
    }
    if (under && under == list_.Hwnd()) {
        SendMessageW(under, WM_MOUSEWHEEL, wp, lp);
        return;
    }
    if (const HWND display = view_.Display().Window(); under && under == display) {
        POINT client = screen;
        ScreenToClient(display, &client);
        view_.Display().WheelZoom(client, delta);
    }
}

void CSearchCtrl::CloseHost()
{
    if (Hwnd())
        PostMessageW(GetParent(Hwnd()), WM_CLOSE_HOST, 0, 0);
}

void CSearchCtrl::Status(const std::wstring& line)
{
    if (!status_)
        return;
    const LRESULT at = SendMessageW(status_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    if (SendMessageW(status_, LB_GETCOUNT, 0, 0) > 500)
        SendMessageW(status_, LB_DELETESTRING, 0, 0);
    if (at >= 0)
        SendMessageW(status_, LB_SETTOPINDEX, static_cast<WPARAM>(std::max<LRESULT>(0, at - 3)), 0);
}

void CSearchCtrl::Notice(const std::wstring& text)
{
    if (notice_)
        SetWindowTextW(notice_, text.c_str());
}

// ---- the recordings ----

namespace {

// The DVR's zone as the latest day's first picture carries it; false when none can be read.
bool SiteZone(const store::Catalogue& site, const std::string& folder, player::DvrZone* zone)
{
    const std::vector<uint32_t> days = site.Days();
    for (auto day = days.rbegin(); day != days.rend(); ++day)
        for (int cam : site.Cameras(*day)) {
            const std::vector<store::Span> spans = site.Spans(cam, *day);
            std::string error;
            auto reader = spans.empty() ? nullptr : store::StoreReader::Open(folder, cam, false, &error);
            store::Record r;
            if (reader && reader->Seek(spans.front().startMs) && reader->Next(&r) && r.kind == store::kVideo) {
                zone->zone = r.zone;
                zone->daylight = r.daylight;
                return true;
            }
        }
    return false;
}

} // namespace

// The handed site's folder in the viewer's recordings folder: its days on the calendar, the latest
// one open.
void CSearchCtrl::OpenSite()
{
    CloseDay();
    chosen_ = 0;
    siteFolder_.clear();
    site_.reset();
    localDays_.Clear();
    zone_ = player::DvrZone{};
    zoneKnown_ = false;
    calendar_.SetMarked({});
    calendar_.Choose(0);
    InvalidateRect(Hwnd(), nullptr, FALSE);
    const std::wstring address = members_.Text(0);
    const std::wstring portText = members_.Text(1);
    wchar_t* end = nullptr;
    const unsigned long port = portText.empty() ? 0 : wcstoul(portText.c_str(), &end, 10);
    if (address.empty() || portText.empty()) {
        Notice(L"No site was handed over");
        return;
    }
    if (port < 1 || port > 65535 || !end || *end) {
        Notice(L"The site's port " + portText + L" is not one from 1 to 65535");
        return;
    }
    siteName_ = address + L":" + portText;
    root_ = ViewerRecordingsFolder();
    if (root_.empty()) {
        Notice(L"No recordings of " + siteName_ + L" on this PC (no recordings folder)");
        return;
    }
    siteFolder_ = store::JoinPath(win::Utf8(root_), store::SiteFolderName(win::Utf8(address), static_cast<uint16_t>(port)));
    site_ = std::make_unique<store::Catalogue>(siteFolder_);
    RefreshSite();
    if (localDays_.Days().empty()) {
        Notice(L"No recordings of " + siteName_ + L" on this PC");
        Status(L"Looked in " + root_);
    }
}

// Also while nothing is recorded yet: the site's first recordings open when they come.
void CSearchCtrl::RefreshSite()
{
    if (!site_)
        return;
    if (!zoneKnown_)
        zoneKnown_ = SiteZone(*site_, siteFolder_, &zone_);
    if (localDays_.Refresh(*site_, zone_))
        calendar_.SetMarked(localDays_.Days());
    const std::set<uint32_t>& days = localDays_.Days();
    if (days.empty())
        return;
    if (!chosen_) {
        Status(L"Recordings of " + siteName_ + L": " + std::to_wstring(days.size()) + L" day(s) in " + root_);
        calendar_.Choose(*days.rbegin());
        OpenDay(*days.rbegin());
        return;
    }
    if (!dayLanes_.IsOpen())
        return;
    std::vector<std::string> problems;
    const bool grew = dayLanes_.Refresh(&problems);
    for (const std::string& p : problems)
        Status(L"Passed over: " + win::FromUtf8(p));
    if (!grew)
        return;
    if (day_)
        UpdateDay();
    else if (!dayLanes_.Lanes().empty())
        OpenDay(chosen_); // the chosen day had nothing; now it has
}

void CSearchCtrl::CloseDay()
{
    Preview(0, -1, POINT{});
    preview_.Close();
    previewOpen_ = -1;
    view_.Close();
    view_.ShowEmpty(4);
    day_ = 0;
    dayLanes_.Close();
    dayCameras_.clear();
    lanes_.clear();
    events_.clear();
    timeline_.SetLanes({});
    if (filter_)
        SendMessageW(filter_, CB_RESETCONTENT, 0, 0);
    if (list_.Hwnd())
        list_.DeleteAllRows();
    ShowState();
}

// The cameras in the smallest division mode that holds them, channels without recordings filling the
// rest (they stay black).
static std::vector<int> ShownCameras(const std::vector<int>& recorded)
{
    std::vector<int> shown(recorded.begin(), recorded.begin() + std::min<size_t>(recorded.size(), 16));
    const size_t n = shown.size();
    const size_t count = n <= 1 ? 1 : n <= 4 ? 4 : n <= 9 ? 9 : 16;
    for (int ch = 0; ch < 16 && shown.size() < count; ++ch)
        if (std::find(shown.begin(), shown.end(), ch) == shown.end())
            shown.push_back(ch);
    return shown;
}

// The filter's cameras, the one chosen before kept (-1: all).
void CSearchCtrl::FillFilter(int keepCamera)
{
    if (!filter_)
        return;
    SendMessageW(filter_, CB_RESETCONTENT, 0, 0);
    SendMessageW(filter_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"All cameras"));
    int select = 0;
    for (size_t i = 0; i < dayCameras_.size(); ++i) {
        SendMessageW(filter_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(CameraText(dayCameras_[i]).c_str()));
        if (dayCameras_[i] == keepCamera)
            select = static_cast<int>(i + 1);
    }
    SendMessageW(filter_, CB_SETCURSEL, static_cast<WPARAM>(select), 0);
}

static int FilterCamera(HWND filter, const std::vector<int>& cameras)
{
    const int choice = filter ? static_cast<int>(SendMessageW(filter, CB_GETCURSEL, 0, 0)) : -1;
    return choice > 0 && static_cast<size_t>(choice) <= cameras.size() ? cameras[static_cast<size_t>(choice - 1)] : -1;
}

// The local day: its local 00:00 to 24:00, which spans two of the store's days unless the DVR keeps UTC.
void CSearchCtrl::OpenDay(uint32_t day)
{
    const int keptCamera = FilterCamera(filter_, dayCameras_);
    CloseDay();
    chosen_ = day;
    if (siteFolder_.empty() || !player::IsDay(day))
        return;
    dayRange_ = player::LocalDayRange(day, zone_);
    dayLanes_.Open(siteFolder_, {}, dayRange_.startMs, dayRange_.endMs, true);
    std::vector<std::string> problems;
    dayLanes_.Refresh(&problems);
    for (const std::string& p : problems)
        Status(L"Passed over: " + win::FromUtf8(p));
    if (dayLanes_.Lanes().empty()) {
        Notice(L"No recordings on " + DayText(day));
        return;
    }
    day_ = day;
    for (const player::TimelineLane& l : dayLanes_.Lanes())
        dayCameras_.push_back(l.camera);
    const int64_t first = dayLanes_.FirstMs(), last = dayLanes_.LastMs();
    view_.Open(siteFolder_, ShownCameras(dayCameras_), first);
    FillFilter(keptCamera);
    const int64_t span = std::max<int64_t>(last - first, player::kAxisMinSpanMs);
    timeline_.Axis().Show(first - span / 20, span + span / 10);
    timeline_.SetZone(zone_.zone, zone_.daylight);
    timeline_.SetHead(view_.HeadMs());
    FindEvents();
    ShowState();
}

// New spans, events or cameras of the open day. A camera that starts recording joins the divisions
// (the head and the playing kept); the timeline's end follows the recording while it was in sight.
void CSearchCtrl::UpdateDay()
{
    const int64_t lastBefore = lanes_.empty() ? INT64_MIN : [&] {
        int64_t l = INT64_MIN;
        for (const player::TimelineLane& lane : lanes_)
            if (!lane.spans.empty())
                l = std::max(l, lane.spans.back().endMs);
        return l;
    }();
    std::vector<int> cameras;
    for (const player::TimelineLane& l : dayLanes_.Lanes())
        cameras.push_back(l.camera);
    const bool newCameras = cameras != dayCameras_;
    if (newCameras) {
        const int kept = FilterCamera(filter_, dayCameras_);
        dayCameras_ = cameras;
        FillFilter(kept);
        if (view_.IsOpen() && !timeline_.Dragging()) {
            const bool playing = view_.Core() && view_.Core()->Playing();
            const int speed = view_.Core() ? view_.Core()->Speed() : player::kNormalSpeed;
            const int64_t head = view_.HeadMs();
            if (view_.Open(siteFolder_, ShownCameras(dayCameras_), head)) {
                view_.SetSpeed(speed);
                if (playing)
                    view_.Play();
            }
        }
    }
    const int64_t last = dayLanes_.LastMs();
    player::TimeAxis& axis = timeline_.Axis();
    if (lastBefore != INT64_MIN && last > lastBefore && lastBefore <= axis.EndMs() && last > axis.EndMs())
        axis.Show(axis.StartMs(), last + (last - axis.StartMs()) / 20 - axis.StartMs());
    FindEvents(true);
    if (newCameras)
        DayNotice(list_.Count());
    ShowState();
}

void CSearchCtrl::FindEvents(bool grown)
{
    std::vector<player::MotionEvent> found;
    const int threshold =
        player::ThresholdOf(sensitivity_ ? static_cast<int>(SendMessageW(sensitivity_, TBM_GETPOS, 0, 0)) : kDefaultSensitivity);
    if (day_) {
        lanes_ = dayLanes_.Lanes();
        const auto& levels = dayLanes_.Levels();
        for (size_t i = 0; i < lanes_.size() && i < levels.size(); ++i) {
            std::vector<player::MotionEvent> e = player::FindMotionEvents(lanes_[i].camera, dayRange_.startMs, levels[i],
                                                                          threshold, levels[i].size());
            lanes_[i].motion.clear();
            for (const player::MotionEvent& m : e)
                lanes_[i].motion.push_back(store::Span{m.startMs, m.startMs + m.lengthMs});
            found.insert(found.end(), e.begin(), e.end());
        }
        player::SortEvents(found);
        timeline_.SetLanes(lanes_);
    }
    const bool same = grown && found.size() == events_.size() &&
        std::equal(found.begin(), found.end(), events_.begin(), [](const player::MotionEvent& a, const player::MotionEvent& b) {
            return a.camera == b.camera && a.startMs == b.startMs && a.lengthMs == b.lengthMs;
        });
    // The event chosen, by camera and start (a growing event keeps its start).
    std::optional<player::MotionEvent> chosen;
    const int row = grown && list_.Hwnd() ? list_.Selected() : -1;
    if (const LPARAM at = row >= 0 ? list_.Data(row) : -1; at >= 0 && static_cast<size_t>(at) < events_.size())
        chosen = events_[static_cast<size_t>(at)];
    events_ = std::move(found);
    if (!same)
        FillList(grown ? (chosen ? &*chosen : &kNoEvent) : nullptr);
    RECT r{0, labelTop_[1], kSide, labelTop_[1] + kLabel};
    InvalidateRect(Hwnd(), &r, FALSE);
}

void CSearchCtrl::FillList(const player::MotionEvent* keep)
{
    if (!list_.Hwnd())
        return;
    const int top = static_cast<int>(SendMessageW(list_.Hwnd(), LVM_GETTOPINDEX, 0, 0));
    const int perPage = static_cast<int>(SendMessageW(list_.Hwnd(), LVM_GETCOUNTPERPAGE, 0, 0));
    if (!keep)
        Preview(0, -1, POINT{});
    refilling_ = true;
    SendMessageW(list_.Hwnd(), WM_SETREDRAW, FALSE, 0);
    list_.DeleteAllRows();
    const int camera = FilterCamera(filter_, dayCameras_);
    int listed = 0, chosenRow = -1;
    for (size_t i = 0; i < events_.size(); ++i) {
        const player::MotionEvent& e = events_[i];
        if (camera >= 0 && e.camera != camera)
            continue;
        const int row = list_.AddRow(CameraText(e.camera), static_cast<LPARAM>(i));
        if (row < 0)
            break;
        list_.SetText(row, 1, LocalTime(e.startMs));
        list_.SetText(row, 2, LengthText(e.lengthMs));
        if (keep && e.camera == keep->camera && e.startMs == keep->startMs)
            chosenRow = row;
        ++listed;
    }
    // The store grew: the list stays where the person left it.
    if (chosenRow >= 0)
        list_.Select(chosenRow);
    else if (keep && top > 0 && listed > 0)
        SendMessageW(list_.Hwnd(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(std::min(top + perPage - 1, listed - 1)), FALSE);
    SendMessageW(list_.Hwnd(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_.Hwnd(), nullptr, TRUE);
    refilling_ = false;
    DayNotice(listed);
}

void CSearchCtrl::DayNotice(int listed)
{
    if (!day_)
        return;
    std::wstring text = DayText(day_) + L": " + std::to_wstring(dayCameras_.size()) + L" camera(s) recorded, ";
    text += listed == 0 ? std::wstring(L"no motion at this sensitivity") : std::to_wstring(listed) + L" motion event(s)";
    Notice(text);
}

void CSearchCtrl::PlayFrom(int64_t ms)
{
    if (!view_.IsOpen())
        return;
    Preview(0, -1, POINT{});
    view_.Seek(ms);
    view_.Play();
    timeline_.SetHead(view_.HeadMs());
    ShowState();
    SetFocus(Hwnd());
}

// The DVR's local time of a DVR UTC ms, as the divisions show it (UTC when the zone is unknown).
std::wstring CSearchCtrl::LocalTime(int64_t ms) const
{
    const int64_t s = video::LocalSecondsOf(ms >= 0 ? ms / 1000 : (ms - 999) / 1000, zone_.zone, zone_.daylight);
    const int64_t ofDay = ((s % 86400) + 86400) % 86400;
    wchar_t text[16];
    swprintf(text, 16, L"%02d:%02d:%02d", static_cast<int>(ofDay / 3600), static_cast<int>(ofDay / 60 % 60),
             static_cast<int>(ofDay % 60));
    return text;
}

void CSearchCtrl::Preview(int64_t ms, int camera, POINT at)
{
    if (!frame_ || !frame_->Hwnd())
        return;
    if (camera < 0 || camera >= 16 || !day_ || siteFolder_.empty()) {
        previewDue_ = false;
        ShowWindow(frame_->Hwnd(), SW_HIDE);
        return;
    }
    previewCamera_ = camera;
    previewMs_ = ms;
    previewDue_ = true;
    RECT control{};
    GetWindowRect(Hwnd(), &control);
    const int low = control.left + kSide, high = std::max<int>(low, control.right - kPreviewWidth);
    // Moved along with the pointer; a hidden frame shows only once it holds the moment's picture,
    // never its empty divisions.
    SetWindowPos(frame_->Hwnd(), HWND_TOP, std::clamp<int>(at.x, low, high), at.y, kPreviewWidth, kPreviewHeight,
                 SWP_NOACTIVATE);
    if (!IsWindowVisible(frame_->Hwnd()))
        ApplyPreview(true);
}

void CSearchCtrl::ApplyPreview(bool now)
{
    const uint64_t tick = GetTickCount64();
    if (!previewDue_ || (!now && tick - previewAt_ < kPreviewEveryMs))
        return;
    previewDue_ = false;
    previewAt_ = tick;
    const uint64_t shown = preview_.PicturesShown();
    if (previewOpen_ == previewCamera_ && preview_.IsOpen()) {
        preview_.Seek(previewMs_);
    } else {
        previewOpen_ = -1;
        if (!preview_.Open(siteFolder_, {previewCamera_}, previewMs_))
            return;
        previewOpen_ = previewCamera_;
        // The camera's title alone: the picture's size and the time would cover it at this size.
        preview_.Display().SetOsdOptions(1, 0, 0);
        preview_.Display().Redraw(1u << previewCamera_);
    }
    if (preview_.PicturesShown() != shown)
        ShowWindow(frame_->Hwnd(), SW_SHOWNA);
}

void CSearchCtrl::DrawContent(HDC dc, const RECT& bounds)
{
    FillRect(dc, &bounds, back_.Get());
}
