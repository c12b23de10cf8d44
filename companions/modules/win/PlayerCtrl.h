#pragma once
// The player module: a site's recordings from the person's recordings folder (the one the viewer
// records into, or another chosen in the folder dialog) played in 1, 4, 9 or 16 divisions kept in
// step by the DVR's time, with the transport, a timeline of what each camera holds and a status
// list. Orvex hands it no site; it still takes the members every module takes (address, port,
// user, password, SetAddr) and reads them back (Received), as the stand-ins do. Safe for
// scripting: no member names a file or a folder; folders come only from the dialog.
#include <windows.h>
#include "Catalogue.h"
#include "FaceButtons.h"
#include "Orvmods_h.h"
#include "PlaybackView.h"
#include "StoreLanes.h"
#include "Timeline.h"
#include "foundation/ActiveXControl.h"
#include "foundation/Handles.h"
#include <string>
#include <vector>

// The folder the viewer records into: [Recording] Folder of "C:/Program Files/Orvex/ViewRecord.ini",
// else the person's Videos folder plus "Orvex" (empty when there is none). Read, never written.
std::wstring ViewerRecordingsFolder();

class CPlayerCtrl final : public win::ActiveXControl {
public:
    enum : DISPID { kAddress = 1, kPort = 2, kUser = 3, kPassword = 4, kSetAddr = 5, kReceived = 100 };
    // Children: the Close button keeps the stand-ins' identifier; the lists are the person's.
    enum : int { kCloseButton = 1001, kSiteList = 1010, kCameraList = 1011, kStatusList = 1012, kTimeline = 1013 };
    enum : int {
        kCmdFolder = 2001, kCmdLayout1 = 2011, kCmdLayout4, kCmdLayout9, kCmdLayout16,
        kCmdBackKey = 2021, kCmdBack1m, kCmdBack10s, kCmdPlay, kCmdFore10s, kCmdFore1m, kCmdStep,
        kCmdSlower = 2031, kCmdFaster
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

    // ---- the members every module takes ----
    HRESULT Member(int index, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr);
    HRESULT SetAddr(WORD flags, DISPPARAMS& params, VARIANT* result);
    std::wstring Text(int index) const;
    std::wstring ReceivedText() const;

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
    void ChooseFolder();
    void OpenRoot(const std::wstring& root);
    void OpenSite(int index);
    void OpenCameras(bool keepHead);
    void RefreshLanes();
    void SetCount(int count);
    void Status(const std::wstring& line);
    void ShowState();

    win::Variant values_[4]; // DISPIDs 1 to 4, as they came
    int setAddrCalls_ = 0;
    bool setAddrAnswer_ = false;

    win::Font font_;
    win::Brush dark_;
    HWND close_ = nullptr, sites_ = nullptr, cameras_ = nullptr, status_ = nullptr; // children of ours
    std::unique_ptr<player::CFaceButtons> buttons_;
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
