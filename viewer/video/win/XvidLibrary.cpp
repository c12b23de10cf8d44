#include "XvidLibrary.h"
#include "foundation/Module.h"

namespace video {

XvidLibrary::~XvidLibrary()
{
    api_ = XvidApi{}; // before the module goes
}

XvidStatus XvidLibrary::Load(const std::wstring& folder)
{
    if (module_)
        return api_.status;
    // A bare name would be looked up beside the host program, not beside this module.
    std::wstring dir = folder.empty() ? win::ModuleFolderFile(L"") : folder;
    if (!dir.empty() && dir.back() != L'\\' && dir.back() != L'/')
        dir += L'\\';
    if (!dir.empty()) {
        path_ = dir + L"xvidcore.dll";
        module_.Attach(LoadLibraryW(path_.c_str()));
    }
    if (!module_) {
        path_ = L"xvidcore.dll";
        module_.Attach(LoadLibraryW(path_.c_str()));
    }
    if (!module_) {
        path_.clear();
        api_.status = XvidStatus::Missing;
        return api_.status;
    }
    api_.global = reinterpret_cast<XvidEntry>(reinterpret_cast<void*>(GetProcAddress(module_.Get(), "xvid_global")));
    api_.decore = reinterpret_cast<XvidEntry>(reinterpret_cast<void*>(GetProcAddress(module_.Get(), "xvid_decore")));
    api_.encore = reinterpret_cast<XvidEntry>(reinterpret_cast<void*>(GetProcAddress(module_.Get(), "xvid_encore")));
    api_.status = (api_.global && api_.decore) ? XvidStatus::Ready : XvidStatus::EntryMissing;
    return api_.status;
}

} // namespace video
