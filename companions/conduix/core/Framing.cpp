#include "conduix/Framing.h"
#include "wire/ByteOrder.h"
#include <algorithm>
#include <cstring>

namespace conduix {

const char* FrameErrorText(FrameError e)
{
    switch (e) {
    case FrameError::None: return "no error";
    case FrameError::BadMagic: return "not a Conduix frame";
    case FrameError::BadVersion: return "unknown framing version";
    case FrameError::BadKind: return "unknown frame kind";
    case FrameError::TooLarge: return "frame larger than the limit";
    case FrameError::BadBody: return "frame body does not match its kind";
    }
    return "unknown error";
}

FrameError ParseFrameHeader(const uint8_t* p, size_t n, FrameKind& kind, uint32_t& bodyLength, uint32_t maxBody)
{
    wire::ByteReader r(p, n);
    uint8_t c = 0, x = 0, version = 0, k = 0;
    uint32_t len = 0;
    if (!r.U8(c) || !r.U8(x) || !r.U8(version) || !r.U8(k) || !r.U32(len))
        return FrameError::BadBody;
    if (c != 'C' || x != 'X')
        return FrameError::BadMagic;
    if (version != kFramingVersion)
        return FrameError::BadVersion;
    if (k < static_cast<uint8_t>(FrameKind::Init) || k > static_cast<uint8_t>(FrameKind::StreamStatus))
        return FrameError::BadKind;
    if (len > maxBody || len > kMaxFrameBody)
        return FrameError::TooLarge;
    kind = static_cast<FrameKind>(k);
    bodyLength = len;
    return FrameError::None;
}

FrameError ParseFrameBody(FrameKind kind, const uint8_t* body, uint32_t bodyLength, Frame& out)
{
    out = Frame{};
    out.kind = kind;
    wire::ByteReader r(body, bodyLength);
    switch (kind) {
    case FrameKind::Init: return bodyLength == 0 ? FrameError::None : FrameError::BadBody;
    case FrameKind::StreamStatus:
        if (bodyLength != kStreamStatusBodySize)
            return FrameError::BadBody;
        r.U32(out.statusValue);
        r.U32(out.statusOpen);
        return FrameError::None;
    case FrameKind::Packet:
    case FrameKind::Stream: {
        const uint8_t* h = r.Take(kPacketHeaderSize);
        if (!h)
            return FrameError::BadBody;
        out.headerBytes = h;
        out.header.sequence = wire::LoadLE32(h);
        out.header.flags = wire::LoadLE16(h + 4);
        out.header.command = wire::LoadLE16(h + 6);
        out.header.length = wire::LoadLE32(h + 8);
        out.header.reserved = wire::LoadLE32(h + 12);
        if (out.header.length != r.Remaining() || out.header.length > kMaxPayload)
            return FrameError::BadBody;
        out.payload = r.Take(out.header.length);
        out.payloadLength = out.header.length;
        if (!out.payload)
            out.payload = body; // zero length: a valid, empty range
        return FrameError::None;
    }
    }
    return FrameError::BadKind;
}

FrameDecoder::FrameDecoder(size_t initialCapacity, uint32_t maxBody, size_t batch)
    : maxBody_(std::min(maxBody, kMaxFrameBody)), batch_(std::clamp<size_t>(batch, 256, 4u << 20))
{
    initialCapacity = std::clamp<size_t>(initialCapacity, 256, kFrameHeaderSize + maxBody_);
    buf_.resize(initialCapacity);
}

void FrameDecoder::MakeRoom(size_t need)
{
    // need: free bytes wanted after end_. Compact first, grow only up to one whole frame.
    if (buf_.size() - end_ >= need)
        return;
    if (begin_ > 0) {
        std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (buf_.size() - end_ < need) {
        size_t want = std::min(kFrameHeaderSize + maxBody_, end_ + need);
        if (want > buf_.size())
            buf_.resize(want);
    }
}

uint8_t* FrameDecoder::WriteArea(size_t& room)
{
    room = 0;
    if (error_ != FrameError::None)
        return nullptr;
    // Room for the rest of the frame in progress, at least a header, at least a few KiB for batching.
    size_t need = kFrameHeaderSize;
    size_t have = end_ - begin_;
    if (have >= kFrameHeaderSize) {
        FrameKind k;
        uint32_t len = 0;
        if (ParseFrameHeader(buf_.data() + begin_, have, k, len, maxBody_) == FrameError::None &&
            have < kFrameHeaderSize + len)
            need = kFrameHeaderSize + len - have;
    }
    // Receive in batches where the frame limit allows.
    MakeRoom(std::max(need, batch_));
    room = buf_.size() - end_;
    return buf_.data() + end_;
}

void FrameDecoder::Commit(size_t n) { end_ += std::min(n, buf_.size() - end_); }

size_t FrameDecoder::Feed(const uint8_t* data, size_t n)
{
    size_t taken = 0;
    while (taken < n && error_ == FrameError::None) {
        size_t room = 0;
        uint8_t* dst = WriteArea(room);
        if (!dst || room == 0)
            break;
        size_t k = std::min(room, n - taken);
        std::memcpy(dst, data + taken, k);
        Commit(k);
        taken += k;
    }
    return taken;
}

FrameDecoder::Result FrameDecoder::Next(Frame& out)
{
    if (error_ != FrameError::None)
        return Result::Failed;
    size_t have = end_ - begin_;
    if (have < kFrameHeaderSize)
        return Result::NeedMore;
    FrameKind kind;
    uint32_t len = 0;
    FrameError e = ParseFrameHeader(buf_.data() + begin_, have, kind, len, maxBody_);
    if (e != FrameError::None) {
        error_ = e;
        return Result::Failed;
    }
    if (have < kFrameHeaderSize + len)
        return Result::NeedMore;
    e = ParseFrameBody(kind, buf_.data() + begin_ + kFrameHeaderSize, len, out);
    if (e != FrameError::None) {
        error_ = e;
        return Result::Failed;
    }
    begin_ += kFrameHeaderSize + len;
    if (begin_ == end_)
        begin_ = end_ = 0;
    return Result::Ready;
}

namespace {
void PutHeader(std::vector<uint8_t>& out, FrameKind kind, uint32_t bodyLength)
{
    size_t at = out.size();
    out.resize(at + kFrameHeaderSize);
    uint8_t* p = out.data() + at;
    p[0] = 'C';
    p[1] = 'X';
    p[2] = kFramingVersion;
    p[3] = static_cast<uint8_t>(kind);
    wire::StoreLE32(p + 4, bodyLength);
}

bool PutPacket(std::vector<uint8_t>& out, FrameKind kind, uint16_t command, const void* data, size_t length,
               uint32_t sequence)
{
    if (length > kMaxPayload || (length > 0 && !data))
        return false;
    PutHeader(out, kind, static_cast<uint32_t>(kPacketHeaderSize + length));
    size_t at = out.size();
    out.resize(at + kPacketHeaderSize + length);
    uint8_t* p = out.data() + at;
    std::memset(p, 0, kPacketHeaderSize);
    wire::StoreLE32(p, sequence);
    wire::StoreLE16(p + 6, command);
    wire::StoreLE32(p + 8, static_cast<uint32_t>(length));
    if (length)
        std::memcpy(p + kPacketHeaderSize, data, length);
    return true;
}
} // namespace

void AppendInitFrame(std::vector<uint8_t>& out) { PutHeader(out, FrameKind::Init, 0); }

bool AppendPacketFrame(std::vector<uint8_t>& out, uint16_t command, const void* payload, size_t length,
                       uint32_t sequence)
{
    return PutPacket(out, FrameKind::Packet, command, payload, length, sequence);
}

bool AppendStreamFrame(std::vector<uint8_t>& out, uint16_t command, const void* data, size_t length, uint32_t sequence)
{
    return PutPacket(out, FrameKind::Stream, command, data, length, sequence);
}

void AppendStreamStatusFrame(std::vector<uint8_t>& out, uint32_t value, uint32_t open)
{
    PutHeader(out, FrameKind::StreamStatus, kStreamStatusBodySize);
    size_t at = out.size();
    out.resize(at + kStreamStatusBodySize);
    wire::StoreLE32(out.data() + at, value);
    wire::StoreLE32(out.data() + at + 4, open);
}

} // namespace conduix
