#pragma once
// The export of several cameras of one site and span, as the backup module runs it: what the store
// holds for the site (cameras with recordings, the last recorded time, the DVR's clock), the size an
// export will take (from the segments' indexes, no segment read), and the job itself: one AVI with
// its SubRip file per camera, then the manifest. A cancelled or failed job removes every file it
// wrote, so nothing that looks complete is left behind; the recordings are only read.
#include "Export.h"
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace backup {

struct SiteRecordings {
    std::vector<int> cameras; // 0-based, with at least one segment
    int64_t lastMs = 0; // DVR UTC ms of the last record of any camera; 0 when none
    uint8_t zone = 0, daylight = 0; // the DVR's clock, from the first camera's pictures
};
// Reads the site's catalogue (folder listing and indexes).
SiteRecordings ListSiteRecordings(const std::string& siteFolder);

// Bytes of the stream's segments that lie in [fromMs, toMs), interpolated between index entries;
// *coveredMs (when given) receives how much of the span the segments cover.
uint64_t StoredBytes(const std::string& siteFolder, int stream, int64_t fromMs, int64_t toMs,
                     int64_t* coveredMs = nullptr);
// The size an export of these cameras will take: their pictures as stored, PCM sound for the whole
// recorded time of each camera that carries sound, and a little for the AVI structure and the subtitles.
uint64_t EstimateExportBytes(const std::string& siteFolder, const std::vector<int>& cameras, int64_t fromMs,
                             int64_t toMs);

// The sound a camera's file carries: DVR audio channels 1 to 4 go with cameras 1 to 4.
inline int AudioChannelOf(int camera) { return camera < 4 ? camera : -1; }

struct ExportJobRequest {
    std::string siteFolder; // in the store
    std::string site; // "address:port", for the names and the manifest
    std::string folder; // the target folder
    std::vector<int> cameras; // 0-based
    int64_t fromUs = 0, toUs = 0; // DVR UTC
    uint8_t zone = 0, daylight = 0;
};

struct ExportJobResult {
    bool ok = false;
    bool cancelled = false;
    std::string error; // a plain sentence when neither ok nor cancelled
    std::vector<std::string> files; // written, the manifest's two last
    std::string manifest; // the text manifest's path
};

// Runs the whole export on the calling thread. progress gets 0..1 over all cameras; returning
// false cancels.
ExportJobResult RunExportJob(const ExportJobRequest& request, const std::function<bool(double)>& progress);

// "<address>_<port>-<yyyymmdd-hhmmss of the span's DVR local start>", safe as a file name.
std::string ExportBaseName(const ExportJobRequest& request);

} // namespace backup
