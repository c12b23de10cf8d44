#pragma once
// The container side of an ActiveX control: a window of ours that holds one control and is its
// client site, in-place site and frame. The control is created by class identifier or ProgID (or
// handed in ready made), loaded from a property bag or initialised new, and activated in place in
// the host's client area. WM_CLOSE_HOST from the control ends in OnCloseHost. The manager's module
// dialogs, the view host program and the control's tests stand on it.
#include <ocidl.h>
#include <ole2.h>
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
    // The control's in-place window, null while it has none.
    HWND ControlWindow() const;
    // The control's dispatch interface (null when it has none).
    IDispatch* Dispatch() const { return dispatch_.Get(); }

    // For the message loop: keyboard messages go to the UI-active control first
    // (IOleInPlaceActiveObject::TranslateAccelerator). True when the control handled the message.
    bool PreTranslate(MSG* msg);

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

    ControlSite* site_ = nullptr; // ours: one reference; its back pointer is cleared when we go
    ComPtr<IOleObject> control_;
    ComPtr<IDispatch> dispatch_;
    ComPtr<IOleInPlaceActiveObject> active_; // given by the control through SetActiveObject
};

// Dispatch calls by member identifier, as a container drives a control.
namespace dispatch {
HRESULT PutText(IDispatch* object, DISPID id, const std::wstring& text);
HRESULT GetText(IDispatch* object, DISPID id, std::wstring& text);
// A method without arguments; `result` (may be null) receives its return value.
HRESULT Call(IDispatch* object, DISPID id, VARIANT* result = nullptr);
} // namespace dispatch

} // namespace win
