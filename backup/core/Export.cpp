#include "Export.h"
#include "AudioRecord.h"
#include "AviWriter.h"
#include "G723Coder.h"
#include "TimeZoneConvert.h"
#include "VolHeader.h"
#include "calendar/CivilDate.h"
#include "wire/StreamFrame.h"
#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>

namespace backup {

int64_t UnixSecondsOf(int y, int m, int d, int hh, int mm, int ss)
{
    return calendar::DaysFromCivil(y, unsigned(m), unsigned(d)) * 86400 + hh * 3600 + mm * 60 + ss;
}

void CivilOf(int64_t t, int& y, int& m, int& d, int& hh, int& mm, int& ss)
{
    const int64_t days = t >= 0 ? t / 86400 : (t - 86399) / 86400;
    const int64_t rem = t - days * 86400;
    hh = int(rem / 3600), mm = int(rem / 60 % 60), ss = int(rem % 60);
    const calendar::Civil c = calendar::CivilFromDays(days);
    y = int(c.year), m = int(c.month), d = int(c.day);
}

namespace {

std::string Format(int y, int mo, int d, int h, int mi, int s, int ms, bool withMs)
{
    char b[48];
    if (withMs)
        std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, mo, d, h, mi, s, ms);
    else
        std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return b;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

} // namespace

std::string UtcTimeText(int64_t utcUs, bool withMs)
{
    int y, mo, d, h, mi, s;
    const int64_t sec = FloorDiv(utcUs, 1000000);
    CivilOf(sec, y, mo, d, h, mi, s);
    return Format(y, mo, d, h, mi, s, int((utcUs - sec * 1000000) / 1000), withMs);
}

std::string LocalTimeText(int64_t utcUs, uint8_t zone, uint8_t daylight, bool withMs)
{
    const int64_t sec = FloorDiv(utcUs, 1000000);
    int y, mo, d, h, mi, s;
    CivilOf(video::LocalSecondsOf(sec, zone, daylight), y, mo, d, h, mi, s);
    return Format(y, mo, d, h, mi, s, int((utcUs - sec * 1000000) / 1000), withMs);
}

bool ParseTimeText(const std::string& text, int64_t* out)
{
    int y, mo, d, h, mi, s;
    char sep, tail;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%c", &y, &mo, &d, &sep, &h, &mi, &s, &tail) != 7 ||
        (sep != ' ' && sep != 'T'))
        return false;
    video::RecordingTime r{y, mo, d, h, mi, s};
    if (!video::IsCalendarTime(r))
        return false;
    *out = UnixSecondsOf(y, mo, d, h, mi, s);
    return true;
}

bool ParseTimeTextMs(const std::string& text, int64_t* out)
{
    int64_t seconds = 0;
    const size_t dot = text.find('.');
    if (!ParseTimeText(text.substr(0, dot), &seconds))
        return false;
    int ms = 0;
    if (dot != std::string::npos) {
        const std::string f = text.substr(dot + 1);
        if (f.size() != 3 || f.find_first_not_of("0123456789") != std::string::npos)
            return false;
        ms = std::stoi(f);
    }
    *out = seconds * 1000 + ms;
    return true;
}

bool ZoneOfLocalTimes(const std::vector<std::pair<int64_t, int64_t>>& utcLocal, uint8_t* zone, uint8_t* daylight)
{
    if (utcLocal.empty())
        return false;
    for (int z = 0; z < video::kTimeZoneCount; ++z)
        for (uint8_t d : {uint8_t(1), uint8_t(0)}) {
            bool all = true;
            for (const auto& [utc, local] : utcLocal)
                all = all && video::LocalSecondsOf(utc, uint8_t(z), d) == local;
            if (all) {
                *zone = uint8_t(z);
                *daylight = d;
                return true;
            }
        }
    return false;
}

int64_t UtcOfLocalSeconds(int64_t local, uint8_t zone, uint8_t daylight)
{
    return video::UtcOfLocalSeconds(local, zone, daylight);
}

