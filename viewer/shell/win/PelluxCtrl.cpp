#include "PelluxCtrl.h"
#include <comcat.h>
#include <servprov.h>
#include <shlguid.h>
#include <cstring>
#include "DVRScreenView.h"
#include "LiveVideo.h"
#include "ViewAudio.h"
#include "ViewReadout.h"
#include "ViewSkinLink.h"
#include "skin/SkinApi.h"
#include "foundation/Messages.h"
#include "foundation/Module.h"
#include "foundation/Trace.h"

const CLSID CLSID_PelluxPropPage = {0xbc322bd5, 0x6359, 0x47d4, {0x99, 0x26, 0x36, 0x3f, 0xe6, 0xa1, 0x10, 0x24}};

namespace {

constexpr const wchar_t* kWindowClass = L"PelluxCtrl";
constexpr const wchar_t* kInstanceEventName = L"Global\\PELLUX_WEB_VIEWER";
constexpr unsigned short kSkinPanel = 61440;
constexpr UINT_PTR kFiguresTimer = 1;
constexpr UINT_PTR kViewPaneId = 0xE900; // the identifier of a main pane

// The persisted names, in the order of the dispatch identifiers 1 to 4.
constexpr const wchar_t* kPersistedNames[] = {L"sURLorIP", L"sPortNum", L"sUserID", L"sUserPWD"};
constexpr DWORD kStreamVersion = 0x00010000; // property exchange version 1.0
constexpr DWORD kStreamMaxChars = 4096;      // no persisted string is longer; more is damage

LONG PixelsToHimetric(int pixels, int dpi) { return MulDiv(pixels, 2540, dpi > 0 ? dpi : 96); }

// The event interface's connection point. Made on request, it holds the control; the sinks live
// in the control, so every point found for the interface sees the same connections.
class EventPoint final : public win::com::ComObject<EventPoint, IConnectionPoint> {
public:
    explicit EventPoint(CPelluxCtrl* owner) { owner_.Assign(owner); }
    static const win::com::QiEntry* QiTable()
    {
        static const win::com::QiEntry table[] = {PX_QI(EventPoint, IConnectionPoint), {nullptr, 0}};
        return table;
    }
    STDMETHODIMP GetConnectionInterface(IID* iid) override
    {
        if (!iid)
            return E_POINTER;
        *iid = DIID__DPelluxEvents;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** cpc) override
    {
        return owner_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(cpc));
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override { return owner_->AdviseEvents(sink, cookie); }
    STDMETHODIMP Unadvise(DWORD cookie) override { return owner_->UnadviseEvents(cookie); }
    STDMETHODIMP EnumConnections(IEnumConnections** e) override
    {
        if (e)
            *e = nullptr;
        return NotImplemented("IConnectionPoint", "EnumConnections");
    }

private:
    win::ComPtr<CPelluxCtrl> owner_;
};

view::CLiveVideo* CLiveVideoOf(const view::DVRScreenView* v)
{
    return v ? view::Readout(*v).Live() : nullptr;
}

std::wstring Text(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }

} // namespace

// ---- lifetime ----

CPelluxCtrl::CPelluxCtrl()
{
    // The natural size until the window says otherwise: the view's panel and a margin.
    RECT r{};
    SMAPI_GetResourceRect(kSkinPanel, &r);
    win::WindowDC screen(nullptr);
    extent_.cx = PixelsToHimetric(r.right + 20, screen ? GetDeviceCaps(screen.Get(), LOGPIXELSX) : 96);
    extent_.cy = PixelsToHimetric(r.bottom + 20, screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96);
}

CPelluxCtrl::~CPelluxCtrl()
{
    // A container that released the control without closing it: the window goes first, and with
    // it the view, its threads and its connection. No wait is needed after that: the view's own
    // teardown joins its decode threads, its sound devices' threads and the transport's thread
    // before its window is gone, and no other thread ever touches this object's members.
    if (Hwnd())
        DestroyWindow(Hwnd());
    browser_.Release();
    hostWnd_ = nullptr;
    instanceEvent_.Reset();
}

