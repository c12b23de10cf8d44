#include "AudioCoderSet.h"

#include "wire/StreamFrame.h"

#include <new>

int CAudioCoderSet::Init(int n)
{
    Release();
    if (n < 0)
        return 0;
    coders_.reset(new (std::nothrow) CG723Coder[n]);
    if (!coders_)
        return 0;
    decodeBuffers_.reset(new (std::nothrow) std::unique_ptr<int16_t[]>[n]);
    if (!decodeBuffers_)
        return 0;
    count_ = n;
    return 1;
}

void CAudioCoderSet::Release()
{
    count_ = 0;
    decodeBuffers_.reset();
    coders_.reset();
    encodeBuffer_.reset();
}

int CAudioCoderSet::DecodeInto(int index, const uint8_t* codes, int byteCount, const int16_t** pcm)
{
    *pcm = nullptr;
    if (index < 0 || index >= count_ || byteCount <= 0 || !codes)
        return 0;
    CG723Coder& coder = coders_[index];
    const int samples = coder.Decode(codes, byteCount, nullptr, 0);
    auto& buffer = decodeBuffers_[index];
    buffer.reset();
    if (samples <= 0)
        return 0;
    buffer.reset(new (std::nothrow) int16_t[samples]);
    if (!buffer || coder.Decode(codes, byteCount, buffer.get(), samples) != samples)
        return 0;
    *pcm = buffer.get();
    return samples * 2;
}

int CAudioCoderSet::DecodePacket(int channel, const uint8_t* record, size_t recordSize, const int16_t** pcm)
{
    *pcm = nullptr;
    if (!wire::IsAudioTag(record, recordSize) || channel < 0)
        return 0;
    const size_t offset = wire::kAudioHeaderSize + static_cast<size_t>(channel) * CG723Coder::kBlockBytes;
    if (offset > recordSize || recordSize - offset < CG723Coder::kBlockBytes)
        return 0;
    return DecodeInto(channel, record + offset, CG723Coder::kBlockBytes, pcm);
}

int CAudioCoderSet::DecodeRaw(int index, const uint8_t* codes, int byteCount, const int16_t** pcm)
{
    std::lock_guard<std::mutex> hold(lock_);
    return DecodeInto(index, codes, byteCount, pcm);
}

int CAudioCoderSet::Encode(const int16_t* samples, int sampleCount, const uint8_t** coded)
{
    *coded = nullptr;
    encodeBuffer_.reset();
    if (count_ < 1)
        return -1;
    CG723Coder& coder = coders_[0];
    // The buffer is sized by the coder's own count: sampleCount x 3 / 8 bytes.
    const int bytes = coder.Encode(samples, sampleCount, nullptr, 0);
    if (bytes < 0)
        return bytes;
    if (bytes == 0) {
        uint8_t none = 0; // fewer than three samples still advance the encoder
        return coder.Encode(samples, sampleCount, &none, 0);
    }
    encodeBuffer_.reset(new (std::nothrow) uint8_t[bytes]);
    if (!encodeBuffer_)
        return -1;
    const int result = coder.Encode(samples, sampleCount, encodeBuffer_.get(), bytes);
    if (result > 0)
        *coded = encodeBuffer_.get();
    return result;
}
