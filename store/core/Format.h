#pragma once
// The store's file records, byte by byte (README.md, "The recording store"): little-endian, each
// record with its own CRC-32 so that a reader finds where good data ends. Pure functions over caller
// buffers; every length is checked against the bytes there.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace store {

constexpr int kCameraStreams = 16;
constexpr int kAudioStream = 16; // the site's audio: all four DVR audio channels in one record
constexpr uint32_t kMaxPayload = 262016; // the largest stream block a DVR may send (a frame slot)

// Segment file: a 32-byte head, then records.
constexpr size_t kSegmentHeadSize = 32;
constexpr size_t kRecordHeadSize = 32;
constexpr uint32_t kRecordMagic = 0x52535850; // "PXSR"
enum RecordKind : uint8_t { kVideo = 1, kAudio = 2 };
enum RecordFlags : uint8_t { kKeyFrame = 1 };

struct SegmentHead {
    uint16_t version = 1;
    uint16_t stream = 0; // 0..15 camera, 16 audio
    int64_t startDvrMs = 0; // time of its first record
    int64_t createdPcMs = 0;
};

struct RecordHead {
    uint32_t size = 0; // payload bytes (the stream block as the DVR sent it)
    int64_t dvrMs = 0; // DVR time, UTC ms since 1970
    int64_t pcMs = 0; // the PC's UTC time of receipt, ms since 1970
    uint8_t kind = kVideo;
    uint8_t flags = 0;
    uint8_t zone = 0; // the DVR's time-zone index (video; audio: that of the last frame)
    uint8_t daylight = 0;
};

// Index file (one per segment, same name with .idx): a 16-byte head, then 24-byte entries, one per
// key frame (audio: one per second) and a last one with kEndEntry when the segment was ended cleanly.
constexpr size_t kIndexHeadSize = 16;
constexpr size_t kIndexEntrySize = 24;
enum IndexFlags : uint32_t { kEntryKey = 1, kEntryEnd = 2 };

struct IndexEntry {
    int64_t dvrMs = 0;
    uint64_t offset = 0; // of the record in the segment; for the end entry, the segment's length
    uint32_t flags = 0;
};

// Motion file (one per camera and day, motion.mot): a 16-byte head, then 8-byte marks.
constexpr size_t kMotionHeadSize = 16;
constexpr size_t kMotionMarkSize = 8;

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

void EncodeSegmentHead(const SegmentHead& h, uint8_t out[kSegmentHeadSize]);
bool DecodeSegmentHead(const uint8_t* p, size_t n, SegmentHead* h);
// The record head for a payload (its CRC covers the head's first 28 bytes and the payload).
void EncodeRecordHead(const RecordHead& h, const uint8_t* payload, uint8_t out[kRecordHeadSize]);
// Checks magic, kind and size bounds (not the CRC, which needs the payload).
bool DecodeRecordHead(const uint8_t* p, size_t n, RecordHead* h, uint32_t* crc);
bool RecordCrcMatches(const uint8_t* head, const uint8_t* payload, uint32_t size);

void EncodeIndexHead(uint16_t stream, uint8_t out[kIndexHeadSize]);
bool DecodeIndexHead(const uint8_t* p, size_t n, uint16_t* stream);
void EncodeIndexEntry(const IndexEntry& e, uint8_t out[kIndexEntrySize]);
bool DecodeIndexEntry(const uint8_t* p, size_t n, IndexEntry* e);

void EncodeMotionHead(uint16_t channel, uint32_t day, uint8_t out[kMotionHeadSize]);
bool DecodeMotionHead(const uint8_t* p, size_t n, uint16_t* channel, uint32_t* day);
void EncodeMotionMark(uint32_t second, uint8_t level, uint8_t out[kMotionMarkSize]);
bool DecodeMotionMark(const uint8_t* p, size_t n, uint32_t* second, uint8_t* level);

// Days as yyyymmdd numbers (UTC), and their start in ms.
uint32_t DayOf(int64_t utcMs);
bool DayStartMs(uint32_t day, int64_t* ms);
// Seconds since 1970 of a UTC calendar time; false when it is no valid date (year 2000..2255).
bool UtcSeconds(int year, int month, int day, int hour, int minute, int second, int64_t* out);

// Names: the site's folder, a stream's folder in a day folder, a segment's file name.
std::string SiteFolderName(const std::string& address, uint16_t port);
std::string StreamFolderName(int stream); // "cam01".."cam16", "audio"
int StreamFromFolderName(const std::string& name); // -1 when not one
std::string SegmentFileName(int64_t startDvrMs, int attempt); // "<ms>.seg" or "<ms>-<n>.seg"
bool ParseSegmentFileName(const std::string& name, int64_t* startDvrMs);

// What the DVR time of a block is, and whether it is well formed (see the writer).
struct BlockInfo {
    uint8_t kind = kVideo;
    int channel = 0; // video: 0..15
    bool key = false;
    bool calendarValid = false;
    int64_t calendarMs = 0; // video: the frame's UTC recording time in ms (calendar fields + ms)
    uint32_t seconds = 0, microseconds = 0; // the DVR's clock fields
    uint8_t zone = 0, daylight = 0;
    uint32_t audioMask = 0;
};
bool InspectBlock(const uint8_t* block, size_t size, BlockInfo* info);

} // namespace store
