#include "foundation/ControlHost.h"
#include "foundation/Handles.h"
#include "foundation/ComServer.h"
#include "foundation/MessageLoop.h"
#include "foundation/Messages.h"
#include "foundation/Module.h"
#include "foundation/Trace.h"
#include <servprov.h>

namespace win {

// The host's COM face. It lives as long as the control holds it; the host clears `host` when it
// goes, after which every call answers as a site without a window.
class ControlSite final : public com::ComObject<ControlSite, IOleClientSite, IOleInPlaceSiteEx, IOleInPlaceFrame,
                                                IServiceProvider, IDispatch> {
public:
    explicit ControlSite(ControlHost* h) : host(h) {}
    static const com::QiEntry* QiTable()
    {
        static const com::QiEntry table[] = {PX_QI(ControlSite, IOleClientSite),
                                             PX_QI_VIA(ControlSite, IOleInPlaceSite, IOleInPlaceSiteEx),
                                             PX_QI(ControlSite, IOleInPlaceSiteEx),
                                             PX_QI_VIA(ControlSite, IOleWindow, IOleInPlaceSiteEx),
                                             PX_QI(ControlSite, IOleInPlaceFrame),
                                             PX_QI_VIA(ControlSite, IOleInPlaceUIWindow, IOleInPlaceFrame),
                                             PX_QI(ControlSite, IServiceProvider),
                                             PX_QI(ControlSite, IDispatch),
                                             {nullptr, 0}};
        return table;
    }

    ControlHost* host; // not ours: the host clears it in its destructor

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** mk) override
    {
        if (mk)
            *mk = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** c) override
    {
        if (c)
            *c = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (both the in-place site's and the frame's)
    STDMETHODIMP GetWindow(HWND* wnd) override
    {
        if (!wnd)
            return E_POINTER;
        *wnd = host ? host->Hwnd() : nullptr;
        return *wnd ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return host && host->Hwnd() ? S_OK : S_FALSE; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* pos, RECT* clip,
                                  OLEINPLACEFRAMEINFO* info) override
    {
        if (!frame || !doc || !pos || !clip)
            return E_POINTER;
        *doc = nullptr;
        AddRef();
        *frame = this;
        RECT r{};
        if (host && host->Hwnd())
            GetClientRect(host->Hwnd(), &r);
        *pos = *clip = r;
        if (info) {
            info->fMDIApp = FALSE;
            info->hwndFrame = host ? host->Hwnd() : nullptr;
            info->haccel = nullptr;
            info->cAccelEntries = 0;
        }
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    // IOleInPlaceSiteEx: some controls activate only through it.
    STDMETHODIMP OnInPlaceActivateEx(BOOL* noRedraw, DWORD) override
    {
        if (noRedraw)
            *noRedraw = FALSE;
        return S_OK;
    }
    STDMETHODIMP OnInPlaceDeactivateEx(BOOL) override { return S_OK; }
    STDMETHODIMP RequestUIActivate() override { return S_OK; }

    STDMETHODIMP OnPosRectChange(const RECT* r) override
    {
        if (!r)
            return E_POINTER;
        ComPtr<IOleInPlaceObject> ip;
        if (host && host->control_ && SUCCEEDED(host->control_.As(ip)))
            ip->SetObjectRects(r, r);
        return S_OK;
    }

    // IOleInPlaceUIWindow
    STDMETHODIMP GetBorder(RECT* r) override
    {
        if (!r)
            return E_POINTER;
        return host && host->Hwnd() && GetClientRect(host->Hwnd(), r) ? S_OK : E_FAIL;
    }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override
    {
        if (host)
            host->active_.Assign(object);
        return S_OK;
    }

    // IOleInPlaceFrame
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(MSG*, WORD) override { return S_FALSE; }

    // IServiceProvider
    STDMETHODIMP QueryService(REFGUID service, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!host)
            return E_NOINTERFACE;
        return ComBarrier("IServiceProvider::QueryService", [&] { return host->QueryService(service, riid, ppv); });
    }

    // IDispatch: the ambient properties, read only and by identifier.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override
    {
        if (!(flags & DISPATCH_PROPERTYGET))
            return DISP_E_MEMBERNOTFOUND;
        if (!result)
            return E_INVALIDARG;
        VariantInit(result);
        if (!host)
            return DISP_E_MEMBERNOTFOUND;
        return ComBarrier("IDispatch::Invoke (ambient)", [&] { return host->GetAmbient(id, result); });
    }
};

// What the control calls for its events: it answers the source interface the control asks for
// and hands every call to the caller's sink.
class EventForwarder final : public com::ComObject<EventForwarder, IDispatch> {
public:
    EventForwarder(REFIID source, IDispatch* sink) : source_(source) { sink_.Assign(sink); }
    static const com::QiEntry* QiTable()
    {
        static const com::QiEntry table[] = {PX_QI(EventForwarder, IDispatch), {nullptr, 0}};
        return table;
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv && IsEqualIID(riid, source_)) {
            AddRef();
            *ppv = static_cast<IDispatch*>(this);
            return S_OK;
        }
        return ComObject::QueryInterface(riid, ppv);
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return sink_->GetTypeInfoCount(count); }
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override
    {
        return sink_->GetTypeInfo(index, lcid, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override
    {
        return sink_->GetIDsOfNames(riid, names, count, lcid, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* info, UINT* argErr) override
    {
        return sink_->Invoke(id, riid, lcid, flags, params, result, info, argErr);
    }

private:
    IID source_;
    ComPtr<IDispatch> sink_;
};

namespace {

// The control's default source (event) interface.
HRESULT DefaultSource(IUnknown* control, IID* iid)
{
    ComPtr<IProvideClassInfo2> info2;
    if (SUCCEEDED(control->QueryInterface(IID_IProvideClassInfo2, info2.PutVoid())) &&
        SUCCEEDED(info2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, iid)))
        return S_OK;
    ComPtr<IProvideClassInfo> info;
    HRESULT hr = control->QueryInterface(IID_IProvideClassInfo, info.PutVoid());
    ComPtr<ITypeInfo> coclass;
    if (SUCCEEDED(hr))
        hr = info->GetClassInfo(coclass.Put());
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(hr))
        hr = coclass->GetTypeAttr(&attr);
    if (FAILED(hr))
        return hr;
    const WORD count = attr->cImplTypes;
    coclass->ReleaseTypeAttr(attr);
    constexpr INT kDefaultSource = IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE;
    for (UINT i = 0; i < count; ++i) {
        INT flags = 0;
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> source;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags)) || (flags & kDefaultSource) != kDefaultSource ||
            FAILED(coclass->GetRefTypeOfImplType(i, &ref)) || FAILED(coclass->GetRefTypeInfo(ref, source.Put())) ||
            FAILED(source->GetTypeAttr(&attr)))
            continue;
        *iid = attr->guid;
        source->ReleaseTypeAttr(attr);
        return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
}

} // namespace

