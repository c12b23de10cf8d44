#include "StoreWriter.h"

namespace store {
class StoreWriterImpl {
public:
    std::string error, folder;
};
StoreWriter::StoreWriter(std::unique_ptr<StoreWriterImpl> impl) : impl_(std::move(impl)) {}
StoreWriter::~StoreWriter() = default;
std::unique_ptr<StoreWriter> StoreWriter::Open(const std::string&, const std::string&, uint16_t, const WriterOptions&,
                                               std::string* error)
{
    if (error)
        *error = "the store is not built yet";
    return nullptr;
}
bool StoreWriter::Append(const uint8_t*, size_t, int64_t) { return false; }
bool StoreWriter::AppendMotion(int, uint32_t, uint8_t) { return false; }
void StoreWriter::EndChannel(int) {}
bool StoreWriter::Flush() { return false; }
bool StoreWriter::Close() { return false; }
bool StoreWriter::Failed() const { return true; }
const std::string& StoreWriter::Error() const { return impl_->error; }
const std::string& StoreWriter::SiteFolder() const { return impl_->folder; }
size_t StoreWriter::EnforceRetention(int64_t) { return 0; }
void MotionMeter::AddBgr(const uint8_t*, int, int, int, uint32_t) {}
void MotionMeter::AddLuma(const uint8_t*, int, int, int, uint32_t) {}
bool MotionMeter::Take(uint32_t*, uint8_t*) { return false; }
}
