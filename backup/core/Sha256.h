#pragma once
// SHA-256 (FIPS 180-4), streaming. The export's manifest proves its files unchanged with it.
#include <cstddef>
#include <cstdint>
#include <string>

namespace backup {

class Sha256 {
public:
    Sha256() { Reset(); }
    void Reset();
    void Update(const void* data, size_t size);
    void Final(uint8_t digest[32]); // the object is reset afterwards
    std::string FinalHex(); // 64 lower-case hex digits

private:
    void Block(const uint8_t* p);
    uint32_t h_[8];
    uint8_t buf_[64];
    size_t used_ = 0;
    uint64_t bytes_ = 0;
};

// The SHA-256 of a whole file in hex; empty when it cannot be read. size gets its length.
std::string Sha256OfFile(const std::string& path, uint64_t* size = nullptr);

} // namespace backup