namespace {
constexpr const wchar_t* kHostClass = L"PxControlHost";
}

ControlHost::ControlHost() : site_(new ControlSite(this)) {}

ControlHost::~ControlHost()
{
    DestroyControl();
    site_->host = nullptr;
    site_->Release();
}

bool ControlHost::Create(HWND parent, const RECT& r, DWORD style, const wchar_t* title)
{
    if (!RegisterModuleClass(ClassOf(kHostClass, 0, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1))))
        return false;
    return CreateEx(0, kHostClass, title, style | WS_CLIPCHILDREN, r.left, r.top, r.right - r.left, r.bottom - r.top,
                    parent, 0);
}

HRESULT ControlHost::QueryService(REFGUID, REFIID, void** ppv)
{
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT ControlHost::CreateControl(REFCLSID clsid, IPropertyBag* bag)
{
    ComPtr<IUnknown> object;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.PutVoid());
    return FAILED(hr) ? hr : HostControl(object.Get(), bag);
}

HRESULT ControlHost::CreateControl(const wchar_t* progId, IPropertyBag* bag)
{
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    return FAILED(hr) ? hr : CreateControl(clsid, bag);
}

HRESULT ControlHost::HostControl(IUnknown* object, IPropertyBag* bag)
{
    if (!object || !Hwnd())
        return E_INVALIDARG;
    DestroyControl();
    ComPtr<IOleObject> control;
    HRESULT hr = object->QueryInterface(IID_IOleObject, control.PutVoid());
    if (FAILED(hr))
        return hr;
    DWORD status = 0;
    control->GetMiscStatus(DVASPECT_CONTENT, &status);
    bool siteFirst = (status & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst && FAILED(hr = control->SetClientSite(site_)))
        return hr;
    if (bag) {
        ComPtr<IPersistPropertyBag> persist;
        if (SUCCEEDED(hr = control.As(persist)))
            hr = persist->Load(bag, nullptr);
    } else {
        ComPtr<IPersistStreamInit> persist;
        if (SUCCEEDED(control.As(persist)))
            hr = persist->InitNew();
    }
    if (SUCCEEDED(hr) && !siteFirst)
        hr = control->SetClientSite(site_);
    control_ = std::move(control);
    if (SUCCEEDED(hr)) {
        control_.As(dispatch_);
        RECT r{};
        GetClientRect(Hwnd(), &r);
        hr = control_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, Hwnd(), &r);
    }
    if (FAILED(hr))
        DestroyControl();
    else if (!filter_)
        filter_ = MessageLoop::AddFilter([this](MSG* m) { return PreTranslate(m); });
    return hr;
}

