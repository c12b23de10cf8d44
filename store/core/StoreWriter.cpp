#include "StoreWriter.h"
#include "File.h"
#include "Format.h"
#include "Layout.h"
#include "SegmentScan.h"
#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>

namespace store {

namespace {

constexpr int64_t kGapMs = 3000; // a stream silent this long ends its span: the next record starts a segment
constexpr uint64_t kMaxSegmentBytes = 1ull << 30;
constexpr int64_t kSyncEveryMs = 1000; // what a power cut may cost at most

std::filesystem::path PathOf(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

int64_t NowPcMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

struct Stream {
    File segment, index;
    std::string path;
    bool open = false;
    int64_t startMs = 0, lastMs = 0, lastEntryMs = 0;
    uint64_t size = 0;
    uint32_t day = 0;
    bool dirty = false;
};

struct Motion {
    File file;
    uint32_t day = 0;
    bool refused = false;
};

} // namespace

class StoreWriterImpl {
public:
    std::string root, folder, error;
    WriterOptions options;
    std::array<Stream, kAudioStream + 1> streams;
    std::array<Motion, kCameraStreams> motion;
    std::vector<uint8_t> scratch;
    bool failed = false, closed = false;
    int64_t lastSyncPc = 0;
    int64_t lastRetentionPc = 0;
    bool haveClockOffset = false;
    int64_t clockOffsetMs = 0; // calendar time less the DVR's seconds field, from the latest frame
    uint8_t zone = 0, daylight = 0;

    bool Fail(const std::string& what)
    {
        if (!failed) {
            failed = true;
            error = what;
        }
        return false;
    }

    bool EndSegment(Stream& s)
    {
        if (!s.open)
            return true;
        bool ok = true;
        if (!failed) {
            uint8_t e[kIndexEntrySize];
            EncodeIndexEntry({s.lastMs, s.size, kEntryEnd}, e);
            std::string err;
            ok = s.index.Write(e, sizeof e, &err) && s.segment.Sync() && s.index.Sync();
            if (!ok)
                Fail("ending " + s.path + ": " + (err.empty() ? std::string("sync failed") : err));
        }
        s.segment.Close();
        s.index.Close();
        s.open = false;
        s.dirty = false;
        return ok;
    }

    bool StartSegment(Stream& s, int stream, int64_t dvrMs, int64_t pcMs)
    {
        const uint32_t day = DayOf(dvrMs);
        const std::string dir = JoinPath(JoinPath(folder, DayFolderName(day)), StreamFolderName(stream));
        std::string err;
        if (!MakeFolders(dir, &err))
            return Fail(err);
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string path = JoinPath(dir, SegmentFileName(dvrMs, attempt));
            std::error_code ec;
            if (std::filesystem::exists(PathOf(path), ec) || std::filesystem::exists(PathOf(IndexPathOf(path)), ec))
                continue;
            File seg = File::Append(path, true, &err);
            if (!seg.IsOpen()) {
                if (std::filesystem::exists(PathOf(path), ec))
                    continue; // made by someone else meanwhile
                return Fail(err);
            }
            File idx = File::Append(IndexPathOf(path), true, &err);
            if (!idx.IsOpen())
                return Fail(err);
            uint8_t head[kSegmentHeadSize];
            SegmentHead h;
            h.stream = static_cast<uint16_t>(stream);
            h.startDvrMs = dvrMs;
            h.createdPcMs = pcMs;
            EncodeSegmentHead(h, head);
            uint8_t ihead[kIndexHeadSize];
            EncodeIndexHead(static_cast<uint16_t>(stream), ihead);
            if (!seg.Write(head, sizeof head, &err) || !idx.Write(ihead, sizeof ihead, &err))
                return Fail(path + ": " + err);
            s.segment = std::move(seg);
            s.index = std::move(idx);
            s.path = path;
            s.open = true;
            s.startMs = s.lastMs = dvrMs;
            s.lastEntryMs = INT64_MIN;
            s.size = kSegmentHeadSize;
            s.day = day;
            s.dirty = true;
            return true;
        }
        return Fail(dir + ": no free segment name");
    }

    bool SyncAll()
    {
        for (Stream& s : streams)
            if (s.open && s.dirty) {
                if (!s.segment.Sync() || !s.index.Sync())
                    return Fail(s.path + ": sync failed");
                s.dirty = false;
            }
        for (Motion& m : motion)
            if (m.file.IsOpen())
                m.file.Sync();
        return true;
    }

