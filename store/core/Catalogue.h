#pragma once
// What a store holds, without reading the segments: its sites, a site's days and cameras, when each
// camera has pictures (spans, gaps left as gaps) and its motion per second. Answers from the folder
// listing and each segment's index (head and tail), so a day of 16 cameras takes milliseconds.
#include <cstdint>
#include <string>
#include <vector>

namespace store {

struct SiteEntry {
    std::string folder; // to open a Catalogue or a StoreReader with
    std::string address; // from the site's site.txt; empty when it is missing
    uint16_t port = 0;
};

struct Span {
    int64_t startMs = 0, endMs = 0; // DVR time, UTC ms: the first and the last record
};

class Catalogue {
public:
    explicit Catalogue(std::string siteFolder) : site_(std::move(siteFolder)) {}

    static std::vector<SiteEntry> ListSites(const std::string& root);

    // UTC days (yyyymmdd, ascending) that hold at least one segment.
    std::vector<uint32_t> Days() const;
    // Cameras (0..15) with segments on that day.
    std::vector<int> Cameras(uint32_t day) const;
    // When the stream (camera 0..15, or kAudioStream) has records on that day, in time order; segments
    // that follow each other within 3 s are one span. Damaged segments are left out and named in problems.
    std::vector<Span> Spans(int stream, uint32_t day, std::vector<std::string>* problems = nullptr) const;
    // The camera's motion levels for the day's 86400 seconds; 255 where none was recorded.
    std::vector<uint8_t> Motion(int channel, uint32_t day) const;

private:
    std::string site_;
};

} // namespace store
