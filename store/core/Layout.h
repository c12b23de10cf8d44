#pragma once
// Where things stand under a store root: <root>/<site>/<yyyymmdd>/<stream>/<start ms>.seg with its
// .idx, and <root>/<site>/<yyyymmdd>/camNN/motion.mot. Listing only; nothing is opened.
#include <cstdint>
#include <string>
#include <vector>

namespace store {

struct SegmentRef {
    std::string path; // of the .seg file; the index is the same path with .idx
    int stream = 0;
    uint32_t day = 0;
    int64_t startMs = 0; // from the file name
};

std::string JoinPath(const std::string& a, const std::string& b);
std::string IndexPathOf(const std::string& segmentPath);
std::string DayFolderName(uint32_t day);
// Names in a folder (sorted); folders or files only. Empty when the folder cannot be read.
std::vector<std::string> ListNames(const std::string& folder, bool folders);
// The days (yyyymmdd, ascending) that have a day folder in the site folder.
std::vector<uint32_t> ListDays(const std::string& siteFolder);
// One stream's segments of one day, by start time then name.
std::vector<SegmentRef> ListSegments(const std::string& siteFolder, uint32_t day, int stream);

} // namespace store