    bool WriteRecord(int stream, const RecordHead& rh, const uint8_t* block, int64_t pcMs, bool key)
    {
        Stream& s = streams[static_cast<size_t>(stream)];
        const int64_t t = rh.dvrMs;
        if (s.open) {
            const bool dayChanged = DayOf(t) != s.day;
            const bool gap = t < s.lastMs || t - s.lastMs > kGapMs;
            const int64_t limit = static_cast<int64_t>(std::max(1, options.segmentSeconds)) * 1000;
            // A long segment ends at a key frame, so that the next one starts decodable; without one
            // for a second length it ends anyway.
            const bool tooLong = (t - s.startMs >= limit && (key || stream == kAudioStream)) || t - s.startMs >= 2 * limit;
            if (dayChanged || gap || tooLong || s.size + kRecordHeadSize + rh.size > kMaxSegmentBytes) {
                if (!EndSegment(s))
                    return false;
                MaybeRetention(pcMs, false);
            }
        }
        if (!s.open && !StartSegment(s, stream, t, pcMs))
            return false;
        scratch.resize(kRecordHeadSize + rh.size);
        EncodeRecordHead(rh, block, scratch.data());
        std::copy(block, block + rh.size, scratch.begin() + kRecordHeadSize);
        std::string err;
        const uint64_t offset = s.size;
        if (!s.segment.Write(scratch.data(), scratch.size(), &err))
            return Fail(s.path + ": " + err);
        s.size += scratch.size();
        s.lastMs = t;
        s.dirty = true;
        // An index entry for every key frame, and at least one a second (audio: the first record of
        // each second), so that a reader finds any time with a short walk.
        if (key || s.lastEntryMs == INT64_MIN || t - s.lastEntryMs >= 1000) {
            uint8_t e[kIndexEntrySize];
            EncodeIndexEntry({t, offset, key ? uint32_t(kEntryKey) : 0u}, e);
            if (!s.index.Write(e, sizeof e, &err))
                return Fail(IndexPathOf(s.path) + ": " + err);
            s.lastEntryMs = t;
        }
        if (pcMs - lastSyncPc >= kSyncEveryMs || pcMs < lastSyncPc) {
            lastSyncPc = pcMs;
            return SyncAll();
        }
        return true;
    }

    void MaybeRetention(int64_t pcMs, bool force);
    size_t Retention(int64_t pcMs);
};

std::unique_ptr<StoreWriter> StoreWriter::Open(const std::string& root, const std::string& address, uint16_t port,
                                               const WriterOptions& options, std::string* error)
{
    try {
        auto impl = std::make_unique<StoreWriterImpl>();
        impl->root = root;
        impl->options = options;
        impl->folder = JoinPath(root, SiteFolderName(address, port));
        std::string err;
        if (!MakeFolders(impl->folder, &err)) {
            if (error)
                *error = err;
            return nullptr;
        }
        // The site's own address and port, for listing (the folder name is made safe, not reversible).
        const std::string info = JoinPath(impl->folder, "site.txt");
        std::error_code ec;
        if (!std::filesystem::exists(PathOf(info), ec)) {
            File f = File::Append(info, true, nullptr);
            const std::string text = "address=" + address + "\nport=" + std::to_string(port) + "\n";
            if (f.IsOpen())
                f.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size(), nullptr);
        }
        return std::unique_ptr<StoreWriter>(new StoreWriter(std::move(impl)));
    } catch (...) {
        if (error)
            *error = "out of memory";
        return nullptr;
    }
}

StoreWriter::StoreWriter(std::unique_ptr<StoreWriterImpl> impl) : impl_(std::move(impl)) {}

StoreWriter::~StoreWriter() { Close(); }

