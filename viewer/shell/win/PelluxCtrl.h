#pragma once
// CPelluxCtrl: the Pellux ActiveX control. Its dispatch interface _DPellux carries the DVR's
// address, port, user ID and password; its window hosts the viewer's main view DVRScreenView as the
// only child and hands it those four values. Everything the user sees belongs to the view; what
// every control answers its container with is the foundation's ActiveXControl.
#include <windows.h>
#include <exdisp.h>
#include <memory>
#include <string>
#include "LiveFigures.h"
#include "PelluxLive.h"
#include "Pellux_h.h"
#include "foundation/ActiveXControl.h"
#include "foundation/ComPtr.h"
#include "foundation/ComServer.h"
#include "foundation/Handles.h"
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

class CPelluxCtrl final : public win::ActiveXControl, public IPelluxLive {
public:
    CPelluxCtrl();

    // The control's registry update, for registering and unregistering alike: the two
    // component categories first (their failures ignored), then the class rows.
    struct CPelluxCtrlFactory {
        static HRESULT UpdateRegistry(bool doRegister);
    };

    // IUnknown: the base's interfaces and IPelluxLive.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ActiveXControl::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return ActiveXControl::Release(); }

    // IPelluxLive
    STDMETHODIMP SetWakeOnStop(BOOL on) override;
    STDMETHODIMP SetAudioQueueTrim(BOOL on) override;
    STDMETHODIMP SetScaleOutsideLock(BOOL on) override;
    STDMETHODIMP SetZoomAll(double factor) override;
    STDMETHODIMP WriteFigures(LPCWSTR path) override;

private:
    ~CPelluxCtrl() override = default;

    // The hosting window's hook: this control's own subclass of the browser's top-level window or
    // of its parent, so that any number of controls hook one window and each removes only its own.
    class HostHook final : public win::Subclass {
    public:
        explicit HostHook(CPelluxCtrl& owner) : owner_(owner) {}

    private:
        LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
        CPelluxCtrl& owner_;
    };

    // ActiveXControl
    bool CreateControlWindow(HWND parent, const RECT& pos) override;
    HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr) override;
    void ExchangeProperties(win::PropertyExchange& px) override;
    bool PreTranslate(MSG& msg) override;
    void OnFinalRelease() override;

    // The window.
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    bool OnCreate();
    void OnDestroy();
    LRESULT OnCloseHost(WPARAM wp, LPARAM lp);
    LRESULT OnMouseActivate(WPARAM wp, LPARAM lp);
    void OnPaint();
    void OnHostMoved();

    bool SetAddr();
    std::wstring* Member(DISPID id);

    HostHook hook_{*this};

    // The members of the control, in the viewer's order.
    view::DVRScreenView* view_ = nullptr; // not ours once its window exists: it deletes itself with it
    win::ComPtr<IWebBrowser2> browser_; // the hosting browser, when there is one
    HWND hostWnd_ = nullptr; // not ours: the browser's top-level window
    win::KernelHandle instanceEvent_; // "Global\PELLUX_WEB_VIEWER", for the control's lifetime
    std::wstring urlOrIp_, portNumber_, userId_, userPwd_;

    // Live-video figures for the view host program (IPelluxLive); they outlive the view.
    std::unique_ptr<CLiveFigures> figures_;
};
