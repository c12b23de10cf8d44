#include "foundation/ActiveXControl.h"
#include <comcat.h>
#include <cstring>
#include <vector>
#include "foundation/Handles.h"
#include "foundation/Module.h"
#include "foundation/Trace.h"

namespace win {

namespace {

constexpr DWORD kStreamVersion = 0x00010000; // property exchange version 1.0
constexpr DWORD kStreamMaxChars = 4096; // no persisted string is longer; more is damage
constexpr DWORD kSafe = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

std::wstring TextOf(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }

DWORD StreamChars(const std::wstring& v)
{
    return static_cast<DWORD>(v.size() < kStreamMaxChars ? v.size() : kStreamMaxChars);
}

// The event interface's connection point. Made on request, it holds the control.
class EventPoint final : public com::ComObject<EventPoint, IConnectionPoint> {
public:
    EventPoint(ActiveXControl* owner, REFIID iid) : iid_(iid) { owner_.Assign(owner); }
    static const com::QiEntry* QiTable()
    {
        static const com::QiEntry table[] = {PX_QI(EventPoint, IConnectionPoint), {nullptr, 0}};
        return table;
    }
    STDMETHODIMP GetConnectionInterface(IID* iid) override
    {
        if (!iid)
            return E_POINTER;
        *iid = iid_;
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
    ComPtr<ActiveXControl> owner_;
    IID iid_;
};

// ---- the property exchanges ----

// Sets every property to its default.
class Defaults final : public PropertyExchange {
public:
    void Text(const wchar_t*, std::wstring& value) override { value.clear(); }
};

// The stream: the version, then each string as a count of UTF-16 units and the units. Loading
// reads every value first and sets the properties only when all of them were read.
class StreamReader final : public PropertyExchange {
public:
    explicit StreamReader(IStream* s) : stream_(s)
    {
        ok_ = Read(&version_, sizeof version_) && version_ == kStreamVersion;
    }
    bool Ok() const { return ok_; }
    void Apply() { applying_ = true; }
    void Text(const wchar_t*, std::wstring& value) override
    {
        if (applying_) {
            value = std::move(values_[next_++]);
            return;
        }
        DWORD chars = 0;
        std::wstring v;
        if (!ok_ || !Read(&chars, sizeof chars) || chars > kStreamMaxChars) {
            ok_ = false;
            return;
        }
        v.resize(chars);
        if (chars && !Read(v.data(), chars * sizeof(wchar_t)))
            ok_ = false;
        else
            values_.push_back(std::move(v));
    }

private:
    bool Read(void* to, ULONG bytes)
    {
        ULONG got = 0;
        return SUCCEEDED(stream_->Read(to, bytes, &got)) && got == bytes;
    }
    IStream* stream_;
    DWORD version_ = 0;
    bool ok_ = false, applying_ = false;
    std::vector<std::wstring> values_;
    size_t next_ = 0;
};

class StreamWriter final : public PropertyExchange {
public:
    explicit StreamWriter(IStream* s) : stream_(s) { ok_ = Write(&kStreamVersion, sizeof kStreamVersion); }
    bool Ok() const { return ok_; }
    void Text(const wchar_t*, std::wstring& value) override
    {
        const DWORD chars = StreamChars(value);
        ok_ = ok_ && Write(&chars, sizeof chars) && (!chars || Write(value.data(), chars * sizeof(wchar_t)));
    }

private:
    bool Write(const void* from, ULONG bytes)
    {
        ULONG put = 0;
        return SUCCEEDED(stream_->Write(from, bytes, &put)) && put == bytes;
    }
    IStream* stream_;
    bool ok_ = false;
};

class StreamMeasure final : public PropertyExchange {
public:
    ULONGLONG bytes = sizeof kStreamVersion;
    void Text(const wchar_t*, std::wstring& value) override
    {
        bytes += sizeof(DWORD) + StreamChars(value) * sizeof(wchar_t);
    }
};

// A name the bag lacks leaves its property at the default.
class BagReader final : public PropertyExchange {
public:
    BagReader(IPropertyBag* bag, IErrorLog* log) : bag_(bag), log_(log) {}
    void Text(const wchar_t* name, std::wstring& value) override
    {
        Variant v;
        v->vt = VT_BSTR; // the type asked for
        value.clear();
        if (SUCCEEDED(bag_->Read(name, v.Get(), log_)) && SUCCEEDED(VariantChangeType(v.Get(), v.Get(), 0, VT_BSTR)))
            value = TextOf(v->bstrVal);
    }

private:
    IPropertyBag* bag_;
    IErrorLog* log_;
};

class BagWriter final : public PropertyExchange {
public:
    explicit BagWriter(IPropertyBag* bag) : bag_(bag) {}
    HRESULT hr = S_OK;
    void Text(const wchar_t* name, std::wstring& value) override
    {
        if (FAILED(hr))
            return;
        Variant v = Variant::OfText(value);
        hr = v->vt == VT_BSTR ? bag_->Write(name, v.Get()) : E_OUTOFMEMORY;
    }

private:
    IPropertyBag* bag_;
};

LONG PixelsToHimetric(int pixels, int dpi) { return MulDiv(pixels, 2540, dpi > 0 ? dpi : 96); }

} // namespace

HRESULT NotImplemented(const char* itf, const char* method)
{
    TraceFixme(itf, method);
    return E_NOTIMPL;
}

// ---- lifetime ----

ActiveXControl::ActiveXControl(const ControlClass& cls) : class_(cls) {}

ActiveXControl::~ActiveXControl() = default;

STDMETHODIMP ActiveXControl::QueryInterface(REFIID riid, void** ppv)
{
    static const com::QiEntry table[] = {PX_QI(ActiveXControl, IOleObject),
                                         PX_QI(ActiveXControl, IDispatch),
                                         PX_QI_VIA(ActiveXControl, IOleWindow, IOleInPlaceObject),
                                         PX_QI(ActiveXControl, IOleInPlaceObject),
                                         PX_QI(ActiveXControl, IOleInPlaceActiveObject),
                                         PX_QI(ActiveXControl, IOleControl),
                                         PX_QI_VIA(ActiveXControl, IViewObject, IViewObject2),
                                         PX_QI(ActiveXControl, IViewObject2),
                                         PX_QI_VIA(ActiveXControl, IPersist, IPersistStreamInit),
                                         PX_QI(ActiveXControl, IPersistStreamInit),
                                         PX_QI(ActiveXControl, IPersistPropertyBag),
                                         PX_QI_VIA(ActiveXControl, IProvideClassInfo, IProvideClassInfo2),
                                         PX_QI(ActiveXControl, IProvideClassInfo2),
                                         PX_QI(ActiveXControl, IConnectionPointContainer),
                                         PX_QI(ActiveXControl, ISpecifyPropertyPages),
                                         {&IID_IObjectSafety, com::QiOffset<ActiveXControl, IObjectSafety>()},
                                         {nullptr, 0}};
    if (ppv && IsEqualIID(riid, *class_.dispatchIid)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return com::QiSearch(this, table, riid, ppv);
}

STDMETHODIMP_(ULONG) ActiveXControl::AddRef() { return static_cast<ULONG>(++refs_); }

STDMETHODIMP_(ULONG) ActiveXControl::Release()
{
    const long r = --refs_;
    if (r != 0)
        return static_cast<ULONG>(r);
    refs_ = 1; // whatever the teardown's callees take and give back never brings it to zero again
    VoidBarrier("ActiveXControl::Release", [&] { Teardown(); });
    delete this;
    return 0;
}

void ActiveXControl::Teardown()
{
    ReleaseClientSite();
    OnFinalRelease();
    eventSinks_.clear();
    viewSink_.Release();
    adviseHolder_.Release();
    typeLib_.Release();
}

void ActiveXControl::ReleaseClientSite()
{
    InPlaceDeactivate();
    clientSite_.Release();
}

// ---- IDispatch ----

HRESULT ActiveXControl::LoadTypeLibrary(ITypeLib** lib)
{
    const std::wstring self = ModulePath(ThisModule());
    if (self.empty())
        return TYPE_E_CANTLOADLIBRARY;
    return LoadTypeLibEx(self.c_str(), REGKIND_NONE, lib);
}

HRESULT ActiveXControl::TypeLib(ITypeLib** lib)
{
    if (!typeLib_) {
        HRESULT hr = LoadTypeLibrary(typeLib_.Put());
        if (FAILED(hr))
            return hr;
    }
    return typeLib_.CopyTo(lib);
}

STDMETHODIMP ActiveXControl::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP ActiveXControl::GetTypeInfo(UINT index, LCID, ITypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    ComPtr<ITypeLib> lib;
    HRESULT hr = TypeLib(lib.Put());
    return FAILED(hr) ? hr : lib->GetTypeInfoOfGuid(*class_.dispatchIid, info);
}

STDMETHODIMP ActiveXControl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids)
{
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    ComPtr<ITypeInfo> info;
    HRESULT hr = GetTypeInfo(0, lcid, info.Put());
    return FAILED(hr) ? hr : DispGetIDsOfNames(info.Get(), names, count, ids);
}

STDMETHODIMP ActiveXControl::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                    EXCEPINFO*, UINT* argErr)
{
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!params)
        return E_INVALIDARG;
    return ComBarrier("IDispatch::Invoke", [&] { return InvokeMember(id, flags, *params, result, argErr); });
}

