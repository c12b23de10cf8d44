// Lustrel: the manager's skin library.
#define PX_SKIN_BUILD
#include "skin/SkinApi.h"

#include "LustrelTable.h"
#include "foundation/Module.h"
#include "SkinWin.h"

// Every export stands behind a barrier: a failure inside answers as an unlisted identifier does.
namespace {
const HINSTANCE g_module = win::ThisModule();
}

void SMAPI_GetResourceRect(unsigned short id, RECT* rect) {
  win::VoidBarrier("SMAPI_GetResourceRect", [&] {
    skin::SkinRect r;
    if (rect && skin::lustrel::Rect(id, &r)) *rect = skin::ToRect(r);
  });
}

HBITMAP SMAPI_GetResourceBitmapHandle(unsigned short id) {
  return win::Barrier("SMAPI_GetResourceBitmapHandle", HBITMAP(nullptr), [&]() -> HBITMAP {
    return skin::LoadSkinBitmap(g_module, skin::lustrel::SingleBitmap(id));
  });
}

void SMAPI_GetResourceBitmapHandle(unsigned short id, HBITMAP* normal, HBITMAP* hover,
                                   HBITMAP* pressed, HBITMAP* disabled) {
  win::VoidBarrier("SMAPI_GetResourceBitmapHandle", [&] {
    HBITMAP* outs[4] = {normal, hover, pressed, disabled};
    skin::ApplyButtonSet(g_module, skin::lustrel::FourStateBitmaps(id), outs);
  });
}

void SMAPI_GetResourceBitmapHandleEx(unsigned short id, HBITMAP* normal, HBITMAP* hover,
                                     HBITMAP* pressed, HBITMAP* disabled) {
  win::VoidBarrier("SMAPI_GetResourceBitmapHandleEx", [&] {
    HBITMAP* outs[4] = {normal, hover, pressed, disabled};
    skin::ApplyButtonSet(g_module, skin::lustrel::ExtendedBitmaps(id), outs);
  });
}

void SMAPI_GetResourceHelpString(unsigned short id, wchar_t* text) {
  win::VoidBarrier("SMAPI_GetResourceHelpString", [&] {
    skin::LoadSkinString(g_module, skin::lustrel::HelpString(id), text, skin::kSkinHelpChars,
                         skin::lustrel::kHelpZeroBytes);
  });
}

void SMAPI_GetResourceNameString(unsigned short id, wchar_t* text) {
  win::VoidBarrier("SMAPI_GetResourceNameString", [&] {
    skin::LoadSkinString(g_module, skin::lustrel::NameString(id), text, skin::kSkinNameChars,
                         skin::lustrel::kNameZeroBytes);
  });
}

HICON SMAPI_GetResourceIconHandle(unsigned short id) {
  return win::Barrier("SMAPI_GetResourceIconHandle", HICON(nullptr), [&]() -> HICON {
    const int icon = skin::lustrel::Icon(id);
    if (!icon) return nullptr;
    // Not shared: the caller owns and may destroy it.
    return static_cast<HICON>(
        LoadImageW(g_module, MAKEINTRESOURCEW(icon), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  });
}

void SMAPI_GetTextColorValue(unsigned short id, COLORREF* color) {
  win::VoidBarrier("SMAPI_GetTextColorValue", [&] {
    uint32_t c;
    if (color && skin::lustrel::TextColor(id, &c)) *color = c;
  });
}

DWORD SMAPI_GetProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* def,
                             wchar_t* text) {
  return win::Barrier("SMAPI_GetProfileString", DWORD(0), [&]() -> DWORD {
    return skin::ReadSkinProfile(section, key, def, text);
  });
}
