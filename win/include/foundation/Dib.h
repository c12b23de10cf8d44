#pragma once
// The bitmap information of a device-independent bitmap with top-down rows (negative height),
// uncompressed, `bits` per pixel: the one shape every picture and back buffer here uses.
#include <windows.h>

namespace win {

inline BITMAPINFO TopDownDib(int width, int height, WORD bits, DWORD imageSize = 0)
{
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = bits;
    bi.bmiHeader.biCompression = BI_RGB;
    bi.bmiHeader.biSizeImage = imageSize;
    return bi;
}

} // namespace win
