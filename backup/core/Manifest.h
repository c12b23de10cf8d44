#pragma once
// The export's manifest, in plain text for a person and the same in JSON: the site, the cameras,
// the span in DVR local time and UTC, and for every file its SHA-256, size, picture and sound
// counts, gaps, first and last time. The verifier checks every file named in either form.
#include "Export.h"
#include <string>
#include <vector>

namespace backup {

struct ManifestInput {
    std::string site; // "address:port"
    int64_t fromUs = 0, toUs = 0;
    uint8_t zone = 0, daylight = 0; // the DVR's, for the span's local time
    struct Camera {
        int number = 0; // 1-based
        int audioChannel = 0; // 1-4, 0: none
        std::vector<ExportedFile> files;
    };
    std::vector<Camera> cameras;
};

// Writes <base>.txt and <base>.json (temporary names, moved into place), hashing every file.
bool WriteManifest(const std::string& base, const ManifestInput& in, std::string* error);

// One file as a manifest names it. The times are as written ("YYYY-MM-DD hh:mm:ss.mmm"); the
// subtitle files have none and name the AVI they belong to.
struct ManifestEntry {
    std::string name, sha256;
    uint64_t size = 0;
    int camera = 0; // 1-based; 0 when not given
    std::string subtitlesOf;
    std::string firstLocal, firstUtc, lastLocal, lastUtc;
};
// Reads a manifest (text or JSON). False with *error when it cannot be read or names no file.
bool ReadManifest(const std::string& path, std::vector<ManifestEntry>* out, std::string* error);

struct VerifiedFile {
    std::string name;
    bool ok = false;
    std::string problem; // "differs", "size differs", "missing"
};
// Reads a manifest (text or JSON) and checks each file beside it. False with *error when the
// manifest itself cannot be read or names no file.
bool VerifyManifest(const std::string& path, std::vector<VerifiedFile>* out, std::string* error);

std::string BaseName(const std::string& path);
std::string DirName(const std::string& path); // with its separator; empty for a bare name

} // namespace backup
