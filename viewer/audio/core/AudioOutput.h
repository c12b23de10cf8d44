#pragma once
// What the receive path writes decoded blocks to: a playback device (CAudioPlayer on Windows), or a
// file writer in the tools. Write returns 0 when the block was taken, a negative code when dropped.
#include <cstddef>
#include <cstdint>

namespace audio {

class IAudioOutput {
public:
    virtual long Write(const void* data, uint32_t length) = 0;
    // Bytes written and not yet played; 0 where the output does not play in real time.
    virtual uint32_t QueuedBytes() { return 0; }

protected:
    ~IAudioOutput() = default;
};

} // namespace audio