namespace {

constexpr int64_t kUs = 1000000;
constexpr int64_t kLongGapUs = 60 * kUs; // a new file after this long without pictures
constexpr int64_t kSoundSlack = 192; // samples a sound block may sit off its time before we mend it

struct Item {
    bool video = false;
    int64_t us = 0;
    std::vector<uint8_t> bytes;
    wire::VideoFrameHeader h;
    int16_t pcm[audio::kBlockSamples];
};

class Exporter {
public:
    Exporter(IBlockSource& v, IBlockSource* a, const ExportOptions& o) : o_(o)
    {
        src_[0] = &v;
        src_[1] = a;
        done_[1] = a == nullptr || o.audioChannel < 0 || o.audioChannel > 3;
    }

    ExportResult Run()
    {
        ExportResult r = RunInner();
        r.refused = refused_;
        if (!r.ok) {
            if (part_) {
                part_->avi.Abandon();
            }
            for (const auto& f : committed_)
                std::remove(f.c_str());
            r.files.clear();
        } else {
            r.files = files_;
        }
        return r;
    }

private:
    struct Part {
        OutFile avi;
        std::unique_ptr<AviWriter> w;
        ExportedFile info;
        int64_t t0 = 0;
        uint64_t nextSlot = 0;
        int64_t soundPos = 0;
        int64_t lastVideoUs = 0;
        std::vector<uint8_t> pictureSeconds; // 1 for each second (from t0's) holding a picture
    };

    ExportResult Fail(std::string message)
    {
        ExportResult r;
        r.error = std::move(message);
        return r;
    }

    // The next block of one source inside the span, checked; false at its end.
    bool Pull(int s, Item& it, std::string* error)
    {
        for (;;) {
            if (done_[s])
                return false;
            StoredBlock b;
            const int n = src_[s]->Next(b, error);
            if (n < 0) {
                failed_ = true;
                return false;
            }
            if (n == 0 || !b.data) {
                done_[s] = true;
                return false;
            }
            if (!Check(s == 0, b, it))
                continue;
            if (it.us < o_.fromUs)
                continue;
            if (it.us >= o_.toUs) {
                if (it.us >= o_.toUs + 10 * kUs) // well past the span: the store is in time order
                    done_[s] = true;
                continue;
            }
            return true;
        }
    }

    bool Check(bool video, const StoredBlock& b, Item& it)
    {
        it.video = video;
        if (video) {
            if (wire::IsAudioTag(b.data, b.size) || !wire::ParseVideoFrameHeader(b.data, b.size, it.h))
                return ++refused_, false;
            const auto& h = it.h;
            if (h.ChannelBits() != 16u + unsigned(o_.camera))
                return false;
            if (h.total <= wire::kVideoHeaderSize || h.total > b.size || h.total > wire::kMaxFrameTotal ||
                h.widthDiv16 == 0 || h.heightDiv16 == 0 || h.widthDiv16 > 45 || h.heightDiv16 > 36 ||
                h.microseconds >= kUs)
                return ++refused_, false;
            it.us = int64_t(h.seconds) * kUs + h.microseconds;
            it.bytes.assign(b.data + wire::kVideoHeaderSize, b.data + h.total);
            return true;
        }
        audio::AudioRecord rec;
        if (!audio::ParseAudioRecord(b.data, b.size, rec) || rec.microseconds >= kUs)
            return ++refused_, false;
        const uint8_t* block = (rec.channelMask >> o_.audioChannel) & 1 ? rec.ChannelBlock(unsigned(o_.audioChannel)) : nullptr;
        if (!block)
            return false; // this channel has no sound in the record: a gap, filled by the next one's time
        it.us = int64_t(rec.seconds) * kUs + rec.microseconds;
        if (coder_.Decode(block, int(audio::kCodedBlockBytes), it.pcm, int(audio::kBlockSamples)) !=
            int(audio::kBlockSamples))
            return ++refused_, false;
        return true;
    }

    // The next block of both sources in time order.
    bool Next(Item& out, std::string* error)
    {
        for (int s = 0; s < 2; ++s)
            if (!have_[s])
                have_[s] = Pull(s, head_[s], error);
        if (failed_)
            return false;
        int s = -1;
        if (have_[0] && (!have_[1] || head_[0].us <= head_[1].us))
            s = 0;
        else if (have_[1])
            s = 1;
        if (s < 0)
            return false;
        out = std::move(head_[s]);
        have_[s] = false;
        return true;
    }