const win::com::QiEntry* CPelluxCtrl::QiTable()
{
    static const win::com::QiEntry table[] = {
        PX_QI(CPelluxCtrl, IOleObject),
        PX_QI_VIA(CPelluxCtrl, IDispatch, _DPellux),
        PX_QI(CPelluxCtrl, _DPellux),
        PX_QI_VIA(CPelluxCtrl, IOleWindow, IOleInPlaceObject),
        PX_QI(CPelluxCtrl, IOleInPlaceObject),
        PX_QI(CPelluxCtrl, IOleInPlaceActiveObject),
        PX_QI(CPelluxCtrl, IOleControl),
        PX_QI_VIA(CPelluxCtrl, IViewObject, IViewObject2),
        PX_QI(CPelluxCtrl, IViewObject2),
        PX_QI_VIA(CPelluxCtrl, IPersist, IPersistStreamInit),
        PX_QI(CPelluxCtrl, IPersistStreamInit),
        PX_QI(CPelluxCtrl, IPersistPropertyBag),
        PX_QI_VIA(CPelluxCtrl, IProvideClassInfo, IProvideClassInfo2),
        PX_QI(CPelluxCtrl, IProvideClassInfo2),
        PX_QI(CPelluxCtrl, IConnectionPointContainer),
        PX_QI(CPelluxCtrl, ISpecifyPropertyPages),
        PX_QI(CPelluxCtrl, IPelluxLive),
        {nullptr, 0}};
    return table;
}

STDMETHODIMP CPelluxCtrl::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv && IsEqualIID(riid, IID_IObjectSafety)) {
        objSafe_.AddRef();
        *ppv = static_cast<IObjectSafety*>(&objSafe_);
        return S_OK;
    }
    return Base::QueryInterface(riid, ppv);
}

// ---- IObjectSafety ----

STDMETHODIMP CPelluxCtrl::XObjSafe::GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled)
{
    if (!supported || !enabled)
        return E_POINTER;
    win::ComPtr<IUnknown> itf;
    HRESULT hr = outer_.QueryInterface(riid, itf.PutVoid());
    *supported = *enabled = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    return SUCCEEDED(hr) ? S_OK : E_NOINTERFACE;
}

STDMETHODIMP CPelluxCtrl::XObjSafe::SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled)
{
    constexpr DWORD kSafe = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    win::ComPtr<IUnknown> itf;
    if (FAILED(outer_.QueryInterface(riid, itf.PutVoid())))
        return E_NOINTERFACE;
    if ((mask & ~kSafe) != 0 || (mask & enabled & kSafe) != mask)
        return E_FAIL;
    return S_OK;
}

// ---- IDispatch ----

HRESULT CPelluxCtrl::TypeLib(ITypeLib** lib)
{
    if (!typeLib_) {
        const std::wstring path = win::ModuleFolderFile(L"Pellux.dll");
        wchar_t self[MAX_PATH];
        DWORD n = GetModuleFileNameW(win::ThisModule(), self, MAX_PATH);
        HRESULT hr = LoadTypeLibEx(n > 0 && n < MAX_PATH ? self : path.c_str(), REGKIND_NONE, typeLib_.Put());
        if (FAILED(hr))
            return hr;
    }
    typeLib_->AddRef();
    *lib = typeLib_.Get();
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::GetTypeInfo(UINT index, LCID, ITypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    win::ComPtr<ITypeLib> lib;
    HRESULT hr = TypeLib(lib.Put());
    return FAILED(hr) ? hr : lib->GetTypeInfoOfGuid(DIID__DPellux, info);
}

STDMETHODIMP CPelluxCtrl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids)
{
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    win::ComPtr<ITypeInfo> info;
    HRESULT hr = GetTypeInfo(0, lcid, info.Put());
    return FAILED(hr) ? hr : DispGetIDsOfNames(info.Get(), names, count, ids);
}

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

