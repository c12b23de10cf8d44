// Arbitrary frame headers and payloads through DecodeFrame. Input: one byte of channel, then a
// 64-byte header and its payload; several frames may follow each other, each prefixed by a 16-bit
// length, so sequences of sizes, sequence numbers and VOLs are explored. Frames sit in a slot of
// the viewer's size (256 KiB), as they do in the viewer.
#include "Mp4DecoderManager.h"
#include "wire/ByteOrder.h"
#include "wire/StreamFrame.h"
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::unique_ptr<uint8_t[]> slot(new uint8_t[262144]);
    video::CMp4DecoderManager m(video::LinkedXvidApi());
    const int w[4] = {16, 16, 16, 16}, h[4] = {16, 16, 16, 16}; // cheap to make; frames resize
    m.Initialize(4, size > 0 && (data[0] & 0x80) ? 2 : 0, w, h, nullptr);
    wire::ByteReader r(data, size);
    uint8_t channel = 0;
    uint16_t length = 0;
    while (r.U8(channel) && r.U16(length)) {
        const size_t n = length < r.Remaining() ? length : r.Remaining();
        const uint8_t* bytes = r.Take(n);
        if (n)
            std::memcpy(slot.get(), bytes, n);
        std::memset(slot.get() + n, 0, 262144 - n < 65536 ? 262144 - n : 65536);
        wire::VideoFrameHeader header;
        if (wire::ParseVideoFrameHeader(slot.get(), n, header)) {
            video::DecodedPicture pic{};
            m.DecodeFrame(header, slot.get(), n, &pic, channel % 5);
        }
        m.GetResolutionClass(channel % 5);
    }
    m.Destroy();
    return 0;
}
