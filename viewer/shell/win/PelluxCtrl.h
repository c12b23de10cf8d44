#pragma once
// CPelluxCtrl: the Pellux ActiveX control. Its dispatch interface _DPellux carries the DVR's
// address, port, user ID and password; its window hosts the viewer's main view DVRScreenView as the
// only child and hands it those four values. Everything the user sees belongs to the view.
#include <windows.h>
#include <exdisp.h>
#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>
#include <map>
#include <memory>
#include <string>
#include "LiveFigures.h"
#include "PelluxLive.h"
#include "Pellux_h.h"
#include "foundation/ComPtr.h"
#include "foundation/ComServer.h"
#include "foundation/Handles.h"
#include "foundation/Trace.h"
#include "foundation/Window.h"

namespace view {
class DVRScreenView;
}

// {BC322BD5-6359-47D4-9926-363FE6A11024}
extern const CLSID CLSID_PelluxPropPage;
// The module's class table: the control, then its property page (PelluxApp.cpp).
extern const win::com::ClassRow kPelluxRows[2];

inline constexpr DWORD kPelluxMiscStatus = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST |
                                           OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
static_assert(kPelluxMiscStatus == 0x20191);

// A container's call the control does not implement: traced, so that a new container shows it.
inline HRESULT NotImplemented(const char* itf, const char* method)
{
    win::TraceFixme(itf, method);
    return E_NOTIMPL;
}

class CPelluxCtrl final
    : public win::com::ComObject<CPelluxCtrl, _DPellux, IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject,
                                 IOleControl, IViewObject2, IPersistStreamInit, IPersistPropertyBag,
                                 IProvideClassInfo2, IConnectionPointContainer, ISpecifyPropertyPages, IPelluxLive>,
      private win::Window {
    using Base = win::com::ComObject<CPelluxCtrl, _DPellux, IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject,
                                     IOleControl, IViewObject2, IPersistStreamInit, IPersistPropertyBag,
                                     IProvideClassInfo2, IConnectionPointContainer, ISpecifyPropertyPages,
                                     IPelluxLive>;

public:
    CPelluxCtrl();
    static const win::com::QiEntry* QiTable();

    // The control's registry update, for registering and unregistering alike: the two
    // component categories first (their failures ignored), then the class rows.
    struct CPelluxCtrlFactory {
        static HRESULT UpdateRegistry(bool doRegister);
    };

    // IUnknown: the table's interfaces and XObjSafe.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;

    // IDispatch (_DPellux)
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

    // IPersist, IPersistStreamInit, IPersistPropertyBag
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

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    // IPelluxLive
    STDMETHODIMP SetWakeOnStop(BOOL on) override;
    STDMETHODIMP SetAudioQueueTrim(BOOL on) override;
    STDMETHODIMP SetScaleOutsideLock(BOOL on) override;
    STDMETHODIMP WriteFigures(LPCWSTR path) override;

    // The event interface's sinks (_DPelluxEvents has no events; the point only keeps them).
    HRESULT AdviseEvents(IUnknown* sink, DWORD* cookie);
    HRESULT UnadviseEvents(DWORD cookie);

private:
    friend Base; // deletes the control at its last Release
    ~CPelluxCtrl() override;

    // IObjectSafety, as a part of the control: every call on its IUnknown is the control's.
    class XObjSafe final : public IObjectSafety {
    public:
        explicit XObjSafe(CPelluxCtrl& outer) : outer_(outer) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return outer_.QueryInterface(riid, ppv); }
        STDMETHODIMP_(ULONG) AddRef() override { return outer_.AddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return outer_.Release(); }
        STDMETHODIMP GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) override;
        STDMETHODIMP SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) override;

    private:
        CPelluxCtrl& outer_;
    };

    // The hosting window's hook: this control's own subclass of the browser's top-level window or
    // of its parent, so that any number of controls hook one window and each removes only its own.
    class HostHook final : public win::Subclass {
    public:
        explicit HostHook(CPelluxCtrl& owner) : owner_(owner) {}

    private:
        LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
        CPelluxCtrl& owner_;
    };

    // The window.
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    bool OnCreate();
    void OnDestroy();
    LRESULT OnCloseHost(WPARAM wp, LPARAM lp);
    LRESULT OnMouseActivate(WPARAM wp, LPARAM lp);
    void OnPaint();
    void OnHostMoved();

    HRESULT InPlaceActivate(bool uiActivate);
    HRESULT ShowProperties(HWND parent);
    bool SetAddr();
    std::wstring* Member(DISPID id);
    HRESULT TypeLib(ITypeLib** lib);

    XObjSafe objSafe_{*this};
    HostHook hook_{*this};

    // The members of the control, in the viewer's order.
    view::DVRScreenView* view_ = nullptr;   // not ours once its window exists: it deletes itself with it
    win::ComPtr<IWebBrowser2> browser_;     // the hosting browser, when there is one
    HWND hostWnd_ = nullptr;                // not ours: the browser's top-level window
    win::KernelHandle instanceEvent_;       // "Global\PELLUX_WEB_VIEWER", for the control's lifetime
    std::wstring urlOrIp_, portNumber_, userId_, userPwd_;

    // The OLE side.
    win::ComPtr<IOleClientSite> clientSite_;
    win::ComPtr<IOleInPlaceSite> inPlaceSite_;
    win::ComPtr<IOleInPlaceFrame> frame_;
    win::ComPtr<IOleInPlaceUIWindow> uiWindow_;
    win::ComPtr<IOleAdviseHolder> adviseHolder_;
    win::ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0, viewAdviseFlags_ = 0;
    win::ComPtr<ITypeLib> typeLib_;
    std::map<DWORD, win::ComPtr<IUnknown>> eventSinks_;
    DWORD nextCookie_ = 1;
    SIZEL extent_{};       // HIMETRIC
    bool inPlaceActive_ = false;
    bool uiActive_ = false;

    // Live-video figures for the view host program (IPelluxLive); they outlive the view.
    std::unique_ptr<CLiveFigures> figures_;
};
