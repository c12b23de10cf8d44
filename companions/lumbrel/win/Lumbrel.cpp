// Lumbrel: the viewer's skin library.
#define PX_SKIN_BUILD
#include "skin/SkinApi.h"

#include "LumbrelTable.h"
#include "foundation/Module.h"
#include "SkinWin.h"

// Every export stands behind a barrier: a failure inside answers as an unlisted identifier does.
namespace {
const HINSTANCE g_module = win::ThisModule();
}

void SMAPI_GetResourceRect(unsigned short id, RECT* rect) {
  win::VoidBarrier("SMAPI_GetResourceRect", [&] {
    skin::SkinRect r;
    if (rect && skin::lumbrel::Rect(id, &r)) *rect = skin::ToRect(r);
  });
}

HBITMAP SMAPI_GetResourceBitmapHandle(unsigned short id) {
  return win::Barrier("SMAPI_GetResourceBitmapHandle", HBITMAP(nullptr), [&]() -> HBITMAP {
    return skin::LoadSkinBitmap(g_module, skin::lumbrel::SingleBitmap(id));
  });
}

void SMAPI_GetResourceBitmapHandle(unsigned short id, HBITMAP* normal, HBITMAP* hover,
                                   HBITMAP* pressed, HBITMAP* disabled) {
  win::VoidBarrier("SMAPI_GetResourceBitmapHandle", [&] {
    HBITMAP* outs[4] = {normal, hover, pressed, disabled};
    skin::ApplyButtonSet(g_module, skin::lumbrel::FourStateBitmaps(id), outs);
  });
}

void SMAPI_GetResourceBitmapHandleEx(unsigned short id, HBITMAP* normal, HBITMAP* hover,
                                     HBITMAP* pressed, HBITMAP* disabled) {
  win::VoidBarrier("SMAPI_GetResourceBitmapHandleEx", [&] {
    HBITMAP* outs[4] = {normal, hover, pressed, disabled};
    skin::ApplyButtonSet(g_module, skin::lumbrel::ExtendedBitmaps(id), outs);
  });
}

// The viewer takes its texts from its language library; this skin has no help texts, captions,
// colours or icon, and answers as for unlisted identifiers.
void SMAPI_GetResourceHelpString(unsigned short, wchar_t* text) {
  win::VoidBarrier("SMAPI_GetResourceHelpString", [&] {
    skin::LoadSkinString(g_module, 0, text, skin::kSkinHelpChars, 1024);
  });
}

void SMAPI_GetResourceNameString(unsigned short, wchar_t* text) {
  win::VoidBarrier("SMAPI_GetResourceNameString", [&] {
    skin::LoadSkinString(g_module, 0, text, skin::kSkinNameChars, 30);
  });
}

HICON SMAPI_GetResourceIconHandle(unsigned short) {
  return win::Barrier("SMAPI_GetResourceIconHandle", HICON(nullptr), [&]() -> HICON { return nullptr; });
}

void SMAPI_GetTextColorValue(unsigned short, COLORREF*) {}

DWORD SMAPI_GetProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* def,
                             wchar_t* text) {
  return win::Barrier("SMAPI_GetProfileString", DWORD(0), [&]() -> DWORD {
    return skin::ReadSkinProfile(section, key, def, text);
  });
}

unsigned int SMAPI_GetSkinCode() {
  return win::Barrier("SMAPI_GetSkinCode", 0u, [&]() -> unsigned int { return skin::lumbrel::SkinCode(); });
}
