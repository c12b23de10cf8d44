#include "PelluxPropPage.h"
#include "PelluxResource.h"
#include "foundation/Module.h"

const win::com::QiEntry* CPelluxPropPage::QiTable()
{
    static const win::com::QiEntry table[] = {PX_QI(CPelluxPropPage, IPropertyPage), {nullptr, 0}};
    return table;
}

STDMETHODIMP CPelluxPropPage::SetPageSite(IPropertyPageSite* site)
{
    site_.Assign(site);
    return S_OK;
}

STDMETHODIMP CPelluxPropPage::Activate(HWND parent, LPCRECT rect, BOOL)
{
    return win::ComBarrier("IPropertyPage::Activate", [&]() -> HRESULT {
        if (page_.Hwnd())
            return E_UNEXPECTED;
        if (!page_.CreateModeless(parent, IDD_PROPPAGE_PELLUX))
            return E_FAIL;
        if (rect)
            Move(rect);
        return S_OK;
    });
}

STDMETHODIMP CPelluxPropPage::Deactivate()
{
    if (HWND w = page_.Hwnd())
        DestroyWindow(w);
    return S_OK;
}

STDMETHODIMP CPelluxPropPage::GetPageInfo(PROPPAGEINFO* info)
{
    if (!info)
        return E_POINTER;
    wchar_t caption[64];
    int n = LoadStringW(win::ThisModule(), IDS_PELLUXPPG_CAPTION, caption, 64);
    const size_t bytes = (static_cast<size_t>(n > 0 ? n : 0) + 1) * sizeof(wchar_t);
    auto* title = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!title)
        return E_OUTOFMEMORY;
    memcpy(title, caption, bytes - sizeof(wchar_t));
    title[bytes / sizeof(wchar_t) - 1] = L'\0';
    info->cb = sizeof *info;
    info->pszTitle = title;
    // The template's size, 250 x 62 dialog units.
    RECT r{0, 0, 250, 62};
    info->size.cx = MulDiv(r.right, LOWORD(GetDialogBaseUnits()), 4);
    info->size.cy = MulDiv(r.bottom, HIWORD(GetDialogBaseUnits()), 8);
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
}

STDMETHODIMP CPelluxPropPage::SetObjects(ULONG count, IUnknown** objects)
{
    return count && !objects ? E_POINTER : S_OK; // the page shows nothing of the control
}

STDMETHODIMP CPelluxPropPage::Show(UINT cmdShow)
{
    if (page_.Hwnd())
        ShowWindow(page_.Hwnd(), static_cast<int>(cmdShow));
    return S_OK;
}

STDMETHODIMP CPelluxPropPage::Move(LPCRECT rect)
{
    if (!rect)
        return E_POINTER;
    if (page_.Hwnd())
        MoveWindow(page_.Hwnd(), rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
}
