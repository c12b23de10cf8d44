#pragma once
// Loads xvidcore.dll by name for the viewer: from the folder of the module that holds this code
// first (a bare-name load from a DLL searches the host program's folder instead), then by the
// standard search. The installed Xvid codec provides it; under Wine, the bridge does.
#include "XvidApi.h"
#include "foundation/Handles.h"
#include <windows.h>
#include <string>

namespace video {

class XvidLibrary {
public:
    XvidLibrary() = default;
    XvidLibrary(const XvidLibrary&) = delete;
    XvidLibrary& operator=(const XvidLibrary&) = delete;
    ~XvidLibrary();

    // Idempotent. folder overrides the module's own folder (tests); empty means the module's.
    XvidStatus Load(const std::wstring& folder = std::wstring());
    const XvidApi& Api() const { return api_; }
    const std::wstring& Path() const { return path_; }

private:
    win::Library module_;
    XvidApi api_;
    std::wstring path_;
};

} // namespace video