HRESULT ActiveXControl::TextProperty(std::wstring& member, WORD flags, DISPPARAMS& params, VARIANT* result,
                                     UINT* argErr)
{
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (params.cArgs != 1 || !params.rgvarg)
            return DISP_E_BADPARAMCOUNT;
        if (params.cNamedArgs != 1 || !params.rgdispidNamedArgs || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTOPTIONAL;
        Variant text;
        if (FAILED(VariantChangeType(text.Get(), &params.rgvarg[0], 0, VT_BSTR))) {
            if (argErr)
                *argErr = 0;
            return DISP_E_TYPEMISMATCH;
        }
        member = TextOf(text->bstrVal);
        return S_OK;
    }
    if (flags & DISPATCH_PROPERTYGET) {
        if (params.cArgs != 0)
            return DISP_E_BADPARAMCOUNT;
        if (result) {
            BSTR b = SysAllocStringLen(member.data(), static_cast<UINT>(member.size()));
            if (!b)
                return E_OUTOFMEMORY;
            VariantInit(result);
            result->vt = VT_BSTR;
            result->bstrVal = b;
        }
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

// ---- IOleObject ----

STDMETHODIMP ActiveXControl::SetClientSite(IOleClientSite* site)
{
    ComPtr<IOleObject> hold; // a container may let go of the control while it answers
    hold.Assign(this);
    return ComBarrier("IOleObject::SetClientSite", [&] {
        if (!site)
            ReleaseClientSite();
        clientSite_.Assign(site);
        return S_OK;
    });
}

STDMETHODIMP ActiveXControl::GetClientSite(IOleClientSite** site)
{
    if (!site)
        return E_POINTER;
    return clientSite_.CopyTo(site);
}

STDMETHODIMP ActiveXControl::Close(DWORD)
{
    ComPtr<IOleObject> hold; // a container may let go of the control while it answers
    hold.Assign(this);
    return ComBarrier("IOleObject::Close", [&] {
        InPlaceDeactivate();
        if (adviseHolder_)
            adviseHolder_->SendOnClose();
        return S_OK;
    });
}

STDMETHODIMP ActiveXControl::GetMoniker(DWORD, DWORD, IMoniker** mk)
{
    if (mk)
        *mk = nullptr;
    return NotImplemented("IOleObject", "GetMoniker");
}

STDMETHODIMP ActiveXControl::GetClipboardData(DWORD, IDataObject** data)
{
    if (data)
        *data = nullptr;
    return NotImplemented("IOleObject", "GetClipboardData");
}

STDMETHODIMP ActiveXControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT)
{
    ComPtr<IOleObject> hold; // a container may let go of the control while it answers
    hold.Assign(this);
    return ComBarrier("IOleObject::DoVerb", [&]() -> HRESULT {
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

STDMETHODIMP ActiveXControl::EnumVerbs(IEnumOLEVERB** verbs)
{
    if (!verbs)
        return E_POINTER;
    *verbs = nullptr;
    return OleRegEnumVerbs(*class_.clsid, verbs);
}

STDMETHODIMP ActiveXControl::GetUserClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = *class_.clsid;
    return S_OK;
}

STDMETHODIMP ActiveXControl::GetUserType(DWORD form, LPOLESTR* type)
{
    if (!type)
        return E_POINTER;
    *type = nullptr;
    return OleRegGetUserType(*class_.clsid, form, type);
}

STDMETHODIMP ActiveXControl::SetExtent(DWORD aspect, SIZEL* size)
{
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP ActiveXControl::GetExtent(DWORD aspect, SIZEL* size)
{
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

void ActiveXControl::SetExtentPixels(int width, int height)
{
    WindowDC dc(Hwnd());
    extent_.cx = PixelsToHimetric(width, dc ? GetDeviceCaps(dc.Get(), LOGPIXELSX) : 96);
    extent_.cy = PixelsToHimetric(height, dc ? GetDeviceCaps(dc.Get(), LOGPIXELSY) : 96);
}

STDMETHODIMP ActiveXControl::Advise(IAdviseSink* sink, DWORD* cookie)
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

STDMETHODIMP ActiveXControl::Unadvise(DWORD cookie)
{
    return adviseHolder_ ? adviseHolder_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

STDMETHODIMP ActiveXControl::EnumAdvise(IEnumSTATDATA** advise)
{
    if (!advise)
        return E_POINTER;
    *advise = nullptr;
    return adviseHolder_ ? adviseHolder_->EnumAdvise(advise) : E_FAIL;
}

STDMETHODIMP ActiveXControl::GetMiscStatus(DWORD, DWORD* status)
{
    if (!status)
        return E_POINTER;
    *status = class_.miscStatus;
    return S_OK;
}

// ---- in-place activation ----

bool ActiveXControl::CreateChildWindow(const wchar_t* className, HWND parent, const RECT& pos, UINT classStyle)
{
    return RegisterModuleClass(ClassOf(className, classStyle)) &&
        CreateEx(0, className, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, pos.left, pos.top,
                 pos.right - pos.left, pos.bottom - pos.top, parent, 0);
}

HRESULT ActiveXControl::InPlaceActivate(bool uiActivate)
{
    if (!clientSite_)
        return E_UNEXPECTED;
    if (!inPlaceActive_) {
        ComPtr<IOleInPlaceSite> site;
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
        ComPtr<IOleInPlaceFrame> frame;
        ComPtr<IOleInPlaceUIWindow> doc;
        if (FAILED(hr = site->GetWindowContext(frame.Put(), doc.Put(), &pos, &clip, &info)))
            return hr;
        site->OnInPlaceActivate();
        inPlaceSite_ = std::move(site);
        frame_ = std::move(frame);
        uiWindow_ = std::move(doc);
        inPlaceActive_ = true; // before the window: its creation may activate once more
        if (!CreateControlWindow(parent, pos)) {
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
            frame_->SetActiveObject(active, class_.userName);
        if (uiWindow_)
            uiWindow_->SetActiveObject(active, class_.userName);
        if (frame_)
            frame_->SetBorderSpace(nullptr);
    }
    if (Hwnd())
        ShowWindow(Hwnd(), SW_SHOW);
    return S_OK;
}

STDMETHODIMP ActiveXControl::UIDeactivate()
{
    return ComBarrier("IOleInPlaceObject::UIDeactivate", [&] {
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

STDMETHODIMP ActiveXControl::InPlaceDeactivate()
{
    ComPtr<IOleObject> hold; // a container may let go of the control while it answers
    hold.Assign(this);
    return ComBarrier("IOleInPlaceObject::InPlaceDeactivate", [&] {
        if (!inPlaceActive_)
            return S_OK;
        UIDeactivate();
        inPlaceActive_ = false;
        if (Hwnd())
            DestroyWindow(Hwnd());
        ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
        frame_.Release();
        uiWindow_.Release();
        if (site)
            site->OnInPlaceDeactivate();
        return S_OK;
    });
}

STDMETHODIMP ActiveXControl::GetWindow(HWND* wnd)
{
    if (!wnd)
        return E_POINTER;
    *wnd = Hwnd();
    return *wnd ? S_OK : E_FAIL;
}

STDMETHODIMP ActiveXControl::SetObjectRects(LPCRECT pos, LPCRECT)
{
    if (!pos)
        return E_POINTER;
    if (Hwnd())
        MoveWindow(Hwnd(), pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top, TRUE);
    return S_OK;
}

STDMETHODIMP ActiveXControl::TranslateAccelerator(LPMSG msg)
{
    return ComBarrier("IOleInPlaceActiveObject::TranslateAccelerator",
                      [&] { return msg && PreTranslate(*msg) ? S_OK : S_FALSE; });
}

HRESULT ActiveXControl::ShowProperties(HWND parent)
{
    if (!class_.propertyPage)
        return NotImplemented("IOleObject", "DoVerb (properties without a page)");
    IUnknown* self = static_cast<IOleObject*>(this);
    CLSID page = *class_.propertyPage;
    return OleCreatePropertyFrame(parent ? parent : Hwnd(), 0, 0, class_.userName, 1, &self, 1, &page,
                                  LOCALE_USER_DEFAULT, 0, nullptr);
}

// ---- IOleControl ----

STDMETHODIMP ActiveXControl::GetControlInfo(CONTROLINFO* info)
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

void ActiveXControl::DrawContent(HDC dc, const RECT& bounds)
{
    FillRect(dc, &bounds, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

STDMETHODIMP ActiveXControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                                  BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!dc || !bounds)
        return E_INVALIDARG;
    return ComBarrier("IViewObject::Draw", [&] {
        DrawContent(dc, RECT{bounds->left, bounds->top, bounds->right, bounds->bottom});
        return S_OK;
    });
}

STDMETHODIMP ActiveXControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** set)
{
    if (set)
        *set = nullptr;
    return S_FALSE; // no particular colours
}

STDMETHODIMP ActiveXControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink)
{
    viewAspects_ = aspects;
    viewAdviseFlags_ = flags;
    viewSink_.Assign(sink);
    return S_OK;
}

STDMETHODIMP ActiveXControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink)
{
    if (aspects)
        *aspects = viewAspects_;
    if (flags)
        *flags = viewAdviseFlags_;
    return sink ? viewSink_.CopyTo(sink) : S_OK;
}

STDMETHODIMP ActiveXControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, SIZEL* size)
{
    return GetExtent(aspect, size);
}

// ---- persistence ----

STDMETHODIMP ActiveXControl::GetClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = *class_.clsid;
    return S_OK;
}

STDMETHODIMP ActiveXControl::InitNew()
{
    return ComBarrier("IPersistStreamInit::InitNew", [&] {
        Defaults px;
        ExchangeProperties(px);
        return S_OK;
    });
}

STDMETHODIMP ActiveXControl::Load(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    return ComBarrier("IPersistStreamInit::Load", [&]() -> HRESULT {
        StreamReader px(stream);
        ExchangeProperties(px);
        if (!px.Ok())
            return E_FAIL;
        px.Apply();
        ExchangeProperties(px);
        return S_OK;
    });
}

STDMETHODIMP ActiveXControl::Save(IStream* stream, BOOL)
{
    if (!stream)
        return E_POINTER;
    return ComBarrier("IPersistStreamInit::Save", [&]() -> HRESULT {
        StreamWriter px(stream);
        ExchangeProperties(px);
        return px.Ok() ? S_OK : STG_E_CANTSAVE;
    });
}

STDMETHODIMP ActiveXControl::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    return ComBarrier("IPersistStreamInit::GetSizeMax", [&] {
        StreamMeasure px;
        ExchangeProperties(px);
        size->QuadPart = px.bytes;
        return S_OK;
    });
}

STDMETHODIMP ActiveXControl::Load(IPropertyBag* bag, IErrorLog* log)
{
    if (!bag)
        return E_POINTER;
    return ComBarrier("IPersistPropertyBag::Load", [&] {
        BagReader px(bag, log);
        ExchangeProperties(px);
        return S_OK;
    });
}

STDMETHODIMP ActiveXControl::Save(IPropertyBag* bag, BOOL, BOOL)
{
    if (!bag)
        return E_POINTER;
    return ComBarrier("IPersistPropertyBag::Save", [&] {
        BagWriter px(bag);
        ExchangeProperties(px);
        return px.hr;
    });
}

// ---- class information, events, property pages, safety ----

STDMETHODIMP ActiveXControl::GetClassInfo(ITypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    ComPtr<ITypeLib> lib;
    HRESULT hr = TypeLib(lib.Put());
    return FAILED(hr) ? hr : lib->GetTypeInfoOfGuid(*class_.clsid, info);
}

STDMETHODIMP ActiveXControl::GetGUID(DWORD kind, GUID* guid)
{
    if (!guid)
        return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = *class_.eventsIid;
    return S_OK;
}

STDMETHODIMP ActiveXControl::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    if (points)
        *points = nullptr;
    return NotImplemented("IConnectionPointContainer", "EnumConnectionPoints");
}

STDMETHODIMP ActiveXControl::FindConnectionPoint(REFIID riid, IConnectionPoint** point)
{
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (!IsEqualIID(riid, *class_.eventsIid))
        return CONNECT_E_NOCONNECTION;
    return ComBarrier("IConnectionPointContainer::FindConnectionPoint", [&] {
        *point = new EventPoint(this, riid);
        return S_OK;
    });
}

HRESULT ActiveXControl::AdviseEvents(IUnknown* sink, DWORD* cookie)
{
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    if (!sink)
        return E_POINTER;
    return ComBarrier("IConnectionPoint::Advise", [&] {
        ComPtr<IUnknown> held;
        held.Assign(sink);
        eventSinks_.emplace(nextCookie_, std::move(held));
        *cookie = nextCookie_++;
        return S_OK;
    });
}

HRESULT ActiveXControl::UnadviseEvents(DWORD cookie)
{
    auto it = eventSinks_.find(cookie);
    if (it == eventSinks_.end())
        return CONNECT_E_NOCONNECTION;
    ComPtr<IUnknown> sink = std::move(it->second); // released after the map no longer holds it
    eventSinks_.erase(it);
    return S_OK;
}

STDMETHODIMP ActiveXControl::GetPages(CAUUID* pages)
{
    if (!pages)
        return E_POINTER;
    pages->cElems = 0;
    pages->pElems = nullptr;
    if (!class_.propertyPage)
        return S_OK;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems)
        return E_OUTOFMEMORY;
    pages->pElems[0] = *class_.propertyPage;
    pages->cElems = 1;
    return S_OK;
}

STDMETHODIMP ActiveXControl::GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled)
{
    if (!supported || !enabled)
        return E_POINTER;
    ComPtr<IUnknown> itf;
    HRESULT hr = QueryInterface(riid, itf.PutVoid());
    *supported = *enabled = kSafe;
    return SUCCEEDED(hr) ? S_OK : E_NOINTERFACE;
}

STDMETHODIMP ActiveXControl::SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled)
{
    ComPtr<IUnknown> itf;
    if (FAILED(QueryInterface(riid, itf.PutVoid())))
        return E_NOINTERFACE;
    if ((mask & ~kSafe) != 0 || (mask & enabled & kSafe) != mask)
        return E_FAIL;
    return S_OK;
}

// ---- registration ----

void ActiveXControl::RegisterSafeCategories(REFCLSID clsid)
{
    static const wchar_t* const names[] = {L"Controls that are safely scriptable",
                                           L"Controls safely initializable from persistent data"};
    static const CATID* const categories[] = {&CATID_SafeForScripting, &CATID_SafeForInitializing};
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ComPtr<ICatRegister> cats;
        if (SUCCEEDED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatRegister,
                                       cats.PutVoid()))) {
            for (size_t i = 0; i < 2; ++i) {
                CATEGORYINFO info{};
                info.catid = *categories[i];
                info.lcid = 1033;
                wcsncpy(info.szDescription, names[i], 127);
                info.szDescription[127] = L'\0';
                if (SUCCEEDED(cats->RegisterCategories(1, &info))) {
                    CATID id = *categories[i];
                    cats->RegisterClassImplCategories(clsid, 1, &id);
                }
            }
        }
    }
    if (SUCCEEDED(init))
        CoUninitialize();
}

} // namespace win
