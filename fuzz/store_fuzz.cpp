// Arbitrary bytes as a segment file and an index (the first two bytes say where the index starts):
// the readers never read outside them, every entry they keep lies inside the segment and in order,
// and walking the records from each kept entry stays inside the file and ends. The same bytes (after
// the first two) as a day summary: every record kept checks, is of the head's day and in bounds.
#include "File.h"
#include "Format.h"
#include "SegmentScan.h"
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t split = std::min(size - 2, size_t(data[0] | (data[1] << 8)));
    const uint8_t* seg = data + 2;
    const size_t segSize = size - 2 - split;
    const uint8_t* idx = data + 2 + segSize;
    struct Scratch { // the segment's bytes as a file; removed when the fuzzer ends
        std::string path = "/tmp/store_fuzz." + std::to_string(getpid()) + ".seg";
        ~Scratch() { std::remove(path.c_str()); }
    };
    static const Scratch scratch;
    const std::string& path = scratch.path;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(seg, 1, segSize, f);
    std::fclose(f);
    store::File file = store::File::Read(path);
    store::SegmentInfo info;
    if (store::LoadSegment(file, idx, split, &info, nullptr)) {
        uint64_t prev = 0;
        for (const store::IndexEntry& e : info.entries) {
            if (e.offset < store::kSegmentHeadSize || e.offset >= segSize || e.offset <= prev)
                std::abort();
            prev = e.offset;
        }
        if (info.goodEnd > segSize || (info.ended && info.lastMs < info.firstMs))
            std::abort();
        std::vector<uint8_t> payload;
        uint64_t pos = info.entries.empty() ? store::kSegmentHeadSize : info.entries.front().offset;
        store::RecordHead h;
        while (store::ReadRecordAt(file, pos, segSize, &h, &payload) == store::ReadResult::kOk)
            pos += store::kRecordHeadSize + h.size;
        if (pos > segSize)
            std::abort();
    }
    int stream = 0;
    bool ended = false;
    std::vector<store::IndexEntry> entries;
    store::IndexEntry end;
    store::ParseIndex(idx, split, &stream, &entries, &ended, &end);
    uint32_t day = 0;
    std::vector<store::SummaryRecord> records;
    if (store::ParseSummary(data + 2, size - 2, &day, &records)) {
        if (records.size() > (size - 2 - store::kSummaryHeadSize) / store::kSummaryRecordSize)
            std::abort();
        for (const store::SummaryRecord& r : records)
            if (r.stream > store::kAudioStream || r.lastMs < r.firstMs || store::DayOf(r.firstMs) != day ||
                store::DayOf(r.lastMs) != day || r.bytes > store::kMaxSegmentBytes)
                std::abort();
    } else if (!records.empty()) {
        std::abort();
    }
    return 0;
}
