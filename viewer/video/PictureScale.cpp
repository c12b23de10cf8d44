#include "PictureScale.h"
#include <algorithm>
#include <vector>

namespace video {

namespace {

// The source span [begin, end) of each output position along one axis. Shrinking, an even share
// of the source; enlarging, the one source pixel under the output pixel's centre.
void Spans(int from, int length, int out, std::vector<int>& begin, std::vector<int>& end)
{
    begin.resize(static_cast<size_t>(out));
    end.resize(static_cast<size_t>(out));
    for (int i = 0; i < out; ++i) {
        int b, e;
        if (length >= out) {
            b = from + static_cast<int>(static_cast<int64_t>(i) * length / out);
            e = from + static_cast<int>(static_cast<int64_t>(i + 1) * length / out);
        } else {
            b = from + static_cast<int>((2 * static_cast<int64_t>(i) + 1) * length / (2 * static_cast<int64_t>(out)));
            e = b + 1;
        }
        begin[static_cast<size_t>(i)] = b;
        end[static_cast<size_t>(i)] = std::min(std::max(e, b + 1), from + length);
    }
}

} // namespace

bool ScalePicture(const uint8_t* pixels, int width, int rows, const SourceRect& source, uint32_t* dst, int dstWidth,
                  int dstHeight, size_t dstStride)
{
    if (!pixels || !dst || width <= 0 || rows <= 0 || dstWidth <= 0 || dstHeight <= 0 ||
        dstStride < static_cast<size_t>(dstWidth))
        return false;
    const int x0 = std::clamp(source.x, 0, width), y0 = std::clamp(source.y, 0, rows);
    const int w = std::min(source.width, width - x0), h = std::min(source.height, rows - y0);
    if (w <= 0 || h <= 0)
        return false;
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};

    // Per call: decode threads scale at the same time.
    std::vector<int> xb, xe, yb, ye;
    std::vector<uint32_t> sum;
    Spans(x0, w, dstWidth, xb, xe);
    Spans(y0, h, dstHeight, yb, ye);
    sum.assign(static_cast<size_t>(dstWidth) * 3, 0);
    for (int dy = 0; dy < dstHeight; ++dy) {
        std::fill(sum.begin(), sum.end(), 0u);
        const int rowsIn = ye[dy] - yb[dy];
        for (int sy = yb[dy]; sy < ye[dy]; ++sy) {
            const uint8_t* row = pixels + static_cast<size_t>(sy) * stride;
            uint32_t* s = sum.data();
            for (int dx = 0; dx < dstWidth; ++dx, s += 3) {
                uint32_t b = 0, g = 0, r = 0;
                for (const uint8_t *p = row + xb[dx] * 3, *end = row + xe[dx] * 3; p < end; p += 3) {
                    b += p[0];
                    g += p[1];
                    r += p[2];
                }
                s[0] += b;
                s[1] += g;
                s[2] += r;
            }
        }
        uint32_t* out = dst + static_cast<size_t>(dy) * dstStride;
        const uint32_t* s = sum.data();
        for (int dx = 0; dx < dstWidth; ++dx, s += 3) {
            const uint32_t n = static_cast<uint32_t>((xe[dx] - xb[dx]) * rowsIn);
            const uint32_t half = n / 2;
            out[dx] = ((s[2] + half) / n) << 16 | ((s[1] + half) / n) << 8 | ((s[0] + half) / n);
        }
    }
    return true;
}

} // namespace video
