#include "StoreReader.h"
#include "Layout.h"
#include "SegmentScan.h"
#include <algorithm>
#include <set>

namespace store {

namespace {
constexpr int64_t kGapMs = 3000; // the writer's: a stream silent this long starts a new segment
constexpr size_t kNone = static_cast<size_t>(-1);
} // namespace

// One stream's records across its segments and days.
class StreamCursor {
public:
    StreamCursor(std::string site, int stream, std::vector<std::string>* problems)
        : site_(std::move(site)), stream_(stream), problems_(problems)
    {
    }

    // Video: the key frame at or before t (the next span's first when t lies in a gap or before
    // everything). Audio (anyKey): the indexed record at or before t, records before t skipped.
    bool Seek(int64_t t, bool audio, int64_t* at)
    {
        peeked_ = false;
        cur_ = kNone;
        skipBefore_ = audio ? t : INT64_MIN;
        days_ = ListDays(site_);
        const uint32_t day = DayOf(t);
        size_t d = 0;
        while (d < days_.size() && days_[d] <= day)
            ++d;
        // Backwards from the last segment starting at or before t: at most a few segments.
        int looked = 0;
        for (size_t di = d; di-- > 0 && looked < 4;) {
            std::vector<SegmentRef> segs = ListSegments(site_, days_[di], stream_);
            for (size_t si = segs.size(); si-- > 0 && looked < 4;) {
                if (segs[si].startMs > t)
                    continue;
                ++looked;
                SegmentInfo info;
                File f;
                if (!Load(segs[si], &f, &info))
                    continue;
                if (looked == 1 && info.lastMs + (audio ? 0 : kGapMs) < t)
                    break; // t lies after this span: the next one
                for (size_t e = info.entries.size(); e-- > 0;) {
                    const IndexEntry& en = info.entries[e];
                    if (en.dvrMs <= t && (audio || (en.flags & kEntryKey))) {
                        Position(days_[di], std::move(segs), si, std::move(f), std::move(info), en.offset);
                        *at = en.dvrMs;
                        return true;
                    }
                }
            }
            if (looked > 0)
                break;
        }
        // Forwards: the first segment starting after t, at its first key frame.
        for (size_t di = d == 0 ? 0 : d - 1; di < days_.size(); ++di) {
            std::vector<SegmentRef> segs = ListSegments(site_, days_[di], stream_);
            for (size_t si = 0; si < segs.size(); ++si) {
                SegmentInfo info;
                File f;
                if (!Load(segs[si], &f, &info) || !info.hasRecords || info.lastMs < t)
                    continue;
                for (const IndexEntry& en : info.entries)
                    if (audio || (en.flags & kEntryKey)) {
                        Position(days_[di], std::move(segs), si, std::move(f), std::move(info), en.offset);
                        *at = en.dvrMs;
                        return true;
                    }
            }
        }
        return false;
    }

    // The next record, kept until Pop(); false at the end written so far.
    bool Peek(Record** out)
    {
        if (peeked_) {
            *out = &rec_;
            return true;
        }
        while (cur_ != kNone) {
            const int64_t size = file_.Size();
            RecordHead h;
            const ReadResult r =
                size < 0 ? ReadResult::kIncomplete : ReadRecordAt(file_, off_, uint64_t(size), &h, &rec_.block);
            if (r == ReadResult::kOk) {
                off_ += kRecordHeadSize + h.size;
                if (h.dvrMs < skipBefore_)
                    continue;
                skipBefore_ = INT64_MIN; // once there: a clock set back later is read as it comes
                rec_.kind = h.kind;
                rec_.stream = stream_;
                rec_.key = h.kind == kVideo && (h.flags & kKeyFrame);
                rec_.dvrMs = h.dvrMs;
                rec_.pcMs = h.pcMs;
                rec_.zone = h.zone;
                rec_.daylight = h.daylight;
                peeked_ = true;
                *out = &rec_;
                return true;
            }
            if (r == ReadResult::kBad) {
                uint64_t next = 0;
                if (FindNextRecord(file_, off_ + 1, uint64_t(size), &next)) {
                    Problem(segs_[cur_].path, "damaged bytes " + std::to_string(off_) + ".." + std::to_string(next) +
                                                  " passed over");
                    off_ = next;
                    continue;
                }
            }
            // The end of this segment so far: on to the next one if there is one; otherwise wait.
            if (!Advance(uint64_t(std::max<int64_t>(size, 0))))
                return false;
        }
        return false;
    }

    void Pop()
    {
        peeked_ = false;
    }

private:
    bool Load(const SegmentRef& ref, File* f, SegmentInfo* info)
    {
        *f = File::Read(ref.path);
        std::string problem;
        std::vector<uint8_t> index;
        File idx = File::Read(IndexPathOf(ref.path));
        const int64_t n = idx.IsOpen() ? idx.Size() : 0;
        if (n > 0 && n < (int64_t(64) << 20)) {
            index.resize(size_t(n));
            const int64_t got = idx.ReadAt(0, index.data(), index.size());
            index.resize(got > 0 ? size_t(got) : 0);
        }
        if (!f->IsOpen() || !LoadSegment(*f, index.data(), index.size(), info, &problem) ||
            info->head.stream != stream_) {
            Problem(ref.path, "damaged segment skipped (" + (problem.empty() ? std::string("wrong stream") : problem) + ")");
            return false;
        }
        if (info->indexRebuilt && info->ended)
            Problem(ref.path, "index rebuilt from the segment");
        else if (info->indexRebuilt && index.empty())
            Problem(ref.path, "index missing: rebuilt from the segment");
        if (info->skippedBytes)
            Problem(ref.path, "damaged bytes passed over");
        return true;
    }

