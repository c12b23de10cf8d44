// CPelluxApp: the module of the Pellux control. Its entry points register the type library and the
// two classes (the control and its property page) and hand out their class factories.
#include <windows.h>
#include <olectl.h>
#include "PelluxCtrl.h"
#include "PelluxPropPage.h"
#include "Recorder.h"
#include "foundation/ComServer.h"
#include "foundation/Module.h"
#include "foundation/Trace.h"

namespace {

#define PELLUX_PROGID L"PELLUX.PelluxCtrl.1"
#define PELLUXPPG_PROGID L"PELLUX.PelluxPropPage.1"
#define PELLUX_LIBID L"{A222643E-744A-46F8-85FE-02883EC5C2E3}"

const win::com::RegEntry kCtrlEntries[] = {
    {L"CLSID\\%CLSID%", nullptr, L"Pellux Control"},
    {L"CLSID\\%CLSID%\\InprocServer32", nullptr, L"%MODULE%"},
    {L"CLSID\\%CLSID%\\InprocServer32", L"ThreadingModel", L"Apartment"},
    {L"CLSID\\%CLSID%\\ProgID", nullptr, PELLUX_PROGID},
    {L"CLSID\\%CLSID%\\Control", nullptr, nullptr},
    {L"CLSID\\%CLSID%\\MiscStatus", nullptr, L"0"},
    {L"CLSID\\%CLSID%\\MiscStatus\\1", nullptr, L"131473"}, // 0x20191
    {L"CLSID\\%CLSID%\\TypeLib", nullptr, PELLUX_LIBID},
    {L"CLSID\\%CLSID%\\Version", nullptr, L"1.0"},
    {L"CLSID\\%CLSID%\\ToolboxBitmap32", nullptr, L"%MODULE%, 1"},
    {PELLUX_PROGID, nullptr, L"Pellux Control"},
    {PELLUX_PROGID L"\\CLSID", nullptr, L"%CLSID%"},
};
const wchar_t* const kCtrlOwned[] = {L"CLSID\\%CLSID%", PELLUX_PROGID};

const win::com::RegEntry kPageEntries[] = {
    {L"CLSID\\%CLSID%", nullptr, L"Pellux Property Page"},
    {L"CLSID\\%CLSID%\\InprocServer32", nullptr, L"%MODULE%"},
    {L"CLSID\\%CLSID%\\InprocServer32", L"ThreadingModel", L"Apartment"},
    {L"CLSID\\%CLSID%\\ProgID", nullptr, PELLUXPPG_PROGID},
    {PELLUXPPG_PROGID, nullptr, L"Pellux Property Page"},
    {PELLUXPPG_PROGID L"\\CLSID", nullptr, L"%CLSID%"},
};
const wchar_t* const kPageOwned[] = {L"CLSID\\%CLSID%", PELLUXPPG_PROGID};

class CPelluxApp {
public:
    static void ExitInstance(bool unloading)
    {
        win::Trace(L"<<< CPelluxApp::ExitInstance() \r\n");
        if (!unloading)
            return; // the process is ending: nothing is left to tidy
        // The control's, the view's and the display's classes: a later load registers them afresh
        // with its new window procedures.
        win::UnregisterModuleClasses();
    }

    static HRESULT RegisterServer(bool doRegister)
    {
        const std::wstring path = win::ModulePath(win::ThisModule());
        if (path.empty())
            return SELFREG_E_TYPELIB;
        if (doRegister) {
            win::ComPtr<ITypeLib> lib;
            if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, lib.Put())))
                return SELFREG_E_TYPELIB;
        } else if (FAILED(UnRegisterTypeLib(LIBID_PELLUXLib, 1, 0, LOCALE_NEUTRAL, SYS_WIN64))) {
            return SELFREG_E_TYPELIB;
        }
        if (FAILED(CPelluxCtrl::CPelluxCtrlFactory::UpdateRegistry(doRegister)))
            return SELFREG_E_CLASS;
        const win::com::ClassRow* page = &kPelluxRows[1];
        HRESULT hr = doRegister ? win::com::RegisterRows(page, 1) : win::com::UnregisterRows(page, 1);
        return FAILED(hr) ? SELFREG_E_CLASS : S_OK;
    }
};

} // namespace

// The control first: its factory's registry update uses its row.
const win::com::ClassRow kPelluxRows[2] = {
    {&CLSID_Pellux, win::com::CreateInstance<CPelluxCtrl>, kCtrlEntries, std::size(kCtrlEntries), kCtrlOwned,
     std::size(kCtrlOwned)},
    {&CLSID_PelluxPropPage, win::com::CreateInstance<CPelluxPropPage>, kPageEntries, std::size(kPageEntries),
     kPageOwned, std::size(kPageOwned)},
};

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_DETACH)
        win::VoidBarrier("DllMain", [&] { CPelluxApp::ExitInstance(reserved == nullptr); });
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    return win::com::GetClassObject(kPelluxRows, std::size(kPelluxRows), clsid, riid, ppv);
}

// A recording's writer may still be closing its store after its view went: its code is ours.
STDAPI DllCanUnloadNow() { return record::ClosingWriters() ? S_FALSE : win::com::CanUnloadNow(); }

STDAPI DllRegisterServer()
{
    return win::ComBarrier("DllRegisterServer", [] { return CPelluxApp::RegisterServer(true); });
}

STDAPI DllUnregisterServer()
{
    return win::ComBarrier("DllUnregisterServer", [] { return CPelluxApp::RegisterServer(false); });
}
