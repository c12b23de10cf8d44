// Win32 side shared by the skin libraries: resource loading and the profile reader.
#pragma once

#include <windows.h>

#include "SkinTypes.h"

namespace skin {

// A newly loaded bitmap resource kept at its own depth (a DIB section); null when absent.
HBITMAP LoadSkinBitmap(HINSTANCE module, int resource);

// Applies a four-state lookup to the caller's outs (null outs are skipped).
void ApplyButtonSet(HINSTANCE module, const ButtonSet& set, HBITMAP* outs[4]);

// Loads string `resource` into text (limit `chars`, terminator included). Resource 0 means
// unlisted: the first zeroBytes bytes of text are zeroed instead.
void LoadSkinString(HINSTANCE module, int resource, wchar_t* text, int chars, int zeroBytes);

// Text of key in section of <program folder>\CONFIG\Title.ini, default when missing; at most
// kSkinProfileChars characters with the terminator. Returns the count copied.
DWORD ReadSkinProfile(const wchar_t* section, const wchar_t* key, const wchar_t* def, wchar_t* text);

inline RECT ToRect(const SkinRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

} // namespace skin
