#pragma once
// Plain file I/O for the store, the same on a local disk and on a network share: files opened for
// appending or reading, full writes, a data sync, positioned reads. Paths are UTF-8. Never throws.
#include <cstddef>
#include <cstdint>
#include <string>

namespace store {

class File {
public:
    File() = default;
    ~File() { Close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    File& operator=(File&& other) noexcept;

    // create: fails when the file exists (exclusive) ; otherwise opened for appending, made if missing.
    static File Append(const std::string& path, bool exclusive, std::string* error);
    static File Read(const std::string& path);

    bool IsOpen() const { return fd_ >= 0; }
    bool Write(const uint8_t* data, size_t size, std::string* error);
    bool Sync();
    int64_t Size() const; // -1 when unknown
    // Reads up to size bytes at offset; the count read, or -1.
    int64_t ReadAt(uint64_t offset, uint8_t* out, size_t size) const;
    void Close();

private:
    int fd_ = -1;
};

// File-system helpers over std::filesystem with error codes (nothing thrown).
bool MakeFolders(const std::string& path, std::string* error);
bool RemoveFile(const std::string& path);

} // namespace store
