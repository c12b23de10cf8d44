#include "SkinWin.h"

#include <cstring>
#include "foundation/Module.h"
#include <cwchar>

#include "skin/SkinApi.h"

namespace skin {

HBITMAP LoadSkinBitmap(HINSTANCE module, int resource)
{
    if (resource <= 0)
        return nullptr;
    return static_cast<HBITMAP>(
        LoadImageW(module, MAKEINTRESOURCEW(resource), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

void ApplyButtonSet(HINSTANCE module, const ButtonSet& set, HBITMAP* outs[4])
{
    for (int i = 0; i < 4; ++i) {
        if (!outs[i])
            continue;
        if (set.action == ButtonSetAction::Clear) {
            *outs[i] = nullptr;
        } else if (set.action == ButtonSetAction::Load) {
            *outs[i] = LoadSkinBitmap(module, set.firstBitmap + i);
        }
    }
}

void LoadSkinString(HINSTANCE module, int resource, wchar_t* text, int chars, int zeroBytes)
{
    if (!text)
        return;
    if (resource == 0) {
        std::memset(text, 0, static_cast<size_t>(zeroBytes));
        return;
    }
    // The loader leaves the buffer alone when a whole string block is missing; an absent string
    // must still read as empty.
    text[0] = L'\0';
    LoadStringW(module, static_cast<UINT>(resource), text, chars);
}

DWORD ReadSkinProfile(const wchar_t* section, const wchar_t* key, const wchar_t* def, wchar_t* text)
{
    if (!text)
        return 0;
    // CONFIG\Title.ini beside the program, whatever the current folder is.
    const std::wstring path = win::ModuleFolder(nullptr) + L"CONFIG\\Title.ini";
    return GetPrivateProfileStringW(section, key, def ? def : L"", text, kSkinProfileChars, path.c_str());
}

} // namespace skin
