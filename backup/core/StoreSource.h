#pragma once
// The recording store as the export's two sources: one camera's pictures and the site's sound.
// The store's reader gives both merged by time; each side keeps what the other reads ahead.
#include "Export.h"
#include "StoreReader.h"
#include <deque>
#include <memory>

namespace backup {

class StoreSources {
public:
    // siteFolder as the store's catalogue names it; camera 0-based. Seeks to the key frame at or
    // before fromUs. nullptr with *error when the camera has nothing recorded there.
    static std::unique_ptr<StoreSources> Open(const std::string& siteFolder, int camera, int64_t fromUs,
                                              std::string* error);
    IBlockSource& Video() { return video_; }
    IBlockSource& Audio() { return audio_; }
    std::vector<std::string> Problems() { return reader_->TakeProblems(); }

private:
    class Side : public IBlockSource {
    public:
        Side(StoreSources& s, bool video) : s_(s), video_(video) {}
        int Next(StoredBlock& out, std::string* error) override;
        std::deque<std::vector<uint8_t>> queue;
        std::vector<uint8_t> current;

    private:
        StoreSources& s_;
        bool video_;
    };
    StoreSources() : video_(*this, true), audio_(*this, false) {}
    std::unique_ptr<store::StoreReader> reader_;
    Side video_, audio_;
};

// The DVR's zone and daylight flag as the camera's first recorded picture carries them; false
// when the camera has none.
bool RecordedZone(const std::string& siteFolder, int camera, uint8_t* zone, uint8_t* daylight, std::string* error);

} // namespace backup
