#include "QueueTrim.h"
#include <algorithm>

namespace audio {

void CQueueTrim::Reset()
{
    seen_ = 0;
    lowest_ = UINT32_MAX;
    surplus_ = 0;
    sinceTrim_ = spacing_;
}

bool CQueueTrim::Trim(uint32_t queuedBytes)
{
    lowest_ = std::min(lowest_, queuedBytes);
    if (++seen_ >= window_) {
        // A fresh measure replaces what the last window left undone: trims made since already show.
        surplus_ = lowest_ > lowWater_ && blockBytes_ ? (lowest_ - lowWater_) / blockBytes_ : 0;
        seen_ = 0;
        lowest_ = UINT32_MAX;
    }
    if (sinceTrim_ < spacing_ || surplus_ == 0) {
        ++sinceTrim_;
        return false;
    }
    --surplus_;
    sinceTrim_ = 0;
    return true;
}

namespace {
int Sample(const uint8_t* p, size_t i) { return static_cast<int16_t>(p[2 * i] | (p[2 * i + 1] << 8)); }
} // namespace

void MergeBlocks(const uint8_t* a, const uint8_t* b, uint8_t* out, size_t length)
{
    const size_t n = length / 2;
    if (n == 0)
        return;
    const long span = n > 1 ? static_cast<long>(n - 1) : 1;
    for (size_t i = 0; i < n; ++i) {
        const long w = static_cast<long>(i);
        const long v = (Sample(a, i) * (span - w) + Sample(b, i) * w) / span;
        out[2 * i] = static_cast<uint8_t>(v & 0xFF);
        out[2 * i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    }
}

} // namespace audio
