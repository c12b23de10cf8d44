#pragma once
// The coding the audio paths need, one block at a time. The view's implementation runs on its
// CAudioCoderSet (coders 0-3: DVR channels, coder 4: talk-back, coder 0's encoder: microphone).
#include <cstdint>

namespace audio {

class IAudioCoding {
public:
    // Decodes the 48-byte block of DVR audio channel `channel` (0-3) to 256 PCM bytes.
    virtual bool DecodeChannel(unsigned channel, const uint8_t* coded, uint8_t* pcm) = 0;
    // Decodes a 48-byte talk-back block to 256 PCM bytes.
    virtual bool DecodeTalkBack(const uint8_t* coded, uint8_t* pcm) = 0;
    // Encodes 256 PCM bytes of microphone to 48 coded bytes.
    virtual bool EncodeMicrophone(const uint8_t* pcm, uint8_t* coded) = 0;

protected:
    ~IAudioCoding() = default;
};

} // namespace audio
