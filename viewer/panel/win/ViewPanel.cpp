#include "ViewPanel.h"
#include "SkinDraw.h"
#include "foundation/Messages.h"
#include "foundation/Module.h"
#include <windowsx.h>
#include <vector>

namespace view {

// The kit's button messages are the window messages the view handles.
constexpr bool Same(skinui::ButtonMessage m, UINT w) { return static_cast<UINT>(m) == w; }
static_assert(Same(skinui::kMsgViewCommand, WM_VIEW_COMMAND) && Same(skinui::kMsgRepeatEnd, WM_IMGBTN_REPEATEND) &&
              Same(skinui::kMsgDrawn, WM_IMGBTN_DRAWN) && Same(skinui::kMsgRedraw, WM_IMGBTN_REDRAW) &&
              Same(skinui::kMsgPressed, WM_IMGBTN_PRESSED) && Same(skinui::kMsgReleased, WM_IMGBTN_RELEASED));

RECT PanelRect(const ViewSkin& skin, unsigned short id)
{
    // The layout when no skin answers: picture on the left, fields on the right, the status log
    // across the bottom.
    RECT r{0, 0, 0, 0};
    switch (id) {
    case kRectPanel: r = RECT{0, 0, 860, 600}; break;
    case kRectDisplay: r = RECT{8, 8, 648, 488}; break;
    case kRectAddress: r = RECT{664, 40, 852, 62}; break;
    case kRectPort: r = RECT{664, 92, 852, 114}; break;
    case kRectUser: r = RECT{664, 144, 852, 166}; break;
    case kRectPassword: r = RECT{664, 196, 852, 218}; break;
    case kRectStatusLog: r = RECT{8, 496, 852, 592}; break;
    default: break;
    }
    if (skin.getResourceRect)
        skin.getResourceRect(id, &r);
    return r;
}

namespace {

bool InRange(int command, int first, int last) { return command >= first && command <= last; }
bool IsChannel(int c) { return InRange(c, kCmdFirstChannel, kCmdFirstChannel + 15); }
bool IsLayout(int c) { return InRange(c, kCmdFirstLayout, kCmdFirstLayout + 6); }
bool IsAudio(int c) { return InRange(c, kCmdFirstAudio, kCmdFirstAudio + 4); }

int MoveKeys(WPARAM wp)
{
    if (wp & MK_LBUTTON)
        return skinui::kLeftHeld;
    if (wp & MK_RBUTTON)
        return skinui::kRightHeld;
    if (wp & MK_MBUTTON)
        return skinui::kMiddleHeld;
    return skinui::kNoneHeld;
}

} // namespace

ViewPanel::ViewPanel(const ViewSkin& skin) : skin_(skin) {}

ViewPanel::~ViewPanel() = default;

void ViewPanel::AddButton(const wchar_t* name, int command, bool toggle, bool checkedSet, bool autoRepeat)
{
    auto b = std::make_unique<skinui::CImageButton>(group_, name);
    b->command = command;
    const RECT r = Rect(static_cast<unsigned short>(command));
    b->rect = skinui::ButtonRect{r.left, r.top, r.right, r.bottom};
    auto load = [&](void (*get)(unsigned short, HBITMAP[4]),
                    void (skinui::CImageButton::*set)(void*, void*, void*, void*)) {
        HBITMAP out[4] = {};
        if (get)
            get(static_cast<unsigned short>(command), out);
        for (HBITMAP h : out)
            if (h)
                images_.emplace_back(h);
        ((*b).*set)(out[0], out[1], out[2], out[3]);
    };
    load(skin_.getButtonBitmaps, &skinui::CImageButton::SetNormalBitmaps);
    if (checkedSet)
        load(skin_.getCheckedBitmaps, &skinui::CImageButton::SetCheckedBitmaps);
    b->enabled = 1;
    b->visible = 1;
    b->toggle = toggle;
    b->autoRepeat = autoRepeat;
    if (autoRepeat)
        b->repeatInterval = 100;
    b->owner = this;
    if (!buttons_.empty())
        buttons_.back()->next = b.get();
    buttons_.push_back(std::move(b));
}

bool ViewPanel::Create(HWND view)
{
    view_ = view;
    wchar_t name[40];
    AddButton(L"Connect Button", kCmdConnect, false, false, false);
    AddButton(L"Disconnect Button", kCmdDisconnect, false, false, false);
    for (int i = 0; i < 16; ++i) {
        swprintf(name, 40, L"Channel%02d Button", i + 1);
        AddButton(name, kCmdFirstChannel + i, true, true, false);
    }
    Button(kCmdFirstChannel)->checked = 1;
    static const int kDivisions[] = {1, 4, 7, 9, 10, 13, 16};
    for (int i = 0; i < 7; ++i) {
        swprintf(name, 40, L"Division%02d Button", kDivisions[i]);
        AddButton(name, kCmdFirstLayout + i, false, false, false);
    }
    static const wchar_t* const kPtz[] = {L"PTZ UP Button",         L"PTZ RIGHT UP Button", L"PTZ RIGHT Button",
                                          L"PTZ RIGHT DOWN Button", L"PTZ DOWN Button",     L"PTZ LEFT DOWN Button",
                                          L"PTZ LEFT Button",       L"PTZ LEFT UP Button"};
    for (int i = 0; i < 8; ++i)
        AddButton(kPtz[i], kCmdFirstPtz + i, false, false, true);
    static const wchar_t* const kLens[] = {L"PTZ Zoom UP Button", L"PTZ Zoom DOWN Button", L"PTZ Focus UP Button",
                                           L"PTZ Focus DOWN Button"};
    for (int i = 0; i < 4; ++i)
        AddButton(kLens[i], 36 + i, false, false, true);
    AddButton(L"Exit Button", kCmdExit, false, false, false);
    for (int i = 0; i < 4; ++i) {
        swprintf(name, 40, L"Audio Channel%d Button", i + 1);
        AddButton(name, kCmdFirstAudio + i, false, false, false);
    }
    AddButton(nullptr, kCmdFirstAudio + 4, false, false, false);
    AddButton(L"Setup Button", kCmdSetup, false, false, false);
    // A toggle draws its checked set while down: the skin ships one for this button, and without
    // it a pressed phone button would draw nothing at all.
    AddButton(L"Live Phone Button.", kCmdPhone, true, true, false);

    if (!CreateControls())
        return false;

    if (skin_.getBitmap) {
        back_.Attach(skin_.getBitmap(kRectPanel));
        pristine_.Attach(skin_.getBitmap(kRectPanel));
    }
    // Until a DVR is connected the channels are checked and out of reach.
    for (int c = kCmdFirstChannel; c < kCmdFirstChannel + 16; ++c) {
        skinui::CImageButton* b = Button(c);
        b->enabled = 0;
        b->state = skinui::kDisabled;
        b->checked = 1;
    }
    buttons_.front()->DrawAll();
    DrawVersionLabel();
    InvalidateRect(view_, nullptr, FALSE);
    return true;
}

bool ViewPanel::CreateControls()
{
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    auto child = [&](DWORD exStyle, const wchar_t* cls, const wchar_t* text, DWORD style, int item, unsigned short rect,
                     int extraHeight = 0) {
        RECT r = Rect(rect);
        HWND w = CreateWindowExW(exStyle, cls, text, WS_CHILD | style, r.left, r.top, r.right - r.left,
                                 r.bottom - r.top + extraHeight, view_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(item)), win::ThisModule(), nullptr);
        if (w)
            SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return w;
    };
    struct Field {
        int item;
        unsigned short rect;
        int limit;
        DWORD style;
    };
    const Field fields[] = {
        {kItemAddress, kRectAddress, kAddressChars, ES_AUTOHSCROLL},
        {kItemPort, kRectPort, kPortChars, ES_AUTOHSCROLL | ES_NUMBER},
        {kItemUser, kRectUser, kUserChars, ES_AUTOHSCROLL},
        {kItemPassword, kRectPassword, kPasswordChars, ES_AUTOHSCROLL | ES_PASSWORD},
        {kItemHiddenEdit, kRectHiddenEdit, 3, ES_AUTOHSCROLL}, // disabled and hidden
    };
    for (const Field& f : fields) {
        const DWORD shown = f.item == kItemHiddenEdit ? WS_DISABLED : WS_VISIBLE | WS_TABSTOP;
        HWND e = child(WS_EX_CLIENTEDGE, L"EDIT", L"", shown | f.style, f.item, f.rect);
        if (!e)
            return false;
        SendMessageW(e, EM_LIMITTEXT, f.limit, 0);
    }
    HWND protocol = child(0, L"COMBOBOX", L"", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                          kItemPtzProtocol, kRectPtzProtocol, 70);
    HWND baud =
        child(0, L"COMBOBOX", L"", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kItemBaud, kRectBaud, 70);
    HWND camera = child(0, L"STATIC", L"1", WS_VISIBLE | SS_CENTER, kItemPtzCamera, kRectPtzCamera);
    HWND autoPtz =
        child(0, L"BUTTON", L"DVR PTZ", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, kItemAutoPtz, kRectAutoPtz);
    HWND log = child(0, L"LISTBOX", L"", WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS,
                     kItemStatusLog, kRectStatusLog);
    HWND speed = child(0, L"STATIC", L"4", WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE, kItemSpeed, kRectSpeed);
    if (!protocol || !baud || !camera || !autoPtz || !log || !speed)
        return false;
    SendMessageW(protocol, CB_SETDROPPEDWIDTH, 130, 0);
    SendMessageW(baud, CB_SETDROPPEDWIDTH, 100, 0);
    SendMessageW(autoPtz, BM_SETCHECK, BST_CHECKED, 0);
    return true;
}