bool StoreWriter::Append(const uint8_t* block, size_t size, int64_t pcUtcMs)
{
    StoreWriterImpl& w = *impl_;
    if (w.failed || w.closed)
        return false;
    BlockInfo b;
    if (!InspectBlock(block, size, &b))
        return false;
    try {
        RecordHead rh;
        rh.size = static_cast<uint32_t>(size);
        rh.pcMs = pcUtcMs;
        rh.kind = b.kind;
        const int64_t clockMs = int64_t(b.seconds) * 1000 + (b.microseconds < 1000000 ? b.microseconds / 1000 : 0);
        if (b.kind == kVideo) {
            if (b.calendarValid) {
                rh.dvrMs = b.calendarMs;
                w.clockOffsetMs = b.calendarMs - clockMs;
                w.haveClockOffset = true;
            } else {
                rh.dvrMs = w.haveClockOffset ? clockMs + w.clockOffsetMs : pcUtcMs;
            }
            w.zone = b.zone;
            w.daylight = b.daylight;
            rh.flags = b.key ? kKeyFrame : 0;
        } else {
            // Audio carries the DVR's clock only: it is put on the frames' calendar through the
            // latest frame's difference between the two (they are one clock: pictures wait for sound).
            rh.dvrMs = w.haveClockOffset ? clockMs + w.clockOffsetMs : pcUtcMs;
        }
        rh.zone = w.zone;
        rh.daylight = w.daylight;
        if (rh.dvrMs < 0 || DayOf(rh.dvrMs) == 0)
            return false;
        return w.WriteRecord(b.kind == kVideo ? b.channel : kAudioStream, rh, block, pcUtcMs, b.kind == kVideo && b.key);
    } catch (...) {
        return w.Fail("out of memory");
    }
}

bool StoreWriter::AppendMotion(int channel, uint32_t dvrUtcSeconds, uint8_t level)
{
    StoreWriterImpl& w = *impl_;
    if (w.failed || w.closed || channel < 0 || channel >= kCameraStreams || level > 100)
        return false;
    try {
        Motion& m = w.motion[static_cast<size_t>(channel)];
        const uint32_t day = DayOf(int64_t(dvrUtcSeconds) * 1000);
        if (!m.file.IsOpen() || m.day != day) {
            m.file.Close();
            m.refused = false;
            m.day = day;
            const std::string dir = JoinPath(JoinPath(w.folder, DayFolderName(day)), StreamFolderName(channel));
            std::string err;
            if (!MakeFolders(dir, &err))
                return w.Fail(err);
            const std::string path = JoinPath(dir, "motion.mot");
            m.file = File::Append(path, false, &err);
            if (!m.file.IsOpen())
                return w.Fail(err);
            const int64_t size = m.file.Size();
            if (size == 0) {
                uint8_t head[kMotionHeadSize];
                EncodeMotionHead(static_cast<uint16_t>(channel), day, head);
                if (!m.file.Write(head, sizeof head, &err))
                    return w.Fail(path + ": " + err);
            } else {
                // Someone else's file (or a damaged head) is left as it is: no marks for it.
                uint8_t head[kMotionHeadSize];
                uint16_t ch = 0;
                uint32_t d = 0;
                File r = File::Read(path);
                if (size < int64_t(kMotionHeadSize) || r.ReadAt(0, head, sizeof head) != int64_t(sizeof head) ||
                    !DecodeMotionHead(head, sizeof head, &ch, &d) || ch != channel || d != day) {
                    m.file.Close();
                    m.refused = true;
                    return false;
                }
                // A torn last mark: pad to the next mark's place so that later marks stay aligned.
                const size_t torn = static_cast<size_t>(size - int64_t(kMotionHeadSize)) % kMotionMarkSize;
                if (torn) {
                    const uint8_t zeros[kMotionMarkSize] = {};
                    if (!m.file.Write(zeros, kMotionMarkSize - torn, &err))
                        return w.Fail(path + ": " + err);
                }
            }
        }
        uint8_t mark[kMotionMarkSize];
        EncodeMotionMark(dvrUtcSeconds, level, mark);
        std::string err;
        if (!m.file.Write(mark, sizeof mark, &err))
            return w.Fail("motion: " + err);
        return true;
    } catch (...) {
        return w.Fail("out of memory");
    }
}

void StoreWriter::EndChannel(int channel)
{
    if (channel >= 0 && channel < kCameraStreams)
        impl_->EndSegment(impl_->streams[static_cast<size_t>(channel)]);
}

bool StoreWriter::Flush()
{
    if (impl_->failed || impl_->closed)
        return !impl_->failed;
    return impl_->SyncAll();
}

bool StoreWriter::Close()
{
    StoreWriterImpl& w = *impl_;
    if (w.closed)
        return !w.failed;
    for (Stream& s : w.streams)
        w.EndSegment(s);
    for (Motion& m : w.motion) {
        if (m.file.IsOpen() && !w.failed)
            m.file.Sync();
        m.file.Close();
    }
    w.closed = true;
    if (!w.failed)
        w.MaybeRetention(NowPcMs(), true);
    return !w.failed;
}

