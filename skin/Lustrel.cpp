// Lustrel: the manager's skin library.
#define PX_SKIN_BUILD
#include "skin/SkinApi.h"

#include "core/LustrelTable.h"
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
  if (rect && skin::lustrel::Rect(id, &r)) *rect = skin::ToRect(r);
}

HBITMAP SMAPI_GetResourceBitmapHandle(unsigned short id) {
  return skin::LoadSkinBitmap(g_module, skin::lustrel::SingleBitmap(id));
}

void SMAPI_GetResourceBitmapHandle(unsigned short id, HBITMAP* normal, HBITMAP* hover,
                                   HBITMAP* pressed, HBITMAP* disabled) {
  HBITMAP* outs[4] = {normal, hover, pressed, disabled};
  skin::ApplyButtonSet(g_module, skin::lustrel::FourStateBitmaps(id), outs);
}

void SMAPI_GetResourceBitmapHandleEx(unsigned short id, HBITMAP* normal, HBITMAP* hover,
                                     HBITMAP* pressed, HBITMAP* disabled) {
  HBITMAP* outs[4] = {normal, hover, pressed, disabled};
  skin::ApplyButtonSet(g_module, skin::lustrel::ExtendedBitmaps(id), outs);
}

void SMAPI_GetResourceHelpString(unsigned short id, wchar_t* text) {
  skin::LoadSkinString(g_module, skin::lustrel::HelpString(id), text, skin::kSkinHelpChars,
                       skin::lustrel::kHelpZeroBytes);
}

void SMAPI_GetResourceNameString(unsigned short id, wchar_t* text) {
  skin::LoadSkinString(g_module, skin::lustrel::NameString(id), text, skin::kSkinNameChars,
                       skin::lustrel::kNameZeroBytes);
}

HICON SMAPI_GetResourceIconHandle(unsigned short id) {
  const int icon = skin::lustrel::Icon(id);
  if (!icon) return nullptr;
  // Not shared: the caller owns and may destroy it.
  return static_cast<HICON>(
      LoadImageW(g_module, MAKEINTRESOURCEW(icon), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
}

void SMAPI_GetTextColorValue(unsigned short id, COLORREF* color) {
  uint32_t c;
  if (color && skin::lustrel::TextColor(id, &c)) *color = c;
}

DWORD SMAPI_GetProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* def,
                             wchar_t* text) {
  return skin::ReadSkinProfile(section, key, def, text);
}
