#include "PelluxCtrl.h"
#include <servprov.h>
#include <shlguid.h>
#include "DVRScreenView.h"
#include "LiveVideo.h"
#include "ViewAudio.h"
#include "ViewReadout.h"
#include "ViewSkinLink.h"
#include "skin/SkinApi.h"
#include "foundation/Messages.h"
#include "foundation/Trace.h"

const CLSID CLSID_PelluxPropPage = {0xbc322bd5, 0x6359, 0x47d4, {0x99, 0x26, 0x36, 0x3f, 0xe6, 0xa1, 0x10, 0x24}};

namespace {

constexpr const wchar_t* kWindowClass = L"PelluxCtrl";
constexpr const wchar_t* kInstanceEventName = L"Global\\PELLUX_WEB_VIEWER";
constexpr unsigned short kSkinPanel = 61440;
constexpr UINT_PTR kFiguresTimer = 1;

const win::ControlClass kPelluxClass = {&CLSID_Pellux,         &DIID__DPellux,    &DIID__DPelluxEvents,
                                        &CLSID_PelluxPropPage, L"Pellux Control", kPelluxMiscStatus};

view::CLiveVideo* CLiveVideoOf(const view::DVRScreenView* v) { return v ? view::Readout(*v).Live() : nullptr; }

// The four values end up as lines of the connection-info file: one holding a line break (or any
// other character below 0x20) would write sections and keys of its own there.
bool PlainText(const std::wstring& s)
{
    for (wchar_t ch : s)
        if (ch < 0x20)
            return false;
    return true;
}

// What a property bag or stream loads is held to the same rule as SetAddr: a value that is not
// plain text counts as not given. Saving passes through unchanged.
class PlainValues final : public win::PropertyExchange {
public:
    explicit PlainValues(win::PropertyExchange& inner) : inner_(inner) {}
    void Text(const wchar_t* name, std::wstring& value) override
    {
        std::wstring v = value;
        inner_.Text(name, v);
        if (v != value)
            value = PlainText(v) ? std::move(v) : std::wstring();
    }

private:
    win::PropertyExchange& inner_;
};

} // namespace

// ---- lifetime ----

CPelluxCtrl::CPelluxCtrl() : ActiveXControl(kPelluxClass)
{
    // The natural size until the window says otherwise: the view's panel and a margin.
    RECT r{};
    SMAPI_GetResourceRect(kSkinPanel, &r);
    SetExtentPixels(r.right + 20, r.bottom + 20);
}

// A container that released the control without closing it: the base has destroyed the window,
// and with it the view, its threads and its connection. No wait is needed after that: the view's
// own teardown joins its decode threads, its sound devices' threads and the transport's thread
// before its window is gone, and no other thread ever touches this object's members.
void CPelluxCtrl::OnFinalRelease()
{
    browser_.Release();
    hostWnd_ = nullptr;
    instanceEvent_.Reset();
}

STDMETHODIMP CPelluxCtrl::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv && IsEqualIID(riid, __uuidof(IPelluxLive))) {
        *ppv = static_cast<IPelluxLive*>(this);
        AddRef();
        return S_OK;
    }
    return ActiveXControl::QueryInterface(riid, ppv);
}

bool CPelluxCtrl::CreateControlWindow(HWND parent, const RECT& pos)
{
    return CreateChildWindow(kWindowClass, parent, pos);
}

bool CPelluxCtrl::PreTranslate(MSG& msg) { return view_ && view_->PreTranslate(&msg); }

// ---- _DPellux ----

std::wstring* CPelluxCtrl::Member(DISPID id)
{
    switch (id) {
    case 1: return &urlOrIp_;
    case 2: return &portNumber_;
    case 3: return &userId_;
    case 4: return &userPwd_;
    default: return nullptr;
    }
}

