#pragma once
// The backup module: the site's recordings on this PC exported for someone else. The person ticks
// the cameras that have recordings, sets the span (DVR local time, the last recorded hour at first)
// and picks the target folder in a folder dialog; the module shows the size the export will take
// and the free space there, runs the export on a worker thread with a progress bar and the time
// left, and Cancel stops it at any time leaving nothing that looks complete.
//
// Safe for scripting: its dispatch members only take the site (as the stand-ins do); folders come
// only from folder dialogs the person sees, and only the person's Export button starts an export.
#include "BackupIds.h"
#include "SubstituteCtrl.h"
#include "ExportJob.h"
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

// Export workers whose control went while they ran (the person closed the module mid-export): each
// was told to cancel and finishes on its own, removing what it wrote; joined here once done. The
// module answers DllCanUnloadNow with S_FALSE while any is left (its code still runs).
size_t ClosingExports();

// Replaces the folder dialogs, for the module's tests: which 0 asks for the recordings folder, 1 for
// the target folder; TRUE with the path written into path (chars wide). Not reachable from a script.
typedef BOOL(WINAPI* OrvmodsFolderChooser)(int which, wchar_t* path, UINT chars);
extern "C" void WINAPI OrvmodsSetFolderChooser(OrvmodsFolderChooser chooser);

class CBackupCtrl final : public CSubstituteCtrl {
public:
    using Ids = CBackupIds;
    CBackupCtrl();
    ~CBackupCtrl() override;
    struct Work; // what the control and its export worker share; outlives the control when abandoned

private:
    bool CreateControlWindow(HWND parent, const RECT& pos) override;
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void DrawContent(HDC dc, const RECT& bounds) override;
    void OnFinalRelease() override;
    void OnSiteTaken() override;

    bool OnCreate();
    void OnCommand(int id, int code);
    LRESULT OnColour(HDC dc);
    void OnDrawItem(const DRAWITEMSTRUCT& item);
    void Paint(HDC dc, const RECT& bounds) override;
    HWND Child(const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x, int y, int w, int h);

    void ChooseFolder(int which);
    void LoadSite(); // the site's cameras and last hour from the store
    void UpdateSize();
    void UpdateButtons();
    bool Span(int64_t* fromUs, int64_t* toUs) const;
    std::vector<int> CheckedCameras() const;
    void SetStatus(const std::wstring& text);

    void StartExport();
    void OnProgress();
    void OnDone();
    // Cancels a running export and lets its worker finish by itself (ClosingExports): the window's
    // thread never waits for an export, which may be hashing gigabytes or writing to a slow share.
    void AbandonWorker();

    std::wstring recordingsRoot_; // the person's Videos folder plus "Orvex", or one chosen
    std::wstring targetFolder_; // empty until chosen
    std::string siteFolder_; // in the store; empty when the site is not known
    backup::SiteRecordings recordings_;
    win::Brush background_;
    std::shared_ptr<Work> work_;
    std::thread worker_;
    DWORD startTick_ = 0;
    bool running_ = false;
};