void ControlHost::DestroyControl()
{
    MessageLoop::RemoveFilter(filter_);
    filter_ = 0;
    UnadviseEvents();
    active_.Release();
    dispatch_.Release();
    if (ComPtr<IOleObject> control = std::move(control_)) {
        control->Close(OLECLOSE_NOSAVE);
        control->SetClientSite(nullptr);
    }
}

IOleClientSite* ControlHost::Site() const { return site_; }

HWND ControlHost::ControlWindow() const
{
    ComPtr<IOleInPlaceObject> ip;
    HWND wnd = nullptr;
    if (control_ && SUCCEEDED(control_.As(ip)) && SUCCEEDED(ip->GetWindow(&wnd)))
        return wnd;
    return nullptr;
}

bool ControlHost::PreTranslate(MSG* msg)
{
    if (!msg || !active_ || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST)
        return false;
    HWND control = ControlWindow();
    if (!control || (msg->hwnd != control && !IsChild(control, msg->hwnd)))
        return false;
    // The control may close itself while it translates: hold it for the call.
    ComPtr<IOleInPlaceActiveObject> active;
    active.Assign(active_.Get());
    return active->TranslateAccelerator(msg) == S_OK;
}

void ControlHost::OnSize()
{
    ComPtr<IOleInPlaceObject> ip;
    if (!control_ || FAILED(control_.As(ip)))
        return;
    RECT r{};
    GetClientRect(Hwnd(), &r);
    ip->SetObjectRects(&r, &r);
}

void ControlHost::OnCloseHost() { DestroyWindow(Hwnd()); }

HRESULT ControlHost::GetAmbient(DISPID id, VARIANT* value)
{
    switch (id) {
    case DISPID_AMBIENT_USERMODE:
        value->vt = VT_BOOL;
        value->boolVal = userMode_ ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case DISPID_AMBIENT_UIDEAD:
    case DISPID_AMBIENT_MESSAGEREFLECT:
    case DISPID_AMBIENT_SHOWGRABHANDLES:
    case DISPID_AMBIENT_SHOWHATCHING:
        value->vt = VT_BOOL;
        value->boolVal = VARIANT_FALSE;
        return S_OK;
    case DISPID_AMBIENT_DISPLAYNAME:
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocStringLen(displayName_.data(), static_cast<UINT>(displayName_.size()));
        return value->bstrVal ? S_OK : E_OUTOFMEMORY;
    case DISPID_AMBIENT_BACKCOLOR:
    case DISPID_AMBIENT_FORECOLOR:
        value->vt = VT_I4;
        value->lVal = static_cast<LONG>(id == DISPID_AMBIENT_BACKCOLOR ? backColor_ : foreColor_);
        return S_OK;
    case DISPID_AMBIENT_LOCALEID:
        value->vt = VT_I4;
        value->lVal = static_cast<LONG>(GetUserDefaultLCID());
        return S_OK;
    case DISPID_AMBIENT_FONT:
        if (!font_)
            return DISP_E_MEMBERNOTFOUND;
        value->vt = VT_DISPATCH;
        value->pdispVal = font_.Get(); // IFontDisp is the font's dispatch interface
        value->pdispVal->AddRef();
        return S_OK;
    default: return DISP_E_MEMBERNOTFOUND;
    }
}

