// The SMAPI_ exports over the linking library's kSkinTable. Every export stands behind a barrier:
// a failure inside answers as an unlisted identifier does.
#define PX_SKIN_BUILD
#include "SkinLibrary.h"

#include "SkinWin.h"
#include "foundation/Module.h"
#include "skin/SkinApi.h"

using skinui::kSkinTable;

namespace {
// The skin DLL this object is linked into.
const HINSTANCE g_module = win::ThisModule();

template <class Lookup> int ResourceOf(Lookup lookup, unsigned short id) { return lookup ? lookup(id) : 0; }
} // namespace

void SMAPI_GetResourceRect(unsigned short id, RECT* rect)
{
    win::VoidBarrier("SMAPI_GetResourceRect", [&] {
        skin::SkinRect r;
        if (rect && kSkinTable.rect && kSkinTable.rect(id, &r))
            *rect = skin::ToRect(r);
    });
}

HBITMAP SMAPI_GetResourceBitmapHandle(unsigned short id)
{
    return win::Barrier("SMAPI_GetResourceBitmapHandle", HBITMAP(nullptr), [&]() -> HBITMAP {
        return skin::LoadSkinBitmap(g_module, ResourceOf(kSkinTable.singleBitmap, id));
    });
}

namespace {
void ApplyLookup(const char* where, skin::ButtonSet (*lookup)(uint16_t), unsigned short id, HBITMAP* normal,
                 HBITMAP* hover, HBITMAP* pressed, HBITMAP* disabled)
{
    win::VoidBarrier(where, [&] {
        if (!lookup)
            return;
        HBITMAP* outs[4] = {normal, hover, pressed, disabled};
        skin::ApplyButtonSet(g_module, lookup(id), outs);
    });
}
} // namespace

void SMAPI_GetResourceBitmapHandle(unsigned short id, HBITMAP* normal, HBITMAP* hover, HBITMAP* pressed,
                                   HBITMAP* disabled)
{
    ApplyLookup("SMAPI_GetResourceBitmapHandle", kSkinTable.fourStateBitmaps, id, normal, hover, pressed, disabled);
}

void SMAPI_GetResourceBitmapHandleEx(unsigned short id, HBITMAP* normal, HBITMAP* hover, HBITMAP* pressed,
                                     HBITMAP* disabled)
{
    ApplyLookup("SMAPI_GetResourceBitmapHandleEx", kSkinTable.extendedBitmaps, id, normal, hover, pressed, disabled);
}

void SMAPI_GetResourceHelpString(unsigned short id, wchar_t* text)
{
    win::VoidBarrier("SMAPI_GetResourceHelpString", [&] {
        skin::LoadSkinString(g_module, ResourceOf(kSkinTable.helpString, id), text, skin::kSkinHelpChars,
                             kSkinTable.helpZeroBytes);
    });
}

void SMAPI_GetResourceNameString(unsigned short id, wchar_t* text)
{
    win::VoidBarrier("SMAPI_GetResourceNameString", [&] {
        skin::LoadSkinString(g_module, ResourceOf(kSkinTable.nameString, id), text, skin::kSkinNameChars,
                             kSkinTable.nameZeroBytes);
    });
}

HICON SMAPI_GetResourceIconHandle(unsigned short id)
{
    return win::Barrier("SMAPI_GetResourceIconHandle", HICON(nullptr), [&]() -> HICON {
        const int icon = ResourceOf(kSkinTable.icon, id);
        if (!icon)
            return nullptr;
        // Not shared: the caller owns and may destroy it.
        return static_cast<HICON>(LoadImageW(g_module, MAKEINTRESOURCEW(icon), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    });
}

void SMAPI_GetTextColorValue(unsigned short id, COLORREF* color)
{
    win::VoidBarrier("SMAPI_GetTextColorValue", [&] {
        uint32_t c;
        if (color && kSkinTable.textColor && kSkinTable.textColor(id, &c))
            *color = c;
    });
}

DWORD SMAPI_GetProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* def, wchar_t* text)
{
    return win::Barrier("SMAPI_GetProfileString", DWORD(0),
                        [&]() -> DWORD { return skin::ReadSkinProfile(section, key, def, text); });
}