    void Position(uint32_t day, std::vector<SegmentRef> segs, size_t index, File f, SegmentInfo info, uint64_t offset)
    {
        day_ = day;
        segs_ = std::move(segs);
        cur_ = index;
        file_ = std::move(f);
        info_ = std::move(info);
        off_ = offset;
    }

    // Moves to the segment after the current one (this day's, listed again, then the next days').
    bool Advance(uint64_t size)
    {
        const SegmentRef current = segs_[cur_];
        std::vector<SegmentRef> segs = ListSegments(site_, day_, stream_);
        size_t next = kNone;
        for (size_t i = 0; i < segs.size(); ++i)
            if (segs[i].startMs > current.startMs || (segs[i].startMs == current.startMs && segs[i].path > current.path)) {
                next = i;
                break;
            }
        uint32_t day = day_;
        if (next == kNone) {
            days_ = ListDays(site_);
            for (uint32_t d : days_) {
                if (d <= day_)
                    continue;
                segs = ListSegments(site_, d, stream_);
                if (!segs.empty()) {
                    next = 0;
                    day = d;
                    break;
                }
            }
        }
        if (next == kNone)
            return false;
        if (off_ < size)
            Problem(current.path, "torn tail of " + std::to_string(size - off_) + " bytes left out");
        for (; next < segs.size(); ++next) {
            SegmentInfo info;
            File f;
            if (Load(segs[next], &f, &info)) {
                Position(day, std::move(segs), next, std::move(f), std::move(info), kSegmentHeadSize);
                return true;
            }
        }
        // Only damaged segments follow in that day: carry on after them next time.
        day_ = day;
        segs_ = std::move(segs);
        cur_ = segs_.size() - 1;
        off_ = UINT64_MAX / 2;
        file_ = File();
        return Advance(0);
    }

    void Problem(const std::string& path, const std::string& what)
    {
        const std::string text = path + ": " + what;
        if (reported_.insert(text).second)
            problems_->push_back(text);
    }

    std::string site_;
    int stream_;
    std::vector<std::string>* problems_;
    std::set<std::string> reported_;
    std::vector<uint32_t> days_;
    uint32_t day_ = 0;
    std::vector<SegmentRef> segs_;
    size_t cur_ = kNone;
    File file_;
    SegmentInfo info_;
    uint64_t off_ = 0;
    bool peeked_ = false;
    Record rec_;
    int64_t skipBefore_ = INT64_MIN;
};

std::unique_ptr<StoreReader> StoreReader::Open(const std::string& siteFolder, int channel, bool withAudio,
                                               std::string* error)
{
    if (channel < 0 || channel >= kCameraStreams) {
        if (error)
            *error = "no such camera";
        return nullptr;
    }
    try {
        std::unique_ptr<StoreReader> r(new StoreReader());
        r->video_ = std::make_unique<StreamCursor>(siteFolder, channel, &r->problems_);
        if (withAudio)
            r->audio_ = std::make_unique<StreamCursor>(siteFolder, kAudioStream, &r->problems_);
        return r;
    } catch (...) {
        if (error)
            *error = "out of memory";
        return nullptr;
    }
}

std::unique_ptr<StoreReader> StoreReader::OpenAudio(const std::string& siteFolder, std::string* error)
{
    try {
        std::unique_ptr<StoreReader> r(new StoreReader());
        r->audio_ = std::make_unique<StreamCursor>(siteFolder, kAudioStream, &r->problems_);
        return r;
    } catch (...) {
        if (error)
            *error = "out of memory";
        return nullptr;
    }
}

StoreReader::~StoreReader() = default;

bool StoreReader::Seek(int64_t dvrMs)
{
    try {
        int64_t at = 0;
        if (!video_)
            return audio_->Seek(dvrMs, true, &at);
        if (!video_->Seek(dvrMs, false, &at))
            return false;
        if (audio_) {
            int64_t audioAt = 0;
            audio_->Seek(at, true, &audioAt);
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool StoreReader::Next(Record* out)
{
    try {
        Record* v = nullptr;
        Record* a = nullptr;
        const bool haveVideo = video_ && video_->Peek(&v);
        const bool haveAudio = audio_ && audio_->Peek(&a);
        if (!haveVideo && !haveAudio)
            return false;
        if (haveVideo && (!haveAudio || v->dvrMs <= a->dvrMs)) {
            std::swap(*out, *v);
            video_->Pop();
        } else {
            std::swap(*out, *a);
            audio_->Pop();
        }
        return true;
    } catch (...) {
        return false;
    }
}

std::vector<std::string> StoreReader::TakeProblems()
{
    std::vector<std::string> out;
    out.swap(problems_);
    return out;
}

} // namespace store
