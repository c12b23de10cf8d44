#pragma once
// Reading a site's recordings: one camera's pictures with the site's sound beside them, in DVR time
// order, from any time on. Follows a store that a writer is still growing: Next() returns false at
// the end written so far and carries on when called again later.
#include "Format.h"
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace store {

struct Record {
    uint8_t kind = kVideo; // kVideo or kAudio
    int stream = 0; // camera 0..15, or kAudioStream
    bool key = false; // video: an intra picture
    int64_t dvrMs = 0; // DVR time, UTC ms
    int64_t pcMs = 0; // the PC's UTC time of receipt, ms
    uint8_t zone = 0, daylight = 0; // the DVR's time-zone index and daylight flag (carried in every video frame)
    std::vector<uint8_t> block; // the stream block exactly as the DVR sent it
};

class StreamCursor;

// What a player reads: records in time order from any time on. The store's reader is one; a
// player's other sources (an exported file) are others.
class RecordSource {
public:
    virtual ~RecordSource() = default;
    virtual bool Seek(int64_t dvrMs) = 0;
    virtual bool Next(Record* out) = 0;
    virtual std::vector<std::string> TakeProblems() = 0;
};

class StoreReader final : public RecordSource {
public:
    // siteFolder: a folder that Catalogue::ListSites gave (or StoreWriter::SiteFolder()). channel:
    // 0..15. withAudio: the site's audio blocks are merged in by time. Never throws.
    static std::unique_ptr<StoreReader> Open(const std::string& siteFolder, int channel, bool withAudio,
                                             std::string* error);
    // The site's audio blocks alone (a player keeps its sound apart from its pictures): Seek(ms)
    // positions at the first block at or after ms.
    static std::unique_ptr<StoreReader> OpenAudio(const std::string& siteFolder, std::string* error);
    ~StoreReader() override;

    // Positions at the key frame at or before dvrMs (or the first one after it when nothing is
    // recorded before). False when the camera has no pictures at or after dvrMs.
    bool Seek(int64_t dvrMs) override;
    // The next record after a Seek; false at the end of what is written so far.
    bool Next(Record* out) override;
    // What was passed over since the last call: damaged segments and bytes, torn tails, rebuilt
    // indexes ("path: what").
    std::vector<std::string> TakeProblems() override;

private:
    StoreReader() = default;
    std::unique_ptr<StreamCursor> video_, audio_;
    std::vector<std::string> problems_;
};

} // namespace store
