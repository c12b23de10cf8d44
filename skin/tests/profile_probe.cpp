// Runs SMAPI_GetProfileString of the skin DLL beside it and prints "<count>|<text>" in UTF-8.
// usage: profile_probe DLL SECTION KEY DEFAULT
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 5)
        return 2;
    HMODULE dll = LoadLibraryW(argv[1]);
    if (!dll)
        return 3;
    using Fn = DWORD (*)(const wchar_t*, const wchar_t*, const wchar_t*, wchar_t*);
    auto fn =
        reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, "_Z22SMAPI_GetProfileStringPKwS0_S0_Pw")));
    if (!fn)
        return 4;
    wchar_t text[600];
    for (wchar_t& c : text)
        c = L'#';
    DWORD n = fn(argv[2], argv[3], argv[4], text);
    char utf8[2048];
    int len = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::printf("%lu|%s|%d\n", static_cast<unsigned long>(n), len > 0 ? utf8 : "", text[256] == L'#');
    return 0;
}
