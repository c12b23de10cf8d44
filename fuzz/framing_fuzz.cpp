// Arbitrary bytes, fed in arbitrary pieces, through the frame decoder and then the dispatchers the
// way the view would receive them: no crash, no read outside a frame, memory within the limit.
#include "conduix/Framing.h"
#include "Dispatch.h"
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    size_t piece = 1 + data[0] % 64;
    conduix::FrameDecoder dec(256, 4096 + conduix::kPacketHeaderSize);
    size_t at = 1;
    while (at < size) {
        size_t n = std::min(piece, size - at);
        size_t took = dec.Feed(data + at, n);
        at += took;
        conduix::Frame f;
        conduix::FrameDecoder::Result r;
        while ((r = dec.Next(f)) == conduix::FrameDecoder::Result::Ready) {
            std::vector<uint8_t> payload(f.payload, f.payload + f.payloadLength);
            if (f.kind == conduix::FrameKind::Packet)
                (void)protocol::DecideReceive(f.header.command, payload.data(), payload.size());
            else if (f.kind == conduix::FrameKind::Stream)
                (void)protocol::DecideStream(f.header.command, payload.data(), payload.size(), 16);
        }
        if (r == conduix::FrameDecoder::Result::Failed)
            break;
        if (dec.Capacity() > conduix::kFrameHeaderSize + 4096 + conduix::kPacketHeaderSize)
            __builtin_trap();
        if (took == 0 && r == conduix::FrameDecoder::Result::NeedMore)
            __builtin_trap(); // a decoder that neither takes bytes nor yields frames would stall
    }
    return 0;
}
