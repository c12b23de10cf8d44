// A COM server of one class on the skeleton: an object with IPersist and IOleWindow.
#include "TestIds.h"
#include "foundation/ComServer.h"
#include <ole2.h>

namespace {

class TestObject final : public win::com::ComObject<TestObject, IPersist, IOleWindow> {
public:
    static const win::com::QiEntry* QiTable()
    {
        static const win::com::QiEntry table[] = {
            PX_QI(TestObject, IPersist), PX_QI(TestObject, IOleWindow), {nullptr, 0}};
        return table;
    }
    STDMETHODIMP GetClassID(CLSID* id) override
    {
        if (!id)
            return E_POINTER;
        *id = kClsidTestObject;
        return S_OK;
    }
    STDMETHODIMP GetWindow(HWND* wnd) override
    {
        return win::ComBarrier("IOleWindow::GetWindow", [&]() -> HRESULT {
            if (!wnd)
                throw std::bad_alloc(); // stands for any failure deep inside a method
            *wnd = nullptr;
            return E_FAIL;
        });
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override
    {
        win::TraceFixme("IOleWindow", "ContextSensitiveHelp");
        return E_NOTIMPL;
    }
};

const win::com::RegEntry kEntries[] = {
    {L"CLSID\\%CLSID%", nullptr, L"Foundation test object"},
    {L"CLSID\\%CLSID%\\InprocServer32", nullptr, L"%MODULE%"},
    {L"CLSID\\%CLSID%\\InprocServer32", L"ThreadingModel", L"Apartment"},
    {L"CLSID\\%CLSID%\\ProgID", nullptr, TEST_PROGID},
    {L"CLSID\\%CLSID%\\MiscStatus", nullptr, L"0"},
    {L"CLSID\\%CLSID%\\MiscStatus\\1", nullptr, L"131473"},
    {TEST_PROGID, nullptr, L"Foundation test object"},
    {TEST_PROGID L"\\CLSID", nullptr, L"%CLSID%"},
    {L"CLSID\\%CLSID%\\Version", L"Count", nullptr, 3, true},
};
const wchar_t* const kOwned[] = {L"CLSID\\%CLSID%", TEST_PROGID};
const win::com::ClassRow kRows[] = {
    {&kClsidTestObject, win::com::CreateInstance<TestObject>, kEntries, std::size(kEntries), kOwned, std::size(kOwned)},
};

} // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    return win::com::GetClassObject(kRows, std::size(kRows), clsid, riid, ppv);
}
STDAPI DllCanUnloadNow() { return win::com::CanUnloadNow(); }
STDAPI DllRegisterServer() { return win::com::RegisterRows(kRows, std::size(kRows)); }
STDAPI DllUnregisterServer() { return win::com::UnregisterRows(kRows, std::size(kRows)); }