std::wstring ViewPanel::VersionText()
{
    const std::wstring path = win::ModulePath(win::ThisModule());
    DWORD ignored = 0;
    const DWORD size = path.empty() ? 0 : GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> info(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, info.data()) ||
        !VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || !fixed ||
        fixedSize < sizeof(VS_FIXEDFILEINFO))
        return L"Ver Unknown ";
    wchar_t text[64];
    swprintf(text, 64, L"Ver %d. %d. %d. %d", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
             HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    return text;
}

void ViewPanel::DrawVersionLabel()
{
    if (!back_)
        return;
    win::MemoryDC dc;
    win::ScopedSelect bitmap(dc.Get(), back_.Get());
    win::ScopedSelect font(dc.Get(), GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc.Get(), TRANSPARENT);
    const std::wstring text = VersionText();
    const RECT area = Rect(kRectVersion);
    // Black four times around, then white on top: an outline that reads on any background.
    static const int kShifts[5][2] = {{0, -1}, {0, 1}, {1, 0}, {-1, 0}, {0, 0}};
    for (int i = 0; i < 5; ++i) {
        RECT r = area;
        OffsetRect(&r, kShifts[i][0], kShifts[i][1]);
        SetTextColor(dc.Get(), i < 4 ? RGB(0, 0, 0) : RGB(255, 255, 255));
        DrawTextW(dc.Get(), text.c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
}

skinui::CImageButton* ViewPanel::Button(int command) const
{
    for (const auto& b : buttons_)
        if (b->command == command)
            return b.get();
    return nullptr;
}

void ViewPanel::SetButton(int command, bool enabled, int state)
{
    skinui::CImageButton* b = Button(command);
    if (!b)
        return;
    b->enabled = enabled;
    b->state = state;
    Post(skinui::kMsgRedraw, reinterpret_cast<uintptr_t>(b), reinterpret_cast<intptr_t>(&b->rect));
}

void ViewPanel::SetChecked(int command, bool checked)
{
    skinui::CImageButton* b = Button(command);
    if (!b)
        return;
    b->checked = checked;
    Post(skinui::kMsgRedraw, reinterpret_cast<uintptr_t>(b), reinterpret_cast<intptr_t>(&b->rect));
}

void ViewPanel::ShowAudioChannel(int command)
{
    for (int c = kCmdFirstAudio; c < kCmdFirstAudio + 4; ++c)
        SetButton(c, c != command, c == command ? skinui::kDisabled : skinui::kNormal);
}

// ---- painting and the mouse ----

void ViewPanel::OnPaint(HDC dc)
{
    const RECT panelRect = Rect(kRectPanel);
    if (!back_) {
        FillRect(dc, &panelRect, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
        return;
    }
    if (!buttons_.empty())
        buttons_.front()->DrawAll();
    skinui::DrawBitmap(dc, panelRect, {back_.Get()});
}

void ViewPanel::OnMouse(UINT msg, WPARAM wp, LPARAM lp)
{
    if (buttons_.empty())
        return;
    skinui::CImageButton& list = *buttons_.front();
    const int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
    switch (msg) {
    case WM_LBUTTONDOWN:
        // Held buttons see the release even outside the view: a PTZ button let go elsewhere must
        // stop repeating.
        SetCapture(view_);
        list.MouseDown(x, y);
        break;
    case WM_LBUTTONUP:
        if (GetCapture() == view_)
            ReleaseCapture();
        list.MouseUp(x, y);
        break;
    case WM_MOUSEMOVE: list.MouseMove(MoveKeys(wp), x, y); break;
    default: break;
    }
}

void ViewPanel::CopyToWindow(const RECT& r)
{
    if (!back_)
        return;
    win::WindowDC dc(view_);
    skinui::DrawBitmap(dc.Get(), r, {back_.Get(), {r.left, r.top}});
}

void ViewPanel::OnDrawn(const skinui::ButtonRect* rect)
{
    if (rect)
        CopyToWindow(RECT{rect->left, rect->top, rect->right, rect->bottom});
}

void ViewPanel::OnRedraw(skinui::CImageButton* button)
{
    bool ours = false;
    for (const auto& b : buttons_)
        ours |= b.get() == button;
    if (!ours || !back_)
        return;
    const RECT r{button->rect.left, button->rect.top, button->rect.right, button->rect.bottom};
    // Erase the old image with the background's own pixels.
    skinui::DrawBitmap(back_.Get(), r, {pristine_.Get(), {r.left, r.top}});
    Draw(*button);
    CopyToWindow(r);
}

bool ViewPanel::OnTimer(UINT_PTR id) { return group_.OnRepeatTimer(static_cast<unsigned>(id)); }

// ---- skinui::IButtonOwner ----

void ViewPanel::Post(unsigned message, uintptr_t wp, intptr_t lp)
{
    if (view_)
        PostMessageW(view_, message, static_cast<WPARAM>(wp), static_cast<LPARAM>(lp));
}

void ViewPanel::StartTimer(unsigned id, unsigned periodMs)
{
    if (view_)
        SetTimer(view_, id, periodMs, nullptr);
}

void ViewPanel::StopTimer(unsigned id)
{
    if (view_)
        KillTimer(view_, id);
}

void ViewPanel::Draw(skinui::CImageButton& button)
{
    if (!back_ || !button.Image())
        return;
    skinui::DrawButtonFace(back_.Get(), button);
    Post(skinui::kMsgDrawn, static_cast<uintptr_t>(button.command), reinterpret_cast<intptr_t>(&button.rect));
}

// ---- connection::IPanelHooks ----

void ViewPanel::SetConnectedState(bool connected, bool administrator)
{
    auto set = [&](int c, bool on) { SetButton(c, on, on ? skinui::kNormal : skinui::kDisabled); };
    set(kCmdConnect, !connected);
    set(kCmdDisconnect, connected);
    for (const auto& b : buttons_) {
        const int c = b->command;
        if (IsChannel(c) || IsLayout(c) || IsAudio(c) || c == kCmdPhone)
            set(c, connected);
        if (!connected && IsChannel(c))
            b->checked = 1;
    }
    if (!connected)
        Button(kCmdPhone)->checked = 0;
    set(kCmdSetup, connected && administrator);
}

void ViewPanel::ReleaseLayoutAndAudioButtons()
{
    ReleaseLayoutButtons();
    for (int c = kCmdFirstAudio; c < kCmdFirstAudio + 4; ++c)
        SetButton(c, true, skinui::kNormal);
}

void ViewPanel::ReleaseLayoutButtons()
{
    for (int c = kCmdFirstLayout; c < kCmdFirstLayout + 7; ++c)
        SetButton(c, true, skinui::kNormal);
}

bool ViewPanel::PhoneButtonDown()
{
    skinui::CImageButton* b = Button(kCmdPhone);
    return b && b->checked;
}

void ViewPanel::ReleasePhoneButton()
{
    if (skinui::CImageButton* b = Button(kCmdPhone))
        b->checked = 0;
    SetButton(kCmdPhone, false, skinui::kDisabled);
}

int ViewPanel::SpeedLevel()
{
    BOOL ok = FALSE;
    const UINT level = view_ ? GetDlgItemInt(view_, kItemSpeed, &ok, FALSE) : 0;
    return ok ? static_cast<int>(level) : 4;
}

} // namespace view