HRESULT CPelluxCtrl::InvokeMember(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr)
{
    if (id == 5) {
        if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
            return DISP_E_MEMBERNOTFOUND;
        if (params.cArgs != 0)
            return DISP_E_BADPARAMCOUNT;
        const bool done = SetAddr();
        if (result) {
            VariantInit(result);
            result->vt = VT_BOOL;
            result->boolVal = done ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return S_OK;
    }
    std::wstring* member = Member(id);
    return member ? TextProperty(*member, flags, params, result, argErr) : DISP_E_MEMBERNOTFOUND;
}

bool CPelluxCtrl::SetAddr()
{
    if (urlOrIp_.empty() || portNumber_.empty() || userId_.empty())
        return false;
    for (const std::wstring* v : {&urlOrIp_, &portNumber_, &userId_, &userPwd_})
        if (!PlainText(*v))
            return false;
    if (view_)
        view_->ApplyAddress(urlOrIp_, portNumber_, userId_, userPwd_);
    return true;
}

// The persisted names, in the order of the dispatch identifiers 1 to 4.
void CPelluxCtrl::ExchangeProperties(win::PropertyExchange& exchange)
{
    PlainValues px(exchange);
    px.Text(L"sURLorIP", urlOrIp_);
    px.Text(L"sPortNum", portNumber_);
    px.Text(L"sUserID", userId_);
    px.Text(L"sUserPWD", userPwd_);
}

// ---- IPelluxLive ----

STDMETHODIMP CPelluxCtrl::SetWakeOnStop(BOOL on)
{
    view::CLiveVideo* live = CLiveVideoOf(view_);
    if (!live)
        return E_UNEXPECTED;
    pipeline::CFrameQueue::Timing timing;
    timing.wakeOnStop = on != FALSE;
    live->SetQueueTiming(timing);
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::SetAudioQueueTrim(BOOL on)
{
    CViewAudio* audio = view_ ? view::Readout(*view_).Audio() : nullptr;
    if (!audio)
        return E_UNEXPECTED;
    audio->Receiver().SetQueueTrim(on != FALSE);
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::SetScaleOutsideLock(BOOL on)
{
    view::CLiveVideo* live = CLiveVideoOf(view_);
    if (!live)
        return E_UNEXPECTED;
    live->Display().SetScaleOutsideLock(on != FALSE);
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::SetZoomAll(double factor)
{
    view::CLiveVideo* live = CLiveVideoOf(view_);
    if (!live || !(factor >= 1.0))
        return live ? E_INVALIDARG : E_UNEXPECTED;
    live->Display().ZoomAll(factor);
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::WriteFigures(LPCWSTR path)
{
    if (!path)
        return E_POINTER;
    return win::ComBarrier("IPelluxLive::WriteFigures", [&]() -> HRESULT {
        view::CLiveVideo* live = CLiveVideoOf(view_);
        if (!live || figures_)
            return E_UNEXPECTED;
        auto figures = std::make_unique<CLiveFigures>();
        if (!figures->Start(path, *live))
            return E_FAIL;
        figures_ = std::move(figures);
        SetTimer(Hwnd(), kFiguresTimer, 1000, nullptr);
        return S_OK;
    });
}

// ---- the window ----

LRESULT CPelluxCtrl::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE: return OnCreate() ? 0 : -1;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_CLOSE_HOST: return OnCloseHost(wp, lp);
    case WM_MOUSEACTIVATE: return OnMouseActivate(wp, lp);
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: OnPaint(); return 0;
    case WM_TIMER:
        if (CLiveVideoOf(view_) && wp == kFiguresTimer && figures_)
            figures_->Write(*CLiveVideoOf(view_), view::Readout(*view_).Audio());
        return 0;
    default: return Default(msg, wp, lp);
    }
}

bool CPelluxCtrl::OnCreate()
{
    // The hosting browser, if the control sits in one (looked up afresh for every window).
    hostWnd_ = nullptr;
    win::ComPtr<IServiceProvider> services;
    if (ClientSite() && SUCCEEDED(ClientSite()->QueryInterface(IID_IServiceProvider, services.PutVoid())))
        services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser_.PutVoid());
    SHANDLE_PTR top = 0;
    if (browser_ && SUCCEEDED(browser_->get_HWND(&top)) && top) {
        hostWnd_ = reinterpret_cast<HWND>(top);
        hook_.Attach(hostWnd_);
        SendMessageW(hostWnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    } else {
        hook_.Attach(GetParent(Hwnd()));
    }

    instanceEvent_.Attach(CreateEventW(nullptr, FALSE, FALSE, kInstanceEventName));

    RECT panel{};
    SMAPI_GetResourceRect(kSkinPanel, &panel);
    SetExtentPixels(panel.right + 20, panel.bottom + 20);

    InPlaceActivate(true);

    view::ViewPartsConfig parts;
    parts.live = true; // the view's own display, decode threads and sound devices
    view_ = view::DVRScreenView::Create(Hwnd(), view::LinkedViewSkin(), parts);
    if (!view_)
        return false;
    if (browser_)
        InPlaceActivate(true);
    view_->SetHostWindow(hostWnd_ ? hostWnd_ : Hwnd());
    view_->InitialUpdate();
    if (!urlOrIp_.empty() && !portNumber_.empty() && !userId_.empty())
        view_->ApplyAddress(urlOrIp_, portNumber_, userId_, userPwd_);
    else
        view_->LoadConnectInfo();
    return true;
}

void CPelluxCtrl::OnDestroy()
{
    KillTimer(Hwnd(), kFiguresTimer);
    hook_.Detach();
    if (view_ && view_->Window())
        DestroyWindow(view_->Window()); // the view deletes itself with its window
    view_ = nullptr;
    browser_.Release();
}

LRESULT CPelluxCtrl::OnCloseHost(WPARAM wp, LPARAM lp)
{
    if (hostWnd_) {
        PostMessageW(hostWnd_, WM_CLOSE, 0, 0);
        return Default(WM_CLOSE_HOST, wp, lp);
    }
    PostMessageW(GetParent(Hwnd()), WM_CLOSE_HOST, 0, 0);
    return 0;
}

LRESULT CPelluxCtrl::OnMouseActivate(WPARAM wp, LPARAM lp)
{
    if (browser_)
        InPlaceActivate(true);
    return Default(WM_MOUSEACTIVATE, wp, lp);
}

void CPelluxCtrl::OnPaint()
{
    win::PaintDC dc(Hwnd());
    RECT all{};
    GetClientRect(Hwnd(), &all);
    FillRect(dc.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void CPelluxCtrl::OnHostMoved()
{
    if (view_ && view_->Window())
        SendMessageW(view_->Window(), WM_HOST_MOVED, 0, 0);
}

LRESULT CPelluxCtrl::HostHook::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_MOVE)
        owner_.OnHostMoved();
    return Default(msg, wp, lp);
}

// ---- registration ----

HRESULT CPelluxCtrl::CPelluxCtrlFactory::UpdateRegistry(bool doRegister)
{
    RegisterSafeCategories(CLSID_Pellux);
    return doRegister ? win::com::RegisterRows(&kPelluxRows[0], 1) : win::com::UnregisterRows(&kPelluxRows[0], 1);
}
