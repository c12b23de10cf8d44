#include "ExportJob.h"
#include "Catalogue.h"
#include "Format.h"
#include "Layout.h"
#include "Manifest.h"
#include "SegmentScan.h"
#include "StoreSource.h"
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

namespace backup {

SiteRecordings ListSiteRecordings(const std::string& siteFolder)
{
    SiteRecordings out;
    const store::Catalogue cat(siteFolder);
    std::set<int> cameras;
    for (uint32_t day : cat.Days()) {
        for (int c : cat.Cameras(day)) {
            cameras.insert(c);
            for (const store::Span& s : cat.Spans(c, day))
                out.lastMs = std::max(out.lastMs, s.endMs);
        }
    }
    out.cameras.assign(cameras.begin(), cameras.end());
    std::string error;
    for (int c : out.cameras)
        if (RecordedZone(siteFolder, c, &out.zone, &out.daylight, &error))
            break;
    return out;
}

namespace {

struct Point {
    int64_t ms;
    uint64_t offset;
};

// The segment's offset at time t, by straight lines between its index points.
uint64_t OffsetAt(const std::vector<Point>& pts, int64_t t)
{
    if (t <= pts.front().ms)
        return pts.front().offset;
    for (size_t i = 1; i < pts.size(); ++i) {
        if (t < pts[i].ms) {
            const Point& a = pts[i - 1];
            const Point& b = pts[i];
            const double f = double(t - a.ms) / double(b.ms - a.ms);
            return a.offset + uint64_t(f * double(b.offset - a.offset));
        }
    }
    return pts.back().offset;
}

} // namespace

uint64_t StoredBytes(const std::string& siteFolder, int stream, int64_t fromMs, int64_t toMs, int64_t* coveredMs)
{
    uint64_t total = 0;
    if (coveredMs)
        *coveredMs = 0;
    if (toMs <= fromMs)
        return 0;
    for (uint32_t day : store::ListDays(siteFolder)) {
        for (const store::SegmentRef& seg : store::ListSegments(siteFolder, day, stream)) {
            std::ifstream in(store::IndexPathOf(seg.path), std::ios::binary);
            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            int s = 0;
            bool ended = false;
            std::vector<store::IndexEntry> entries;
            store::IndexEntry end;
            if (!store::ParseIndex(bytes.data(), bytes.size(), &s, &entries, &ended, &end) || entries.empty())
                continue;
            std::vector<Point> pts;
            for (const auto& e : entries)
                if (pts.empty() || e.dvrMs > pts.back().ms)
                    pts.push_back({e.dvrMs, e.offset});
            if (ended) {
                pts.push_back({std::max(end.dvrMs, pts.back().ms + 1), end.offset});
            } else {
                // A segment still being written: its length so far, about a second past its last entry.
                std::ifstream seg_(seg.path, std::ios::binary | std::ios::ate);
                const auto size = static_cast<int64_t>(seg_.tellg());
                if (size > 0 && uint64_t(size) > pts.back().offset)
                    pts.push_back({pts.back().ms + 1000, uint64_t(size)});
            }
            if (pts.back().ms < fromMs || pts.front().ms >= toMs)
                continue;
            const uint64_t a = OffsetAt(pts, fromMs), b = OffsetAt(pts, toMs);
            total += b > a ? b - a : 0;
            if (coveredMs)
                *coveredMs += std::min(toMs, pts.back().ms) - std::max(fromMs, pts.front().ms);
        }
    }
    return total;
}

uint64_t EstimateExportBytes(const std::string& siteFolder, const std::vector<int>& cameras, int64_t fromMs,
                             int64_t toMs)
{
    if (toMs <= fromMs)
        return 0;
    uint64_t total = 0;
    for (int c : cameras) {
        int64_t covered = 0;
        const uint64_t pictures = StoredBytes(siteFolder, c, fromMs, toMs, &covered);
        if (pictures == 0)
            continue;
        const uint64_t seconds = uint64_t(std::max<int64_t>(covered, 0) + 999) / 1000;
        total += pictures;
        if (AudioChannelOf(c) >= 0)
            total += seconds * 16000; // 8 kHz, 16-bit
        total += seconds * (30 * 16 + 64) + 64 * 1024; // the AVI index, subtitles and headers
    }
    return total;
}

std::string ExportBaseName(const ExportJobRequest& r)
{
    std::string site = r.site;
    for (char& ch : site)
        if (!(std::isalnum(static_cast<unsigned char>(ch)) || ch == '.' || ch == '-'))
            ch = '_';
    std::string t = LocalTimeText(r.fromUs, r.zone, r.daylight); // "YYYY-MM-DD hh:mm:ss"
    std::string stamp;
    for (char ch : t)
        if (std::isdigit(static_cast<unsigned char>(ch)))
            stamp += ch;
    if (stamp.size() == 14)
        stamp.insert(8, "-");
    return site + "-" + stamp;
}

ExportJobResult RunExportJob(const ExportJobRequest& request, const std::function<bool(double)>& progress)
{
    ExportJobResult out;
    std::vector<std::string> written;
    auto undo = [&] {
        for (const auto& f : written)
            std::remove(f.c_str());
        written.clear();
    };
    if (request.cameras.empty() || request.toUs <= request.fromUs) {
        out.error = "Choose at least one camera and a span whose end follows its start.";
        return out;
    }
    const std::string base = store::JoinPath(request.folder, ExportBaseName(request));
    ManifestInput manifest;
    manifest.site = request.site;
    manifest.fromUs = request.fromUs, manifest.toUs = request.toUs;
    manifest.zone = request.zone, manifest.daylight = request.daylight;
    const double n = double(request.cameras.size());
    bool cancelled = false;
    for (size_t i = 0; i < request.cameras.size(); ++i) {
        const int camera = request.cameras[i];
        char name[16];
        std::snprintf(name, sizeof name, "-cam%02d.avi", camera + 1);
        std::string error;
        auto sources = StoreSources::Open(request.siteFolder, camera, request.fromUs, &error);
        if (!sources)
            continue; // nothing recorded in the span: the camera has no file, the manifest no entry
        ExportOptions o;
        o.outPath = base + name;
        o.camera = camera;
        o.audioChannel = AudioChannelOf(camera);
        o.fromUs = request.fromUs, o.toUs = request.toUs;
        o.progress = [&](const ExportProgress& p) {
            if (progress && !progress((double(i) + p.fraction) / n))
                cancelled = true;
            return !cancelled;
        };
        ExportResult r = ExportCamera(sources->Video(), o.audioChannel >= 0 ? &sources->Audio() : nullptr, o);
        if (!r.ok) {
            undo();
            out.cancelled = r.cancelled || cancelled;
            out.error = out.cancelled ? std::string() : r.error;
            return out;
        }
        for (const auto& f : r.files)
            written.push_back(f.path), written.push_back(f.subtitlePath);
        if (!r.files.empty())
            manifest.cameras.push_back({camera + 1, o.audioChannel + 1, std::move(r.files)});
    }
    if (manifest.cameras.empty()) {
        out.error = "The chosen cameras have no recordings in this span.";
        return out;
    }
    if (progress && !progress(1.0)) {
        undo();
        out.cancelled = true;
        return out;
    }
    std::string error;
    if (!WriteManifest(base + "-manifest", manifest, &error)) {
        undo();
        out.error = error;
        return out;
    }
    out.ok = true;
    out.files = std::move(written);
    out.manifest = base + "-manifest.txt";
    out.files.push_back(out.manifest);
    out.files.push_back(base + "-manifest.json");
    return out;
}

} // namespace backup
