#include "OutFile.h"
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace backup {

std::string PlainFileError(int err)
{
    switch (err) {
    case ENOSPC:
    case EFBIG:
        return "the disk is full";
    case ENOENT:
    case ENOTDIR:
        return "the folder is gone";
    case EACCES:
    case EPERM:
    case EROFS:
        return "the folder may not be written to";
    case EEXIST:
        return "a file of that name is already there";
    default:
        return std::strerror(err);
    }
}

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(path), ec);
}

bool OutFile::Fail(const char* what, int err)
{
    if (error_.empty())
        error_ = std::string(what) + " " + final_ + ": " + PlainFileError(err);
    return false;
}

bool OutFile::Create(const std::string& finalPath)
{
    Abandon();
    final_ = finalPath;
    error_.clear();
    size_ = 0;
    if (FileExists(final_))
        return Fail("cannot write", EEXIST);
    file_ = std::fopen(TempPath().c_str(), "wb");
    if (!file_)
        return Fail("cannot write", errno);
    return true;
}

bool OutFile::Write(const void* data, size_t size)
{
    if (!Ok())
        return false;
    if (size && std::fwrite(data, 1, size, file_) != size)
        return Fail("cannot write", errno);
    size_ += size;
    return true;
}

bool OutFile::WriteAt(uint64_t offset, const void* data, size_t size)
{
    if (!Ok())
        return false;
    if (offset + size > size_)
        return Fail("cannot write", EINVAL);
    // Files stay below 2 GB (the export splits at 1 GB), so a long offset holds every position.
    if (std::fseek(file_, long(offset), SEEK_SET) != 0 || std::fwrite(data, 1, size, file_) != size ||
        std::fseek(file_, 0, SEEK_END) != 0)
        return Fail("cannot write", errno);
    return true;
}

bool OutFile::Commit()
{
    if (!Ok()) {
        Abandon();
        return false;
    }
    FILE* f = file_;
    file_ = nullptr;
    if (std::fflush(f) != 0) {
        const int err = errno;
        std::fclose(f);
        std::remove(TempPath().c_str());
        return Fail("cannot write", err);
    }
    if (std::fclose(f) != 0) {
        const int err = errno;
        std::remove(TempPath().c_str());
        return Fail("cannot write", err);
    }
    if (FileExists(final_)) { // appeared while we wrote: never replace someone's file
        std::remove(TempPath().c_str());
        return Fail("cannot write", EEXIST);
    }
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(TempPath()), std::filesystem::path(final_), ec);
    if (ec) {
        std::remove(TempPath().c_str());
        return Fail("cannot move into place", ec.value());
    }
    return true;
}

void OutFile::Abandon()
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
        std::remove(TempPath().c_str());
    }
}

} // namespace backup
