#pragma once
// What the timeline shows of a site's cameras over a stretch of DVR time, read from the store and
// read again while a writer adds to it: one lane per camera with its recorded spans and its motion
// marks, and on request the motion level of every second. The player (all of a site's time) and the
// search (one local day) both follow a store being written with it, a Refresh every
// kLaneRefreshMs: the store's days before its latest no longer change and are read once, the
// latest at every Refresh. Neutral; not thread-safe (one caller).
#include "Catalogue.h"
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace player {

constexpr unsigned kLaneRefreshMs = 2000;
// A second whose motion level reaches this is marked in its lane (the player's marks).
constexpr uint8_t kMotionMarkLevel = 24;
// The longest stretch whose levels are kept: a local day of 25 hours.
constexpr int64_t kMaxLevelSeconds = 25 * 3600;

struct TimelineLane {
    int camera = 0; // 0..15
    std::vector<store::Span> spans; // DVR UTC ms, in time order
    std::vector<store::Span> motion; // stretches with motion, DVR UTC ms
};

class StoreLanes {
public:
    // cameras: the lanes in this order; empty: every camera with recordings in the stretch,
    // ascending, a lane added when a camera starts recording. [fromMs, toMs): the stretch; with
    // levels, at most kMaxLevelSeconds of it keep their levels.
    void Open(const std::string& siteFolder, std::vector<int> cameras, int64_t fromMs, int64_t toMs, bool levels);
    void Close();
    bool IsOpen() const { return site_ != nullptr; }
    // Reads what may have changed. True when the lanes or the levels differ from before (the first
    // Refresh after Open: true). Problems: damaged segments passed over, each named once.
    bool Refresh(std::vector<std::string>* problems = nullptr);

    const std::vector<TimelineLane>& Lanes() const { return lanes_; }
    // Per lane: the motion level of each second from fromMs on, 255 where none was recorded.
    const std::vector<std::vector<uint8_t>>& Levels() const { return levels_; }
    int64_t FromMs() const { return from_; }
    // The first and last recorded ms of all lanes (INT64_MAX, INT64_MIN when there is none).
    int64_t FirstMs() const;
    int64_t LastMs() const;

private:
    struct Part {
        std::vector<TimelineLane> lanes;
        std::vector<std::vector<uint8_t>> levels;
    };
    std::vector<int> CamerasOf(const std::vector<uint32_t>& days) const;
    void AddDay(uint32_t day, Part& part, std::vector<std::string>* problems);
    Part Empty(const std::vector<int>& cameras) const;

    std::unique_ptr<store::Catalogue> site_; // kept: its summaries are read again only when they grow
    std::vector<int> fixed_; // the cameras asked for (empty: those found)
    int64_t from_ = 0, to_ = 0;
    size_t levelCount_ = 0; // seconds of levels kept per lane (0: none)
    Part earlier_; // the days before earlierUpTo_, read once
    uint32_t earlierUpTo_ = 0;
    std::vector<int> cameras_;
    std::vector<TimelineLane> lanes_;
    std::vector<std::vector<uint8_t>> levels_;
    std::set<std::string> told_;
    bool fresh_ = false;
};

} // namespace player
