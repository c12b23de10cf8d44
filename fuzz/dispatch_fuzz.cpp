// Arbitrary bytes through both dispatchers: nothing is read outside the stated lengths.
#include "Dispatch.h"
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    uint16_t command = static_cast<uint16_t>(data[0] | (data[1] << 8));
    int channels = data[2] % 20;
    // Exact-size copy so ASan sees any read past the received bytes.
    std::vector<uint8_t> body(data + 3, data + size);
    const uint8_t* p = body.empty() ? nullptr : body.data();
    auto r = protocol::DecideReceive(command, p, body.size());
    (void)r;
    auto s = protocol::DecideStream(command & 1 ? protocol::kCmdStreamBlock : command, p, body.size(), channels);
    if (s.kind == protocol::StreamKind::Video || s.kind == protocol::StreamKind::Audio) {
        volatile uint8_t sum = 0;
        for (size_t i = 0; i < s.length; ++i)
            sum = sum + s.data[i];
        if (s.kind == protocol::StreamKind::Video && (s.channel < 0 || s.channel >= 16))
            __builtin_trap();
    }
    return 0;
}
