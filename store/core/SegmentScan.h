#pragma once
// Reading one segment: its records one by one with their checks, and its index, caught up from the
// segment when it is missing or behind (a crash between the two writes, a hand-removed file).
#include "File.h"
#include "Format.h"
#include <cstdint>
#include <string>
#include <vector>

namespace store {

enum class ReadResult { kOk, kIncomplete, kBad };

// The record at offset of a file of fileSize bytes. payload may be null (the CRC is then not checked).
ReadResult ReadRecordAt(const File& file, uint64_t offset, uint64_t fileSize, RecordHead* head,
                        std::vector<uint8_t>* payload);
// The next offset after `from` where a whole, valid record starts; false when none is there.
bool FindNextRecord(const File& file, uint64_t from, uint64_t fileSize, uint64_t* found);

// The valid entries at the start of an index file's bytes (a torn or damaged tail ends them). Entries
// must grow in offset; *end receives the end entry when there is one.
bool ParseIndex(const uint8_t* data, size_t size, int* stream, std::vector<IndexEntry>* entries, bool* ended,
                IndexEntry* end);

struct SegmentInfo {
    SegmentHead head;
    std::vector<IndexEntry> entries; // key frames and one a second (no end entry)
    bool ended = false; // ended cleanly: the end entry matches the segment
    bool indexRebuilt = false; // entries were found in the segment that the index lacked
    bool hasRecords = false;
    int64_t firstMs = 0, lastMs = 0; // DVR times of the first and last good record
    uint64_t goodEnd = 0; // where good data ends (a torn tail lies beyond)
    uint64_t fileSize = 0;
    uint64_t skippedBytes = 0; // damaged bytes inside the segment, passed over
};

// Loads the segment's head and index and reads the segment from the last indexed record on. False
// (with *problem) when the segment's head is not readable.
bool LoadSegment(const std::string& path, SegmentInfo* info, std::string* problem);
// The same over a segment already opened and an index's bytes (the fuzz target's entry).
bool LoadSegment(const File& segment, const uint8_t* index, size_t indexSize, SegmentInfo* info, std::string* problem);
// True when the segment's index holds its end entry (the writer finished it).
bool SegmentEndedCleanly(const std::string& path);

} // namespace store
