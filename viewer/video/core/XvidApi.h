#pragma once
// The three entry points of xvidcore, reached through a table so that the same decoder code runs
// against the library linked into a native build and against an xvidcore.dll loaded by name on
// Windows. Records and constants come from xvid.h, whose layouts hold no 'long' fields and so
// agree between the two ABIs.
#include <xvid.h>

namespace video {

using XvidEntry = int (*)(void* handle, int operation, void* param1, void* param2);

enum class XvidStatus {
    Ready, // every entry the decoder needs was found
    NotLoaded, // nothing tried yet
    Missing, // the library could not be loaded
    EntryMissing, // the library lacks xvid_global or xvid_decore
};

struct XvidApi {
    XvidEntry global = nullptr;
    XvidEntry decore = nullptr;
    XvidEntry encore = nullptr; // optional: only the simulator encodes
    XvidStatus status = XvidStatus::NotLoaded;

    bool CanDecode() const { return status == XvidStatus::Ready && global && decore; }
};

// One line for the status log of the view.
inline const char* XvidStatusText(XvidStatus s)
{
    switch (s) {
    case XvidStatus::Ready: return "MPEG-4 decoder ready.";
    case XvidStatus::NotLoaded: return "MPEG-4 decoder not loaded: no pictures will be shown.";
    case XvidStatus::Missing: return "xvidcore.dll was not found: no pictures will be shown.";
    case XvidStatus::EntryMissing: return "xvidcore.dll lacks xvid_global or xvid_decore: no pictures will be shown.";
    }
    return "";
}

#if !defined(_WIN32)
// The libxvidcore this program is linked with.
const XvidApi& LinkedXvidApi();
#endif

} // namespace video
