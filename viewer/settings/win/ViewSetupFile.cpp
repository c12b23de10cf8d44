#include "ViewSetupFile.h"
#include <cwchar>
#include <string>

namespace settings {

int FileIO::OpenWith(const wchar_t* path, bool shareRead, bool shareWrite, DWORD disposition)
{
    Close();
    if (!path || std::wcslen(path) >= MAX_PATH)
        return 0;
    std::wcscpy(path_, path);
    const DWORD share = (shareRead ? FILE_SHARE_READ : 0) | (shareWrite ? FILE_SHARE_WRITE : 0);
    file_.Attach(
        CreateFileW(path, GENERIC_READ | GENERIC_WRITE, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file_ ? 1 : 0;
}

int FileIO::Create(const wchar_t* path, bool shareRead, bool shareWrite)
{
    return OpenWith(path, shareRead, shareWrite, CREATE_NEW);
}

int FileIO::Open(const wchar_t* path, bool shareRead, bool shareWrite)
{
    return OpenWith(path, shareRead, shareWrite, OPEN_EXISTING);
}

int FileIO::Close()
{
    file_.Reset();
    return 1;
}

size_t FileIO::Read(void* data, size_t size)
{
    size_t total = 0;
    while (file_ && total < size) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(size - total);
        if (!ReadFile(file_.Get(), static_cast<uint8_t*>(data) + total, want, &got, nullptr) || got == 0)
            break;
        total += got;
    }
    return total;
}

bool FileIO::Write(const void* data, size_t size)
{
    size_t total = 0;
    while (file_ && total < size) {
        DWORD put = 0;
        const DWORD want = static_cast<DWORD>(size - total);
        if (!WriteFile(file_.Get(), static_cast<const uint8_t*>(data) + total, want, &put, nullptr) || put == 0)
            return false;
        total += put;
    }
    return total == size;
}

bool FileIO::Flush() { return file_ && FlushFileBuffers(file_.Get()); }

LoadOutcome LoadViewSetup(const wchar_t* path, int channelCount, ViewSetupRecord& record)
{
    // Read only; others may read and write meanwhile, as the settings file is not held open.
    win::KernelHandle h(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) {
        record = DefaultViewSetup(channelCount);
        return LoadOutcome{kLoadMissing, record.audioChoice};
    }
    uint8_t* bytes = reinterpret_cast<uint8_t*>(&record);
    size_t got = 0;
    while (got < kViewSetupSize) {
        DWORD n = 0;
        if (!ReadFile(h.Get(), bytes + got, static_cast<DWORD>(kViewSetupSize - got), &n, nullptr) || n == 0)
            break;
        got += n;
    }
    return FinishLoad(record, got, channelCount);
}

std::wstring SideFilePath(const wchar_t* path) { return std::wstring(path) + L".new"; }

bool CreateFoldersFor(const wchar_t* path)
{
    std::wstring p(path);
    const size_t last = p.find_last_of(L"\\/");
    if (last == std::wstring::npos || last == 0)
        return true;
    // Each folder on the way, from the top; one that cannot be made shows in the check below.
    for (size_t i = 1; i < last; ++i)
        if ((p[i] == L'\\' || p[i] == L'/') && p[i - 1] != L':' && p[i - 1] != L'\\')
            CreateDirectoryW(p.substr(0, i).c_str(), nullptr);
    CreateDirectoryW(p.substr(0, last).c_str(), nullptr);
    const DWORD a = GetFileAttributesW(p.substr(0, last).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteViewSetupBeside(const wchar_t* path, const ViewSetupRecord& record)
{
    if (!CreateFoldersFor(path))
        return false;
    const std::wstring side = SideFilePath(path);
    DeleteFileW(side.c_str()); // left by a save that did not finish
    FileIO file;
    if (!file.Create(side.c_str(), false, false))
        return false;
    const bool written = file.Write(&record, kViewSetupSize) && file.Flush();
    const DWORD error = GetLastError();
    file.Close();
    if (!written) {
        DeleteFileW(side.c_str());
        SetLastError(error);
    }
    return written;
}

bool ReplaceWithSideFile(const wchar_t* path)
{
    const std::wstring side = SideFilePath(path);
    if (MoveFileExW(side.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD error = GetLastError(); // the reason the caller reports, not the clean-up's
    DeleteFileW(side.c_str());
    SetLastError(error);
    return false;
}

bool SaveViewSetup(const wchar_t* path, const ViewSetupRecord& record)
{
    return WriteViewSetupBeside(path, record) && ReplaceWithSideFile(path);
}

} // namespace settings