    // The frame rate from the pictures' spacing: the median step, snapped to the DVR's usual rates.
    void ChooseRate(const std::deque<Item>& q)
    {
        std::vector<int64_t> steps;
        int64_t last = -1;
        for (const auto& it : q)
            if (it.video) {
                if (last >= 0 && it.us > last)
                    steps.push_back(it.us - last);
                last = it.us;
            }
        rate_ = 30000, scale_ = 1001;
        if (steps.empty())
            return;
        std::nth_element(steps.begin(), steps.begin() + ptrdiff_t(steps.size() / 2), steps.end());
        const int64_t m = std::clamp<int64_t>(steps[steps.size() / 2], 10000, 2 * kUs);
        struct Known { uint32_t rate, scale; } known[] = {{30000, 1001}, {25, 1}, {15000, 1001}, {25, 2}, {30, 1}, {15, 1}};
        for (const auto& k : known) {
            const int64_t p = int64_t(k.scale) * kUs / k.rate;
            if (m > p * 49 / 50 && m < p * 51 / 50) {
                rate_ = k.rate, scale_ = k.scale;
                return;
            }
        }
        rate_ = uint32_t(kUs), scale_ = uint32_t(m);
    }

    std::string PartPath(int n) const
    {
        std::string stem = o_.outPath;
        std::string ext = ".avi";
        const size_t dot = stem.find_last_of('.');
        const size_t slash = stem.find_last_of("/\\");
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
            ext = stem.substr(dot), stem.resize(dot);
        return n == 1 ? stem + ext : stem + "-" + std::to_string(n) + ext;
    }

    static std::string SrtPathOf(const std::string& avi)
    {
        const size_t dot = avi.find_last_of('.');
        return (dot == std::string::npos ? avi : avi.substr(0, dot)) + ".srt";
    }

    bool OpenPart(const Item& key)
    {
        part_ = std::make_unique<Part>();
        Part& p = *part_;
        p.info.path = PartPath(++partCount_);
        p.info.width = key.h.Width(), p.info.height = key.h.Height();
        p.info.zone = key.h.zone, p.info.daylight = key.h.daylight;
        p.info.frameRate = double(rate_) / scale_;
        p.info.firstUs = key.us;
        p.t0 = key.us;
        if (!p.avi.Create(p.info.path))
            return false;
        p.w = std::make_unique<AviWriter>(p.avi);
        AviFormat f;
        f.width = p.info.width, f.height = p.info.height, f.rate = rate_, f.scale = scale_;
        f.sound = o_.audioChannel >= 0 && o_.audioChannel <= 3 && src_[1] != nullptr;
        return p.w->Begin(f);
    }

    bool ClosePart(std::string* error)
    {
        if (!part_)
            return true;
        Part& p = *part_;
        p.info.soundSamples = p.w->SoundSamples() - p.info.silenceSamples;
        const int64_t videoEnd = p.lastVideoUs + int64_t(scale_) * kUs / rate_;
        const int64_t soundEnd = p.t0 + p.soundPos * kUs / AviWriter::kSoundRate;
        if (!p.w->Finish() || !p.avi.Commit()) {
            *error = p.avi.Error();
            return false;
        }
        committed_.push_back(p.info.path);
        // The subtitles: each second of the file with the DVR's local date and time.
        OutFile srt;
        p.info.subtitlePath = SrtPathOf(p.info.path);
        if (!srt.Create(p.info.subtitlePath)) {
            *error = srt.Error();
            return false;
        }
        const int64_t endUs = std::max(videoEnd, soundEnd);
        const int64_t firstSec = FloorDiv(p.t0, kUs);
        std::string text;
        int cue = 0;
        for (int64_t s = firstSec; s * kUs < endUs; ++s) {
            const int64_t from = std::max<int64_t>(0, s * kUs - p.t0) / 1000;
            const int64_t to = std::min(endUs, (s + 1) * kUs) / 1000 - p.t0 / 1000;
            if (to <= from)
                continue;
            char b[160];
            auto stamp = [](int64_t ms, char* out) {
                std::snprintf(out, 16, "%02lld:%02lld:%02lld,%03lld", (long long)(ms / 3600000),
                              (long long)(ms / 60000 % 60), (long long)(ms / 1000 % 60), (long long)(ms % 1000));
            };
            char f1[16], f2[16];
            stamp(from, f1), stamp(to, f2);
            const size_t idx = size_t(s - firstSec);
            const bool picture = idx < p.pictureSeconds.size() && p.pictureSeconds[idx];
            std::snprintf(b, sizeof b, "%d\n%s --> %s\n%s%s\n\n", ++cue, f1, f2,
                          LocalTimeText(s * kUs, p.info.zone, p.info.daylight).c_str(), picture ? "" : " (no picture)");
            text += b;
            if (text.size() > 65536) {
                if (!srt.Write(text.data(), text.size()))
                    break;
                text.clear();
            }
        }
        if (!srt.Write(text.data(), text.size()) || !srt.Commit()) {
            *error = srt.Error();
            return false;
        }
        committed_.push_back(p.info.subtitlePath);
        written_ += p.avi.Size() + srt.Size();
        files_.push_back(p.info);
        part_.reset();
        return true;
    }

