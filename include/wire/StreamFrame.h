#pragma once
// Headers of the stream blocks the DVR sends (message 1657, header command 83): video frames with a
// 64-byte header, and audio blocks with a 24-byte header. Little-endian; parsed with bounds checks.
#include "wire/ByteOrder.h"
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace wire {

constexpr size_t kVideoHeaderSize = 64;
constexpr size_t kAudioHeaderSize = 24;
constexpr uint32_t kMaxFrameTotal = 262016; // 0x3FF80: a frame slot of 256 KiB less its bookkeeping
constexpr uint32_t kPhoneChannelMask = 0x10000;

// The four audio tags, compared case-sensitively on the first four bytes of a block.
inline bool IsAudioTag(const uint8_t* p, size_t n)
{
    if (!p || n < 4)
        return false;
    return std::memcmp(p, "g723", 4) == 0 || std::memcmp(p, "G723", 4) == 0 || std::memcmp(p, "327g", 4) == 0 ||
        std::memcmp(p, "327G", 4) == 0;
}

// The fields of the 64-byte video frame header that the viewer reads.
struct VideoFrameHeader {
    uint32_t word0 = 0; // bits 24..28: 16 + channel; bits 22..23: frame type (1 = predicted)
    uint8_t heightDiv16 = 0; // at most 36 (576 lines)
    uint8_t widthDiv16 = 0; // at most 45 (720 pixels)
    uint8_t flags = 0; // bit 7: interlaced
    uint32_t seconds = 0;
    uint32_t microseconds = 0;
    uint32_t sequence = 0;
    uint8_t day = 0, month = 0, year = 0; // year - 2000
    uint8_t second = 0, minute = 0, hour = 0;
    uint8_t zone = 0; // time-zone index
    uint8_t daylight = 0; // daylight-saving flag
    uint32_t total = 0; // header and video data

    uint32_t ChannelBits() const { return (word0 >> 24) & 0x1F; }
    uint32_t FrameType() const { return (word0 >> 22) & 0x3; }
    bool Predicted() const { return FrameType() == 1; }
    bool Interlaced() const { return (flags & 0x80) != 0; }
    int Width() const { return widthDiv16 * 16; }
    int Height() const { return heightDiv16 * 16; }
};

// Parses the header at the start of a block; false when fewer than 64 bytes are there.
inline bool ParseVideoFrameHeader(const void* data, size_t size, VideoFrameHeader& h)
{
    if (!data || size < kVideoHeaderSize)
        return false;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    h.word0 = LoadLE32(p);
    h.heightDiv16 = p[4];
    h.widthDiv16 = p[5];
    h.flags = p[6];
    h.seconds = LoadLE32(p + 20);
    h.microseconds = LoadLE32(p + 24);
    h.sequence = LoadLE32(p + 44);
    h.day = p[48];
    h.month = p[49];
    h.year = p[50];
    h.second = p[51];
    h.minute = p[52];
    h.hour = p[53];
    h.zone = p[58];
    h.daylight = p[59];
    h.total = LoadLE32(p + 60);
    return true;
}

// Writes a 64-byte header (the bytes the viewer does not read are zero). Used by the simulator
// and the tests.
inline void BuildVideoFrameHeader(const VideoFrameHeader& h, uint8_t out[kVideoHeaderSize])
{
    std::memset(out, 0, kVideoHeaderSize);
    StoreLE32(out, h.word0);
    out[4] = h.heightDiv16;
    out[5] = h.widthDiv16;
    out[6] = h.flags;
    StoreLE32(out + 20, h.seconds);
    StoreLE32(out + 24, h.microseconds);
    StoreLE32(out + 44, h.sequence);
    out[48] = h.day;
    out[49] = h.month;
    out[50] = h.year;
    out[51] = h.second;
    out[52] = h.minute;
    out[53] = h.hour;
    out[58] = h.zone;
    out[59] = h.daylight;
    StoreLE32(out + 60, h.total);
}

inline uint32_t MakeVideoWord0(unsigned channel, bool predicted)
{
    return ((16u + (channel & 0x0F)) << 24) | ((predicted ? 1u : 0u) << 22);
}

// The 24-byte audio block header.
struct AudioBlockHeader {
    char tag[4] = {'g', '7', '2', '3'};
    uint32_t length = 0; // total length of header and coded audio
    uint32_t channelMask = 0; // bit n = DVR audio channel n (0..3); the phone uses 0x10000
    uint32_t seconds = 0;
    uint32_t microseconds = 0;
    uint32_t sequence = 0;
};

inline bool ParseAudioBlockHeader(const void* data, size_t size, AudioBlockHeader& h)
{
    if (!data || size < kAudioHeaderSize)
        return false;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    std::memcpy(h.tag, p, 4);
    h.length = LoadLE32(p + 4);
    h.channelMask = LoadLE32(p + 8);
    h.seconds = LoadLE32(p + 12);
    h.microseconds = LoadLE32(p + 16);
    h.sequence = LoadLE32(p + 20);
    return true;
}

inline void BuildAudioBlockHeader(const AudioBlockHeader& h, uint8_t out[kAudioHeaderSize])
{
    std::memcpy(out, h.tag, 4);
    StoreLE32(out + 4, h.length);
    StoreLE32(out + 8, h.channelMask);
    StoreLE32(out + 12, h.seconds);
    StoreLE32(out + 16, h.microseconds);
    StoreLE32(out + 20, h.sequence);
}

} // namespace wire
