#pragma once
// The container side of an ActiveX control: a window of ours that holds one control and is its
// client site, in-place site and frame. The control is created by class identifier or ProgID (or
// handed in ready made), loaded from a property bag or initialised new, and activated in place in
// the host's client area. WM_CLOSE_HOST from the control ends in OnCloseHost. The site answers the
// ambient properties the host sets, and the host connects a sink of the caller's to the control's
// events. The manager's module dialogs, the view host program and the control's tests stand on it.
#include <ocidl.h>
#include <ole2.h>
#include <olectl.h>
#include <string>
#include "foundation/ComPtr.h"
#include "foundation/Window.h"

namespace win {

class ControlSite;

class ControlHost : public Window {
public:
    ControlHost();
    ~ControlHost() override;

    // The host window: a child of `parent` (or a top-level window when `parent` is null).
    bool Create(HWND parent, const RECT& rect, DWORD style, const wchar_t* title = L"");

    // Creates the control by class identifier or ProgID, loads it from `bag` when given (else
    // initialises it new) and activates it in place. The host holds one control at a time.
    HRESULT CreateControl(REFCLSID clsid, IPropertyBag* bag = nullptr);
    HRESULT CreateControl(const wchar_t* progId, IPropertyBag* bag = nullptr);
    // The same for an object already made (from a class factory the caller obtained).
    HRESULT HostControl(IUnknown* control, IPropertyBag* bag = nullptr);
    // Closes the control, takes the site from it and releases it.
    void DestroyControl();

    IUnknown* Control() const { return control_.Get(); }
    // The site the control is given (no reference added; it lives at least as long as the host).
    IOleClientSite* Site() const;
    // The control's in-place window, null while it has none.
    HWND ControlWindow() const;
    // The control's dispatch interface (null when it has none).
    IDispatch* Dispatch() const { return dispatch_.Get(); }

    // Keyboard messages go to the UI-active control first
    // (IOleInPlaceActiveObject::TranslateAccelerator). True when the control handled the message.
    // While it holds a control the host is in its thread's message chain (MessageLoop) by itself;
    // a loop of its own calls this.
    bool PreTranslate(MSG* msg);

    // ---- ambient properties, answered through the site's IDispatch ----
    // Each change is announced to a hosted control (IOleControl::OnAmbientPropertyChange); set them
    // before CreateControl for the control's first look.
    void SetAmbientUserMode(bool run); // DISPID_AMBIENT_USERMODE; true at first
    void SetAmbientDisplayName(const std::wstring& name); // DISPID_AMBIENT_DISPLAYNAME; "" at first
    void SetAmbientBackColor(OLE_COLOR color); // DISPID_AMBIENT_BACKCOLOR; the window colour
    void SetAmbientForeColor(OLE_COLOR color); // DISPID_AMBIENT_FORECOLOR; the window text colour
    void SetAmbientFont(IFontDisp* font); // DISPID_AMBIENT_FONT, shared; none at first
    // The value of ambient property `id`; DISP_E_MEMBERNOTFOUND for one the host does not answer.
    // A host that answers more overrides it.
    virtual HRESULT GetAmbient(DISPID id, VARIANT* value);

    // ---- events ----
    // Connects `sink` to the control's default source interface (found through IProvideClassInfo2,
    // else the coclass's type information): the control's events arrive as sink->Invoke calls. One
    // sink at a time; it is disconnected by UnadviseEvents and when the control goes.
    HRESULT AdviseEvents(IDispatch* sink);
    void UnadviseEvents();

    // What the site's IServiceProvider answers; none by default. A browser-like container answers
    // SID_SWebBrowserApp here.
    virtual HRESULT QueryService(REFGUID service, REFIID riid, void** ppv);

protected:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    // The control asked its container to close (WM_CLOSE_HOST): the default destroys the host window.
    virtual void OnCloseHost();

private:
    friend class ControlSite;
    void OnSize();
    void AmbientChanged(DISPID id);

    ControlSite* site_ = nullptr; // ours: one reference; its back pointer is cleared when we go
    ComPtr<IOleObject> control_;
    ComPtr<IDispatch> dispatch_;
    ComPtr<IOleInPlaceActiveObject> active_; // given by the control through SetActiveObject
    UINT_PTR filter_ = 0; // in the message chain while a control is hosted
    ComPtr<IConnectionPoint> events_; // the control's, while a sink is connected
    DWORD eventsCookie_ = 0;

    bool userMode_ = true;
    std::wstring displayName_;
    OLE_COLOR backColor_ = 0x80000000 | COLOR_WINDOW; // system colours, as OLE writes them
    OLE_COLOR foreColor_ = 0x80000000 | COLOR_WINDOWTEXT;
    ComPtr<IFontDisp> font_;
};

// Dispatch calls by member identifier, as a container drives a control.
namespace dispatch {
HRESULT PutText(IDispatch* object, DISPID id, const std::wstring& text);
// Any value (a number as VT_UI4, say), as a property put.
HRESULT PutValue(IDispatch* object, DISPID id, const VARIANT& value);
HRESULT GetText(IDispatch* object, DISPID id, std::wstring& text);
// A method without arguments; `result` (may be null) receives its return value.
HRESULT Call(IDispatch* object, DISPID id, VARIANT* result = nullptr);
} // namespace dispatch

} // namespace win