STDMETHODIMP CPelluxCtrl::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO*, UINT* argErr)
{
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!params)
        return E_INVALIDARG;
    return win::ComBarrier("_DPellux::Invoke", [&]() -> HRESULT {
        if (id == 5) {
            if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
                return DISP_E_MEMBERNOTFOUND;
            if (params->cArgs != 0)
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
        if (!member)
            return DISP_E_MEMBERNOTFOUND;
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            if (params->cArgs != 1 || !params->rgvarg)
                return DISP_E_BADPARAMCOUNT;
            if (params->cNamedArgs != 1 || !params->rgdispidNamedArgs ||
                params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
                return DISP_E_PARAMNOTOPTIONAL;
            VARIANT text;
            VariantInit(&text);
            if (FAILED(VariantChangeType(&text, &params->rgvarg[0], 0, VT_BSTR))) {
                if (argErr)
                    *argErr = 0;
                return DISP_E_TYPEMISMATCH;
            }
            *member = Text(text.bstrVal);
            VariantClear(&text);
            return S_OK;
        }
        if (flags & DISPATCH_PROPERTYGET) {
            if (params->cArgs != 0)
                return DISP_E_BADPARAMCOUNT;
            if (result) {
                BSTR b = SysAllocStringLen(member->data(), static_cast<UINT>(member->size()));
                if (!b)
                    return E_OUTOFMEMORY;
                VariantInit(result);
                result->vt = VT_BSTR;
                result->bstrVal = b;
            }
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    });
}

bool CPelluxCtrl::SetAddr()
{
    if (urlOrIp_.empty() || portNumber_.empty() || userId_.empty())
        return false;
    if (view_)
        view_->ApplyAddress(urlOrIp_, portNumber_, userId_, userPwd_);
    return true;
}

// ---- IOleObject ----

STDMETHODIMP CPelluxCtrl::SetClientSite(IOleClientSite* site)
{
    win::ComPtr<IOleObject> hold; // a container may let go of the control while it answers
    hold.Assign(this);
    return win::ComBarrier("IOleObject::SetClientSite", [&] {
        if (!site)
            InPlaceDeactivate();
        clientSite_.Assign(site);
        return S_OK;
    });
}

STDMETHODIMP CPelluxCtrl::GetClientSite(IOleClientSite** site)
{
    if (!site)
        return E_POINTER;
    *site = clientSite_.Get();
    if (*site)
        (*site)->AddRef();
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::Close(DWORD)
{
    win::ComPtr<IOleObject> hold; // a container may let go of the control while it answers
    hold.Assign(this);
    return win::ComBarrier("IOleObject::Close", [&] {
        InPlaceDeactivate();
        if (adviseHolder_)
            adviseHolder_->SendOnClose();
        return S_OK;
    });
}

STDMETHODIMP CPelluxCtrl::GetMoniker(DWORD, DWORD, IMoniker** mk)
{
    if (mk)
        *mk = nullptr;
    return NotImplemented("IOleObject", "GetMoniker");
}

STDMETHODIMP CPelluxCtrl::GetClipboardData(DWORD, IDataObject** data)
{
    if (data)
        *data = nullptr;
    return NotImplemented("IOleObject", "GetClipboardData");
}

STDMETHODIMP CPelluxCtrl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT)
{
    win::ComPtr<IOleObject> hold; // a container may let go of the control while it answers
    hold.Assign(this);
    return win::ComBarrier("IOleObject::DoVerb", [&]() -> HRESULT {
        if (!clientSite_ && site)
            clientSite_.Assign(site);
        switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_UIACTIVATE: return InPlaceActivate(true);
        case OLEIVERB_INPLACEACTIVATE: return InPlaceActivate(false);
        case OLEIVERB_HIDE:
            UIDeactivate();
            if (Hwnd())
                ShowWindow(Hwnd(), SW_HIDE);
            return S_OK;
        case OLEIVERB_PROPERTIES: return ShowProperties(parent);
        default: return verb > 0 ? OLEOBJ_S_INVALIDVERB : NotImplemented("IOleObject", "DoVerb (this verb)");
        }
    });
}

