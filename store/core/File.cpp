#include "File.h"
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace store {

namespace {

std::filesystem::path PathOf(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string ErrorText(int e) { return std::strerror(e); }

} // namespace

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

File File::Append(const std::string& path, bool exclusive, std::string* error)
{
    File f;
#ifdef _WIN32
    int flags = _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | (exclusive ? _O_EXCL : 0);
    f.fd_ = _wopen(PathOf(path).c_str(), flags, _S_IREAD | _S_IWRITE);
#else
    int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : 0);
    f.fd_ = ::open(path.c_str(), flags, 0644);
#endif
    if (f.fd_ < 0 && error)
        *error = path + ": " + ErrorText(errno);
    return f;
}

File File::Read(const std::string& path)
{
    File f;
#ifdef _WIN32
    f.fd_ = _wopen(PathOf(path).c_str(), _O_RDONLY | _O_BINARY);
#else
    f.fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
#endif
    return f;
}

bool File::Write(const uint8_t* data, size_t size, std::string* error)
{
    while (size > 0) {
        const unsigned chunk = static_cast<unsigned>(size > (1u << 30) ? (1u << 30) : size);
#ifdef _WIN32
        const int n = _write(fd_, data, chunk);
#else
        const ssize_t n = ::write(fd_, data, chunk);
#endif
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (error)
                *error = n == 0 ? std::string("nothing written") : ErrorText(errno);
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool File::Sync()
{
#ifdef _WIN32
    return _commit(fd_) == 0;
#else
    return ::fdatasync(fd_) == 0;
#endif
}

int64_t File::Size() const
{
#ifdef _WIN32
    struct _stat64 st;
    return _fstat64(fd_, &st) == 0 ? st.st_size : -1;
#else
    struct stat st;
    return ::fstat(fd_, &st) == 0 ? st.st_size : -1;
#endif
}

int64_t File::ReadAt(uint64_t offset, uint8_t* out, size_t size) const
{
    if (fd_ < 0 || offset > static_cast<uint64_t>(INT64_MAX))
        return -1;
    size_t done = 0;
    while (done < size) {
#ifdef _WIN32
        if (_lseeki64(fd_, static_cast<int64_t>(offset + done), SEEK_SET) < 0)
            return -1;
        const int n = _read(fd_, out + done, static_cast<unsigned>(size - done > (1u << 30) ? (1u << 30) : size - done));
#else
        const ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
#endif
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

void File::Close()
{
    if (fd_ >= 0) {
#ifdef _WIN32
        _close(fd_);
#else
        ::close(fd_);
#endif
        fd_ = -1;
    }
}

bool MakeFolders(const std::string& path, std::string* error)
{
    std::error_code ec;
    std::filesystem::create_directories(PathOf(path), ec);
    if (ec || !std::filesystem::is_directory(PathOf(path), ec)) {
        if (error)
            *error = path + ": " + (ec ? ec.message() : std::string("not a folder"));
        return false;
    }
    return true;
}

bool RemoveFile(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::remove(PathOf(path), ec);
}

} // namespace store
