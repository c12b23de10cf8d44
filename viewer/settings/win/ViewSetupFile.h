#pragma once
// ViewSetup.dat: the small file class FileIO and the view's reading and saving of the settings
// record (Win32).
#include <windows.h>
#include "ViewSetup.h"
#include "foundation/Handles.h"
#include <string>

namespace settings {

inline constexpr wchar_t kViewSetupPath[] = L"C:/Program Files/Orvex/ViewSetup.dat";

class FileIO {
public:
    FileIO() = default;
    virtual ~FileIO() { Close(); }
    FileIO(const FileIO&) = delete;
    FileIO& operator=(const FileIO&) = delete;

    // A new file (fails if it exists) or an existing one, for reading and writing with the given
    // sharing. Any file open before is closed. 1 or 0.
    int Create(const wchar_t* path, bool shareRead, bool shareWrite);
    int Open(const wchar_t* path, bool shareRead, bool shareWrite);
    int Close();

    bool IsOpen() const { return static_cast<bool>(file_); }
    const wchar_t* Path() const { return path_; }
    // Up to `size` bytes from the current position; the count read (0 at the end or on failure).
    size_t Read(void* data, size_t size);
    // All `size` bytes or false.
    bool Write(const void* data, size_t size);
    bool Flush();

private:
    int OpenWith(const wchar_t* path, bool shareRead, bool shareWrite, DWORD disposition);

    win::KernelHandle file_;
    wchar_t path_[MAX_PATH] = {};
};

// Reads the record from `path`: kLoadMissing (defaults for `channelCount` channels) when the file
// cannot be opened; otherwise up to 140 bytes over `record`, then kLoadRead, or kLoadShort with
// the defaults. `audioRead` is the audio choice as the read left it (not for kLoadMissing).
LoadOutcome LoadViewSetup(const wchar_t* path, int channelCount, ViewSetupRecord& record);

// Saves the record in place of the file at `path`, creating the missing folders on its way. The
// record is written and flushed beside the file first and then put in its place in one step, so
// that a crash or a full disk on the way leaves the previous file as it was. False when nothing
// was replaced.
bool SaveViewSetup(const wchar_t* path, const ViewSetupRecord& record);

// The two halves of SaveViewSetup. WriteViewSetupBeside leaves the flushed new record in the
// side file (any stale one from an interrupted save is replaced); ReplaceWithSideFile puts it in
// place of the file.
bool WriteViewSetupBeside(const wchar_t* path, const ViewSetupRecord& record);
bool ReplaceWithSideFile(const wchar_t* path);
std::wstring SideFilePath(const wchar_t* path);

// Creates every folder on the way to `path` (existing ones are fine). False when one is missing after.
bool CreateFoldersFor(const wchar_t* path);

} // namespace settings
