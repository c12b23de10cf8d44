#include "ExportSource.h"
#include "AviReader.h"
#include "Export.h"
#include "Manifest.h"
#include "Playback.h"
#include "VolHeader.h"
#include "wire/StreamFrame.h"
#include <algorithm>
#include <cstring>
#include <filesystem>

namespace player {

namespace {

constexpr int64_t kUs = 1000000;
constexpr uint32_t kPcmSamples = 128;

std::filesystem::path PathOf(const std::string& utf8) { return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8Of(const std::filesystem::path& p)
{
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && Lower(s.substr(s.size() - tail.size())) == tail;
}

bool IsManifestName(const std::string& name) { return EndsWith(name, "-manifest.txt") || EndsWith(name, "-manifest.json"); }

// A name the manifest may give: a file beside it, nothing more.
bool PlainName(const std::string& name)
{
    return !name.empty() && name.find_first_of("/\\:") == std::string::npos && name != "." && name != "..";
}

// The manifest to read for `path`: itself, or in its folder the one naming it (or the first).
std::string ManifestFor(const std::string& path)
{
    std::error_code ec;
    const bool folder = std::filesystem::is_directory(PathOf(path), ec);
    if (!folder && (IsManifestName(path) || EndsWith(path, ".txt") || EndsWith(path, ".json")))
        return path;
    const std::filesystem::path dir = folder ? PathOf(path) : PathOf(path).parent_path();
    std::vector<std::string> manifests;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (IsManifestName(Utf8Of(it->path().filename())))
            manifests.push_back(Utf8Of(it->path()));
    std::sort(manifests.begin(), manifests.end());
    if (folder)
        return manifests.empty() ? std::string() : manifests.front();
    const std::string name = backup::BaseName(path);
    for (const std::string& m : manifests) {
        std::vector<backup::ManifestEntry> entries;
        std::string error;
        if (backup::ReadManifest(m, &entries, &error))
            for (const auto& e : entries)
                if (e.name == name)
                    return m;
    }
    return {};
}

// One picture of a camera: where it is and when.
struct StoredPicture {
    int64_t us = 0;
    uint32_t part = 0;
    uint32_t chunk = 0; // in the part's video chunks
    bool key = false;
};

std::vector<StoredPicture> PicturesOf(const std::vector<ExportSet::Part>& parts)
{
    std::vector<StoredPicture> out;
    for (size_t p = 0; p < parts.size(); ++p) {
        const auto& video = parts[p].avi->Video();
        for (size_t i = 0; i < video.size(); ++i)
            if (video[i].size > 0)
                out.push_back({parts[p].firstUs + parts[p].avi->SlotUs(i), uint32_t(p), uint32_t(i), video[i].key});
    }
    std::stable_sort(out.begin(), out.end(), [](const StoredPicture& a, const StoredPicture& b) { return a.us < b.us; });
    return out;
}

int64_t FloorMs(int64_t us) { return us >= 0 ? us / 1000 : -((-us + 999) / 1000); }

class NoSource final : public store::RecordSource {
public:
    bool Seek(int64_t) override { return false; }
    bool Next(store::Record*) override { return false; }
    std::vector<std::string> TakeProblems() override { return {}; }
};

// A source that keeps what it passed over until it is asked for it.
class ReportingSource : public store::RecordSource {
public:
    std::vector<std::string> TakeProblems() override
    {
        std::vector<std::string> out;
        out.swap(problems_);
        return out;
    }

protected:
    std::vector<std::string> problems_;
};

class CameraSource final : public ReportingSource {
public:
    CameraSource(int camera, std::vector<ExportSet::Part> parts, uint8_t zone, uint8_t daylight)
        : camera_(camera), parts_(std::move(parts)), pictures_(PicturesOf(parts_)), zone_(zone), daylight_(daylight)
    {}

    // The key frame at or before t while t lies within a stretch of pictures; else the next
    // stretch's first key frame.
    bool Seek(int64_t dvrMs) override
    {
        pos_ = pictures_.size();
        const int64_t t = dvrMs * 1000;
        auto after = std::upper_bound(pictures_.begin(), pictures_.end(), t,
                                      [](int64_t v, const StoredPicture& p) { return v < p.us; });
        size_t i = size_t(after - pictures_.begin());
        if (i > 0 && t - pictures_[i - 1].us <= kGapMs * 1000) {
            for (size_t k = i; k-- > 0;)
                if (pictures_[k].key) {
                    pos_ = k;
                    return true;
                }
        }
        for (; i < pictures_.size(); ++i)
            if (pictures_[i].key) {
                pos_ = i;
                return true;
            }
        return false;
    }

    bool Next(store::Record* out) override
    {
        while (pos_ < pictures_.size()) {
            const StoredPicture& p = pictures_[pos_++];
            if (Make(p, out))
                return true;
        }
        return false;
    }

private:
    bool Make(const StoredPicture& p, store::Record* out)
    {
        const ExportSet::Part& part = parts_[p.part];
        const backup::AviReader& avi = *part.avi;
        const backup::AviVideoChunk& c = avi.Video()[p.chunk];
        if (!avi.Read(c.offset, c.size, &data_)) {
            problems_.push_back(part.name + ": picture " + std::to_string(p.chunk + 1) + " cannot be read");
            return false;
        }
        // The export put a VOL in front of each key frame; the decoder makes its own from the header.
        size_t skip = 0;
        bool interlaced = false;
        if (p.key && data_.size() > video::kVolSize) {
            uint8_t vol[video::kVolSize];
            for (bool i : {false, true}) {
                video::BuildVolHeader(avi.Width(), avi.Height(), i, vol);
                if (std::memcmp(vol, data_.data(), video::kVolSize) == 0) {
                    skip = video::kVolSize;
                    interlaced = i;
                    break;
                }
            }
        }
        const size_t payload = data_.size() - skip;
        wire::VideoFrameHeader h;
        h.word0 = wire::MakeVideoWord0(unsigned(camera_), !p.key);
        h.widthDiv16 = uint8_t(avi.Width() / 16);
        h.heightDiv16 = uint8_t(avi.Height() / 16);
        h.flags = interlaced ? 0x80 : 0;
        const int64_t seconds = p.us >= 0 ? p.us / kUs : 0;
        h.seconds = uint32_t(seconds);
        h.microseconds = uint32_t(p.us >= 0 ? p.us % kUs : 0);
        h.sequence = uint32_t(&p - pictures_.data()) + 1; // stored pictures follow each other
        int y, mo, d, hh, mm, ss;
        backup::CivilOf(seconds, y, mo, d, hh, mm, ss);
        if (y >= 2000 && y <= 2255) {
            h.year = uint8_t(y - 2000), h.month = uint8_t(mo), h.day = uint8_t(d);
            h.hour = uint8_t(hh), h.minute = uint8_t(mm), h.second = uint8_t(ss);
        }
        h.zone = zone_;
        h.daylight = daylight_;
        h.total = uint32_t(wire::kVideoHeaderSize + payload);
        out->kind = store::kVideo;
        out->stream = camera_;
        out->key = p.key;
        out->dvrMs = out->pcMs = FloorMs(p.us);
        out->zone = zone_;
        out->daylight = daylight_;
        out->block.resize(h.total);
        wire::BuildVideoFrameHeader(h, out->block.data());
        std::memcpy(out->block.data() + wire::kVideoHeaderSize, data_.data() + skip, payload);
        return true;
    }

    int camera_;
    std::vector<ExportSet::Part> parts_;
    std::vector<StoredPicture> pictures_;
    uint8_t zone_, daylight_;
    size_t pos_ = SIZE_MAX;
    std::vector<uint8_t> data_;
};

// The files' sound in blocks of 128 samples, each at its own time.
class SoundSource final : public ReportingSource {
public:
    explicit SoundSource(std::vector<ExportSet::Part> parts) : parts_(std::move(parts)) {}

    // The block holding dvrMs, or the first one after it.
    bool Seek(int64_t dvrMs) override
    {
        const int64_t t = dvrMs * 1000;
        for (part_ = 0; part_ < parts_.size(); ++part_) {
            const int64_t start = parts_[part_].firstUs;
            const uint64_t samples = Samples(parts_[part_]);
            if (start + int64_t(samples) * kUs / 8000 <= t)
                continue;
            sample_ = t <= start ? 0 : uint64_t((t - start) * 8000 / kUs) / kPcmSamples * kPcmSamples;
            return true;
        }
        return false;
    }

    bool Next(store::Record* out) override
    {
        while (part_ < parts_.size()) {
            const ExportSet::Part& p = parts_[part_];
            const uint64_t samples = Samples(p);
            if (sample_ >= samples) {
                ++part_;
                sample_ = 0;
                continue;
            }
            const uint64_t n = std::min<uint64_t>(kPcmSamples, samples - sample_);
            out->kind = kPcmBlock;
            out->stream = store::kAudioStream;
            out->key = false;
            out->dvrMs = out->pcMs = FloorMs(p.firstUs + int64_t(sample_) * kUs / 8000);
            out->block.assign(size_t(n) * 2, 0);
            if (!ReadSamples(p, sample_, n, out->block.data())) {
                problems_.push_back(p.name + ": the sound cannot be read after sample " + std::to_string(sample_));
                ++part_;
                sample_ = 0;
                continue;
            }
            sample_ += n;
            return true;
        }
        return false;
    }

private:
    static uint64_t Samples(const ExportSet::Part& p)
    {
        const auto& s = p.avi->Sound();
        return s.empty() ? 0 : s.back().firstSample + s.back().size / 2;
    }

    bool ReadSamples(const ExportSet::Part& p, uint64_t from, uint64_t n, uint8_t* out)
    {
        const auto& chunks = p.avi->Sound();
        auto it = std::upper_bound(chunks.begin(), chunks.end(), from,
                                   [](uint64_t v, const backup::AviSoundChunk& c) { return v < c.firstSample; });
        if (it == chunks.begin())
            return false;
        for (--it; n > 0 && it != chunks.end(); ++it) {
            const uint64_t inChunk = from - it->firstSample;
            const uint64_t take = std::min<uint64_t>(n, it->size / 2 - inChunk);
            if (!p.avi->Read(it->offset + inChunk * 2, uint32_t(take * 2), &data_))
                return false;
            std::memcpy(out, data_.data(), data_.size());
            out += take * 2;
            from += take;
            n -= take;
        }
        return n == 0;
    }

    std::vector<ExportSet::Part> parts_;
    size_t part_ = SIZE_MAX;
    uint64_t sample_ = 0;
    std::vector<uint8_t> data_;
};

} // namespace

ExportSet::~ExportSet() = default;

std::unique_ptr<ExportSet> ExportSet::Open(const std::string& path, std::string* error)
{
    const std::string manifest = ManifestFor(path);
    if (manifest.empty()) {
        *error = "no manifest of an export beside " + path;
        return nullptr;
    }
    std::vector<backup::ManifestEntry> entries;
    if (!backup::ReadManifest(manifest, &entries, error))
        return nullptr;
    std::unique_ptr<ExportSet> set(new ExportSet());
    set->name_ = backup::BaseName(manifest);
    const std::string dir = backup::DirName(manifest);
    std::vector<std::pair<int64_t, int64_t>> clock; // UTC and local seconds, for the zone
    std::vector<std::pair<int, Part>> found;
    for (const backup::ManifestEntry& e : entries) {
        if (!e.subtitlesOf.empty() || !EndsWith(e.name, ".avi"))
            continue;
        int64_t firstMs = 0, localMs = 0, lastMs = 0, lastLocalMs = 0;
        if (!PlainName(e.name) || e.camera < 1 || e.camera > store::kCameraStreams ||
            !backup::ParseTimeTextMs(e.firstUtc, &firstMs)) {
            set->problems_.push_back(e.name + ": not a proper entry of the manifest");
            continue;
        }
        if (backup::ParseTimeTextMs(e.firstLocal, &localMs))
            clock.emplace_back(FloorMs(firstMs * 1000) / 1000, FloorMs(localMs * 1000) / 1000);
        if (backup::ParseTimeTextMs(e.lastUtc, &lastMs) && backup::ParseTimeTextMs(e.lastLocal, &lastLocalMs))
            clock.emplace_back(lastMs / 1000, lastLocalMs / 1000);
        Part part;
        part.name = e.name;
        part.firstUs = firstMs * 1000;
        part.avi = std::make_shared<backup::AviReader>();
        std::string why;
        if (!part.avi->Open(dir + e.name, &why)) {
            set->problems_.push_back(e.name + ": " + why);
            continue;
        }
        if (!part.avi->Problem().empty())
            set->problems_.push_back(e.name + ": " + part.avi->Problem());
        found.emplace_back(e.camera - 1, std::move(part));
    }
    if (!backup::ZoneOfLocalTimes(clock, &set->zone_, &set->daylight_)) {
        set->zone_ = 255;
        set->daylight_ = 0;
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second.firstUs < b.second.firstUs;
    });
    int64_t first = INT64_MAX, last = INT64_MIN;
    for (auto& [camera, part] : found) {
        if (set->cameras_.empty() || set->cameras_.back() != camera) {
            set->cameras_.push_back(camera);
            set->parts_.emplace_back();
        }
        const auto& video = part.avi->Video();
        for (size_t i = 0; i < video.size(); ++i)
            if (video[i].size > 0) {
                const int64_t us = part.firstUs + part.avi->SlotUs(i);
                first = std::min(first, us);
                last = std::max(last, us);
            }
        set->parts_.back().push_back(std::move(part));
    }
    if (set->cameras_.empty() || first == INT64_MAX) {
        *error = set->problems_.empty() ? "the export " + set->name_ + " holds no pictures"
                                        : set->problems_.front();
        return nullptr;
    }
    set->firstMs_ = FloorMs(first);
    set->lastMs_ = FloorMs(last);
    return set;
}

const std::vector<ExportSet::Part>* ExportSet::PartsOf(int camera) const
{
    for (size_t i = 0; i < cameras_.size(); ++i)
        if (cameras_[i] == camera)
            return &parts_[i];
    return nullptr;
}

std::vector<store::Span> ExportSet::Spans(int camera) const
{
    std::vector<store::Span> spans;
    const auto* parts = PartsOf(camera);
    if (!parts)
        return spans;
    for (const StoredPicture& p : PicturesOf(*parts)) {
        const int64_t ms = FloorMs(p.us);
        if (!spans.empty() && ms - spans.back().endMs <= kGapMs)
            spans.back().endMs = std::max(spans.back().endMs, ms);
        else
            spans.push_back({ms, ms});
    }
    return spans;
}

std::unique_ptr<store::RecordSource> ExportSet::OpenCamera(int camera) const
{
    const auto* parts = PartsOf(camera);
    if (!parts)
        return std::make_unique<NoSource>();
    return std::make_unique<CameraSource>(camera, *parts, zone_, daylight_);
}

std::unique_ptr<store::RecordSource> ExportSet::OpenSound(int camera) const
{
    const auto* parts = PartsOf(camera);
    if (!parts)
        return nullptr;
    std::vector<Part> withSound;
    for (const Part& p : *parts)
        if (p.avi->HasSound() && !p.avi->Sound().empty())
            withSound.push_back(p);
    if (withSound.empty())
        return nullptr;
    return std::make_unique<SoundSource>(std::move(withSound));
}

} // namespace player
