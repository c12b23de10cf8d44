#include "CoderSetCoding.h"
#include "AudioRecord.h"
#include <cstring>

namespace audio {

bool CCoderSetCoding::Decode(int index, const uint8_t* coded, uint8_t* pcm)
{
    const int16_t* out = nullptr;
    const int bytes = set_.DecodeRaw(index, coded, static_cast<int>(kCodedBlockBytes), &out);
    if (bytes != static_cast<int>(kBlockBytes) || !out)
        return false;
    std::memcpy(pcm, out, kBlockBytes);
    return true;
}

bool CCoderSetCoding::DecodeChannel(unsigned channel, const uint8_t* coded, uint8_t* pcm)
{
    return channel < kChannelCount && Decode(static_cast<int>(channel), coded, pcm);
}

bool CCoderSetCoding::DecodeTalkBack(const uint8_t* coded, uint8_t* pcm) { return Decode(kTalkBackCoder, coded, pcm); }

bool CCoderSetCoding::EncodeMicrophone(const uint8_t* pcm, uint8_t* coded)
{
    int16_t samples[kBlockSamples];
    std::memcpy(samples, pcm, kBlockBytes);
    const uint8_t* out = nullptr;
    if (set_.Encode(samples, static_cast<int>(kBlockSamples), &out) != static_cast<int>(kCodedBlockBytes) || !out)
        return false;
    std::memcpy(coded, out, kCodedBlockBytes);
    return true;
}

} // namespace audio
