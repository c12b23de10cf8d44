#pragma once
// The module this code is linked into (a DLL's own instance, not the host program's), the window
// classes it registered, and the barrier every exported function stands behind.
#include <windows.h>
#include <new>
#include <string>
#include "foundation/Trace.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace win {

// The instance of the module that holds the calling code.
inline HINSTANCE ThisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

// The full path of `module`'s file (the program's when null), however long; "" on failure.
std::wstring ModulePath(HMODULE module);
// Its folder, with the trailing backslash; "" on failure.
std::wstring ModuleFolder(HMODULE module);
// The full path of a file in this module's folder ("" when the folder is not known).
std::wstring ModuleFolderFile(const wchar_t* fileName);

// Registers a window class with this module's instance, once; later calls find it. The class is
// remembered for UnregisterModuleClasses. False when the class could not be registered.
bool RegisterModuleClass(WNDCLASSEXW wc);

// Unregisters every class this module registered. A DLL calls it when it unloads
// (DllMain, DLL_PROCESS_DETACH from FreeLibrary), so a later load registers them afresh with its
// new window procedures.
void UnregisterModuleClasses();

// Runs `body` and answers `failure` for whatever C++ throws out of it: exported functions, COM
// methods and callbacks stand behind it so that nothing unwinds into a caller that is not C++.
template <class R, class F> R Barrier(const char* where, R failure, F&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        Trace(L"===>>> %S: out of memory\n", where);
    } catch (...) {
        Trace(L"===>>> %S: exception\n", where);
    }
    return failure;
}

// The same for COM methods: E_OUTOFMEMORY for a failed allocation, E_UNEXPECTED otherwise.
template <class F> HRESULT ComBarrier(const char* where, F&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        Trace(L"===>>> %S: out of memory\n", where);
        return E_OUTOFMEMORY;
    } catch (...) {
        Trace(L"===>>> %S: exception\n", where);
        return E_UNEXPECTED;
    }
}

// For functions without a result.
template <class F> void VoidBarrier(const char* where, F&& body) noexcept
{
    Barrier(where, 0, [&] {
        body();
        return 0;
    });
}

} // namespace win
