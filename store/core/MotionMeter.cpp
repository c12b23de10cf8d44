#include "StoreWriter.h"
#include <algorithm>
#include <cstdlib>

namespace store {

// Each picture is reduced to kGrid x kGrid cells of mean luma (sampled every other pixel and row: a
// cell of a D1 picture still averages about 80 samples, plenty against noise). A picture's difference
// is the share of cells whose mean moved by more than a threshold; the second's level is the highest
// difference of its pictures, 0..100.
namespace {

constexpr int kThreshold = 12 * 16; // cell means are kept x16

template <typename Sample>
void Reduce(const uint8_t* base, int width, int height, int stride, int bytesPerPixel, Sample sample,
            uint16_t* cells)
{
    constexpr int G = MotionMeter::kGrid;
    uint32_t sum[G * G] = {};
    uint32_t count[G * G] = {};
    int cellOfX[720 + 1];
    const int w = std::min(width, 720);
    for (int x = 0; x < w; x += 2)
        cellOfX[x] = x * G / w;
    for (int y = 0; y < height; y += 2) {
        const int cy = y * G / height;
        const uint8_t* row = base + static_cast<ptrdiff_t>(y) * stride;
        uint32_t* srow = sum + cy * G;
        uint32_t* crow = count + cy * G;
        for (int x = 0; x < w; x += 2) {
            const int cx = cellOfX[x];
            srow[cx] += sample(row + x * bytesPerPixel);
            crow[cx] += 1;
        }
    }
    for (int i = 0; i < G * G; ++i)
        cells[i] = count[i] ? static_cast<uint16_t>(sum[i] * 16 / count[i]) : 0;
}

bool Usable(const uint8_t* p, int width, int height, int stride, int bytesPerPixel)
{
    return p && width >= MotionMeter::kGrid && height >= MotionMeter::kGrid && width <= 4096 && height <= 4096 &&
        stride >= width * bytesPerPixel;
}

} // namespace

void MotionMeter::AddLuma(const uint8_t* y, int width, int height, int stride, uint32_t dvrUtcSeconds)
{
    if (!Usable(y, width, height, stride, 1) || width > 720)
        return;
    uint16_t cells[kGrid * kGrid];
    Reduce(y, width, height, stride, 1, [](const uint8_t* p) -> uint32_t { return p[0]; }, cells);
    AddReduced(cells, dvrUtcSeconds);
}

void MotionMeter::AddBgr(const uint8_t* bgr, int width, int height, int stride, uint32_t dvrUtcSeconds)
{
    if (!Usable(bgr, width, height, stride, 3) || width > 720)
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
