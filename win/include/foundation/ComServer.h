#pragma once
// The in-process COM server skeleton. A DLL describes its classes in a table of rows (class
// identifier, creation function, registry entries); DllGetClassObject, DllCanUnloadNow,
// DllRegisterServer and DllUnregisterServer are one call each into this file. Objects derive from
// ComObject, which counts references atomically and in the module, and answers QueryInterface from
// the class's table of interface identifiers.
#include <objbase.h>
#include <atomic>
#include <cstddef>
#include <new>
#include "foundation/Module.h"

namespace win::com {

// ---- module counts ----
void ObjectCreated();
void ObjectDestroyed();
void LockModule(bool lock);
long ModuleCount(); // live objects plus server locks
HRESULT CanUnloadNow();

// ---- QueryInterface through a table ----
struct QiEntry {
    const IID* iid; // null ends the table
    ptrdiff_t offset; // of the interface within the object
};
// The first entry also answers IUnknown.
HRESULT QiSearch(void* self, const QiEntry* table, REFIID riid, void** ppv);

template <class Class, class Itf, class Via = Itf> ptrdiff_t QiOffset()
{
    alignas(Class) static char probe[sizeof(void*)];
    auto* c = reinterpret_cast<Class*>(probe);
    return reinterpret_cast<char*>(static_cast<Itf*>(static_cast<Via*>(c))) - reinterpret_cast<char*>(c);
}
#define PX_QI(Class, Itf) \
    { \
        &__uuidof(Itf), ::win::com::QiOffset<Class, Itf>() \
    }
// An interface reached through one of its derived interfaces (IDispatch through a dual one).
#define PX_QI_VIA(Class, Itf, Via) \
    { \
        &__uuidof(Itf), ::win::com::QiOffset<Class, Itf, Via>() \
    }

// Counts in the module for as long as it lives.
class ModuleCounted {
protected:
    ModuleCounted() { ObjectCreated(); }
    ~ModuleCounted() { ObjectDestroyed(); }
};

// Derived must provide `static const QiEntry* QiTable()`. Created with a reference count of 1.
template <class Derived, class... Itfs> class ComObject : public Itfs..., private ModuleCounted {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        return QiSearch(static_cast<Derived*>(this), Derived::QiTable(), riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs_); }
    STDMETHODIMP_(ULONG) Release() override
    {
        long r = --refs_;
        if (r == 0)
            delete static_cast<Derived*>(this);
        return static_cast<ULONG>(r);
    }
    long RefCount() const { return refs_.load(); }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

private:
    std::atomic<long> refs_{1};
};

// Makes a T and asks it for riid (the creation function of a class row).
template <class T> HRESULT CreateInstance(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    return ComBarrier("CreateInstance", [&] {
        T* object = new (std::nothrow) T();
        if (!object)
            return E_OUTOFMEMORY;
        HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    });
}

// ---- the class table ----
// A registry value under HKEY_CLASSES_ROOT. In keys and texts, "%CLSID%" stands for the row's class
// identifier in braces and "%MODULE%" for the full path of the DLL.
struct RegEntry {
    const wchar_t* key;
    const wchar_t* name; // null: the key's default value
    const wchar_t* text; // REG_SZ; null with no name: the key alone
    DWORD number = 0;
    bool isNumber = false; // REG_DWORD `number` instead of `text`
};

struct ClassRow {
    const CLSID* clsid;
    HRESULT (*create)(REFIID riid, void** ppv);
    const RegEntry* entries;
    size_t entryCount;
    const wchar_t* const* ownedKeys; // removed with all below them at unregistration
    size_t ownedCount;
};

HRESULT GetClassObject(const ClassRow* rows, size_t count, REFCLSID clsid, REFIID riid, void** ppv);
HRESULT RegisterRows(const ClassRow* rows, size_t count);
HRESULT UnregisterRows(const ClassRow* rows, size_t count);

// "{xxxxxxxx-...}" of an identifier.
std::wstring GuidText(REFGUID id);

} // namespace win::com
