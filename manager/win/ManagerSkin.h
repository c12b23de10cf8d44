#pragma once
// The manager's questions to its skin library (the SMAPI_ exports of Lustrel beside the program), as
// values: a missing resource gives an empty rectangle, colour 0, an empty text, or the default.
#include <windows.h>
#include <initializer_list>
#include <string>
#include <vector>
#include "skin/SkinApi.h"

namespace manager {

inline RECT SkinRect(unsigned short id)
{
    RECT r{};
    SMAPI_GetResourceRect(id, &r);
    return r;
}

inline COLORREF SkinColor(unsigned short id)
{
    COLORREF c = 0;
    SMAPI_GetTextColorValue(id, &c);
    return c;
}

inline std::wstring SkinHelp(unsigned short id)
{
    std::vector<wchar_t> text(skin::kSkinHelpChars, L'\0');
    SMAPI_GetResourceHelpString(id, text.data());
    text.back() = L'\0';
    return text.data();
}

inline std::wstring SkinName(unsigned short id)
{
    wchar_t text[skin::kSkinNameChars] = {};
    SMAPI_GetResourceNameString(id, text);
    text[skin::kSkinNameChars - 1] = L'\0';
    return text;
}

// Text of `key` in `section` of the skin's profile (CONFIG\Title.ini), or `def`.
inline std::wstring SkinText(const wchar_t* section, const wchar_t* key, const wchar_t* def)
{
    wchar_t text[skin::kSkinProfileChars] = {};
    SMAPI_GetProfileString(section, key, def, text);
    text[skin::kSkinProfileChars - 1] = L'\0';
    return text;
}

// A dialog item's text from the skin's profile: `key` of the dialog's section, or `def`.
struct SkinItemText {
    int id;
    const wchar_t* key;
    const wchar_t* def;
};
inline void SetSkinTexts(HWND dialog, const wchar_t* section, std::initializer_list<SkinItemText> items)
{
    for (const SkinItemText& t : items)
        SetDlgItemTextW(dialog, t.id, SkinText(section, t.key, t.def).c_str());
}

// Sizes `wnd` to `bitmap` (when there is one) and centres it on its monitor's work area.
void SizeToBitmapAndCentre(HWND wnd, HBITMAP bitmap);
void CentreOnWorkArea(HWND wnd);

// WM_ERASEBKGND of a skinned dialog: `bitmap` drawn into skin rectangle `rect`, and the message
// answered as erased. True (the dialog procedure's answer).
bool EraseWithSkin(HWND dialog, HDC dc, HBITMAP bitmap, unsigned short rect);

} // namespace manager
