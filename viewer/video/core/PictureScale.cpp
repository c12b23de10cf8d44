#include "PictureScale.h"
#include <algorithm>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace video {

namespace {

// Integer weights of one axis: output position i reads the `count[i]` source positions from
// `first[i]` with the weights from `weight[offset[i]]` on, which add up to `total` for every i.
struct Axis {
    std::vector<int> first, count, offset;
    std::vector<uint32_t> weight;
    uint32_t total = 0;
};

// Every weight total is at most this, so that 255 x total x total fits 32 bits.
constexpr uint32_t kMaxTotal = 4096;
static_assert(kMaxTotal <= 0xFFFF, "weights are multiplied as 16-bit values");

// Shrinking, each output pixel covers length/out source pixels and each source pixel counts by how
// much of it is covered: in units of 1/out of a source pixel, output i covers [i*length,
// (i+1)*length) and source pixel s covers [s*out, (s+1)*out), so the weights are whole numbers that
// add up to `length` exactly. Enlarging, the two source pixels nearest the output pixel's centre
// count by their distance to it (in units of 1/(2 out) of a source pixel; at the edges the one pixel
// there). Totals above kMaxTotal are brought down to it, within rounding.
void MakeAxis(int from, int length, int out, Axis& a)
{
    const size_t n = static_cast<size_t>(out);
    a.first.resize(n);
    a.count.resize(n);
    a.offset.resize(n);
    a.weight.clear();
    const int64_t len = length, o = out;
    if (length >= out) {
        a.total = static_cast<uint32_t>(length);
        for (int64_t i = 0; i < o; ++i) {
            const int64_t begin = i * len, end = begin + len;
            const int64_t s0 = begin / o, s1 = (end + o - 1) / o; // source pixels touched: [s0, s1)
            a.first[i] = from + static_cast<int>(s0);
            a.count[i] = static_cast<int>(s1 - s0);
            a.offset[i] = static_cast<int>(a.weight.size());
            for (int64_t s = s0; s < s1; ++s)
                a.weight.push_back(static_cast<uint32_t>(std::min(end, (s + 1) * o) - std::max(begin, s * o)));
        }
    } else {
        a.total = static_cast<uint32_t>(2 * o);
        for (int64_t i = 0; i < o; ++i) {
            // The centre in source coordinates less half a pixel, times 2*out.
            const int64_t c = (2 * i + 1) * len - o;
            a.offset[i] = static_cast<int>(a.weight.size());
            if (c <= 0 || c >= (len - 1) * 2 * o) {
                a.first[i] = from + (c <= 0 ? 0 : length - 1);
                a.count[i] = 1;
                a.weight.push_back(a.total);
                continue;
            }
            const int64_t s = c / (2 * o), frac = c % (2 * o);
            a.first[i] = from + static_cast<int>(s);
            a.count[i] = 2;
            a.weight.push_back(static_cast<uint32_t>(2 * o - frac));
            a.weight.push_back(static_cast<uint32_t>(frac));
        }
    }
    if (a.total <= kMaxTotal)
        return;
    // Rescale each output's weights to kMaxTotal; the rounding remainder goes to its largest weight.
    for (size_t i = 0; i < n; ++i) {
        uint32_t* w = a.weight.data() + a.offset[i];
        uint32_t sum = 0, largest = 0;
        for (int k = 0; k < a.count[i]; ++k) {
            w[k] = static_cast<uint32_t>((uint64_t{w[k]} * kMaxTotal + a.total / 2) / a.total);
            sum += w[k];
            if (w[k] > w[largest])
                largest = static_cast<uint32_t>(k);
        }
        w[largest] = w[largest] + kMaxTotal - sum;
    }
    a.total = kMaxTotal;
}

// One source row, weighted, added to the column sums. The weight (at most kMaxTotal) and the byte
// are both 16-bit, so with SSE2 the products are widening 16 x 16 multiplies (low and high halves),
// sixteen bytes at a time; SSE2 has no 32-bit multiply, which the compiler would otherwise emulate.
void AddRow(const uint8_t* __restrict row, uint16_t weight, size_t n, uint32_t* __restrict sum)
{
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i w = _mm_set1_epi16(static_cast<short>(weight)), zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        for (int half = 0; half < 2; ++half) {
            const __m128i x = half ? _mm_unpackhi_epi8(bytes, zero) : _mm_unpacklo_epi8(bytes, zero);
            const __m128i lo = _mm_mullo_epi16(x, w), hi = _mm_mulhi_epu16(x, w);
            __m128i* s = reinterpret_cast<__m128i*>(sum + i + 8 * half);
            _mm_storeu_si128(s, _mm_add_epi32(_mm_loadu_si128(s), _mm_unpacklo_epi16(lo, hi)));
            _mm_storeu_si128(s + 1, _mm_add_epi32(_mm_loadu_si128(s + 1), _mm_unpackhi_epi16(lo, hi)));
        }
    }
#endif
    for (; i < n; ++i)
        sum[i] += static_cast<uint32_t>(weight) * row[i];
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
    Axis ax, ay;
    MakeAxis(0, w, dstWidth, ax);
    MakeAxis(y0, h, dstHeight, ay);
    // Each output row: first its source rows weighted into column sums (three per source pixel),
    // then the column sums weighted along x.
    const size_t values = static_cast<size_t>(w) * 3;
    std::vector<uint32_t> columns(values);
    const double scale = 1.0 / (double(ax.total) * double(ay.total));
    for (int dy = 0; dy < dstHeight; ++dy) {
        std::fill(columns.begin(), columns.end(), 0u);
        const uint32_t* wy = ay.weight.data() + ay.offset[dy];
        for (int k = 0; k < ay.count[dy]; ++k)
            AddRow(pixels + static_cast<size_t>(ay.first[dy] + k) * stride + static_cast<size_t>(x0) * 3,
                   static_cast<uint16_t>(wy[k]), values, columns.data());
        uint32_t* out = dst + static_cast<size_t>(dy) * dstStride;
        for (int dx = 0; dx < dstWidth; ++dx) {
            const uint32_t* c = columns.data() + static_cast<size_t>(ax.first[dx]) * 3;
            const uint32_t* wx = ax.weight.data() + ax.offset[dx];
            uint32_t b = 0, g = 0, r = 0;
            for (int k = 0, n = ax.count[dx]; k < n; ++k, c += 3) {
                b += wx[k] * c[0];
                g += wx[k] * c[1];
                r += wx[k] * c[2];
            }
            out[dx] = static_cast<uint32_t>(r * scale + 0.5) << 16 | static_cast<uint32_t>(g * scale + 0.5) << 8 |
                static_cast<uint32_t>(b * scale + 0.5);
        }
    }
    return true;
}

} // namespace video