    bool AddPicture(const Item& it, std::string* error)
    {
        const auto& h = it.h;
        const bool key = !h.Predicted();
        const bool lost = haveSeq_ && h.sequence != lastSeq_ + 1;
        if (haveSeq_ && h.sequence == lastSeq_) { // the same picture again
            ++leftOutPending_;
            return true;
        }
        haveSeq_ = true;
        lastSeq_ = h.sequence;
        Part* p = part_.get();
        const bool sizeChanged = p && (h.Width() != p->info.width || h.Height() != p->info.height);
        const bool longGap = p && (it.us - p->lastVideoUs > kLongGapUs || it.us < p->lastVideoUs - kUs);
        if (!key) {
            const bool tooBig = p && p->w->SizeIfFinishedNow() + it.bytes.size() + 64 > o_.maxFileBytes;
            if (lost || sizeChanged || longGap || tooBig)
                waitKey_ = true;
            if (waitKey_ || !p) {
                ++leftOutPending_;
                if (tooBig && !ClosePart(error))
                    return false;
                return true;
            }
        } else {
            waitKey_ = false;
            // Past 15/16 of the limit the file ends at the next key frame; a predicted picture that
            // would pass the limit itself ends it early (the pictures up to the key frame are left out).
            const bool full = p && p->w->SizeIfFinishedNow() + video::kVolSize + it.bytes.size() + 64 >
                o_.maxFileBytes - o_.maxFileBytes / 16;
            if (p && (sizeChanged || longGap || full)) {
                if (!ClosePart(error))
                    return false;
                p = nullptr;
            }
            if (!p) {
                if (!OpenPart(it)) {
                    *error = part_->avi.Error();
                    return false;
                }
                p = part_.get();
            }
        }
        p->info.leftOut += leftOutPending_;
        leftOutPending_ = 0;
        // The picture's place on the constant frame rate; a late one takes the next free place.
        const int64_t rel = std::max<int64_t>(0, it.us - p->t0);
        uint64_t slot = uint64_t((rel * rate_ + int64_t(scale_) * kUs / 2) / (int64_t(scale_) * kUs));
        slot = std::max(slot, p->nextSlot);
        if (p->info.pictures && it.us - p->lastVideoUs > kUs)
            p->info.gaps.push_back({p->lastVideoUs, it.us});
        for (; p->nextSlot < slot; ++p->nextSlot)
            if (!p->w->AddVideo(nullptr, 0, false)) {
                *error = p->avi.Error();
                return false;
            }
        bool ok;
        if (key) {
            uint8_t vol[video::kVolSize];
            video::BuildVolHeader(h.Width(), h.Height(), h.Interlaced(), vol);
            ok = p->w->AddVideo2(vol, sizeof vol, it.bytes.data(), it.bytes.size(), true);
        } else {
            ok = p->w->AddVideo(it.bytes.data(), it.bytes.size(), false);
        }
        if (!ok) {
            *error = p->avi.Error();
            return false;
        }
        ++p->nextSlot;
        ++p->info.pictures;
        p->info.lastUs = p->lastVideoUs = std::max(p->lastVideoUs, it.us);
        const size_t sec = size_t(FloorDiv(it.us, kUs) - FloorDiv(p->t0, kUs));
        if (sec < 1u << 22) {
            if (p->pictureSeconds.size() <= sec)
                p->pictureSeconds.resize(sec + 1);
            p->pictureSeconds[sec] = 1;
        }
        return true;
    }

