// Orvmods.dll: the module of the four module controls. Its entry points register the type library
// and the four classes (marked safe for scripting and initialisation) and hand out their factories.
#include <windows.h>
#include <olectl.h>
#include <iterator>
#include "BackupCtrl.h"
#include "PlayerCtrl.h"
#include "RemoteSetupCtrl.h"
#include "SearchCtrl.h"
#include "foundation/ComPtr.h"
#include "foundation/Module.h"

namespace {

// Each class: its name, its ProgID, and the keys it owns (removed with everything below them).
#define PX_MODULE_ENTRIES(prefix, title, progId) \
    const win::com::RegEntry prefix##Entries[] = { \
        {L"CLSID\\%CLSID%", nullptr, title}, \
        {L"CLSID\\%CLSID%\\InprocServer32", nullptr, L"%MODULE%"}, \
        {L"CLSID\\%CLSID%\\InprocServer32", L"ThreadingModel", L"Apartment"}, \
        {L"CLSID\\%CLSID%\\ProgID", nullptr, progId}, \
        {L"CLSID\\%CLSID%\\Control", nullptr, nullptr}, \
        {L"CLSID\\%CLSID%\\MiscStatus", nullptr, L"0"}, \
        {L"CLSID\\%CLSID%\\MiscStatus\\1", nullptr, L"131473"}, \
        {L"CLSID\\%CLSID%\\TypeLib", nullptr, L"{DCAE59B2-DB00-4DC7-92BD-DF2FA6B51440}"}, \
        {L"CLSID\\%CLSID%\\Version", nullptr, L"1.0"}, \
        {progId, nullptr, title}, \
        {progId L"\\CLSID", nullptr, L"%CLSID%"}, \
    }; \
    const wchar_t* const prefix##Owned[] = {L"CLSID\\%CLSID%", progId};

PX_MODULE_ENTRIES(kRemoteSetup, L"Remote Setup Control", L"ORVMODS.RemoteSetupCtrl.1")
PX_MODULE_ENTRIES(kBackup, L"Backup Control", L"ORVMODS.BackupCtrl.1")
PX_MODULE_ENTRIES(kPlayer, L"Player Control", L"ORVMODS.PlayerCtrl.1")
PX_MODULE_ENTRIES(kSearch, L"Search Control", L"ORVMODS.SearchCtrl.1")
#undef PX_MODULE_ENTRIES

HRESULT RegisterServer(bool doRegister)
{
    const std::wstring path = win::ModulePath(win::ThisModule());
    if (path.empty())
        return SELFREG_E_TYPELIB;
    if (doRegister) {
        win::ComPtr<ITypeLib> lib;
        if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, lib.Put())))
            return SELFREG_E_TYPELIB;
        for (const auto& row : kOrvmodsRows)
            win::ActiveXControl::RegisterSafeCategories(*row.clsid);
        return FAILED(win::com::RegisterRows(kOrvmodsRows, std::size(kOrvmodsRows))) ? SELFREG_E_CLASS : S_OK;
    }
    // Everything goes that can, even when part of it was never there.
    const HRESULT classes = win::com::UnregisterRows(kOrvmodsRows, std::size(kOrvmodsRows));
    const HRESULT lib = UnRegisterTypeLib(LIBID_OrvmodsLib, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
    return FAILED(classes) ? SELFREG_E_CLASS : FAILED(lib) ? SELFREG_E_TYPELIB : S_OK;
}

} // namespace

const win::com::ClassRow kOrvmodsRows[4] = {
    {&CLSID_RemoteSetup, win::com::CreateInstance<CRemoteSetupCtrl>, kRemoteSetupEntries,
     std::size(kRemoteSetupEntries), kRemoteSetupOwned, std::size(kRemoteSetupOwned)},
    {&CLSID_Backup, win::com::CreateInstance<CBackupCtrl>, kBackupEntries, std::size(kBackupEntries), kBackupOwned,
     std::size(kBackupOwned)},
    {&CLSID_Player, win::com::CreateInstance<CPlayerCtrl>, kPlayerEntries, std::size(kPlayerEntries), kPlayerOwned,
     std::size(kPlayerOwned)},
    {&CLSID_Search, win::com::CreateInstance<CSearchCtrl>, kSearchEntries, std::size(kSearchEntries), kSearchOwned,
     std::size(kSearchOwned)},
};

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    // Unloaded (not the process ending): a later load registers the window class afresh.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr)
        win::VoidBarrier("DllMain", [] { win::UnregisterModuleClasses(); });
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    return win::com::GetClassObject(kOrvmodsRows, std::size(kOrvmodsRows), clsid, riid, ppv);
}

// An export worker whose control went runs code of this module until it ends.
STDAPI DllCanUnloadNow()
{
    return win::ComBarrier("DllCanUnloadNow", [] { return ClosingExports() ? S_FALSE : win::com::CanUnloadNow(); });
}

STDAPI DllRegisterServer()
{
    return win::ComBarrier("DllRegisterServer", [] { return RegisterServer(true); });
}

STDAPI DllUnregisterServer()
{
    return win::ComBarrier("DllUnregisterServer", [] { return RegisterServer(false); });
}
