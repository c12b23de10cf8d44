#pragma once
// Conduix's wire framing (docs/conduix-framing.md): every unit on the TCP stream is a frame of an
// 8-byte header and a body. Shared by Conduix.dll, the DVR simulator and the native client.
//
// Frame header, little-endian:
//   0  'C' 'X'          magic
//   2  uint8  version   1
//   3  uint8  kind      FrameKind
//   4  uint32 length    bytes of body that follow, at most kMaxFrameBody
// Bodies: Init: empty. Packet and Stream: a 16-byte packet header (_tagNsmgPacketHeader; its
// length field equals the body length less 16) followed by the payload or block bytes.
// StreamStatus: uint32 value, uint32 open (8 bytes).
#include "conduix/NsmgTypes.h"
#include <cstddef>
#include <cstdint>
#include <vector>

namespace conduix {

constexpr size_t kFrameHeaderSize = 8;
constexpr uint8_t kFramingVersion = 1;
constexpr size_t kPacketHeaderSize = 16;
constexpr uint32_t kMaxPayload = 1u << 20; // largest packet payload or stream block
constexpr uint32_t kMaxFrameBody = kMaxPayload + kPacketHeaderSize; // largest body accepted
constexpr size_t kStreamStatusBodySize = 8;

enum class FrameKind : uint8_t {
    Init = 1, // client -> DVR: start of a session; the DVR answers with command 85
    Packet = 2, // either way: one command packet
    Stream = 3, // either way: one stream block (DVR -> client: 83 or 138; client -> DVR: 138, 99)
    StreamStatus = 4, // DVR -> client: media stream state, posted as 1428
};

enum class FrameError {
    None,
    BadMagic,
    BadVersion,
    BadKind,
    TooLarge, // stated body length above the limit
    BadBody, // body inconsistent with its kind (size, packet header length)
};
const char* FrameErrorText(FrameError e);

// One decoded frame. For Packet and Stream, `header` is the 16-byte packet header as received and
// `payload` points to `header.length` bytes; both point into the decoder's buffer.
struct Frame {
    FrameKind kind = FrameKind::Init;
    _tagNsmgPacketHeader header{};
    const uint8_t* headerBytes = nullptr; // the 16 raw bytes (Packet, Stream)
    const uint8_t* payload = nullptr;
    uint32_t payloadLength = 0;
    uint32_t statusValue = 0; // StreamStatus
    uint32_t statusOpen = 0; // StreamStatus
};

// Checks an 8-byte frame header. `maxBody` lets a side accept less than kMaxFrameBody.
FrameError ParseFrameHeader(const uint8_t* p, size_t n, FrameKind& kind, uint32_t& bodyLength,
                            uint32_t maxBody = kMaxFrameBody);
// Checks a complete body of the given kind and fills `out` (pointers into `body`).
FrameError ParseFrameBody(FrameKind kind, const uint8_t* body, uint32_t bodyLength, Frame& out);

// Incremental decoder over a byte stream. Memory is bounded by kFrameHeaderSize + maxBody: a
// stated length above the limit is refused before anything is allocated for it. After an error
// the decoder stays failed; the connection is to be closed.
class FrameDecoder {
public:
    // `batch`: the room WriteArea offers at least (within the frame limit), so receives are large.
    explicit FrameDecoder(size_t initialCapacity = 64 * 1024, uint32_t maxBody = kMaxFrameBody,
                          size_t batch = 64 * 1024);

    // Room to receive into directly (at least 1 byte unless failed), then Commit what arrived.
    uint8_t* WriteArea(size_t& room);
    void Commit(size_t n);
    // Copies in what fits and returns how many bytes were taken: fewer than n when whole frames
    // wait to be taken with Next(), 0 once failed. Callers alternate Feed and Next.
    size_t Feed(const uint8_t* data, size_t n);

    enum class Result { NeedMore, Ready, Failed };
    // The next complete frame; its pointers stay valid until the next WriteArea/Feed/Next call.
    Result Next(Frame& out);

    FrameError Error() const { return error_; }
    size_t Buffered() const { return end_ - begin_; }
    size_t Capacity() const { return buf_.size(); }

private:
    void MakeRoom(size_t need);

    std::vector<uint8_t> buf_;
    size_t begin_ = 0, end_ = 0;
    uint32_t maxBody_;
    size_t batch_;
    FrameError error_ = FrameError::None;
};

// Encoders append one whole frame to `out`. Lengths above kMaxPayload are refused (false).
void AppendInitFrame(std::vector<uint8_t>& out);
bool AppendPacketFrame(std::vector<uint8_t>& out, uint16_t command, const void* payload, size_t length,
                       uint32_t sequence);
bool AppendStreamFrame(std::vector<uint8_t>& out, uint16_t command, const void* data, size_t length, uint32_t sequence);
void AppendStreamStatusFrame(std::vector<uint8_t>& out, uint32_t value, uint32_t open);

} // namespace conduix
