// A minimal in-process COM server: class factory, self-registration, one object.
#include "benchcom.h"
#include <objbase.h>
#include <ocidl.h>
#include <atomic>
#include <string>

namespace {

HMODULE g_module;
std::atomic<long> g_locks{0};

class Object : public IPersist {
    std::atomic<long> refs_{1};

public:
    Object() { ++g_locks; }
    virtual ~Object() { --g_locks; }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IPersist)
            *ppv = static_cast<IPersist*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        long r = --refs_;
        if (r == 0)
            delete this;
        return r;
    }
    STDMETHODIMP GetClassID(CLSID* id) override
    {
        if (!id)
            return E_POINTER;
        *id = CLSID_BenchObject;
        return S_OK;
    }
};

class Factory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory)
            return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* o = new (std::nothrow) Object;
        if (!o)
            return E_OUTOFMEMORY;
        HRESULT hr = o->QueryInterface(riid, ppv);
        o->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        lock ? ++g_locks : --g_locks;
        return S_OK;
    }
} g_factory;

std::wstring ClsidKey()
{
    wchar_t guid[64];
    StringFromGUID2(CLSID_BenchObject, guid, 64);
    return std::wstring(L"CLSID\\") + guid;
}

LONG SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value)
{
    HKEY k;
    LONG r = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr);
    if (r != ERROR_SUCCESS)
        return r;
    r = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    return r;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_module = inst;
    return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (clsid != CLSID_BenchObject)
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return g_locks == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT __stdcall DllRegisterServer()
{
    wchar_t path[MAX_PATH];
    if (!GetModuleFileNameW(g_module, path, MAX_PATH))
        return HRESULT_FROM_WIN32(GetLastError());
    std::wstring key = ClsidKey();
    wchar_t guid[64];
    StringFromGUID2(CLSID_BenchObject, guid, 64);
    if (SetValue(key, nullptr, L"Winebench object") || SetValue(key + L"\\InprocServer32", nullptr, path) ||
        SetValue(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment") ||
        SetValue(key + L"\\ProgID", nullptr, BENCH_PROGID) ||
        SetValue(std::wstring(BENCH_PROGID) + L"\\CLSID", nullptr, guid))
        return E_FAIL;
    return S_OK;
}

extern "C" HRESULT __stdcall DllUnregisterServer()
{
    RegDeleteTreeW(HKEY_CLASSES_ROOT, ClsidKey().c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, BENCH_PROGID);
    return S_OK;
}
