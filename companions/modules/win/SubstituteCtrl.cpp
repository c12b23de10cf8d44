#include "SubstituteCtrl.h"
#include "foundation/Messages.h"
#include "foundation/Module.h"

namespace {

constexpr const wchar_t* kWindowClass = L"OrvmodsSubstituteCtrl";
constexpr DWORD kMiscStatus = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT |
    OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
constexpr int kMargin = 20, kTitleHeight = 40, kLineHeight = 24, kButtonWidth = 120, kButtonHeight = 30;
constexpr COLORREF kBackground = RGB(232, 240, 250), kInk = RGB(20, 30, 60), kFrame = RGB(60, 90, 150);
constexpr int kCloseButtonTop = kMargin + kTitleHeight + 5 * kLineHeight + 16;

win::Font MakeFont(int height, int weight)
{
    return win::Font(CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
}

const wchar_t* TypeName(VARTYPE vt) { return vt == VT_UI4 ? L"VT_UI4" : L"VT_BSTR"; }

} // namespace

const SubstituteKind kRemoteSetupKind = {
    L"Remote setup",
    {&CLSID_RemoteSetup, &DIID__DRemoteSetup, &DIID__DModuleEvents, nullptr, L"Remote Setup Control", kMiscStatus},
    VT_UI4};
const SubstituteKind kBackupKind = {
    L"Backup", {&CLSID_Backup, &DIID__DBackup, &DIID__DModuleEvents, nullptr, L"Backup Control", kMiscStatus}, VT_BSTR};

CSubstituteCtrl::CSubstituteCtrl(const SubstituteKind& kind)
    : ActiveXControl(kind.cls), titleFont_(MakeFont(22, FW_BOLD)), textFont_(MakeFont(16, FW_NORMAL)), kind_(kind)
{
    SetExtentPixels(480, 260);
}

// ---- the dispatch interface ----

HRESULT CSubstituteCtrl::InvokeMember(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr)
{
    switch (id) {
    case kAddress:
    case kPort:
    case kUser:
    case kPassword: return Member(static_cast<int>(id - kAddress), flags, params, result, argErr);
    case kSetAddr: return SetAddr(flags, params, result);
    case kReceived: {
        if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) || !(flags & DISPATCH_PROPERTYGET))
            return DISP_E_MEMBERNOTFOUND;
        std::wstring text;
        for (const auto& line : Lines())
            text += line + L"\r\n";
        return TextProperty(text, DISPATCH_PROPERTYGET, params, result, argErr);
    }
    default: return DISP_E_MEMBERNOTFOUND;
    }
}

// A member takes only its own type (the port of the remote setup a number, everything else text):
// a container that hands over anything else is told so, and the member keeps what it had.
HRESULT CSubstituteCtrl::Member(int index, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr)
{
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (params.cArgs != 1 || !params.rgvarg)
            return DISP_E_BADPARAMCOUNT;
        if (params.cNamedArgs != 1 || !params.rgdispidNamedArgs || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTOPTIONAL;
        VARIANT& arg = params.rgvarg[0];
        const VARTYPE wanted = index == kPort - kAddress ? kind_.portType : VARTYPE{VT_BSTR};
        win::Variant value;
        if (((arg.vt & VT_BYREF) && !arg.byref) || FAILED(VariantCopyInd(value.Get(), &arg)) || value->vt != wanted) {
            if (argErr)
                *argErr = 0;
            return DISP_E_TYPEMISMATCH;
        }
        values_[index] = std::move(value);
        Changed();
        return S_OK;
    }
    if (flags & DISPATCH_PROPERTYGET) {
        if (params.cArgs != 0)
            return DISP_E_BADPARAMCOUNT;
        if (!result)
            return S_OK;
        VariantInit(result);
        return VariantCopy(result, values_[index].Get());
    }
    return DISP_E_MEMBERNOTFOUND;
}

// Takes the site when address, port and user are there, as the viewer does; the answer is shown.
HRESULT CSubstituteCtrl::SetAddr(WORD flags, DISPPARAMS& params, VARIANT* result)
{
    if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
        return DISP_E_MEMBERNOTFOUND;
    if (params.cArgs != 0)
        return DISP_E_BADPARAMCOUNT;
    ++setAddrCalls_;
    setAddrAnswer_ = !Text(0).empty() && !Text(1).empty() && !Text(2).empty();
    if (result) {
        VariantInit(result);
        result->vt = VT_BOOL;
        result->boolVal = setAddrAnswer_ ? VARIANT_TRUE : VARIANT_FALSE;
    }
    Changed();
    if (setAddrAnswer_)
        OnSiteTaken();
    return S_OK;
}

