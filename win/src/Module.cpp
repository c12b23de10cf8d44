#include "foundation/Module.h"
#include <mutex>
#include <vector>

namespace win {

namespace {

// The classes of this module (every module links its own copy of this library).
struct ClassList {
    std::mutex lock;
    std::vector<std::wstring> names;
};

ClassList& Classes()
{
    static ClassList* list = new ClassList; // never destroyed: used from DllMain at unload
    return *list;
}

} // namespace

std::wstring ModuleFolderFile(const wchar_t* fileName)
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(ThisModule(), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return {};
    std::wstring p(path, n);
    size_t slash = p.find_last_of(L"\\/");
    p.resize(slash == std::wstring::npos ? 0 : slash + 1);
    return p + fileName;
}

bool RegisterModuleClass(WNDCLASSEXW wc)
{
    wc.cbSize = sizeof wc;
    wc.hInstance = ThisModule();
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(wc.hInstance, wc.lpszClassName, &existing))
        return true;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        Trace(L"===>>> Fail RegisterClass  0x%08X \r\n", GetLastError());
        return false;
    }
    auto& c = Classes();
    std::lock_guard<std::mutex> hold(c.lock);
    c.names.emplace_back(wc.lpszClassName);
    return true;
}

void UnregisterModuleClasses()
{
    auto& c = Classes();
    std::lock_guard<std::mutex> hold(c.lock);
    for (const auto& name : c.names)
        UnregisterClassW(name.c_str(), ThisModule());
    c.names.clear();
}

} // namespace win
