#include "StoreSource.h"

namespace backup {

std::unique_ptr<StoreSources> StoreSources::Open(const std::string& siteFolder, int camera, int64_t fromUs,
                                                 std::string* error)
{
    std::unique_ptr<StoreSources> s(new StoreSources());
    s->reader_ = store::StoreReader::Open(siteFolder, camera, true, error);
    if (!s->reader_)
        return nullptr;
    if (!s->reader_->Seek(fromUs / 1000)) {
        *error = "camera " + std::to_string(camera + 1) + " has no recordings from that time on";
        return nullptr;
    }
    return s;
}

int StoreSources::Side::Next(StoredBlock& out, std::string*)
{
    // A side more than this far ahead of the other means the other has ended: stop keeping blocks.
    constexpr size_t kMaxKept = 4096;
    Side& other = video_ ? s_.audio_ : s_.video_;
    while (queue.empty()) {
        store::Record r;
        if (!s_.reader_->Next(&r))
            return 0;
        const bool isVideo = r.kind == store::kVideo;
        if (isVideo == video_)
            queue.push_back(std::move(r.block));
        else if (other.queue.size() < kMaxKept)
            other.queue.push_back(std::move(r.block));
    }
    current = std::move(queue.front());
    queue.pop_front();
    out.data = current.data();
    out.size = current.size();
    return 1;
}

bool RecordedZone(const std::string& siteFolder, int camera, uint8_t* zone, uint8_t* daylight, std::string* error)
{
    auto reader = store::StoreReader::Open(siteFolder, camera, false, error);
    if (!reader)
        return false;
    store::Record r;
    if (!reader->Seek(0) || !reader->Next(&r)) {
        *error = "camera " + std::to_string(camera + 1) + " has no recordings";
        return false;
    }
    *zone = r.zone;
    *daylight = r.daylight;
    return true;
}

} // namespace backup
