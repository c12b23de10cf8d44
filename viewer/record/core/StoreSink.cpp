#include "StoreSink.h"
#include "StoreWriter.h"

namespace record {

namespace {

class StoreSink final : public IRecordSink {
public:
    explicit StoreSink(std::unique_ptr<store::StoreWriter> w) : w_(std::move(w)) {}
    bool Append(const uint8_t* block, size_t size, int64_t pcUtcMs) override { return w_->Append(block, size, pcUtcMs); }
    bool AppendMotion(int channel, uint32_t s, uint8_t level) override { return w_->AppendMotion(channel, s, level); }
    void EndChannel(int channel) override { w_->EndChannel(channel); }
    bool Flush() override { return w_->Flush(); }
    bool Close() override { return w_->Close(); }
    bool Failed() const override { return w_->Failed(); }
    std::string Error() const override { return w_->Error(); }
    std::string Folder() const override { return w_->SiteFolder(); }

private:
    std::unique_ptr<store::StoreWriter> w_;
};

} // namespace

std::unique_ptr<IRecordSink> OpenStoreSink(const std::string& root, const std::string& address, uint16_t port,
                                           std::string* error)
{
    std::unique_ptr<store::StoreWriter> w = store::StoreWriter::Open(root, address, port, {}, error);
    if (!w)
        return nullptr;
    return std::make_unique<StoreSink>(std::move(w));
}

} // namespace record
