#include "SkinWin.h"

#include <cstring>
#include <cwchar>

#include "skin/SkinApi.h"

namespace skin {

HBITMAP LoadSkinBitmap(HINSTANCE module, int resource) {
  if (resource <= 0) return nullptr;
  return static_cast<HBITMAP>(
      LoadImageW(module, MAKEINTRESOURCEW(resource), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

void ApplyButtonSet(HINSTANCE module, const ButtonSet& set, HBITMAP* outs[4]) {
  for (int i = 0; i < 4; ++i) {
    if (!outs[i]) continue;
    if (set.action == ButtonSetAction::Clear) {
      *outs[i] = nullptr;
    } else if (set.action == ButtonSetAction::Load) {
      *outs[i] = LoadSkinBitmap(module, set.firstBitmap + i);
    }
  }
}

void LoadSkinString(HINSTANCE module, int resource, wchar_t* text, int chars, int zeroBytes) {
  if (!text) return;
  if (resource == 0) {
    std::memset(text, 0, static_cast<size_t>(zeroBytes));
    return;
  }
  // The loader leaves the buffer alone when a whole string block is missing; an absent string
  // must still read as empty.
  text[0] = L'\0';
  LoadStringW(module, static_cast<UINT>(resource), text, chars);
}

DWORD ReadSkinProfile(const wchar_t* section, const wchar_t* key, const wchar_t* def, wchar_t* text) {
  if (!text) return 0;
  wchar_t program[MAX_PATH] = {};
  DWORD n = GetModuleFileNameW(nullptr, program, MAX_PATH);
  if (n >= MAX_PATH) n = MAX_PATH - 1;
  program[n] = L'\0';
  if (wchar_t* slash = std::wcsrchr(program, L'\\')) {
    *slash = L'\0';
  } else {
    program[0] = L'\0';
  }
  // The folder can fill MAX_PATH by itself; leave room for the sub-folder and file name.
  wchar_t path[MAX_PATH + 32];
  std::swprintf(path, sizeof path / sizeof path[0], L"%ls\\%ls\\Title.ini", program, L"CONFIG");
  return GetPrivateProfileStringW(section, key, def ? def : L"", text, kSkinProfileChars, path);
}

}  // namespace skin
