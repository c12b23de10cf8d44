#include "foundation/ComServer.h"
#include "foundation/Handles.h"
#include <olectl.h>
#include <string>

namespace win::com {

namespace {

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

// The generic class factory of one row; refuses aggregation.
class ClassFactory final : public ComObject<ClassFactory, IClassFactory> {
public:
    explicit ClassFactory(const ClassRow& row) : row_(row) {}
    static const QiEntry* QiTable()
    {
        static const QiEntry table[] = {PX_QI(ClassFactory, IClassFactory), {nullptr, 0}};
        return table;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return ComBarrier("IClassFactory::CreateInstance", [&] { return row_.create(riid, ppv); });
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        LockModule(lock != FALSE);
        return S_OK;
    }

private:
    const ClassRow& row_;
};

std::wstring Expand(const wchar_t* text, const std::wstring& clsid, const std::wstring& module)
{
    std::wstring s = text ? text : L"";
    for (auto [from, to] :
         {std::pair<const wchar_t*, const std::wstring*>{L"%CLSID%", &clsid}, {L"%MODULE%", &module}}) {
        const std::wstring f = from;
        for (size_t p = s.find(f); p != std::wstring::npos; p = s.find(f, p + to->size()))
            s.replace(p, f.size(), *to);
    }
    return s;
}

} // namespace

void ObjectCreated() { ++g_objects; }
void ObjectDestroyed() { --g_objects; }
void LockModule(bool lock) { lock ? ++g_locks : --g_locks; }
long ModuleCount() { return g_objects.load() + g_locks.load(); }
HRESULT CanUnloadNow() { return ModuleCount() == 0 ? S_OK : S_FALSE; }

HRESULT QiSearch(void* self, const QiEntry* table, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!table || !table[0].iid)
        return E_NOINTERFACE;
    const QiEntry* hit = IsEqualIID(riid, IID_IUnknown) ? &table[0] : nullptr;
    for (const QiEntry* e = table; !hit && e->iid; ++e)
        if (IsEqualIID(riid, *e->iid))
            hit = e;
    if (!hit)
        return E_NOINTERFACE;
    auto* itf = reinterpret_cast<IUnknown*>(static_cast<char*>(self) + hit->offset);
    itf->AddRef();
    *ppv = itf;
    return S_OK;
}

std::wstring GuidText(REFGUID id)
{
    wchar_t text[40];
    int n = StringFromGUID2(id, text, 40);
    return n > 0 ? std::wstring(text) : std::wstring();
}

HRESULT GetClassObject(const ClassRow* rows, size_t count, REFCLSID clsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    return ComBarrier("DllGetClassObject", [&] {
        for (size_t i = 0; i < count; ++i) {
            if (!IsEqualCLSID(clsid, *rows[i].clsid))
                continue;
            auto* factory = new (std::nothrow) ClassFactory(rows[i]);
            if (!factory)
                return E_OUTOFMEMORY;
            HRESULT hr = factory->QueryInterface(riid, ppv);
            factory->Release();
            return hr;
        }
        return CLASS_E_CLASSNOTAVAILABLE;
    });
}

HRESULT RegisterRows(const ClassRow* rows, size_t count)
{
    return ComBarrier("DllRegisterServer", [&] {
        const std::wstring module = ModulePath(ThisModule());
        if (module.empty())
            return SELFREG_E_CLASS;
        for (size_t i = 0; i < count; ++i) {
            const std::wstring clsid = GuidText(*rows[i].clsid);
            for (size_t k = 0; k < rows[i].entryCount; ++k) {
                const RegEntry& e = rows[i].entries[k];
                RegKey key;
                if (RegCreateKeyExW(HKEY_CLASSES_ROOT, Expand(e.key, clsid, module).c_str(), 0, nullptr, 0, KEY_WRITE,
                                    nullptr, key.Put(), nullptr) != ERROR_SUCCESS)
                    return SELFREG_E_CLASS;
                LONG rc = ERROR_SUCCESS;
                if (e.isNumber) {
                    rc = RegSetValueExW(key.Get(), e.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&e.number),
                                        sizeof e.number);
                } else if (e.text || e.name) {
                    const std::wstring v = Expand(e.text, clsid, module);
                    rc = RegSetValueExW(key.Get(), e.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                                        static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t)));
                }
                if (rc != ERROR_SUCCESS)
                    return SELFREG_E_CLASS;
            }
        }
        return S_OK;
    });
}

HRESULT UnregisterRows(const ClassRow* rows, size_t count)
{
    return ComBarrier("DllUnregisterServer", [&] {
        const std::wstring module = ModulePath(ThisModule());
        HRESULT hr = S_OK;
        for (size_t i = 0; i < count; ++i) {
            const std::wstring clsid = GuidText(*rows[i].clsid);
            for (size_t k = 0; k < rows[i].ownedCount; ++k) {
                LONG rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, Expand(rows[i].ownedKeys[k], clsid, module).c_str());
                if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND)
                    RegDeleteKeyW(HKEY_CLASSES_ROOT, Expand(rows[i].ownedKeys[k], clsid, module).c_str());
                else
                    hr = SELFREG_E_CLASS;
            }
        }
        return hr;
    });
}

} // namespace win::com
