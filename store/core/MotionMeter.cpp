#include "StoreWriter.h"
#include <algorithm>
#include <cstdlib>

namespace store {

// Each picture is reduced to kGrid x kGrid cells of mean luma, sampled on a sparse grid (D1: every 4th
// pixel of every 7th row, about 12 samples a cell, plenty against noise; the cost is mostly the
// memory the sampled rows bring in). A picture's
// difference is the share of cells whose mean moved by more than a threshold; the second's level is
// the highest difference of its pictures, 0..100.
namespace {

constexpr int kStep = 4;
constexpr int kThreshold = 12 * 16; // cell means are kept x16

template <typename Sample>
void Reduce(const uint8_t* base, int width, int height, int stride, int bytesPerPixel, Sample sample,
            uint16_t* cells)
{
    constexpr int G = MotionMeter::kGrid;
    uint32_t sum[G * G] = {};
    uint32_t rows[G] = {};
    int x0[G + 1];
    int across[G];
    const int xStep = std::clamp(width / (4 * G), 1, kStep);
    const int yStep = std::clamp(height / (2 * G), 1, 2 * kStep);
    for (int c = 0; c <= G; ++c)
        x0[c] = (c * width / G + xStep - 1) / xStep * xStep; // first sampled x of each cell
    for (int c = 0; c < G; ++c)
        across[c] = (x0[c + 1] - x0[c] + xStep - 1) / xStep;
    for (int y = 0; y < height; y += yStep) {
        const int cy = y * G / height;
        ++rows[cy];
        const uint8_t* row = base + static_cast<ptrdiff_t>(y) * stride;
        uint32_t* srow = sum + cy * G;
        for (int cx = 0; cx < G; ++cx) {
            uint32_t s = 0;
            const int end = x0[cx + 1];
            for (int x = x0[cx]; x < end; x += xStep)
                s += sample(row + x * bytesPerPixel);
            srow[cx] += s;
        }
    }
    for (int cy = 0; cy < G; ++cy)
        for (int cx = 0; cx < G; ++cx) {
            const uint32_t n = rows[cy] * uint32_t(across[cx]);
            cells[cy * G + cx] = n ? static_cast<uint16_t>(sum[cy * G + cx] * 16 / n) : 0;
        }
}

bool Usable(const uint8_t* p, int width, int height, int stride, int bytesPerPixel)
{
    return p && width >= 2 * MotionMeter::kGrid && height >= 2 * MotionMeter::kGrid && width <= 4096 &&
        height <= 4096 &&
        stride >= width * bytesPerPixel;
}

} // namespace

void MotionMeter::AddLuma(const uint8_t* y, int width, int height, int stride, uint32_t dvrUtcSeconds)
{
    if (!Usable(y, width, height, stride, 1))
        return;
    uint16_t cells[kGrid * kGrid];
    Reduce(y, width, height, stride, 1, [](const uint8_t* p) -> uint32_t { return p[0]; }, cells);
    AddReduced(cells, dvrUtcSeconds);
}

void MotionMeter::AddBgr(const uint8_t* bgr, int width, int height, int stride, uint32_t dvrUtcSeconds)
{
    if (!Usable(bgr, width, height, stride, 3))
        return;
    uint16_t cells[kGrid * kGrid];
    // Luma as BT.601 weights in integers (29 B + 150 G + 77 R) / 256.
    Reduce(bgr, width, height, stride, 3,
           [](const uint8_t* p) -> uint32_t { return (29u * p[0] + 150u * p[1] + 77u * p[2]) >> 8; }, cells);
    AddReduced(cells, dvrUtcSeconds);
}

void MotionMeter::AddReduced(const uint16_t* cells, uint32_t second)
{
    uint32_t moved = 0;
    if (havePrevious_)
        for (int i = 0; i < kGrid * kGrid; ++i)
            moved += std::abs(int(cells[i]) - int(previous_[i])) > kThreshold ? 1 : 0;
    std::copy(cells, cells + kGrid * kGrid, previous_);
    const uint32_t level = havePrevious_ ? (moved * 100 + kGrid * kGrid - 1) / (kGrid * kGrid) : 0;
    havePrevious_ = true;
    if (inSecond_ && second != second_) {
        // The second that ended (a picture from an earlier second, a clock set back, starts afresh).
        ready_ = true;
        readySecond_ = second_;
        readyLevel_ = static_cast<uint8_t>(std::min<uint32_t>(peak_, 100));
        peak_ = 0;
    }
    if (!inSecond_ || second != second_) {
        inSecond_ = true;
        second_ = second;
    }
    peak_ = std::max(peak_, level);
}

bool MotionMeter::Take(uint32_t* second, uint8_t* level)
{
    if (!ready_)
        return false;
    ready_ = false;
    if (second)
        *second = readySecond_;
    if (level)
        *level = readyLevel_;
    return true;
}

} // namespace store
