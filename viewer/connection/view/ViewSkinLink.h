#pragma once
// The viewer skin as the programs of this tree link it: Lumbrel's SMAPI_ calls.
#include "DVRScreenView.h"
#include "skin/SkinApi.h"

namespace view {

inline ViewSkin LinkedViewSkin()
{
    ViewSkin s;
    s.getResourceRect = [](unsigned short id, RECT* r) { SMAPI_GetResourceRect(id, r); };
    s.getSkinCode = [] { return SMAPI_GetSkinCode(); };
    return s;
}

} // namespace view
