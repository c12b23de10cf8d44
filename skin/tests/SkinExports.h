// Test helper: the SMAPI_ exports of a skin DLL resolved through GetProcAddress under either
// decoration, so each test runs against both sets of names.
#pragma once

#include <windows.h>

#include <string>

namespace skintest {

enum class Decoration { MinGW, Native };

struct SkinExports {
    void (*GetResourceRect)(unsigned short, RECT*) = nullptr;
    HBITMAP (*GetBitmap)(unsigned short) = nullptr;
    void (*GetBitmaps)(unsigned short, HBITMAP*, HBITMAP*, HBITMAP*, HBITMAP*) = nullptr;
    void (*GetBitmapsEx)(unsigned short, HBITMAP*, HBITMAP*, HBITMAP*, HBITMAP*) = nullptr;
    void (*GetHelpString)(unsigned short, wchar_t*) = nullptr;
    void (*GetNameString)(unsigned short, wchar_t*) = nullptr;
    HICON (*GetIcon)(unsigned short) = nullptr;
    void (*GetTextColor)(unsigned short, COLORREF*) = nullptr;
    DWORD (*GetProfileString)(const wchar_t*, const wchar_t*, const wchar_t*, wchar_t*) = nullptr;
    unsigned int (*GetSkinCode)() = nullptr;
    std::string missing; // names that did not resolve

    bool Resolve(HMODULE dll, Decoration d, bool withSkinCode);
};

inline const char* DecorationName(Decoration d) { return d == Decoration::MinGW ? "MinGW" : "Native"; }

struct BitmapInfo {
    int width = 0, height = 0, bits = 0;
};
BitmapInfo Describe(HBITMAP bmp);

// Pixels of a bitmap as 32-bit rows, for comparing two bitmaps' content.
std::string Pixels(HBITMAP bmp);

// Folder of the running test program, with a trailing backslash.
std::wstring ProgramFolder();

} // namespace skintest
