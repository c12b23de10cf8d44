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

std::wstring ModulePath(HMODULE module)
{
    // A cut path fills the whole buffer: grow it until the path and its terminator fit (the
    // platform's paths end at 32767 characters).
    std::wstring path(MAX_PATH, L'\0');
    while (path.size() <= 32768) {
        DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
    return {};
}

std::wstring ModuleFolder(HMODULE module)
{
    std::wstring p = ModulePath(module);
    size_t slash = p.find_last_of(L"\\/");
    p.resize(slash == std::wstring::npos ? 0 : slash + 1);
    return p;
}

std::wstring ModuleFolderFile(const wchar_t* fileName)
{
    std::wstring folder = ModuleFolder(ThisModule());
    return folder.empty() ? folder : folder + fileName;
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
