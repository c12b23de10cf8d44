#pragma once
// The timeline under the pictures: one lane per shown camera with its recorded spans (gaps stay
// gaps), its motion in a second colour and the play head across all lanes; a time scale on top in
// the DVR's local time. The wheel zooms around the pointer (24 hours to 1 minute); pressing on the
// lanes puts the head there and dragging scrubs, with the window panning on while the pointer is
// held past an edge. The owner is told each new head time and moves the pictures, and of a double
// click.
#include <windows.h>
#include "Catalogue.h"
#include "StoreLanes.h"
#include "TimeAxis.h"
#include "foundation/Handles.h"
#include "foundation/Window.h"
#include <functional>
#include <vector>

namespace player {

class CTimeline final : private win::Window {
public:
    // ms: the head time chosen; done: the button was released (false while dragging).
    using ScrubFn = std::function<void(int64_t ms, bool done)>;

    CTimeline() = default;
    ~CTimeline() override = default;

    bool Create(HWND parent, const RECT& area, UINT id);
    void Move(const RECT& area);
    HWND Window() const { return Hwnd(); }
    void SetScrub(ScrubFn scrub) { scrub_ = std::move(scrub); }
    // A double click on the lanes: the time under the pointer (the search plays from there).
    void SetActivate(std::function<void(int64_t ms)> activate) { activate_ = std::move(activate); }
    // The pointer over a lane with no button held: the time under it and the lane's camera; (-1, -1)
    // when it leaves the lanes (the search shows a small picture of that moment).
    void SetHover(std::function<void(int64_t ms, int camera)> hover) { hover_ = std::move(hover); }

    void SetLanes(std::vector<TimelineLane> lanes);
    // The head; the axis follows it into sight unless the person is dragging.
    void SetHead(int64_t ms);
    // The DVR's zone and daylight flag for the scale's labels (255: UTC).
    void SetZone(uint8_t zone, uint8_t daylight);
    TimeAxis& Axis() { return axis_; }
    bool Dragging() const { return dragging_; }
    // The lanes' left edge and width in client pixels (tests point at times with it).
    RECT LaneArea() const;

    static constexpr int kScaleHeight = 18, kLabelWidth = 44;
    // Sent to the window: the DVR ms at client x (wParam), and the head's ms (for a hover
    // picture, and for tests in the same process).
    static constexpr UINT kMsgTimeAt = WM_APP + 40, kMsgHeadTime = WM_APP + 41;

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnPaint(HDC dc, const RECT& client);
    void OnWheel(int delta, POINT screen);
    void OnButtonDown(int x);
    void OnMouseMove(int x, int y);
    void Hover(int x, int y);
    void OnButtonUp(int x);
    void OnDoubleClick(int x);
    void OnEdgeTimer();
    void Scrub(int x, bool done);
    void Layout();
    std::wstring Label(int64_t ms, int64_t step) const;

    TimeAxis axis_;
    std::vector<TimelineLane> lanes_;
    int64_t head_ = 0;
    bool hasHead_ = false;
    uint8_t zone_ = 255, daylight_ = 0;
    bool dragging_ = false;
    int dragX_ = 0;
    int wheelRest_ = 0;
    ScrubFn scrub_;
    std::function<void(int64_t)> activate_;
    std::function<void(int64_t, int)> hover_;
    bool tracking_ = false; // asked for WM_MOUSELEAVE
    win::Font font_;
};

} // namespace player
