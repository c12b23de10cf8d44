#pragma once
// The viewer skin as the programs of this tree link it: Lumbrel's SMAPI_ calls when Lumbrel.dll
// is built, else the view's built-in layout.
#include "DVRScreenView.h"
#ifdef PX_WITH_LUMBREL
#include "skin/SkinApi.h"
#endif

namespace view {

inline ViewSkin LinkedViewSkin()
{
    ViewSkin s;
#ifdef PX_WITH_LUMBREL
    s.getResourceRect = [](unsigned short id, RECT* r) { SMAPI_GetResourceRect(id, r); };
    s.getSkinCode = [] { return SMAPI_GetSkinCode(); };
#endif
    return s;
}

} // namespace view
