#pragma once
// The view's coding on its CAudioCoderSet: coders 0-3 for the DVR's channels, coder 4 for talk-back,
// coder 0's encoder for the microphone. Results are copied out of the set's buffers at once.
#include "AudioCoderSet.h"
#include "AudioCoding.h"

namespace audio {

constexpr int kTalkBackCoder = 4;
constexpr int kViewCoderCount = 6;

class CCoderSetCoding : public IAudioCoding {
public:
    explicit CCoderSetCoding(CAudioCoderSet& set) : set_(set) {}
    bool DecodeChannel(unsigned channel, const uint8_t* coded, uint8_t* pcm) override;
    bool DecodeTalkBack(const uint8_t* coded, uint8_t* pcm) override;
    bool EncodeMicrophone(const uint8_t* pcm, uint8_t* coded) override;

private:
    bool Decode(int index, const uint8_t* coded, uint8_t* pcm);
    CAudioCoderSet& set_; // not ours
};

} // namespace audio
