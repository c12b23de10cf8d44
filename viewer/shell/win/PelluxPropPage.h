#pragma once
// CPelluxPropPage: the control's property page, "General", an empty page.
#include <ocidl.h>
#include <olectl.h>
#include "foundation/ComServer.h"
#include "foundation/ComPtr.h"
#include "foundation/Dialog.h"

class CPelluxPropPage final : public win::com::ComObject<CPelluxPropPage, IPropertyPage> {
public:
    static const win::com::QiEntry* QiTable();

    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
    STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    STDMETHODIMP Deactivate() override;
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
    STDMETHODIMP Show(UINT cmdShow) override;
    STDMETHODIMP Move(LPCRECT rect) override;
    STDMETHODIMP IsPageDirty() override { return S_FALSE; }
    STDMETHODIMP Apply() override { return S_OK; }
    STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }

private:
    class Page final : public win::Dialog {};
    Page page_;
    win::ComPtr<IPropertyPageSite> site_;
};
