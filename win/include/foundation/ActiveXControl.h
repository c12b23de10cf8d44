#pragma once
// The ActiveX control base: everything a windowed control of ours answers its container with, so
// that a control class holds only its window, its dispatch members and its persisted properties.
// In-place and UI activation (IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject, IOleControl,
// IViewObject2), persistence to a stream and a property bag (IPersistStreamInit,
// IPersistPropertyBag) through one exchange of the derived control's properties, IObjectSafety
// (safe for scripting and initialisation), one connection point for the event interface that
// keeps its sinks, the properties verb and ISpecifyPropertyPages, and IDispatch and
// IProvideClassInfo2 from the type library in the control's module.
//
// Lifecycle: SetClientSite(NULL) deactivates the control and releases the site; the last Release
// tears down in one fixed order while the derived control is still whole: in-place deactivation
// (its window goes, with the derived handlers running), the client site, the derived control's
// OnFinalRelease, the event sinks and the advise sinks, then the object.
#include <ocidl.h>
#include <objsafe.h>
#include <olectl.h>
#include <atomic>
#include <map>
#include <string>
#include "foundation/ComPtr.h"
#include "foundation/ComServer.h"
#include "foundation/Window.h"

namespace win {

// A container's call that a control does not implement: traced, so that a new container shows it.
HRESULT NotImplemented(const char* itf, const char* method);

// What a control class tells the base about itself; one static instance per class.
struct ControlClass {
    const CLSID* clsid;
    const IID* dispatchIid; // the dispatch interface in the type library
    const IID* eventsIid; // the default source interface
    const CLSID* propertyPage; // null: the control has no page
    const wchar_t* userName; // given to the frame and to the properties frame
    DWORD miscStatus; // OLEMISC_*
};

// The derived control's persisted properties pass through one of these in every direction:
// InitNew (defaults), the stream and the bag, loading and saving, and the stream's size.
class PropertyExchange {
public:
    // A text property under `name`: empty by default and when a bag lacks the name.
    virtual void Text(const wchar_t* name, std::wstring& value) = 0;

protected:
    ~PropertyExchange() = default;
};

class ActiveXControl : public IDispatch,
                       public IOleObject,
                       public IOleInPlaceObject,
                       public IOleInPlaceActiveObject,
                       public IOleControl,
                       public IViewObject2,
                       public IPersistStreamInit,
                       public IPersistPropertyBag,
                       public IProvideClassInfo2,
                       public IConnectionPointContainer,
                       public ISpecifyPropertyPages,
                       public IObjectSafety,
                       protected Window,
                       private com::ModuleCounted {
public:
    // IUnknown. A derived control with interfaces of its own answers them in its QueryInterface
    // and passes every other identifier here.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch: the dispatch interface's type information; Invoke calls InvokeMember.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return NotImplemented("IOleObject", "SetMoniker"); }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** mk) override;
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override
    {
        return NotImplemented("IOleObject", "InitFromData");
    }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent, LPCRECT rect) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return NotImplemented("IOleObject", "SetColorScheme"); }

    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    STDMETHODIMP GetWindow(HWND* wnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return NotImplemented("IOleWindow", "ContextSensitiveHelp"); }
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override { return NotImplemented("IOleInPlaceObject", "ReactivateAndUndo"); }
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG*) override { return NotImplemented("IOleControl", "OnMnemonic"); }
    STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
    STDMETHODIMP FreezeEvents(BOOL) override { return S_OK; }

    // IViewObject2
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDC, HDC dc,
                      LPCRECTL bounds, LPCRECTL wbounds, BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR),
                      ULONG_PTR contArg) override;
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** set) override;
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return NotImplemented("IViewObject", "Freeze"); }
    STDMETHODIMP Unfreeze(DWORD) override { return NotImplemented("IViewObject", "Unfreeze"); }
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, SIZEL* size) override;

    // IPersist, IPersistStreamInit, IPersistPropertyBag: all through ExchangeProperties.
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override { return S_OK; }
    STDMETHODIMP Load(IStream* stream) override;
    STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

    // IConnectionPointContainer: one point, for the event interface.
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    // IObjectSafety: safe for untrusted callers and data on every interface the control has.
    STDMETHODIMP GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) override;
    STDMETHODIMP SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) override;

    // The event point's Advise and Unadvise: the sinks are kept here, so every point found for
    // the interface sees the same connections.
    HRESULT AdviseEvents(IUnknown* sink, DWORD* cookie);
    HRESULT UnadviseEvents(DWORD cookie);

    // Marks the class safe for scripting and for initialisation in the component categories
    // (failures ignored: the categories are a courtesy to browsers).
    static void RegisterSafeCategories(REFCLSID clsid);

protected:
    // Created with one reference.
    explicit ActiveXControl(const ControlClass& cls);
    ~ActiveXControl() override;

    // ---- what a derived control supplies ----
    // Its window: a child of `parent` at `pos` (CreateChildWindow does the usual). Called while
    // activating in place, with the control already in-place active.
    virtual bool CreateControlWindow(HWND parent, const RECT& pos) = 0;
    // A member of the dispatch interface; IID, barrier and parameter presence are checked.
    virtual HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr) = 0;
    // Its persisted properties, in stream order.
    virtual void ExchangeProperties(PropertyExchange& px) = 0;
    // The type library (by default the first one in the control's module).
    virtual HRESULT LoadTypeLibrary(ITypeLib** lib);
    // Keyboard messages while UI-active; true when the control took the message.
    virtual bool PreTranslate(MSG&) { return false; }
    // The picture for a container that draws the control itself (by default white).
    virtual void DrawContent(HDC dc, const RECT& bounds);
    // At the last Release, after deactivation and the site, before the sinks go.
    virtual void OnFinalRelease() {}

    // ---- for the derived control ----
    bool CreateChildWindow(const wchar_t* className, HWND parent, const RECT& pos, UINT classStyle = CS_DBLCLKS);
    HRESULT InPlaceActivate(bool uiActivate);
    IOleClientSite* ClientSite() const { return clientSite_.Get(); }
    // The natural size in pixels of the control's window's screen (or of the screen).
    void SetExtentPixels(int width, int height);
    // A text member of the dispatch interface: put (DISPATCH_PROPERTYPUT, any type converted to
    // text) and get.
    static HRESULT TextProperty(std::wstring& member, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr);

private:
    HRESULT ShowProperties(HWND parent);
    HRESULT TypeLib(ITypeLib** lib);
    void ReleaseClientSite();
    void Teardown();

    const ControlClass& class_;
    std::atomic<long> refs_{1};
    ComPtr<IOleClientSite> clientSite_;
    ComPtr<IOleInPlaceSite> inPlaceSite_;
    ComPtr<IOleInPlaceFrame> frame_;
    ComPtr<IOleInPlaceUIWindow> uiWindow_;
    ComPtr<IOleAdviseHolder> adviseHolder_;
    ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0, viewAdviseFlags_ = 0;
    ComPtr<ITypeLib> typeLib_;
    std::map<DWORD, ComPtr<IUnknown>> eventSinks_;
    DWORD nextCookie_ = 1;
    SIZEL extent_{}; // HIMETRIC
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
};

} // namespace win
