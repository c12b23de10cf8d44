#include "Catalogue.h"
#include "File.h"
#include "Format.h"
#include "Layout.h"
#include "SegmentScan.h"
#include <algorithm>

namespace store {

namespace {

constexpr int64_t kJoinMs = 3000;

// A segment's first and last time from its index's first entries and its tail (and, when the index
// has no end entry, the records after its last entry).
bool SegmentSpan(const std::string& path, Span* span, std::string* problem)
{
    File idx = File::Read(IndexPathOf(path));
    const int64_t n = idx.IsOpen() ? idx.Size() : -1;
    if (n >= int64_t(kIndexHeadSize + 2 * kIndexEntrySize)) {
        uint8_t head[kIndexHeadSize + kIndexEntrySize], tail[kIndexEntrySize];
        const int64_t last = kIndexHeadSize +
            (n - int64_t(kIndexHeadSize)) / int64_t(kIndexEntrySize) * int64_t(kIndexEntrySize) - int64_t(kIndexEntrySize);
        uint16_t stream = 0;
        IndexEntry first, end;
        if (idx.ReadAt(0, head, sizeof head) == int64_t(sizeof head) &&
            idx.ReadAt(uint64_t(last), tail, sizeof tail) == int64_t(sizeof tail) &&
            DecodeIndexHead(head, sizeof head, &stream) && DecodeIndexEntry(head + kIndexHeadSize, kIndexEntrySize, &first) &&
            DecodeIndexEntry(tail, sizeof tail, &end) && (end.flags & kEntryEnd) && end.dvrMs >= first.dvrMs &&
            first.offset == kSegmentHeadSize) {
            File seg = File::Read(path);
            if (seg.IsOpen() && seg.Size() >= 0 && uint64_t(seg.Size()) >= end.offset) {
                span->startMs = first.dvrMs;
                span->endMs = end.dvrMs;
                return true;
            }
        }
    }
    // Not ended cleanly (being written, or cut short): the index caught up from the segment.
    SegmentInfo info;
    if (!LoadSegment(path, &info, problem) || !info.hasRecords)
        return false;
    span->startMs = info.firstMs;
    span->endMs = info.lastMs;
    return true;
}

} // namespace

std::vector<SiteEntry> Catalogue::ListSites(const std::string& root)
{
    std::vector<SiteEntry> sites;
    try {
        for (const std::string& name : ListNames(root, true)) {
            SiteEntry s;
            s.folder = JoinPath(root, name);
            File f = File::Read(JoinPath(s.folder, "site.txt"));
            char text[512] = {};
            const int64_t got = f.IsOpen() ? f.ReadAt(0, reinterpret_cast<uint8_t*>(text), sizeof text - 1) : -1;
            if (got > 0) {
                const std::string t(text, size_t(got));
                const size_t a = t.find("address="), p = t.find("\nport=");
                if (a == 0 && p != std::string::npos) {
                    s.address = t.substr(8, p - 8);
                    const unsigned long port = std::strtoul(t.c_str() + p + 6, nullptr, 10);
                    s.port = port <= 65535 ? uint16_t(port) : 0;
                }
            }
            if (s.address.empty() && ListDays(s.folder).empty())
                continue; // not a site folder
            sites.push_back(std::move(s));
        }
    } catch (...) {
    }
    return sites;
}

std::vector<uint32_t> Catalogue::Days() const
{
    std::vector<uint32_t> days;
    try {
        for (uint32_t day : ListDays(site_))
            for (int s = 0; s <= kAudioStream; ++s)
                if (!ListSegments(site_, day, s).empty()) {
                    days.push_back(day);
                    break;
                }
    } catch (...) {
    }
    return days;
}

std::vector<int> Catalogue::Cameras(uint32_t day) const
{
    std::vector<int> cameras;
    try {
        for (int s = 0; s < kCameraStreams; ++s)
            if (!ListSegments(site_, day, s).empty())
                cameras.push_back(s);
    } catch (...) {
    }
    return cameras;
}

std::vector<Span> Catalogue::Spans(int stream, uint32_t day, std::vector<std::string>* problems) const
{
    std::vector<Span> spans;
    if (stream < 0 || stream > kAudioStream)
        return spans;
    try {
        std::vector<Span> parts;
        for (const SegmentRef& ref : ListSegments(site_, day, stream)) {
            Span s;
            std::string problem;
            if (SegmentSpan(ref.path, &s, &problem))
                parts.push_back(s);
            else if (problems)
                problems->push_back(ref.path + ": " + (problem.empty() ? std::string("no records") : problem));
        }
        std::sort(parts.begin(), parts.end(), [](const Span& a, const Span& b) { return a.startMs < b.startMs; });
        for (const Span& s : parts) {
            if (!spans.empty() && s.startMs - spans.back().endMs <= kJoinMs)
                spans.back().endMs = std::max(spans.back().endMs, s.endMs);
            else
                spans.push_back(s);
        }
    } catch (...) {
        spans.clear();
    }
    return spans;
}

std::vector<uint8_t> Catalogue::Motion(int channel, uint32_t day) const
{
    std::vector<uint8_t> levels;
    int64_t dayMs = 0;
    if (channel < 0 || channel >= kCameraStreams || !DayStartMs(day, &dayMs))
        return levels;
    try {
        levels.assign(86400, 255);
        File f = File::Read(JoinPath(JoinPath(JoinPath(site_, DayFolderName(day)), StreamFolderName(channel)),
                                     "motion.mot"));
        const int64_t n = f.IsOpen() ? f.Size() : -1;
        if (n < int64_t(kMotionHeadSize) || n > (int64_t(64) << 20))
            return levels;
        std::vector<uint8_t> data(static_cast<size_t>(n));
        if (f.ReadAt(0, data.data(), data.size()) != n)
            return levels;
        uint16_t ch = 0;
        uint32_t d = 0;
        if (!DecodeMotionHead(data.data(), data.size(), &ch, &d) || ch != channel || d != day)
            return levels;
        const int64_t daySeconds = dayMs / 1000;
        for (size_t off = kMotionHeadSize; off + kMotionMarkSize <= data.size(); off += kMotionMarkSize) {
            uint32_t second = 0;
            uint8_t level = 0;
            if (!DecodeMotionMark(data.data() + off, kMotionMarkSize, &second, &level))
                continue;
            const int64_t i = int64_t(second) - daySeconds;
            if (i >= 0 && i < 86400)
                levels[size_t(i)] = level;
        }
    } catch (...) {
        levels.clear();
    }
    return levels;
}

} // namespace store
