// Lumbrel: the viewer's skin library.
#define PX_SKIN_BUILD
#include "skin/SkinApi.h"

#include "core/LumbrelTable.h"
#include "win/SkinWin.h"

namespace {
HINSTANCE g_module = nullptr;  // this DLL; set once at process attach
}

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = module;
    DisableThreadLibraryCalls(module);
  }
  return TRUE;
}

void SMAPI_GetResourceRect(unsigned short id, RECT* rect) {
  skin::SkinRect r;
  if (rect && skin::lumbrel::Rect(id, &r)) *rect = skin::ToRect(r);
}

HBITMAP SMAPI_GetResourceBitmapHandle(unsigned short id) {
  return skin::LoadSkinBitmap(g_module, skin::lumbrel::SingleBitmap(id));
}

void SMAPI_GetResourceBitmapHandle(unsigned short id, HBITMAP* normal, HBITMAP* hover,
                                   HBITMAP* pressed, HBITMAP* disabled) {
  HBITMAP* outs[4] = {normal, hover, pressed, disabled};
  skin::ApplyButtonSet(g_module, skin::lumbrel::FourStateBitmaps(id), outs);
}

void SMAPI_GetResourceBitmapHandleEx(unsigned short id, HBITMAP* normal, HBITMAP* hover,
                                     HBITMAP* pressed, HBITMAP* disabled) {
  HBITMAP* outs[4] = {normal, hover, pressed, disabled};
  skin::ApplyButtonSet(g_module, skin::lumbrel::ExtendedBitmaps(id), outs);
}

// The viewer takes its texts from its language library; this skin has no help texts, captions,
// colours or icon, and answers as for unlisted identifiers.
void SMAPI_GetResourceHelpString(unsigned short, wchar_t* text) {
  skin::LoadSkinString(g_module, 0, text, skin::kSkinHelpChars, 1024);
}

void SMAPI_GetResourceNameString(unsigned short, wchar_t* text) {
  skin::LoadSkinString(g_module, 0, text, skin::kSkinNameChars, 30);
}

HICON SMAPI_GetResourceIconHandle(unsigned short) { return nullptr; }

void SMAPI_GetTextColorValue(unsigned short, COLORREF*) {}

DWORD SMAPI_GetProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* def,
                             wchar_t* text) {
  return skin::ReadSkinProfile(section, key, def, text);
}

unsigned int SMAPI_GetSkinCode() { return skin::lumbrel::SkinCode(); }
