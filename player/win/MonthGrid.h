#pragma once
// A month calendar in the viewer's dark look: the month's days in weeks from Monday, the days that
// hold recordings filled and bold, the chosen day framed; arrows in the title move a month either
// way. A click on a day of the month tells the owner (yyyymmdd: the search gives it the DVR's local days).
#include <windows.h>
#include "foundation/Handles.h"
#include "foundation/Window.h"
#include <cstdint>
#include <functional>
#include <set>

namespace player {

class CMonthGrid final : private win::Window {
public:
    using ChooseFn = std::function<void(uint32_t day)>;

    CMonthGrid() = default;
    ~CMonthGrid() override = default;

    bool Create(HWND parent, const RECT& area, UINT id);
    void Move(const RECT& area);
    HWND Window() const { return Hwnd(); }
    void SetChoose(ChooseFn choose) { choose_ = std::move(choose); }

    // The days with recordings (marked) and the chosen one (0: none); the month of `show` in sight.
    void SetMarked(std::set<uint32_t> days);
    void Choose(uint32_t day); // frames it and shows its month; the owner is not told
    uint32_t Chosen() const { return chosen_; }
    uint32_t ShownMonth() const { return uint32_t(year_) * 100 + uint32_t(month_); } // yyyymm

    static constexpr int kTitleHeight = 22, kWeekdayHeight = 16;
    // Sent to the window: the client point (MAKELRESULT x, y) of the middle of day wParam
    // (yyyymmdd), -1 when it is not in sight. For tests.
    static constexpr UINT kMsgDayPoint = WM_APP + 50;

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnPaint(HDC dc, const RECT& client);
    void OnClick(int x, int y);
    // The cell of day d (1..31) of the shown month.
    RECT CellOf(int d) const;
    int FirstColumn() const; // 0 Monday .. 6 Sunday, of the shown month's first day
    int DaysInMonth() const;
    void ShowMonth(int year, int month);

    int year_ = 1970, month_ = 1;
    std::set<uint32_t> marked_;
    uint32_t chosen_ = 0;
    ChooseFn choose_;
    win::Font font_, bold_;
};

} // namespace player
