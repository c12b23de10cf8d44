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
    s.getBitmap = [](unsigned short id) { return SMAPI_GetResourceBitmapHandle(id); };
    s.getButtonBitmaps = [](unsigned short id, HBITMAP out[4]) {
        SMAPI_GetResourceBitmapHandle(id, &out[0], &out[1], &out[2], &out[3]);
    };
    s.getCheckedBitmaps = [](unsigned short id, HBITMAP out[4]) {
        SMAPI_GetResourceBitmapHandleEx(id, &out[0], &out[1], &out[2], &out[3]);
    };
    return s;
}

} // namespace view