bool StoreWriter::Failed() const { return impl_->failed; }
const std::string& StoreWriter::Error() const { return impl_->error; }
const std::string& StoreWriter::SiteFolder() const { return impl_->folder; }

size_t StoreWriter::EnforceRetention(int64_t pcUtcMsNow)
{
    try {
        return impl_->Retention(pcUtcMsNow);
    } catch (...) {
        return 0;
    }
}

void StoreWriterImpl::MaybeRetention(int64_t pcMs, bool force)
{
    if (options.maxBytes == 0 && options.maxAgeDays <= 0)
        return;
    if (!force && pcMs - lastRetentionPc < 60000 && pcMs >= lastRetentionPc)
        return;
    lastRetentionPc = pcMs;
    try {
        Retention(pcMs);
    } catch (...) {
    }
}

size_t StoreWriterImpl::Retention(int64_t pcMs)
{
    if (options.maxBytes == 0 && options.maxAgeDays <= 0)
        return 0;
    namespace fs = std::filesystem;
    struct Candidate {
        std::string path;
        int64_t mtimeMs;
        uint64_t bytes;
    };
    std::vector<Candidate> segments;
    uint64_t total = 0;
    std::error_code ec;
    const auto nowFs = fs::file_time_type::clock::now();
    const int64_t nowSys = NowPcMs();
    for (fs::recursive_directory_iterator it(PathOf(root), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code sec;
        if (!it->is_regular_file(sec))
            continue;
        const uint64_t bytes = it->file_size(sec);
        if (sec)
            continue;
        total += bytes;
        const std::u8string u = it->path().u8string();
        const std::string p(u.begin(), u.end());
        int64_t start = 0;
        const std::u8string fn = it->path().filename().u8string();
        if (!ParseSegmentFileName(std::string(fn.begin(), fn.end()), &start))
            continue;
        const auto mt = it->last_write_time(sec);
        if (sec)
            continue;
        const int64_t mtimeMs =
            nowSys - std::chrono::duration_cast<std::chrono::milliseconds>(nowFs - mt).count();
        std::error_code iec;
        const uint64_t ibytes = fs::file_size(PathOf(IndexPathOf(p)), iec);
        segments.push_back({p, mtimeMs, bytes + (iec ? 0 : ibytes)});
    }
    std::sort(segments.begin(), segments.end(), [](const Candidate& a, const Candidate& b) {
        return a.mtimeMs != b.mtimeMs ? a.mtimeMs < b.mtimeMs : a.path < b.path;
    });
    const int64_t ageLimitMs = options.maxAgeDays > 0 ? int64_t(options.maxAgeDays) * 86400000 : 0;
    // A segment being written (by this writer, or one ending without an end entry that changed lately:
    // another writer's) is never removed.
    const int64_t busyMs = int64_t(std::max(1, options.segmentSeconds)) * 2000 + 60000;
    size_t removed = 0;
    for (const Candidate& c : segments) {
        const bool tooOld = ageLimitMs > 0 && pcMs - c.mtimeMs > ageLimitMs;
        const bool overSize = options.maxBytes > 0 && total > options.maxBytes;
        if (!tooOld && !overSize)
            break;
        bool ours = false;
        for (const Stream& s : streams)
            ours = ours || (s.open && s.path == c.path);
        if (ours)
            continue;
        if (pcMs - c.mtimeMs < busyMs && !SegmentEndedCleanly(c.path))
            continue;
        std::error_code rec;
        if (fs::remove(PathOf(c.path), rec)) {
            fs::remove(PathOf(IndexPathOf(c.path)), rec);
            total -= std::min(total, c.bytes);
            ++removed;
            // A camera's day folder without segments keeps its motion marks only while it is today's.
            const fs::path dir = PathOf(c.path).parent_path();
            bool anySegment = false;
            for (fs::directory_iterator d(dir, rec), e; !rec && d != e; d.increment(rec))
                anySegment = anySegment || d->path().extension() == ".seg";
            const std::u8string dayName = dir.parent_path().filename().u8string();
            if (!anySegment && std::string(dayName.begin(), dayName.end()) != DayFolderName(DayOf(pcMs))) {
                const uint64_t left = fs::file_size(dir / "motion.mot", rec);
                if (!rec && fs::remove(dir / "motion.mot", rec))
                    total -= std::min(total, left);
                fs::remove(dir, rec); // only when empty
                fs::remove(dir.parent_path(), rec);
            }
        }
    }
    return removed;
}

} // namespace store
