#include "XvidLibrary.h"

namespace video {

XvidLibrary::~XvidLibrary()
{
    api_ = XvidApi{};
    if (module_)
        FreeLibrary(module_);
}

std::wstring XvidLibrary::ModuleFolder()
{
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&XvidLibrary::ModuleFolder), &self))
        return std::wstring();
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::wstring();
    std::wstring dir(path, n);
    const size_t slash = dir.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash + 1);
}

XvidStatus XvidLibrary::Load(const std::wstring& folder)
{
    if (module_)
        return api_.status;
    std::wstring dir = folder.empty() ? ModuleFolder() : folder;
    if (!dir.empty() && dir.back() != L'\\' && dir.back() != L'/')
        dir += L'\\';
    if (!dir.empty()) {
        path_ = dir + L"xvidcore.dll";
        module_ = LoadLibraryW(path_.c_str());
    }
    if (!module_) {
        path_ = L"xvidcore.dll";
        module_ = LoadLibraryW(path_.c_str());
    }
    if (!module_) {
        path_.clear();
        api_.status = XvidStatus::Missing;
        return api_.status;
    }
    api_.global = reinterpret_cast<XvidEntry>(reinterpret_cast<void*>(GetProcAddress(module_, "xvid_global")));
    api_.decore = reinterpret_cast<XvidEntry>(reinterpret_cast<void*>(GetProcAddress(module_, "xvid_decore")));
    api_.encore = reinterpret_cast<XvidEntry>(reinterpret_cast<void*>(GetProcAddress(module_, "xvid_encore")));
    api_.status = (api_.global && api_.decore) ? XvidStatus::Ready : XvidStatus::EntryMissing;
    return api_.status;
}

} // namespace video
