#include "StoreLanes.h"
#include "LocalDays.h"
#include "Playback.h"
#include "TimeAxis.h"
#include <algorithm>

namespace player {

namespace {

constexpr int64_t kDayMs = 86400000;

bool SameSpans(const std::vector<store::Span>& a, const std::vector<store::Span>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const store::Span& x, const store::Span& y) {
        return x.startMs == y.startMs && x.endMs == y.endMs;
    });
}

bool SameLanes(const std::vector<TimelineLane>& a, const std::vector<TimelineLane>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const TimelineLane& x, const TimelineLane& y) {
        return x.camera == y.camera && SameSpans(x.spans, y.spans) && SameSpans(x.motion, y.motion);
    });
}

} // namespace

void StoreLanes::Open(const std::string& siteFolder, std::vector<int> cameras, int64_t fromMs, int64_t toMs, bool levels)
{
    Close();
    site_ = std::make_unique<store::Catalogue>(siteFolder);
    for (int cam : cameras)
        if (cam >= 0 && cam < 16 && std::find(fixed_.begin(), fixed_.end(), cam) == fixed_.end())
            fixed_.push_back(cam);
    from_ = fromMs;
    to_ = std::max(fromMs, toMs);
    if (levels && from_ > INT64_MIN / 2 && to_ < INT64_MAX / 2)
        levelCount_ = static_cast<size_t>(std::min((to_ - from_ + 999) / 1000, kMaxLevelSeconds));
    fresh_ = true;
}

void StoreLanes::Close()
{
    site_.reset();
    fixed_.clear();
    levelCount_ = 0;
    earlier_ = Part{};
    earlierUpTo_ = 0;
    cameras_.clear();
    lanes_.clear();
    levels_.clear();
    told_.clear();
    fresh_ = false;
}

int64_t StoreLanes::FirstMs() const
{
    int64_t first = INT64_MAX;
    for (const TimelineLane& l : lanes_)
        if (!l.spans.empty())
            first = std::min(first, l.spans.front().startMs);
    return first;
}

int64_t StoreLanes::LastMs() const
{
    int64_t last = INT64_MIN;
    for (const TimelineLane& l : lanes_)
        if (!l.spans.empty())
            last = std::max(last, l.spans.back().endMs);
    return last;
}

std::vector<int> StoreLanes::CamerasOf(const std::vector<uint32_t>& days) const
{
    std::set<int> found;
    for (uint32_t day : days)
        for (int cam : site_->Cameras(day))
            if (cam >= 0 && cam < 16)
                found.insert(cam);
    return std::vector<int>(found.begin(), found.end());
}

StoreLanes::Part StoreLanes::Empty(const std::vector<int>& cameras) const
{
    Part p;
    for (int cam : cameras) {
        TimelineLane lane;
        lane.camera = cam;
        p.lanes.push_back(std::move(lane));
        if (levelCount_)
            p.levels.emplace_back(levelCount_, uint8_t(255));
    }
    return p;
}

// The day's spans and motion of each lane, as far as they lie in the stretch (the files' times are
// not trusted to lie in their day).
void StoreLanes::AddDay(uint32_t day, Part& part, std::vector<std::string>* problems)
{
    const int64_t dayStart = DayStartMs(day);
    const int64_t lo = std::max(from_, dayStart), hi = std::min(to_ - 1, dayStart + kDayMs - 1);
    for (size_t i = 0; i < part.lanes.size(); ++i) {
        TimelineLane& lane = part.lanes[i];
        std::vector<std::string> found;
        for (const store::Span& s : site_->Spans(lane.camera, day, &found)) {
            const int64_t a = std::max(s.startMs, lo), b = std::min(s.endMs, hi);
            if (a > b)
                continue;
            // A recording across midnight stays one span.
            if (!lane.spans.empty() && a >= lane.spans.back().startMs && a - lane.spans.back().endMs <= kGapMs)
                lane.spans.back().endMs = std::max(lane.spans.back().endMs, b);
            else
                lane.spans.push_back(store::Span{a, b});
        }
        for (std::string& p : found)
            if (told_.insert(p).second && problems)
                problems->push_back(std::move(p));
        const std::vector<uint8_t> motion = site_->Motion(lane.camera, day);
        for (size_t s = 0; s < motion.size() && s < 86400; ++s) {
            const uint8_t level = motion[s];
            const int64_t at = dayStart + static_cast<int64_t>(s) * 1000;
            if (level > 100 || at < from_ || at >= to_) // 255: nothing recorded; 101..254: not a level
                continue;
            if (levelCount_ && i < part.levels.size()) {
                const int64_t k = (at - from_) / 1000;
                if (k < static_cast<int64_t>(levelCount_))
                    part.levels[i][static_cast<size_t>(k)] = level;
            }
            if (level < kMotionMarkLevel)
                continue;
            if (!lane.motion.empty() && lane.motion.back().endMs == at)
                lane.motion.back().endMs = at + 1000;
            else
                lane.motion.push_back(store::Span{at, at + 1000});
        }
    }
}

bool StoreLanes::Refresh(std::vector<std::string>* problems)
{
    if (!site_)
        return false;
    std::vector<uint32_t> days;
    for (uint32_t day : site_->Days())
        if (IsDay(day) && DayStartMs(day) < to_ && DayStartMs(day) + kDayMs > from_)
            days.push_back(day);
    const std::vector<int> cameras = fixed_.empty() ? CamerasOf(days) : fixed_;
    const uint32_t latest = days.empty() ? 0 : days.back();
    if (cameras != cameras_ || latest != earlierUpTo_) {
        earlier_ = Empty(cameras);
        for (size_t i = 0; i + 1 < days.size(); ++i)
            AddDay(days[i], earlier_, problems);
        earlierUpTo_ = latest;
        cameras_ = cameras;
    }
    Part now = earlier_;
    if (latest)
        AddDay(latest, now, problems);
    if (fixed_.empty()) {
        // Cameras found: only those with recordings in the stretch.
        for (size_t i = now.lanes.size(); i-- > 0;)
            if (now.lanes[i].spans.empty()) {
                now.lanes.erase(now.lanes.begin() + static_cast<std::ptrdiff_t>(i));
                if (i < now.levels.size())
                    now.levels.erase(now.levels.begin() + static_cast<std::ptrdiff_t>(i));
            }
    }
    const bool changed = fresh_ || !SameLanes(now.lanes, lanes_) || now.levels != levels_;
    fresh_ = false;
    lanes_ = std::move(now.lanes);
    levels_ = std::move(now.levels);
    return changed;
}

} // namespace player
