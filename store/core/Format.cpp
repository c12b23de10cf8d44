#include "Format.h"
#include "calendar/CivilDate.h"
#include "wire/ByteOrder.h"
#include "wire/StreamFrame.h"
#include <cstdio>
#include <cstring>

namespace store {

namespace {

const uint8_t kSegmentMagic[8] = {'P', 'X', 'S', 'T', 'S', 'E', 'G', '1'};
const uint8_t kIndexMagic[8] = {'P', 'X', 'S', 'T', 'I', 'D', 'X', '1'};
const uint8_t kMotionMagic[8] = {'P', 'X', 'S', 'T', 'M', 'O', 'T', '1'};
const uint8_t kSummaryFileMagic[8] = {'P', 'X', 'S', 'T', 'S', 'U', 'M', '1'};

void Store64(uint8_t* p, uint64_t v)
{
    wire::StoreLE32(p, static_cast<uint32_t>(v));
    wire::StoreLE32(p + 4, static_cast<uint32_t>(v >> 32));
}

uint64_t Load64(const uint8_t* p)
{
    return wire::LoadLE32(p) | (static_cast<uint64_t>(wire::LoadLE32(p + 4)) << 32);
}

void Store16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

uint16_t Load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

struct CrcTable {
    uint32_t t[256];
    CrcTable()
    {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
    }
};

using calendar::DaysFromCivil;
using calendar::DaysInMonth;

void CivilFromDays(int64_t z, int* y, int* m, int* d)
{
    const calendar::Civil c = calendar::CivilFromDays(z);
    *y = static_cast<int>(c.year);
    *m = static_cast<int>(c.month);
    *d = static_cast<int>(c.day);
}

} // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc)
{
    static const CrcTable table;
    crc = ~crc;
    for (size_t i = 0; i < size; ++i)
        crc = table.t[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void EncodeSegmentHead(const SegmentHead& h, uint8_t out[kSegmentHeadSize])
{
    std::memset(out, 0, kSegmentHeadSize);
    std::memcpy(out, kSegmentMagic, 8);
    Store16(out + 8, h.version);
    Store16(out + 10, h.stream);
    Store64(out + 12, static_cast<uint64_t>(h.startDvrMs));
    Store64(out + 20, static_cast<uint64_t>(h.createdPcMs));
    wire::StoreLE32(out + 28, Crc32(out, 28));
}

bool DecodeSegmentHead(const uint8_t* p, size_t n, SegmentHead* h)
{
    if (!p || n < kSegmentHeadSize || std::memcmp(p, kSegmentMagic, 8) != 0 || wire::LoadLE32(p + 28) != Crc32(p, 28))
        return false;
    h->version = Load16(p + 8);
    h->stream = Load16(p + 10);
    h->startDvrMs = static_cast<int64_t>(Load64(p + 12));
    h->createdPcMs = static_cast<int64_t>(Load64(p + 20));
    return h->version == 1 && h->stream <= kAudioStream;
}

void EncodeRecordHead(const RecordHead& h, const uint8_t* payload, uint8_t out[kRecordHeadSize])
{
    wire::StoreLE32(out, kRecordMagic);
    wire::StoreLE32(out + 4, h.size);
    Store64(out + 8, static_cast<uint64_t>(h.dvrMs));
    Store64(out + 16, static_cast<uint64_t>(h.pcMs));
    out[24] = h.kind;
    out[25] = h.flags;
    out[26] = h.zone;
    out[27] = h.daylight;
    wire::StoreLE32(out + 28, Crc32(payload, h.size, Crc32(out, 28)));
}

bool DecodeRecordHead(const uint8_t* p, size_t n, RecordHead* h, uint32_t* crc)
{
    if (!p || n < kRecordHeadSize || wire::LoadLE32(p) != kRecordMagic)
        return false;
    h->size = wire::LoadLE32(p + 4);
    h->dvrMs = static_cast<int64_t>(Load64(p + 8));
    h->pcMs = static_cast<int64_t>(Load64(p + 16));
    h->kind = p[24];
    h->flags = p[25];
    h->zone = p[26];
    h->daylight = p[27];
    *crc = wire::LoadLE32(p + 28);
    return h->size >= 1 && h->size <= kMaxPayload && (h->kind == kVideo || h->kind == kAudio);
}

bool RecordCrcMatches(const uint8_t* head, const uint8_t* payload, uint32_t size)
{
    return Crc32(payload, size, Crc32(head, 28)) == wire::LoadLE32(head + 28);
}

void EncodeIndexHead(uint16_t stream, uint8_t out[kIndexHeadSize])
{
    std::memset(out, 0, kIndexHeadSize);
    std::memcpy(out, kIndexMagic, 8);
    Store16(out + 8, 1);
    Store16(out + 10, stream);
    wire::StoreLE32(out + 12, Crc32(out, 12));
}

bool DecodeIndexHead(const uint8_t* p, size_t n, uint16_t* stream)
{
    if (!p || n < kIndexHeadSize || std::memcmp(p, kIndexMagic, 8) != 0 || wire::LoadLE32(p + 12) != Crc32(p, 12) ||
        Load16(p + 8) != 1 || Load16(p + 10) > kAudioStream)
        return false;
    *stream = Load16(p + 10);
    return true;
}

void EncodeIndexEntry(const IndexEntry& e, uint8_t out[kIndexEntrySize])
{
    Store64(out, static_cast<uint64_t>(e.dvrMs));
    Store64(out + 8, e.offset);
    wire::StoreLE32(out + 16, e.flags);
    wire::StoreLE32(out + 20, Crc32(out, 20));
}

bool DecodeIndexEntry(const uint8_t* p, size_t n, IndexEntry* e)
{
    if (!p || n < kIndexEntrySize || wire::LoadLE32(p + 20) != Crc32(p, 20))
        return false;
    e->dvrMs = static_cast<int64_t>(Load64(p));
    e->offset = Load64(p + 8);
    e->flags = wire::LoadLE32(p + 16);
    return true;
}

void EncodeMotionHead(uint16_t channel, uint32_t day, uint8_t out[kMotionHeadSize])
{
    std::memcpy(out, kMotionMagic, 8);
    Store16(out + 8, channel);
    // bytes 10..13: the day as yyyymmdd; 14..15: the low half of the CRC-32 of bytes 0..13
    wire::StoreLE32(out + 10, day);
    Store16(out + 14, static_cast<uint16_t>(Crc32(out, 14)));
}

bool DecodeMotionHead(const uint8_t* p, size_t n, uint16_t* channel, uint32_t* day)
{
    if (!p || n < kMotionHeadSize || std::memcmp(p, kMotionMagic, 8) != 0 ||
        Load16(p + 14) != static_cast<uint16_t>(Crc32(p, 14)))
        return false;
    *channel = Load16(p + 8);
    *day = wire::LoadLE32(p + 10);
    return *channel < kCameraStreams;
}

void EncodeMotionMark(uint32_t second, uint8_t level, uint8_t out[kMotionMarkSize])
{
    wire::StoreLE32(out, second);
    out[4] = level;
    out[5] = 0;
    Store16(out + 6, static_cast<uint16_t>(Crc32(out, 6)));
}

bool DecodeMotionMark(const uint8_t* p, size_t n, uint32_t* second, uint8_t* level)
{
    if (!p || n < kMotionMarkSize || Load16(p + 6) != static_cast<uint16_t>(Crc32(p, 6)) || p[4] > 100)
        return false;
    *second = wire::LoadLE32(p);
    *level = p[4];
    return true;
}

uint32_t DayOf(int64_t utcMs)
{
    int64_t days = utcMs / 86400000;
    if (utcMs % 86400000 < 0)
        --days;
    int y, m, d;
    CivilFromDays(days, &y, &m, &d);
    if (y < 0 || y > 9999)
        return 0;
    return static_cast<uint32_t>(y * 10000 + m * 100 + d);
}

bool DayStartMs(uint32_t day, int64_t* ms)
{
    const int y = static_cast<int>(day / 10000), m = static_cast<int>(day / 100 % 100), d = static_cast<int>(day % 100);
    if (y < 1970 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m))
        return false;
    *ms = DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) * 86400000;
    return true;
}

bool UtcSeconds(int year, int month, int day, int hour, int minute, int second, int64_t* out)
{
    if (year < 2000 || year > 2255 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    *out = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 + hour * 3600 +
        minute * 60 + second;
    return true;
}

std::string SiteFolderName(const std::string& address, uint16_t port)
{
    std::string name;
    for (char c : address.substr(0, 200)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
            c == '-';
        name += plain ? c : '_';
    }
    if (name.empty() || name == "." || name == "..")
        name = "_" + name;
    return name + "_" + std::to_string(port);
}

std::string StreamFolderName(int stream)
{
    if (stream == kAudioStream)
        return "audio";
    char name[8];
    std::snprintf(name, sizeof name, "cam%02d", (stream & 15) + 1);
    return name;
}

int StreamFromFolderName(const std::string& name)
{
    if (name == "audio")
        return kAudioStream;
    if (name.size() != 5 || name.compare(0, 3, "cam") != 0 || name[3] < '0' || name[3] > '1' || name[4] < '0' ||
        name[4] > '9')
        return -1;
    const int n = (name[3] - '0') * 10 + (name[4] - '0');
    return n >= 1 && n <= kCameraStreams ? n - 1 : -1;
}

void EncodeSummaryHead(uint32_t day, uint8_t out[kSummaryHeadSize])
{
    std::memcpy(out, kSummaryFileMagic, 8);
    wire::StoreLE32(out + 8, day);
    wire::StoreLE32(out + 12, Crc32(out, 12));
}

bool DecodeSummaryHead(const uint8_t* p, size_t n, uint32_t* day)
{
    int64_t ms = 0;
    if (!p || n < kSummaryHeadSize || std::memcmp(p, kSummaryFileMagic, 8) != 0 || wire::LoadLE32(p + 12) != Crc32(p, 12))
        return false;
    *day = wire::LoadLE32(p + 8);
    return DayStartMs(*day, &ms);
}

void EncodeSummaryRecord(const SummaryRecord& r, uint8_t out[kSummaryRecordSize])
{
    wire::StoreLE32(out, kSummaryMagic);
    Store16(out + 4, r.stream);
    Store16(out + 6, r.attempt);
    Store64(out + 8, static_cast<uint64_t>(r.firstMs));
    Store64(out + 16, static_cast<uint64_t>(r.lastMs));
    Store64(out + 24, r.bytes);
    wire::StoreLE32(out + 32, 0);
    wire::StoreLE32(out + 36, Crc32(out, 36));
}

bool DecodeSummaryRecord(const uint8_t* p, size_t n, SummaryRecord* r)
{
    if (!p || n < kSummaryRecordSize || wire::LoadLE32(p) != kSummaryMagic || wire::LoadLE32(p + 36) != Crc32(p, 36))
        return false;
    r->stream = Load16(p + 4);
    r->attempt = Load16(p + 6);
    r->firstMs = static_cast<int64_t>(Load64(p + 8));
    r->lastMs = static_cast<int64_t>(Load64(p + 16));
    r->bytes = Load64(p + 24);
    // At least one record; names have 13 digits of ms.
    return r->stream <= kAudioStream && r->firstMs >= 1000000000000 && r->firstMs <= 9999999999999 &&
        r->lastMs >= r->firstMs && r->bytes >= kSegmentHeadSize + kRecordHeadSize + 1 && r->bytes <= kMaxSegmentBytes;
}

bool ParseSummary(const uint8_t* data, size_t size, uint32_t* day, std::vector<SummaryRecord>* records)
{
    records->clear();
    if (!DecodeSummaryHead(data, size, day))
        return false;
    for (size_t off = kSummaryHeadSize; off + kSummaryRecordSize <= size;) {
        SummaryRecord r;
        if (!DecodeSummaryRecord(data + off, size - off, &r)) {
            ++off; // to the next record that checks (a torn write, another writer's bytes in between)
            continue;
        }
        if (DayOf(r.firstMs) == *day && DayOf(r.lastMs) == *day)
            records->push_back(r);
        off += kSummaryRecordSize;
    }
    return true;
}

std::string SegmentFileName(int64_t startDvrMs, int attempt)
{
    char name[48];
    if (attempt <= 0)
        std::snprintf(name, sizeof name, "%013lld.seg", static_cast<long long>(startDvrMs));
    else
        std::snprintf(name, sizeof name, "%013lld-%d.seg", static_cast<long long>(startDvrMs), attempt);
    return name;
}

bool ParseSegmentFileName(const std::string& name, int64_t* startDvrMs)
{
    if (name.size() < 17 || name.compare(name.size() - 4, 4, ".seg") != 0)
        return false;
    int64_t v = 0;
    size_t i = 0;
    for (; i < 13; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
        v = v * 10 + (name[i] - '0');
    }
    const std::string rest = name.substr(13, name.size() - 17);
    if (!rest.empty()) {
        if (rest[0] != '-' || rest.size() < 2 || rest.size() > 6)
            return false;
        for (size_t k = 1; k < rest.size(); ++k)
            if (rest[k] < '0' || rest[k] > '9')
                return false;
    }
    *startDvrMs = v;
    return true;
}

bool InspectBlock(const uint8_t* block, size_t size, BlockInfo* info)
{
    if (!block || size == 0 || size > kMaxPayload)
        return false;
    *info = BlockInfo{};
    if (wire::IsAudioTag(block, size)) {
        wire::AudioBlockHeader a;
        if (!wire::ParseAudioBlockHeader(block, size, a) || a.length != size)
            return false;
        info->kind = kAudio;
        info->seconds = a.seconds;
        info->microseconds = a.microseconds;
        info->audioMask = a.channelMask;
        return true;
    }
    wire::VideoFrameHeader v;
    if (!wire::ParseVideoFrameHeader(block, size, v) || v.total != size || size <= wire::kVideoHeaderSize ||
        v.ChannelBits() < 16)
        return false;
    info->kind = kVideo;
    info->channel = static_cast<int>(v.ChannelBits() - 16);
    info->key = !v.Predicted();
    info->seconds = v.seconds;
    info->microseconds = v.microseconds;
    info->zone = v.zone;
    info->daylight = v.daylight;
    int64_t s = 0;
    if (UtcSeconds(2000 + v.year, v.month, v.day, v.hour, v.minute, v.second, &s)) {
        info->calendarValid = true;
        info->calendarMs = s * 1000 + (v.microseconds < 1000000 ? v.microseconds / 1000 : 0);
    }
    return true;
}

} // namespace store
