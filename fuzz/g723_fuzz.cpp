// Arbitrary bytes to the decoder and the packet decoder: nothing is read or written outside the
// buffers given (ASan checks both; the buffers are exactly as large as the calls may use).
#include "AudioCoderSet.h"
#include "G723Coder.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int channel = static_cast<int8_t>(data[0]) % 8;
    std::vector<uint8_t> body(data + 1, data + size); // exact size, so overreads are caught
    const int count = static_cast<int>(body.size());

    static CG723Coder coder; // state carried from input to input, as in use
    const int need = coder.Decode(body.data(), count, nullptr, 0);
    if (need < 0)
        __builtin_trap();
    auto pcm = std::make_unique<int16_t[]>(need + 1);
    if (need > 0 && coder.Decode(body.data(), count, pcm.get(), need - 1) != -1)
        __builtin_trap();
    if (coder.Decode(body.data(), count, pcm.get(), need) != need)
        __builtin_trap();

    static CAudioCoderSet set;
    if (set.Count() == 0)
        set.Init(CAudioCoderSet::kDefaultCoders);
    const int16_t* out = nullptr;
    const int bytes = set.DecodePacket(channel, body.data(), body.size(), &out);
    if (bytes != 0 && (bytes != 256 || !out))
        __builtin_trap();
    int16_t sum = 0;
    for (int i = 0; i < bytes / 2; ++i)
        sum = static_cast<int16_t>(sum + out[i]);
    const int raw = set.DecodeRaw(channel, body.data(), count, &out);
    for (int i = 0; i < raw / 2; ++i)
        sum = static_cast<int16_t>(sum + out[i]);
    return sum == 12345 ? 0 : 0;
}
