// Written against the C face of IWebBrowser2, so that only the methods the control calls exist.
#define COBJMACROS
#define CINTERFACE
#include "FakeBrowser.h"

typedef struct {
    IWebBrowser2 iface;
    LONG refs;
    HWND wnd;
} FakeBrowser;

static FakeBrowser* impl(IWebBrowser2* b) { return (FakeBrowser*)b; }

static ULONG STDMETHODCALLTYPE fb_AddRef(IWebBrowser2* This) { return (ULONG)InterlockedIncrement(&impl(This)->refs); }

static ULONG STDMETHODCALLTYPE fb_Release(IWebBrowser2* This)
{
    LONG r = InterlockedDecrement(&impl(This)->refs);
    if (r == 0)
        HeapFree(GetProcessHeap(), 0, impl(This));
    return (ULONG)r;
}

static HRESULT STDMETHODCALLTYPE fb_QueryInterface(IWebBrowser2* This, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_IDispatch) || IsEqualIID(riid, &IID_IWebBrowser) ||
        IsEqualIID(riid, &IID_IWebBrowserApp) || IsEqualIID(riid, &IID_IWebBrowser2)) {
        fb_AddRef(This);
        *ppv = This;
        return S_OK;
    }
    *ppv = NULL;
    return E_NOINTERFACE;
}

static HRESULT STDMETHODCALLTYPE fb_get_HWND(IWebBrowser2* This, SHANDLE_PTR* wnd)
{
    if (!wnd)
        return E_POINTER;
    *wnd = (SHANDLE_PTR)impl(This)->wnd;
    return S_OK;
}

static IWebBrowser2Vtbl fb_vtbl = {
    .QueryInterface = fb_QueryInterface,
    .AddRef = fb_AddRef,
    .Release = fb_Release,
    .get_HWND = fb_get_HWND,
};

IWebBrowser2* FakeBrowserCreate(HWND topLevel)
{
    FakeBrowser* b = (FakeBrowser*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof *b);
    if (!b)
        return NULL;
    b->iface.lpVtbl = &fb_vtbl;
    b->refs = 1;
    b->wnd = topLevel;
    return &b->iface;
}
