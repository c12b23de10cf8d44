// String identifiers of the viewer and its own English table, the default for any identifier the
// language library (lingua_res.dll) does not hold. Neutral: no windows.h.
#pragma once

#include <cstddef>

namespace viewer_strings {

enum StringId : int {
#define PX_STRING(id, name, text) name = id,
#include "ViewerStrings.inc"
#undef PX_STRING
};

struct DefaultString {
    int id;
    const wchar_t* text;
};

inline constexpr DefaultString kDefaults[] = {
#define PX_STRING(id, name, text) {id, L"" text},
#include "ViewerStrings.inc"
#undef PX_STRING
};

// The English text of id, or null when the viewer has none.
inline const wchar_t* DefaultText(int id)
{
    for (const DefaultString& s : kDefaults) {
        if (s.id == id)
            return s.text;
    }
    return nullptr;
}

// The quality list (levels 0 to 4) and the refresh list (options 0 to 7) in order.
inline constexpr int kQualityStrings[5] = {kStrQualityVeryHigh, kStrQualityHigh, kStrQualityStandard, kStrQualityLow,
                                           kStrQualityExtremelyLow};
inline constexpr int kRefreshStrings[8] = {
    kStrRefreshVeryHigh, kStrRefreshHigh,         kStrRefreshStandard,         kStrRefreshLow,
    kStrRefreshVeryLow,  kStrRefreshOnePerSecond, kStrRefreshOnePerTwoSeconds, kStrRefreshOnePerFiveSeconds};

} // namespace viewer_strings
