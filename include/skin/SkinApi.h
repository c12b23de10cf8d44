// The SMAPI_ interface shared by both skin libraries: Lustrel (the manager's skin) and Lumbrel
// (the viewer's skin). Identifiers are 16-bit resource identifiers. Bitmaps and icons returned
// belong to the caller, who deletes them when done.
//
// The functions are C++ functions (the four-state call overloads the single-bitmap call), so
// they are exported under their decorated names. Both libraries export the MinGW (Itanium)
// names that a program of this tree links against, and the x64 names of the platform's native
// compiler as aliases (SkinExportNames.h lists both).
#pragma once

#include <windows.h>

#include <cstdint>

#if defined(PX_SKIN_BUILD)
#define SMAPI_EXPORT __declspec(dllexport)
#else
#define SMAPI_EXPORT __declspec(dllimport)
#endif

// Rectangle of the resource in its parent's client coordinates. An unlisted identifier leaves
// *rect unchanged; a null rect does nothing.
SMAPI_EXPORT void SMAPI_GetResourceRect(unsigned short id, RECT* rect);

// A single (background) bitmap, newly loaded; null when the identifier is unlisted.
SMAPI_EXPORT HBITMAP SMAPI_GetResourceBitmapHandle(unsigned short id);

// The four state bitmaps of a button (normal, hover, pressed, disabled), newly loaded. Outs stay
// unchanged when the identifier is unlisted.
SMAPI_EXPORT void SMAPI_GetResourceBitmapHandle(unsigned short id, HBITMAP* normal, HBITMAP* hover, HBITMAP* pressed,
                                                HBITMAP* disabled);

// An extended four-state set (the viewer's "checked" faces of a toggle button).
SMAPI_EXPORT void SMAPI_GetResourceBitmapHandleEx(unsigned short id, HBITMAP* normal, HBITMAP* hover, HBITMAP* pressed,
                                                  HBITMAP* disabled);

// Help text into a buffer of kSkinHelpChars wide characters.
SMAPI_EXPORT void SMAPI_GetResourceHelpString(unsigned short id, wchar_t* text);

// Caption into a buffer of kSkinNameChars wide characters.
SMAPI_EXPORT void SMAPI_GetResourceNameString(unsigned short id, wchar_t* text);

// An icon, or null.
SMAPI_EXPORT HICON SMAPI_GetResourceIconHandle(unsigned short id);

// A colour value (red in the low byte); unlisted identifiers leave *color unchanged.
SMAPI_EXPORT void SMAPI_GetTextColorValue(unsigned short id, COLORREF* color);

// Text of key in section of CONFIG\Title.ini beside the running program, or def when missing,
// into a buffer of kSkinProfileChars wide characters. Returns the count of characters copied.
SMAPI_EXPORT DWORD SMAPI_GetProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* def,
                                          wchar_t* text);

// Lumbrel only: a four-character code identifying the skin variant.
SMAPI_EXPORT unsigned int SMAPI_GetSkinCode();

namespace skin {

inline constexpr int kSkinHelpChars = 1024; // help buffer, terminating zero included
inline constexpr int kSkinNameChars = 30; // caption buffer, terminating zero included
inline constexpr int kSkinProfileChars = 256; // profile text buffer

} // namespace skin
