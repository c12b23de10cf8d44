#include "SegmentScan.h"
#include "Layout.h"
#include <algorithm>
#include <cstring>

namespace store {

ReadResult ReadRecordAt(const File& file, uint64_t offset, uint64_t fileSize, RecordHead* head,
                        std::vector<uint8_t>* payload)
{
    if (offset > fileSize || fileSize - offset < kRecordHeadSize)
        return ReadResult::kIncomplete;
    uint8_t h[kRecordHeadSize];
    if (file.ReadAt(offset, h, sizeof h) != int64_t(sizeof h))
        return ReadResult::kIncomplete;
    uint32_t crc = 0;
    if (!DecodeRecordHead(h, sizeof h, head, &crc))
        return ReadResult::kBad;
    if (fileSize - offset - kRecordHeadSize < head->size)
        return ReadResult::kIncomplete;
    if (!payload)
        return ReadResult::kOk;
    payload->resize(head->size);
    if (file.ReadAt(offset + kRecordHeadSize, payload->data(), head->size) != int64_t(head->size))
        return ReadResult::kIncomplete;
    return RecordCrcMatches(h, payload->data(), head->size) ? ReadResult::kOk : ReadResult::kBad;
}

bool FindNextRecord(const File& file, uint64_t from, uint64_t fileSize, uint64_t* found)
{
    std::vector<uint8_t> chunk(65536 + 3), payload;
    uint64_t pos = from;
    while (pos + kRecordHeadSize <= fileSize) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(chunk.size(), fileSize - pos));
        const int64_t got = file.ReadAt(pos, chunk.data(), want);
        if (got < 4)
            return false;
        for (size_t i = 0; i + 4 <= size_t(got); ++i) {
            if (chunk[i] != 0x50 || chunk[i + 1] != 0x58 || chunk[i + 2] != 0x53 || chunk[i + 3] != 0x52)
                continue;
            RecordHead h;
            if (ReadRecordAt(file, pos + i, fileSize, &h, &payload) == ReadResult::kOk) {
                *found = pos + i;
                return true;
            }
        }
        if (size_t(got) < 4)
            return false;
        pos += size_t(got) - 3;
    }
    return false;
}

bool ParseIndex(const uint8_t* data, size_t size, int* stream, std::vector<IndexEntry>* entries, bool* ended,
                IndexEntry* end)
{
    entries->clear();
    *ended = false;
    uint16_t s = 0;
    if (!DecodeIndexHead(data, size, &s))
        return false;
    *stream = s;
    for (size_t off = kIndexHeadSize; off + kIndexEntrySize <= size; off += kIndexEntrySize) {
        IndexEntry e;
        if (!DecodeIndexEntry(data + off, size - off, &e) || e.offset < kSegmentHeadSize)
            break;
        if (e.flags & kEntryEnd) {
            if (!entries->empty() && e.offset <= entries->back().offset)
                break;
            *ended = true;
            *end = e;
            break;
        }
        if (!entries->empty() && e.offset <= entries->back().offset)
            break;
        entries->push_back(e);
    }
    return true;
}

namespace {

// Walks records from offset on, adding index entries by the writer's rule; fills the good end.
void CatchUp(const File& file, uint64_t offset, SegmentInfo* info, std::string* problem)
{
    std::vector<uint8_t> payload;
    int64_t lastEntryMs = info->entries.empty() ? INT64_MIN : info->entries.back().dvrMs;
    uint64_t pos = offset;
    bool first = true;
    while (true) {
        RecordHead h;
        const ReadResult r = ReadRecordAt(file, pos, info->fileSize, &h, &payload);
        if (r == ReadResult::kIncomplete)
            break;
        if (r == ReadResult::kBad) {
            uint64_t next = 0;
            if (!FindNextRecord(file, pos + 1, info->fileSize, &next))
                break; // a torn or garbled tail: good data ends here
            info->skippedBytes += next - pos;
            if (problem)
                *problem = "damaged bytes passed over at offset " + std::to_string(pos);
            pos = next;
            continue;
        }
        const bool key = h.kind == kVideo && (h.flags & kKeyFrame);
        const bool indexed = first && !info->entries.empty() && info->entries.back().offset == pos;
        if (!indexed && (key || lastEntryMs == INT64_MIN || h.dvrMs - lastEntryMs >= 1000)) {
            info->entries.push_back({h.dvrMs, pos, key ? uint32_t(kEntryKey) : 0u});
            info->indexRebuilt = true;
            lastEntryMs = h.dvrMs;
        }
        info->lastMs = std::max(info->lastMs, h.dvrMs);
        first = false;
        pos += kRecordHeadSize + h.size;
    }
    info->goodEnd = pos;
}

} // namespace