    bool AddSound(const Item& it, std::string* error)
    {
        Part* p = part_.get();
        if (!p || it.us < p->t0 || it.us > p->lastVideoUs + kLongGapUs)
            return true;
        const int64_t pos = (it.us - p->t0) * AviWriter::kSoundRate / kUs;
        if (pos < p->soundPos - kSoundSlack)
            return true; // overlaps what is already there
        if (pos > p->soundPos + kSoundSlack) {
            const std::vector<int16_t> silence(size_t(pos - p->soundPos), 0);
            if (!p->w->AddSound(silence.data(), silence.size())) {
                *error = p->avi.Error();
                return false;
            }
            p->info.silenceSamples += silence.size();
            p->soundPos = pos;
        }
        if (!p->w->AddSound(it.pcm, audio::kBlockSamples)) {
            *error = p->avi.Error();
            return false;
        }
        p->soundPos += int64_t(audio::kBlockSamples);
        return true;
    }

    uint64_t BytesSoFar() const
    {
        uint64_t n = part_ ? part_->avi.Size() : 0;
        return n + written_;
    }

    ExportResult RunInner()
    {
        if (o_.toUs <= o_.fromUs)
            return Fail("the span is empty: its end is not after its start");
        if (o_.camera < 0 || o_.camera > 15)
            return Fail("there is no camera " + std::to_string(o_.camera + 1));
        std::string error;
        std::deque<Item> q;
        int pictures = 0;
        Item it;
        while (pictures < 17 && Next(it, &error)) {
            pictures += it.video;
            q.push_back(std::move(it));
        }
        if (failed_)
            return Fail("cannot read the recordings: " + error);
        ChooseRate(q);
        uint64_t count = 0;
        for (;;) {
            if (!q.empty()) {
                it = std::move(q.front());
                q.pop_front();
            } else if (!Next(it, &error)) {
                if (failed_)
                    return Fail("cannot read the recordings: " + error);
                break;
            }
            if (!(it.video ? AddPicture(it, &error) : AddSound(it, &error)))
                return Fail(error);
            if ((++count & 31) == 0 && o_.progress) {
                ExportProgress pr;
                pr.fraction = std::clamp(double(it.us - o_.fromUs) / double(o_.toUs - o_.fromUs), 0.0, 1.0);
                pr.bytesWritten = BytesSoFar();
                if (!o_.progress(pr)) {
                    ExportResult r;
                    r.cancelled = true;
                    r.error = "the export was cancelled";
                    return r;
                }
            }
        }
        if (part_)
            part_->info.leftOut += leftOutPending_;
        else if (!files_.empty())
            files_.back().leftOut += leftOutPending_; // pictures after the last file was closed
        leftOutPending_ = 0;
        if (!ClosePart(&error))
            return Fail(error);
        if (files_.empty())
            return Fail("no pictures of camera " + std::to_string(o_.camera + 1) + " in that span");
        if (o_.progress) {
            ExportProgress pr;
            pr.fraction = 1;
            if (!o_.progress(pr)) {
                ExportResult r;
                r.cancelled = true;
                r.error = "the export was cancelled";
                return r;
            }
        }
        ExportResult r;
        r.ok = true;
        return r;
    }

    const ExportOptions& o_;
    IBlockSource* src_[2] = {};
    bool done_[2] = {false, false};
    bool have_[2] = {false, false};
    Item head_[2];
    bool failed_ = false;
    CG723Coder coder_;
    uint32_t rate_ = 30000, scale_ = 1001;
    std::unique_ptr<Part> part_;
    int partCount_ = 0;
    std::vector<ExportedFile> files_;
    std::vector<std::string> committed_;
    uint64_t refused_ = 0;
    uint64_t written_ = 0;
    bool haveSeq_ = false;
    uint32_t lastSeq_ = 0;
    bool waitKey_ = false;
    uint64_t leftOutPending_ = 0;
};

} // namespace

ExportResult ExportCamera(IBlockSource& video, IBlockSource* audio, const ExportOptions& options)
{
    Exporter e(video, audio, options);
    return e.Run();
}

} // namespace backup