STDMETHODIMP CPelluxCtrl::EnumVerbs(IEnumOLEVERB** verbs)
{
    if (!verbs)
        return E_POINTER;
    *verbs = nullptr;
    return OleRegEnumVerbs(CLSID_Pellux, verbs);
}

STDMETHODIMP CPelluxCtrl::GetUserClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_Pellux;
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::GetUserType(DWORD form, LPOLESTR* type)
{
    if (!type)
        return E_POINTER;
    *type = nullptr;
    return OleRegGetUserType(CLSID_Pellux, form, type);
}

STDMETHODIMP CPelluxCtrl::SetExtent(DWORD aspect, SIZEL* size)
{
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::GetExtent(DWORD aspect, SIZEL* size)
{
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::Advise(IAdviseSink* sink, DWORD* cookie)
{
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    if (!adviseHolder_) {
        HRESULT hr = CreateOleAdviseHolder(adviseHolder_.Put());
        if (FAILED(hr))
            return hr;
    }
    return adviseHolder_->Advise(sink, cookie);
}

STDMETHODIMP CPelluxCtrl::Unadvise(DWORD cookie)
{
    return adviseHolder_ ? adviseHolder_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

STDMETHODIMP CPelluxCtrl::EnumAdvise(IEnumSTATDATA** advise)
{
    if (!advise)
        return E_POINTER;
    *advise = nullptr;
    return adviseHolder_ ? adviseHolder_->EnumAdvise(advise) : E_FAIL;
}

STDMETHODIMP CPelluxCtrl::GetMiscStatus(DWORD, DWORD* status)
{
    if (!status)
        return E_POINTER;
    *status = kPelluxMiscStatus;
    return S_OK;
}

// ---- in-place activation ----

HRESULT CPelluxCtrl::InPlaceActivate(bool uiActivate)
{
    if (!clientSite_)
        return E_UNEXPECTED;
    if (!inPlaceActive_) {
        win::ComPtr<IOleInPlaceSite> site;
        HRESULT hr = clientSite_.As(site);
        if (FAILED(hr))
            return hr;
        if (site->CanInPlaceActivate() != S_OK)
            return E_FAIL;
        HWND parent = nullptr;
        if (FAILED(hr = site->GetWindow(&parent)) || !parent)
            return FAILED(hr) ? hr : E_FAIL;
        RECT pos{}, clip{};
        OLEINPLACEFRAMEINFO info{};
        info.cb = sizeof info;
        win::ComPtr<IOleInPlaceFrame> frame;
        win::ComPtr<IOleInPlaceUIWindow> doc;
        if (FAILED(hr = site->GetWindowContext(frame.Put(), doc.Put(), &pos, &clip, &info)))
            return hr;
        site->OnInPlaceActivate();
        inPlaceSite_ = std::move(site);
        frame_ = std::move(frame);
        uiWindow_ = std::move(doc);
        inPlaceActive_ = true; // before the window: its creation activates once more
        if (!win::RegisterModuleClass(ClassOf(kWindowClass, CS_DBLCLKS)) ||
            !CreateEx(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, pos.left,
                      pos.top, pos.right - pos.left, pos.bottom - pos.top, parent, 0)) {
            InPlaceDeactivate();
            return E_FAIL;
        }
    }
    if (uiActivate && !uiActive_ && inPlaceSite_) {
        uiActive_ = true;
        inPlaceSite_->OnUIActivate();
        if (Hwnd() && !IsChild(Hwnd(), GetFocus()))
            SetFocus(Hwnd());
        auto* active = static_cast<IOleInPlaceActiveObject*>(this);
        if (frame_)
            frame_->SetActiveObject(active, L"Pellux Control");
        if (uiWindow_)
            uiWindow_->SetActiveObject(active, L"Pellux Control");
        if (frame_)
            frame_->SetBorderSpace(nullptr);
    }
    if (Hwnd())
        ShowWindow(Hwnd(), SW_SHOW);
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::UIDeactivate()
{
    return win::ComBarrier("IOleInPlaceObject::UIDeactivate", [&] {
        if (!uiActive_)
            return S_OK;
        uiActive_ = false;
        if (uiWindow_)
            uiWindow_->SetActiveObject(nullptr, nullptr);
        if (frame_)
            frame_->SetActiveObject(nullptr, nullptr);
        if (inPlaceSite_)
            inPlaceSite_->OnUIDeactivate(FALSE);
        return S_OK;
    });
}

STDMETHODIMP CPelluxCtrl::InPlaceDeactivate()
{
    win::ComPtr<IOleObject> hold; // a container may let go of the control while it answers
    hold.Assign(this);
    return win::ComBarrier("IOleInPlaceObject::InPlaceDeactivate", [&] {
        if (!inPlaceActive_)
            return S_OK;
        UIDeactivate();
        inPlaceActive_ = false;
        if (Hwnd())
            DestroyWindow(Hwnd());
        win::ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
        frame_.Release();
        uiWindow_.Release();
        if (site)
            site->OnInPlaceDeactivate();
        return S_OK;
    });
}

STDMETHODIMP CPelluxCtrl::GetWindow(HWND* wnd)
{
    if (!wnd)
        return E_POINTER;
    *wnd = Hwnd();
    return *wnd ? S_OK : E_FAIL;
}

STDMETHODIMP CPelluxCtrl::SetObjectRects(LPCRECT pos, LPCRECT)
{
    if (!pos)
        return E_POINTER;
    if (Hwnd())
        MoveWindow(Hwnd(), pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top, TRUE);
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::TranslateAccelerator(LPMSG msg)
{
    return win::ComBarrier("IOleInPlaceActiveObject::TranslateAccelerator", [&] {
        return view_ && msg && view_->PreTranslate(msg) ? S_OK : S_FALSE;
    });
}

HRESULT CPelluxCtrl::ShowProperties(HWND parent)
{
    IUnknown* self = static_cast<IOleObject*>(this);
    CLSID page = CLSID_PelluxPropPage;
    return OleCreatePropertyFrame(parent ? parent : Hwnd(), 0, 0, L"Pellux Control", 1, &self, 1, &page,
                                  LOCALE_USER_DEFAULT, 0, nullptr);
}

// ---- IOleControl ----

STDMETHODIMP CPelluxCtrl::GetControlInfo(CONTROLINFO* info)
{
    if (!info)
        return E_POINTER;
    if (info->cb < sizeof(CONTROLINFO))
        return E_INVALIDARG;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

// ---- IViewObject2 ----

STDMETHODIMP CPelluxCtrl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                               BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!dc || !bounds)
        return E_INVALIDARG;
    RECT r{bounds->left, bounds->top, bounds->right, bounds->bottom};
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** set)
{
    if (set)
        *set = nullptr;
    return S_FALSE; // no particular colours
}

STDMETHODIMP CPelluxCtrl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink)
{
    viewAspects_ = aspects;
    viewAdviseFlags_ = flags;
    viewSink_.Assign(sink);
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink)
{
    if (aspects)
        *aspects = viewAspects_;
    if (flags)
        *flags = viewAdviseFlags_;
    if (sink) {
        *sink = viewSink_.Get();
        if (*sink)
            (*sink)->AddRef();
    }
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, SIZEL* size)
{
    return GetExtent(aspect, size);
}

// ---- persistence ----

STDMETHODIMP CPelluxCtrl::GetClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_Pellux;
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::InitNew()
{
    urlOrIp_.clear();
    portNumber_.clear();
    userId_.clear();
    userPwd_.clear();
    return S_OK;
}

// The stream: the version, then each string as a count of UTF-16 units and the units.
STDMETHODIMP CPelluxCtrl::Load(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    return win::ComBarrier("IPersistStreamInit::Load", [&]() -> HRESULT {
        auto read = [&](void* to, ULONG bytes) {
            ULONG got = 0;
            return SUCCEEDED(stream->Read(to, bytes, &got)) && got == bytes;
        };
        DWORD version = 0;
        if (!read(&version, sizeof version) || version != kStreamVersion)
            return E_FAIL;
        std::wstring values[4];
        for (std::wstring& v : values) {
            DWORD chars = 0;
            if (!read(&chars, sizeof chars) || chars > kStreamMaxChars)
                return E_FAIL;
            v.resize(chars);
            if (chars && !read(v.data(), chars * sizeof(wchar_t)))
                return E_FAIL;
        }
        urlOrIp_ = values[0];
        portNumber_ = values[1];
        userId_ = values[2];
        userPwd_ = values[3];
        return S_OK;
    });
}

STDMETHODIMP CPelluxCtrl::Save(IStream* stream, BOOL)
{
    if (!stream)
        return E_POINTER;
    auto write = [&](const void* from, ULONG bytes) {
        ULONG put = 0;
        return SUCCEEDED(stream->Write(from, bytes, &put)) && put == bytes;
    };
    if (!write(&kStreamVersion, sizeof kStreamVersion))
        return STG_E_CANTSAVE;
    for (const std::wstring* v : {&urlOrIp_, &portNumber_, &userId_, &userPwd_}) {
        const DWORD chars = static_cast<DWORD>(v->size() < kStreamMaxChars ? v->size() : kStreamMaxChars);
        if (!write(&chars, sizeof chars) || (chars && !write(v->data(), chars * sizeof(wchar_t))))
            return STG_E_CANTSAVE;
    }
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    ULONGLONG bytes = sizeof kStreamVersion;
    for (const std::wstring* v : {&urlOrIp_, &portNumber_, &userId_, &userPwd_})
        bytes += sizeof(DWORD) + (v->size() < kStreamMaxChars ? v->size() : kStreamMaxChars) * sizeof(wchar_t);
    size->QuadPart = bytes;
    return S_OK;
}

// Each persisted name with an empty default: a name the bag lacks leaves its member empty.
STDMETHODIMP CPelluxCtrl::Load(IPropertyBag* bag, IErrorLog* log)
{
    if (!bag)
        return E_POINTER;
    return win::ComBarrier("IPersistPropertyBag::Load", [&] {
        std::wstring* members[] = {&urlOrIp_, &portNumber_, &userId_, &userPwd_};
        for (size_t i = 0; i < 4; ++i) {
            VARIANT v;
            VariantInit(&v);
            v.vt = VT_BSTR;
            members[i]->clear();
            if (SUCCEEDED(bag->Read(kPersistedNames[i], &v, log)) && SUCCEEDED(VariantChangeType(&v, &v, 0, VT_BSTR)))
                *members[i] = Text(v.bstrVal);
            VariantClear(&v);
        }
        return S_OK;
    });
}

STDMETHODIMP CPelluxCtrl::Save(IPropertyBag* bag, BOOL, BOOL)
{
    if (!bag)
        return E_POINTER;
    return win::ComBarrier("IPersistPropertyBag::Save", [&] {
        const std::wstring* members[] = {&urlOrIp_, &portNumber_, &userId_, &userPwd_};
        for (size_t i = 0; i < 4; ++i) {
            VARIANT v;
            VariantInit(&v);
            v.vt = VT_BSTR;
            v.bstrVal = SysAllocStringLen(members[i]->data(), static_cast<UINT>(members[i]->size()));
            if (!v.bstrVal)
                return E_OUTOFMEMORY;
            HRESULT hr = bag->Write(kPersistedNames[i], &v);
            VariantClear(&v);
            if (FAILED(hr))
                return hr;
        }
        return S_OK;
    });
}

// ---- class information, events, property pages ----

STDMETHODIMP CPelluxCtrl::GetClassInfo(ITypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    win::ComPtr<ITypeLib> lib;
    HRESULT hr = TypeLib(lib.Put());
    return FAILED(hr) ? hr : lib->GetTypeInfoOfGuid(CLSID_Pellux, info);
}

STDMETHODIMP CPelluxCtrl::GetGUID(DWORD kind, GUID* guid)
{
    if (!guid)
        return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = DIID__DPelluxEvents;
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    if (points)
        *points = nullptr;
    return NotImplemented("IConnectionPointContainer", "EnumConnectionPoints");
}

STDMETHODIMP CPelluxCtrl::FindConnectionPoint(REFIID riid, IConnectionPoint** point)
{
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (!IsEqualIID(riid, DIID__DPelluxEvents))
        return CONNECT_E_NOCONNECTION;
    return win::ComBarrier("IConnectionPointContainer::FindConnectionPoint", [&] {
        *point = new EventPoint(this);
        return S_OK;
    });
}

HRESULT CPelluxCtrl::AdviseEvents(IUnknown* sink, DWORD* cookie)
{
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    if (!sink)
        return E_POINTER;
    return win::ComBarrier("IConnectionPoint::Advise", [&] {
        win::ComPtr<IUnknown> held;
        held.Assign(sink);
        eventSinks_.emplace(nextCookie_, std::move(held));
        *cookie = nextCookie_++;
        return S_OK;
    });
}

HRESULT CPelluxCtrl::UnadviseEvents(DWORD cookie)
{
    auto it = eventSinks_.find(cookie);
    if (it == eventSinks_.end())
        return CONNECT_E_NOCONNECTION;
    win::ComPtr<IUnknown> sink = std::move(it->second); // released after the map no longer holds it
    eventSinks_.erase(it);
    return S_OK;
}

STDMETHODIMP CPelluxCtrl::GetPages(CAUUID* pages)
{
    if (!pages)
        return E_POINTER;
    pages->cElems = 0;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems)
        return E_OUTOFMEMORY;
    pages->pElems[0] = CLSID_PelluxPropPage;
    pages->cElems = 1;
    return S_OK;
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
    if (clientSite_ && SUCCEEDED(clientSite_.As(services)))
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
    win::WindowDC dc(Hwnd());
    extent_.cx = PixelsToHimetric(panel.right + 20, dc ? GetDeviceCaps(dc.Get(), LOGPIXELSX) : 96);
    extent_.cy = PixelsToHimetric(panel.bottom + 20, dc ? GetDeviceCaps(dc.Get(), LOGPIXELSY) : 96);

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

namespace {

const wchar_t* const kCategoryNames[] = {L"Controls that are safely scriptable",
                                         L"Controls safely initializable from persistent data"};
const CATID* const kCategories[] = {&CATID_SafeForScripting, &CATID_SafeForInitializing};

void MarkCategories()
{
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        win::ComPtr<ICatRegister> cats;
        if (SUCCEEDED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_ICatRegister, cats.PutVoid()))) {
            for (size_t i = 0; i < 2; ++i) {
                CATEGORYINFO info{};
                info.catid = *kCategories[i];
                info.lcid = 1033;
                wcsncpy(info.szDescription, kCategoryNames[i], 127);
                info.szDescription[127] = L'\0';
                if (SUCCEEDED(cats->RegisterCategories(1, &info))) {
                    CATID id = *kCategories[i];
                    cats->RegisterClassImplCategories(CLSID_Pellux, 1, &id);
                }
            }
        }
    }
    if (SUCCEEDED(init))
        CoUninitialize();
}

} // namespace

HRESULT CPelluxCtrl::CPelluxCtrlFactory::UpdateRegistry(bool doRegister)
{
    MarkCategories();
    return doRegister ? win::com::RegisterRows(&kPelluxRows[0], 1) : win::com::UnregisterRows(&kPelluxRows[0], 1);
}