bool LoadSegment(const File& segment, const uint8_t* index, size_t indexSize, SegmentInfo* info, std::string* problem)
{
    *info = SegmentInfo{};
    const int64_t size = segment.Size();
    uint8_t head[kSegmentHeadSize];
    if (size < int64_t(kSegmentHeadSize) || segment.ReadAt(0, head, sizeof head) != int64_t(sizeof head) ||
        !DecodeSegmentHead(head, sizeof head, &info->head)) {
        if (problem)
            *problem = "no segment head";
        return false;
    }
    info->fileSize = static_cast<uint64_t>(size);
    int stream = -1;
    bool ended = false;
    IndexEntry end;
    if (!index || !ParseIndex(index, indexSize, &stream, &info->entries, &ended, &end) ||
        stream != info->head.stream) {
        info->entries.clear();
        ended = false;
    }
    // Entries past the segment's end (the index reached the disk before the segment did) are dropped,
    // and the last one left must point at a good record.
    std::vector<uint8_t> payload;
    while (!info->entries.empty()) {
        RecordHead h;
        const IndexEntry& e = info->entries.back();
        if (ReadRecordAt(segment, e.offset, info->fileSize, &h, &payload) == ReadResult::kOk && h.dvrMs == e.dvrMs)
            break;
        info->entries.pop_back();
        ended = false;
    }
    const uint64_t from = info->entries.empty() ? kSegmentHeadSize : info->entries.back().offset;
    CatchUp(segment, from, info, problem);
    info->hasRecords = !info->entries.empty();
    if (info->hasRecords)
        info->firstMs = info->entries.front().dvrMs;
    if (ended && end.offset == info->goodEnd && info->hasRecords) {
        info->ended = true;
        info->lastMs = std::max(info->lastMs, end.dvrMs);
    }
    return true;
}

bool LoadSegment(const std::string& path, SegmentInfo* info, std::string* problem)
{
    File segment = File::Read(path);
    if (!segment.IsOpen()) {
        if (problem)
            *problem = "cannot open";
        *info = SegmentInfo{};
        return false;
    }
    std::vector<uint8_t> index;
    File idx = File::Read(IndexPathOf(path));
    if (idx.IsOpen()) {
        const int64_t n = idx.Size();
        if (n > 0 && n < (int64_t(64) << 20)) {
            index.resize(static_cast<size_t>(n));
            const int64_t got = idx.ReadAt(0, index.data(), index.size());
            index.resize(got > 0 ? static_cast<size_t>(got) : 0);
        }
    }
    return LoadSegment(segment, index.data(), index.size(), info, problem);
}

bool SegmentEndedCleanly(const std::string& path)
{
    File idx = File::Read(IndexPathOf(path));
    const int64_t n = idx.IsOpen() ? idx.Size() : -1;
    if (n < int64_t(kIndexHeadSize + kIndexEntrySize))
        return false;
    uint8_t e[kIndexEntrySize];
    const int64_t at = kIndexHeadSize + (n - int64_t(kIndexHeadSize)) / int64_t(kIndexEntrySize) * int64_t(kIndexEntrySize) -
        int64_t(kIndexEntrySize);
    IndexEntry entry;
    return idx.ReadAt(static_cast<uint64_t>(at), e, sizeof e) == int64_t(sizeof e) &&
        DecodeIndexEntry(e, sizeof e, &entry) && (entry.flags & kEntryEnd);
}

} // namespace store