std::wstring CSubstituteCtrl::Text(int index) const
{
    const VARIANT& v = *values_[index].Get();
    if (v.vt == VT_UI4)
        return std::to_wstring(v.ulVal);
    if (v.vt == VT_BSTR && v.bstrVal)
        return std::wstring(v.bstrVal, SysStringLen(v.bstrVal));
    return {};
}

std::vector<std::wstring> CSubstituteCtrl::Lines() const
{
    auto given = [this](int index) { return values_[index]->vt != VT_EMPTY; };
    const std::wstring none = L"(not given)";
    std::vector<std::wstring> lines;
    lines.push_back(std::wstring(kind_.name) + L" module");
    lines.push_back(L"Address: " + (given(0) ? Text(0) : none));
    lines.push_back(L"Port: " + (given(1) ? Text(1) + L" (" + TypeName(values_[1]->vt) + L")" : none));
    lines.push_back(L"User: " + (given(2) ? Text(2) : none));
    lines.push_back(L"Password: " + (given(3) ? std::to_wstring(Text(3).size()) + L" characters" : none));
    lines.push_back(setAddrCalls_ == 0 ? std::wstring(L"SetAddr: not called")
                                       : L"SetAddr: called " + std::to_wstring(setAddrCalls_) + L" time(s), answered " +
                            (setAddrAnswer_ ? L"TRUE" : L"FALSE"));
    return lines;
}

// ---- the window ----

bool CSubstituteCtrl::CreateControlWindow(HWND parent, const RECT& pos)
{
    return CreateChildWindow(kWindowClass, parent, pos);
}

LRESULT CSubstituteCtrl::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE: {
        closeButton_ =
            CreateWindowExW(0, L"BUTTON", L"Close (F8)", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, kMargin,
                            kCloseButtonTop, kButtonWidth, kButtonHeight, Hwnd(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCloseButton)), win::ThisModule(), nullptr);
        if (!closeButton_)
            return -1;
        SendMessageW(closeButton_, WM_SETFONT, reinterpret_cast<WPARAM>(textFont_.Get()), FALSE);
        ShowReceivedAsText();
        return 0;
    }
    case WM_DESTROY: closeButton_ = nullptr; return 0;
    case WM_COMMAND:
        if (LOWORD(wp) == kCloseButton && HIWORD(wp) == BN_CLICKED)
            CloseHost();
        return 0;
    case WM_KEYDOWN:
        if (wp == kCloseKey) {
            CloseHost();
            return 0;
        }
        return Default(msg, wp, lp);
    case WM_MOUSEACTIVATE: InPlaceActivate(true); return Default(msg, wp, lp);
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        win::PaintDC dc(Hwnd());
        RECT all{};
        GetClientRect(Hwnd(), &all);
        Paint(dc.Get(), all);
        return 0;
    }
    default: return Default(msg, wp, lp);
    }
}

// While UI-active the key reaches us whichever child has the focus.
bool CSubstituteCtrl::PreTranslate(MSG& msg)
{
    if (msg.message != WM_KEYDOWN || msg.wParam != kCloseKey)
        return false;
    CloseHost();
    return true;
}

void CSubstituteCtrl::CloseHost()
{
    if (Hwnd())
        PostMessageW(GetParent(Hwnd()), WM_CLOSE_HOST, 0, 0);
}

void CSubstituteCtrl::Changed()
{
    if (Hwnd()) {
        InvalidateRect(Hwnd(), nullptr, FALSE);
        ShowReceivedAsText();
    }
}

// Another process (the manager's tests) reads what the control shows through its window text.
void CSubstituteCtrl::ShowReceivedAsText()
{
    std::wstring text;
    for (const auto& line : Lines())
        text += line + L"\r\n";
    SetWindowTextW(Hwnd(), text.c_str());
}

int CSubstituteCtrl::BelowCloseButton() { return kCloseButtonTop + kButtonHeight; }

void CSubstituteCtrl::DrawContent(HDC dc, const RECT& bounds) { Paint(dc, bounds); }

void CSubstituteCtrl::Paint(HDC dc, const RECT& bounds)
{
    win::Brush background(CreateSolidBrush(kBackground));
    FillRect(dc, &bounds, background.Get());
    win::Brush frame(CreateSolidBrush(kFrame));
    FrameRect(dc, &bounds, frame.Get());

    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kInk);
    const auto lines = Lines();
    int y = bounds.top + kMargin;
    for (size_t i = 0; i < lines.size(); ++i) {
        win::ScopedSelect font(dc, i == 0 ? titleFont_.Get() : textFont_.Get());
        TextOutW(dc, bounds.left + kMargin, y, lines[i].c_str(), static_cast<int>(lines[i].size()));
        y += i == 0 ? kTitleHeight : kLineHeight;
    }
}
