#include "AviWriter.h"
#include <cstring>

namespace backup {
namespace {

constexpr uint32_t kAvifHasIndex = 0x10, kAvifIsInterleaved = 0x100, kAviifKeyframe = 0x10;
constexpr size_t kSoundChunkSamples = 1600;

// Offsets of the values Finish patches (the header's layout below is fixed).
constexpr uint64_t kRiffSize = 4, kTotalFrames = 12 + 12 + 8 + 16, kSuggestedBuffer = 12 + 12 + 8 + 28;
constexpr uint64_t kVideoStrh = 12 + 12 + 64 + 12 + 8, kAudioStrh = kVideoStrh + 56 + 48 + 12 + 8;
constexpr uint64_t kStrhLength = 32, kStrhBuffer = 36;

struct Bytes {
    std::vector<uint8_t> b;
    void U32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            b.push_back(uint8_t(v >> (8 * i)));
    }
    void U16(uint16_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
    void Cc(const char* s) { b.insert(b.end(), s, s + 4); }
};

void StoreU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

} // namespace

bool AviWriter::Begin(const AviFormat& format)
{
    fmt_ = format;
    const uint32_t streams = fmt_.sound ? 2 : 1;
    Bytes h;
    h.Cc("RIFF"), h.U32(0), h.Cc("AVI ");
    const uint32_t strlVideo = 4 + 64 + 48, strlAudio = 4 + 64 + 26;
    h.Cc("LIST"), h.U32(4 + 64 + 8 + strlVideo + (fmt_.sound ? 8 + strlAudio : 0)), h.Cc("hdrl");
    h.Cc("avih"), h.U32(56);
    h.U32(uint32_t(uint64_t(1000000) * fmt_.scale / fmt_.rate)); // microseconds per frame
    h.U32(0), h.U32(0), h.U32(kAvifHasIndex | kAvifIsInterleaved);
    h.U32(0), h.U32(0), h.U32(streams), h.U32(0); // total frames, initial, streams, suggested buffer
    h.U32(uint32_t(fmt_.width)), h.U32(uint32_t(fmt_.height)), h.U32(0), h.U32(0), h.U32(0), h.U32(0);

    h.Cc("LIST"), h.U32(strlVideo), h.Cc("strl");
    h.Cc("strh"), h.U32(56), h.Cc("vids"), h.Cc("XVID"), h.U32(0), h.U32(0), h.U32(0);
    h.U32(fmt_.scale), h.U32(fmt_.rate), h.U32(0), h.U32(0), h.U32(0), h.U32(0xFFFFFFFF), h.U32(0);
    h.U16(0), h.U16(0), h.U16(uint16_t(fmt_.width)), h.U16(uint16_t(fmt_.height));
    h.Cc("strf"), h.U32(40), h.U32(40), h.U32(uint32_t(fmt_.width)), h.U32(uint32_t(fmt_.height)), h.U16(1), h.U16(24);
    h.Cc("XVID"), h.U32(uint32_t(fmt_.width * fmt_.height * 3)), h.U32(0), h.U32(0), h.U32(0), h.U32(0);
    if (fmt_.sound) {
        h.Cc("LIST"), h.U32(strlAudio), h.Cc("strl");
        h.Cc("strh"), h.U32(56), h.Cc("auds"), h.U32(0), h.U32(0), h.U32(0), h.U32(0);
        h.U32(1), h.U32(kSoundRate), h.U32(0), h.U32(0), h.U32(0), h.U32(0xFFFFFFFF), h.U32(2);
        h.U16(0), h.U16(0), h.U16(0), h.U16(0);
        h.Cc("strf"), h.U32(18), h.U16(1), h.U16(1), h.U32(kSoundRate), h.U32(kSoundRate * 2), h.U16(2), h.U16(16);
        h.U16(0);
    }
    h.Cc("LIST"), h.U32(0), h.Cc("movi");
    moviStart_ = f_.Size() + h.b.size() - 4;
    return f_.Write(h.b.data(), h.b.size());
}

bool AviWriter::Chunk(const char id[4], const uint8_t* a, size_t na, const uint8_t* b, size_t nb, uint32_t flags)
{
    const size_t n = na + nb;
    if (n > 0x7FFFFFFF)
        return false;
    const uint64_t offset = f_.Size() - moviStart_;
    uint8_t head[8];
    std::memcpy(head, id, 4);
    StoreU32(head + 4, uint32_t(n));
    const uint8_t pad = 0;
    if (!f_.Write(head, 8) || !f_.Write(a, na) || !f_.Write(b, nb) || ((n & 1) && !f_.Write(&pad, 1)))
        return false;
    uint8_t e[16];
    std::memcpy(e, id, 4);
    StoreU32(e + 4, flags);
    StoreU32(e + 8, uint32_t(offset));
    StoreU32(e + 12, uint32_t(n));
    index_.insert(index_.end(), e, e + 16);
    if (n > maxChunk_)
        maxChunk_ = uint32_t(n);
    return true;
}

bool AviWriter::AddVideo(const uint8_t* data, size_t size, bool key) { return AddVideo2(data, size, nullptr, 0, key); }

bool AviWriter::AddVideo2(const uint8_t* a, size_t na, const uint8_t* b, size_t nb, bool key)
{
    if (pending_.size() >= kSoundChunkSamples && !FlushSound())
        return false;
    ++videoFrames_;
    return Chunk("00dc", a, na, b, nb, key ? kAviifKeyframe : 0);
}

bool AviWriter::AddSound(const int16_t* samples, size_t count)
{
    if (!fmt_.sound)
        return true;
    pending_.insert(pending_.end(), samples, samples + count);
    return pending_.size() < 4 * kSoundChunkSamples || FlushSound();
}

bool AviWriter::FlushSound()
{
    if (pending_.empty())
        return true;
    std::vector<uint8_t> le(pending_.size() * 2);
    for (size_t i = 0; i < pending_.size(); ++i)
        le[2 * i] = uint8_t(pending_[i]), le[2 * i + 1] = uint8_t(uint16_t(pending_[i]) >> 8);
    soundSamples_ += pending_.size();
    pending_.clear();
    return Chunk("01wb", le.data(), le.size(), nullptr, 0, kAviifKeyframe);
}

uint64_t AviWriter::SizeIfFinishedNow() const
{
    const uint64_t sound = pending_.empty() ? 0 : 8 + pending_.size() * 2 + 16;
    return f_.Size() + sound + 8 + index_.size();
}

bool AviWriter::Finish()
{
    if (!FlushSound())
        return false;
    const uint64_t moviEnd = f_.Size();
    uint8_t head[8] = {'i', 'd', 'x', '1'};
    StoreU32(head + 4, uint32_t(index_.size()));
    if (!f_.Write(head, 8) || !f_.Write(index_.data(), index_.size()))
        return false;
    uint8_t v[4];
    auto patch = [&](uint64_t at, uint64_t value) {
        StoreU32(v, uint32_t(value));
        return f_.WriteAt(at, v, 4);
    };
    return patch(kRiffSize, f_.Size() - 8) && patch(moviStart_ - 4, moviEnd - moviStart_) &&
        patch(kTotalFrames, videoFrames_) && patch(kSuggestedBuffer, maxChunk_ + 8u) &&
        patch(kVideoStrh + kStrhLength, videoFrames_) && patch(kVideoStrh + kStrhBuffer, maxChunk_) &&
        (!fmt_.sound ||
         (patch(kAudioStrh + kStrhLength, soundSamples_) && patch(kAudioStrh + kStrhBuffer, 4 * kSoundChunkSamples * 2)));
}

} // namespace backup
