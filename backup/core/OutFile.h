#pragma once
// An export file written under a temporary name ("<name>.part") and moved into place by Commit:
// until then nothing at the final name exists, so a cancelled or failed export leaves no file that
// looks complete. Every failure becomes one plain message for the person.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace backup {

class OutFile {
public:
    OutFile() = default;
    ~OutFile() { Abandon(); }
    OutFile(const OutFile&) = delete;
    OutFile& operator=(const OutFile&) = delete;

    bool Create(const std::string& finalPath); // refuses to replace an existing file
    bool Write(const void* data, size_t size);
    bool WriteAt(uint64_t offset, const void* data, size_t size); // patches bytes already written
    uint64_t Size() const { return size_; }
    bool Commit(); // flushes, closes and renames into place
    void Abandon(); // closes and removes the temporary file; safe at any time
    bool Ok() const { return file_ != nullptr && error_.empty(); }
    const std::string& Error() const { return error_; }
    const std::string& FinalPath() const { return final_; }
    std::string TempPath() const { return final_ + ".part"; }

private:
    bool Fail(const char* what, int err);
    FILE* file_ = nullptr; // ours
    std::string final_;
    std::string error_;
    uint64_t size_ = 0;
};

// A plain sentence for a failed file operation: the disk is full, the folder is gone...
std::string PlainFileError(int err);
bool FileExists(const std::string& path);

} // namespace backup
