#include "SkinExports.h"

#include <vector>

namespace skintest {

namespace {
template <typename F> void Get(HMODULE dll, const char* name, F& fn, std::string& missing)
{
    fn = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    if (!fn)
        missing += std::string(name) + " ";
}
} // namespace

bool SkinExports::Resolve(HMODULE dll, Decoration d, bool withSkinCode)
{
    const bool gnu = d == Decoration::MinGW;
    missing.clear();
    Get(dll, gnu ? "_Z21SMAPI_GetResourceRecttP7tagRECT" : "?SMAPI_GetResourceRect@@YAXGPEAUtagRECT@@@Z",
        GetResourceRect, missing);
    Get(dll, gnu ? "_Z29SMAPI_GetResourceBitmapHandlet" : "?SMAPI_GetResourceBitmapHandle@@YAPEAUHBITMAP__@@G@Z",
        GetBitmap, missing);
    Get(dll,
        gnu ? "_Z29SMAPI_GetResourceBitmapHandletPP9HBITMAP__S1_S1_S1_"
            : "?SMAPI_GetResourceBitmapHandle@@YAXGPEAPEAUHBITMAP__@@000@Z",
        GetBitmaps, missing);
    Get(dll,
        gnu ? "_Z31SMAPI_GetResourceBitmapHandleExtPP9HBITMAP__S1_S1_S1_"
            : "?SMAPI_GetResourceBitmapHandleEx@@YAXGPEAPEAUHBITMAP__@@000@Z",
        GetBitmapsEx, missing);
    Get(dll, gnu ? "_Z27SMAPI_GetResourceHelpStringtPw" : "?SMAPI_GetResourceHelpString@@YAXGPEA_W@Z", GetHelpString,
        missing);
    Get(dll, gnu ? "_Z27SMAPI_GetResourceNameStringtPw" : "?SMAPI_GetResourceNameString@@YAXGPEA_W@Z", GetNameString,
        missing);
    Get(dll, gnu ? "_Z27SMAPI_GetResourceIconHandlet" : "?SMAPI_GetResourceIconHandle@@YAPEAUHICON__@@G@Z", GetIcon,
        missing);
    Get(dll, gnu ? "_Z23SMAPI_GetTextColorValuetPm" : "?SMAPI_GetTextColorValue@@YAXGPEAK@Z", GetTextColor, missing);
    Get(dll, gnu ? "_Z22SMAPI_GetProfileStringPKwS0_S0_Pw" : "?SMAPI_GetProfileString@@YAKPEB_W00PEA_W@Z",
        GetProfileString, missing);
    if (withSkinCode) {
        Get(dll, gnu ? "_Z17SMAPI_GetSkinCodev" : "?SMAPI_GetSkinCode@@YAIXZ", GetSkinCode, missing);
    }
    return missing.empty();
}

BitmapInfo Describe(HBITMAP bmp)
{
    BITMAP b{};
    if (!bmp || !GetObjectW(bmp, sizeof b, &b))
        return {};
    return {b.bmWidth, b.bmHeight, b.bmBitsPixel};
}

std::string Pixels(HBITMAP bmp)
{
    BitmapInfo d = Describe(bmp);
    if (!d.width)
        return {};
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = d.width;
    bi.bmiHeader.biHeight = -d.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::string out(size_t(d.width) * d.height * 4, '\0');
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, bmp, 0, d.height, out.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    return out;
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L'\\') + 1);
}

} // namespace skintest
