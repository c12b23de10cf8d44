#pragma once
// One camera's recordings of a span exported to AVI files that any player opens: the MPEG-4
// pictures exactly as recorded (a synthesized VOL in front of each key frame, as the viewer feeds
// its decoder), the sound of one DVR audio channel decoded to PCM and placed at its own time, and
// beside each AVI a SubRip file with the DVR's local date and time for every second.
//
// Time: every picture sits at its recording time on a constant frame rate; a picture that never
// came is a dropped frame, a stretch without sound is silence, so gaps stay gaps and sound stays in
// step with the pictures. A new file begins at a key frame when the file would pass the size
// limit, when the picture size changes, or after a gap of more than a minute (or a clock set back).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace backup {

// Stored stream blocks exactly as the DVR sent them, in the order they were stored.
struct StoredBlock {
    const uint8_t* data = nullptr; // valid until the next call
    size_t size = 0;
};
class IBlockSource {
public:
    virtual ~IBlockSource() = default;
    // 1: a block; 0: no more; -1: the store failed (*error says why).
    virtual int Next(StoredBlock& out, std::string* error) = 0;
};

struct ExportProgress {
    double fraction = 0; // 0..1 of the span
    uint64_t bytesWritten = 0;
};

struct ExportOptions {
    std::string outPath; // the first file; later ones are <stem>-2.avi, <stem>-3.avi ...
    int camera = 0; // 0-based
    int audioChannel = 0; // 0-3; -1: no sound
    int64_t fromUs = 0, toUs = 0; // the span, DVR UTC microseconds since 1970, to excluded
    // A file never passes this: past 15/16 of it the file ends at the next key frame.
    uint64_t maxFileBytes = 1000000000;
    // Called often; returning false cancels the export.
    std::function<bool(const ExportProgress&)> progress;
};

struct Gap {
    int64_t fromUs = 0, toUs = 0; // the last picture before it and the first after it
};

struct ExportedFile {
    std::string path; // the AVI
    std::string subtitlePath;
    uint64_t pictures = 0; // pictures stored in the file
    uint64_t leftOut = 0; // pictures of the span not stored: after a loss, until the next key frame
    uint64_t soundSamples = 0; // real sound, silence not counted
    uint64_t silenceSamples = 0; // silence put in for missing sound
    int64_t firstUs = 0, lastUs = 0; // first and last picture
    uint8_t zone = 0, daylight = 0; // of the DVR, from its pictures
    int width = 0, height = 0;
    double frameRate = 0;
    std::vector<Gap> gaps; // stretches of more than a second without pictures
};

struct ExportResult {
    bool ok = false;
    bool cancelled = false;
    std::string error; // a plain sentence when !ok
    std::vector<ExportedFile> files; // empty unless ok
    uint64_t refused = 0; // malformed blocks skipped
};

// Reads both sources to their end (or past the span) and writes the files. On failure or cancel
// every file of this export is removed again, temporary or finished.
ExportResult ExportCamera(IBlockSource& video, IBlockSource* audio, const ExportOptions& options);

// The DVR local time of a UTC instant for the given zone index and daylight flag:
// "YYYY-MM-DD hh:mm:ss" (with ".mmm" when withMs).
std::string LocalTimeText(int64_t utcUs, uint8_t zone, uint8_t daylight, bool withMs = false);
std::string UtcTimeText(int64_t utcUs, bool withMs = false);
// Civil UTC time to seconds since 1970 and back (proleptic Gregorian).
int64_t UnixSecondsOf(int year, int month, int day, int hour, int minute, int second);
void CivilOf(int64_t unixSeconds, int& year, int& month, int& day, int& hour, int& minute, int& second);
// "YYYY-MM-DD hh:mm:ss" (or 'T' between) to its fields; false when not a valid time.
bool ParseTimeText(const std::string& text, int64_t* unixSecondsOfFields);
// The same with optional milliseconds ("YYYY-MM-DD hh:mm:ss.mmm"), as the manifest writes
// picture times: ms since 1970 of the fields.
bool ParseTimeTextMs(const std::string& text, int64_t* msOfFields);
// A zone index and daylight flag of the DVR under which each UTC second shows as its local second
// (pairs of utc, local seconds since 1970 of the fields); false when no zone of the table does.
bool ZoneOfLocalTimes(const std::vector<std::pair<int64_t, int64_t>>& utcLocal, uint8_t* zone, uint8_t* daylight);
// The UTC instant of a DVR local time, for the zone and flag: the first instant whose local time
// matches (at the autumn change the earlier one), or the nearest later one in the spring gap.
int64_t UtcOfLocalSeconds(int64_t localSeconds, uint8_t zone, uint8_t daylight);

} // namespace backup
