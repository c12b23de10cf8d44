#pragma once
// The search module: the recordings this PC holds of the site Orvex hands over (address and port),
// found in the folder the viewer records into. A month calendar marks the days that hold
// recordings, days of the DVR's own clock; the chosen day (its local 00:00 to 24:00) shows its lanes
// per camera on the timeline and a list of its motion events (camera, start in the DVR's local
// time, length), filtered by camera and by the sensitivity the person sets. A double click on an
// event or on the timeline plays from there in the player's view with its transport. A site or a
// day without recordings says so. While the viewer or the recorder writes into the site, the
// calendar, the lanes and the events follow it (read again every player::kLaneRefreshMs).
//
// It takes the members every module takes (address, port, user, password, SetAddr) and reads them
// back (Received), as the stand-ins did. Safe for scripting: no member names a file or a folder.
#include <windows.h>
#include "Catalogue.h"
#include "LocalDays.h"
#include "FaceButtons.h"
#include "ModuleMembers.h"
#include "MonthGrid.h"
#include "MotionEvents.h"
#include "Orvmods_h.h"
#include "PlaybackView.h"
#include "StoreLanes.h"
#include "Timeline.h"
#include "foundation/ActiveXControl.h"
#include "foundation/Handles.h"
#include "foundation/ListView.h"
#include <memory>
#include <string>
#include <vector>

class CSearchCtrl final : public win::ActiveXControl {
public:
    // Children: the Close button keeps the stand-ins' identifier.
    enum : int {
        kCloseButton = 1001, kStatusList = 1012, kTimeline = 1013, kCameraFilter = 1020, kSensitivity = 1021,
        kEventList = 1022, kNotice = 1023, kCalendar = 1024
    };
    enum : int {
        kCmdBackKey = 2021, kCmdBack10s, kCmdPlay, kCmdFore10s, kCmdStep, kCmdSlower, kCmdFaster
    };
    static constexpr UINT kCloseKey = VK_F8;
    static constexpr int kDefaultSensitivity = 77; // a level of 24 counts, as the player's marks

    CSearchCtrl();

private:
    ~CSearchCtrl() override;
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
    LRESULT OnNotify(const NMHDR& hdr);
    void OnTimer();
    bool OnKey(UINT vk);
    void OnWheel(int delta, POINT screen, WPARAM wp, LPARAM lp);
    HBRUSH OnColour(HDC dc, HWND child);
    void OnDrawItem(const DRAWITEMSTRUCT& item);
    void CloseHost();
    void ShowState();
    void Status(const std::wstring& line);
    void Notice(const std::wstring& text);

    // ---- the recordings ----
    void OpenSite();
    // The store read again: new days on the calendar, the open day's new spans, cameras and events.
    void RefreshSite();
    void OpenDay(uint32_t day);
    void UpdateDay(); // the open day grew
    void CloseDay();
    void FillFilter(int keepCamera);
    // The day's events at the sensitivity set, and the lanes' motion marks with them.
    // grown: the store grew; the list changes only when the events did, and keeps its place.
    void FindEvents(bool grown = false);
    // keep: the event to keep chosen (the store grew; no small picture pops up); nullptr: a new list.
    void FillList(const player::MotionEvent* keep = nullptr);
    void DayNotice(int listed); // the day, its cameras and the events listed
    void PlayFrom(int64_t ms);
    std::wstring LocalTime(int64_t ms) const; // hh:mm:ss on the DVR's clock

    // ---- the small picture of a moment (the timeline hovered, an event chosen) ----
    // A popup over the control at `at` (screen; its top left, moved inside the control's right part);
    // camera < 0 hides it.
    void Preview(int64_t ms, int camera, POINT at);
    // At most every 100 ms (now: at once): the picture of the latest moment asked for.
    void ApplyPreview(bool now = false);

    orvmods::ModuleMembers members_{L"Search module"};

    win::Font font_, noticeFont_;
    win::Brush panel_, back_;
    HWND close_ = nullptr, filter_ = nullptr, sensitivity_ = nullptr, status_ = nullptr, notice_ = nullptr;
    win::ListView list_;
    std::unique_ptr<player::CFaceButtons> buttons_;
    player::CPlaybackView view_;
    player::CTimeline timeline_;
    player::CMonthGrid calendar_;
    class PreviewFrame;
    std::unique_ptr<PreviewFrame> frame_; // the popup that holds the small picture
    player::CPlaybackView preview_; // one camera, paused
    int previewCamera_ = -1, previewOpen_ = -1; // asked for; open in preview_
    int64_t previewMs_ = 0;
    bool previewDue_ = false;
    uint64_t previewAt_ = 0; // the PC's tick of the latest picture made
    int labelTop_[4] = {}; // "Camera", "Sensitivity", "Motion", "Status"

    std::string siteFolder_; // UTF-8; empty without a site
    std::wstring siteName_, root_; // address:port, and the folder looked in
    std::unique_ptr<store::Catalogue> site_; // kept while the site is open (it keeps what it read)
    player::LocalCalendar localDays_;
    player::DvrZone zone_; // the DVR's, from the latest day's first picture (255: UTC)
    bool zoneKnown_ = false;
    uint32_t chosen_ = 0; // the day chosen, with or without recordings; 0 when none
    uint32_t day_ = 0; // the day shown, 0 when none
    player::DayRange dayRange_; // its local 00:00 to 24:00 in UTC ms
    player::StoreLanes dayLanes_; // its lanes and levels, following the store
    std::vector<int> dayCameras_; // with recordings that day, ascending
    std::vector<player::TimelineLane> lanes_; // dayLanes_' with the events as their motion
    std::vector<player::MotionEvent> events_;
    bool refilling_ = false;
    std::wstring stateText_;
};
