#include "BitmapRegion.h"
#include <cstring>
#include <vector>
#include "RegionRuns.h"
#include "foundation/Handles.h"

namespace manager {

namespace {

// One batch of runs as a region.
HRGN RegionOf(const RunRect* rects, size_t count)
{
    std::vector<unsigned char> data(sizeof(RGNDATAHEADER) + count * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(count);
    header->nRgnSize = static_cast<DWORD>(count * sizeof(RECT));
    RECT bounds{rects[0].left, rects[0].top, rects[0].right, rects[0].bottom};
    auto* out = reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER));
    for (size_t i = 0; i < count; ++i) {
        const RECT r{rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
        std::memcpy(out + i, &r, sizeof r);
        bounds.left = std::min(bounds.left, r.left);
        bounds.top = std::min(bounds.top, r.top);
        bounds.right = std::max(bounds.right, r.right);
        bounds.bottom = std::max(bounds.bottom, r.bottom);
    }
    header->rcBound = bounds;
    return ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data()));
}

} // namespace

HRGN BitmapToRegion(HBITMAP bitmap)
{
    try {
        BITMAP info{};
        if (!bitmap || !GetObjectW(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight == 0)
            return nullptr;
        const int width = info.bmWidth, height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
        win::MemoryDC pixels;
        const uint32_t* bits = pixels.CreateDib(nullptr, width, height);
        win::MemoryDC source;
        if (!bits || !source)
            return nullptr;
        {
            win::ScopedSelect select(source.Get(), bitmap);
            if (!BitBlt(pixels.Get(), 0, 0, width, height, source.Get(), 0, 0, SRCCOPY))
                return nullptr;
        }
        GdiFlush();

        win::Region result(CreateRectRgn(0, 0, 0, 0));
        if (!result)
            return nullptr;
        const bool scanned =
            FindRegionRuns(reinterpret_cast<const uint8_t*>(bits), width, height, static_cast<size_t>(width) * 4,
                           [&](const RunRect* rects, size_t count) {
                               win::Region batch(RegionOf(rects, count));
                               return batch && CombineRgn(result.Get(), result.Get(), batch.Get(), RGN_OR) != ERROR;
                           });
        return scanned ? result.Detach() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

} // namespace manager