void ControlHost::AmbientChanged(DISPID id)
{
    ComPtr<IOleControl> control;
    if (control_ && SUCCEEDED(control_.As(control)))
        control->OnAmbientPropertyChange(id);
}

void ControlHost::SetAmbientUserMode(bool run)
{
    userMode_ = run;
    AmbientChanged(DISPID_AMBIENT_USERMODE);
}

void ControlHost::SetAmbientDisplayName(const std::wstring& name)
{
    displayName_ = name;
    AmbientChanged(DISPID_AMBIENT_DISPLAYNAME);
}

void ControlHost::SetAmbientBackColor(OLE_COLOR color)
{
    backColor_ = color;
    AmbientChanged(DISPID_AMBIENT_BACKCOLOR);
}

void ControlHost::SetAmbientForeColor(OLE_COLOR color)
{
    foreColor_ = color;
    AmbientChanged(DISPID_AMBIENT_FORECOLOR);
}

void ControlHost::SetAmbientFont(IFontDisp* font)
{
    font_.Assign(font);
    AmbientChanged(DISPID_AMBIENT_FONT);
}

HRESULT ControlHost::AdviseEvents(IDispatch* sink)
{
    if (!sink)
        return E_POINTER;
    if (!control_)
        return E_UNEXPECTED;
    UnadviseEvents();
    IID source{};
    HRESULT hr = DefaultSource(control_.Get(), &source);
    ComPtr<IConnectionPointContainer> container;
    if (SUCCEEDED(hr))
        hr = control_.As(container);
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(hr))
        hr = container->FindConnectionPoint(source, point.Put());
    if (FAILED(hr))
        return hr;
    ComPtr<EventForwarder> forwarder;
    forwarder.Attach(new (std::nothrow) EventForwarder(source, sink));
    if (!forwarder)
        return E_OUTOFMEMORY;
    DWORD cookie = 0;
    hr = point->Advise(static_cast<IDispatch*>(forwarder.Get()), &cookie);
    if (FAILED(hr))
        return hr;
    events_ = std::move(point);
    eventsCookie_ = cookie;
    return S_OK;
}

void ControlHost::UnadviseEvents()
{
    if (ComPtr<IConnectionPoint> point = std::move(events_))
        point->Unadvise(eventsCookie_);
    eventsCookie_ = 0;
}

LRESULT ControlHost::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_SIZE: OnSize(); return 0;
    case WM_CLOSE_HOST: OnCloseHost(); return 0;
    case WM_DESTROY: DestroyControl(); return 0;
    default: return Default(msg, wp, lp);
    }
}

namespace dispatch {

HRESULT PutValue(IDispatch* object, DISPID id, const VARIANT& value)
{
    if (!object)
        return E_POINTER;
    VARIANT arg = value; // Invoke leaves its arguments alone: no copy of the value is needed
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg, &named, 1, 1};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
}

HRESULT PutText(IDispatch* object, DISPID id, const std::wstring& text)
{
    Variant arg = Variant::OfText(text);
    if (arg->vt != VT_BSTR)
        return E_OUTOFMEMORY;
    return PutValue(object, id, *arg.Get());
}

HRESULT GetText(IDispatch* object, DISPID id, std::wstring& text)
{
    if (!object)
        return E_POINTER;
    Variant result;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    HRESULT hr =
        object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result.Get(), nullptr, nullptr);
    if (SUCCEEDED(hr))
        hr = VariantChangeType(result.Get(), result.Get(), 0, VT_BSTR);
    if (SUCCEEDED(hr)) {
        BSTR b = result->bstrVal;
        text.assign(b ? b : L"", b ? SysStringLen(b) : 0);
    }
    return hr;
}

HRESULT Call(IDispatch* object, DISPID id, VARIANT* result)
{
    if (!object)
        return E_POINTER;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, result, nullptr, nullptr);
}

} // namespace dispatch

} // namespace win
