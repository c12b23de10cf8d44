#pragma once
// The player module: a site's recordings from the person's recordings folder (the one the viewer
// records into, or another chosen in the folder dialog), or an export of the backup module chosen
// in the open dialog, played in 1, 4, 9 or 16 divisions kept in step by the DVR's time, with the
// transport, a timeline of what each camera holds and a status list. Ctrl+S saves the picture of a
// division as the live view's does. The sound (at 1x) is that of the camera chosen with the Sound
// buttons (cameras 1 to 4 carry the DVR's four audio channels). Orvex hands it no site; it still
// takes the members every module takes (address, port, user, password, SetAddr) and reads them back
// (Received), as the stand-ins do. Safe for scripting: no member names a file or a folder; folders
// and files come only from the dialogs.
#include <windows.h>
#include "Catalogue.h"
#include "FaceButtons.h"
#include "ModuleMembers.h"
#include "Orvmods_h.h"
#include "PlaybackView.h"
#include "StoreLanes.h"
#include "Timeline.h"
#include "foundation/ActiveXControl.h"
#include "foundation/Handles.h"
#include <memory>
#include <string>
#include <vector>

// The folder the viewer records into: [Recording] Folder of "C:/Program Files/Orvex/ViewRecord.ini",
// else the person's Videos folder plus "Orvex" (empty when there is none). Read, never written.
std::wstring ViewerRecordingsFolder();

class CPlayerCtrl final : public win::ActiveXControl {
public:
    // Children: the Close button keeps the stand-ins' identifier; the lists are the person's.
    enum : int { kCloseButton = 1001, kSiteList = 1010, kCameraList = 1011, kStatusList = 1012, kTimeline = 1013 };
    enum : int {
        kCmdFolder = 2001, kCmdExport = 2002, kCmdLayout1 = 2011, kCmdLayout4, kCmdLayout9, kCmdLayout16,
        kCmdBackKey = 2021, kCmdBack1m, kCmdBack10s, kCmdPlay, kCmdFore10s, kCmdFore1m, kCmdStep,
        kCmdSlower = 2031, kCmdFaster, kCmdSound1 = 2041, kCmdSound2, kCmdSound3, kCmdSound4
    };
    static constexpr UINT kCloseKey = VK_F8;

    CPlayerCtrl();

private:
    ~CPlayerCtrl() override;
    bool CreateControlWindow(HWND parent, const RECT& pos) override;
    HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr) override;
    void ExchangeProperties(win::PropertyExchange&) override {}
    bool PreTranslate(MSG& msg) override;
    void DrawContent(HDC dc, const RECT& bounds) override;
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

    // ---- the window ----
    LRESULT OnCreate();
    void OnDestroy();
    void OnSize(int width, int height);
    void OnPaint(HDC dc);
    void OnCommand(int id, int code);
    void OnViewCommand(int command);
    void OnTimer(UINT_PTR id);
    bool OnKey(UINT vk);
    void OnWheel(int delta, POINT screen, WPARAM wp, LPARAM lp);
    HBRUSH OnColour(HDC dc);
    void OnDrawItem(const DRAWITEMSTRUCT& item);
    void CloseHost();

    // ---- the recordings ----
    bool HasRecordings() const { return (export_ || site_ >= 0) && !siteCameras_.empty(); }
    void ChooseFolder();
    void ChooseExport();
    void OpenExport(const std::wstring& path);
    void SaveStill();
    void SetSound(int channel);
    void OpenRoot(const std::wstring& root);
    void OpenSite(int index);
    void OpenCameras(bool keepHead);
    void RefreshLanes();
    void SetCount(int count);
    void Status(const std::wstring& line);
    void ShowState();

    orvmods::ModuleMembers members_{L"Player module"};

    win::Font font_;
    win::Brush dark_;
    HWND close_ = nullptr, sites_ = nullptr, cameras_ = nullptr, status_ = nullptr; // children of ours
    std::unique_ptr<player::CFaceButtons> buttons_;
    // An export being played (the store's sites otherwise); made before the view, so it outlives
    // the view's playing of it.
    std::unique_ptr<player::ExportSet> export_;
    player::CPlaybackView view_;
    player::CTimeline timeline_;

    std::wstring root_;
    std::vector<store::SiteEntry> siteEntries_;
    int site_ = -1;
    std::vector<int> siteCameras_; // the site's cameras with recordings, ascending
    std::vector<int> shown_; // the cameras in the divisions
    player::StoreLanes lanes_; // the shown cameras' lanes, following the store as it grows
    int count_ = 4;
    std::wstring stateText_;
};
