#include "RegionRuns.h"
#include <vector>

namespace manager {

bool FindRegionRuns(const uint8_t* pixels, int width, int height, size_t stride, const RunBatch& batch)
{
    if (!pixels || width <= 0 || height <= 0 || stride / 4 < static_cast<size_t>(width) || !batch)
        return false;
    std::vector<RunRect> rects;
    rects.reserve(kRunBatch);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * stride;
        int x = 0;
        while (x < width) {
            while (x < width && IsKeyPixel(row + static_cast<size_t>(x) * 4))
                ++x;
            if (x == width)
                break;
            const int start = x;
            while (x < width && !IsKeyPixel(row + static_cast<size_t>(x) * 4))
                ++x;
            rects.push_back(RunRect{start, y, x, y + 1});
            if (rects.size() == kRunBatch) {
                if (!batch(rects.data(), rects.size()))
                    return false;
                rects.clear();
            }
        }
    }
    return rects.empty() || batch(rects.data(), rects.size());
}

} // namespace manager
