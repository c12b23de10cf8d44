#include "MonthGrid.h"
#include "TimeAxis.h"
#include "foundation/Module.h"
#include <windowsx.h>
#include <algorithm>
#include <cstdio>
#include <string>

namespace player {

namespace {

constexpr wchar_t kClass[] = L"PxPlaybackMonthGrid";
constexpr COLORREF kBack = RGB(22, 24, 28), kInk = RGB(200, 204, 212), kDim = RGB(110, 116, 128),
                   kMarked = RGB(58, 118, 190), kChosen = RGB(236, 160, 40), kTitle = RGB(38, 41, 48);
constexpr int kRows = 6;
const wchar_t* const kMonthNames[] = {L"January", L"February", L"March",     L"April",   L"May",      L"June",
                                      L"July",    L"August",   L"September", L"October", L"November", L"December"};
const wchar_t* const kWeekdays[] = {L"Mo", L"Tu", L"We", L"Th", L"Fr", L"Sa", L"Su"};

win::Font MakeFont(int weight)
{
    return win::Font(CreateFontW(-11, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
}

} // namespace

bool CMonthGrid::Create(HWND parent, const RECT& area, UINT id)
{
    if (!win::RegisterModuleClass(ClassOf(kClass, CS_DBLCLKS)))
        return false;
    font_ = MakeFont(FW_NORMAL);
    bold_ = MakeFont(FW_BOLD);
    // This month of the PC's calendar until a day is chosen.
    SYSTEMTIME today{};
    GetSystemTime(&today);
    year_ = std::clamp<int>(today.wYear, 1971, 9998);
    month_ = std::clamp<int>(today.wMonth, 1, 12);
    return CreateEx(0, kClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, area.left, area.top,
                    area.right - area.left, area.bottom - area.top, parent, id);
}

void CMonthGrid::Move(const RECT& area)
{
    MoveWindow(Hwnd(), area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
}

void CMonthGrid::SetMarked(std::set<uint32_t> days)
{
    marked_ = std::move(days);
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

void CMonthGrid::Choose(uint32_t day)
{
    chosen_ = day;
    if (day)
        ShowMonth(static_cast<int>(day / 10000), static_cast<int>(day / 100 % 100));
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

void CMonthGrid::ShowMonth(int year, int month)
{
    if (month < 1) {
        month = 12;
        --year;
    } else if (month > 12) {
        month = 1;
        ++year;
    }
    year_ = std::clamp(year, 1971, 9998);
    month_ = month;
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

int CMonthGrid::FirstColumn() const
{
    return WeekdayOf(ShownMonth() * 100 + 1);
}

int CMonthGrid::DaysInMonth() const
{
    return player::DaysInMonth(year_, month_);
}

RECT CMonthGrid::CellOf(int d) const
{
    RECT c{};
    GetClientRect(Hwnd(), &c);
    const int at = FirstColumn() + d - 1, col = at % 7, row = at / 7;
    const int top = kTitleHeight + kWeekdayHeight, height = std::max<int>(1, c.bottom - top) / kRows;
    const int width = std::max<int>(7, c.right) / 7;
    return RECT{col * width, top + row * height, (col + 1) * width, top + (row + 1) * height};
}

LRESULT CMonthGrid::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        win::PaintDC dc(Hwnd());
        RECT client{};
        GetClientRect(Hwnd(), &client);
        OnPaint(dc.Get(), client);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: OnClick(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); return 0;
    case kMsgDayPoint: {
        const uint32_t day = static_cast<uint32_t>(wp);
        if (day / 100 != ShownMonth() || day % 100 < 1 || static_cast<int>(day % 100) > DaysInMonth())
            return -1;
        const RECT r = CellOf(static_cast<int>(day % 100));
        return MAKELRESULT((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    default: return Default(msg, wp, lp);
    }
}

void CMonthGrid::OnClick(int x, int y)
{
    RECT c{};
    GetClientRect(Hwnd(), &c);
    if (y < kTitleHeight) {
        if (x < kTitleHeight + 4)
            ShowMonth(year_, month_ - 1);
        else if (x > c.right - kTitleHeight - 4)
            ShowMonth(year_, month_ + 1);
        return;
    }
    for (int d = 1; d <= DaysInMonth(); ++d) {
        const RECT r = CellOf(d);
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
            chosen_ = ShownMonth() * 100 + static_cast<uint32_t>(d);
            InvalidateRect(Hwnd(), nullptr, FALSE);
            if (choose_)
                choose_(chosen_);
            return;
        }
    }
}

void CMonthGrid::OnPaint(HDC target, const RECT& client)
{
    win::MemoryDC back{win::MemoryDC::Later{}};
    if (!back.Create(target, client.right, client.bottom))
        return;
    const HDC dc = back.Get();
    win::Brush backBrush(CreateSolidBrush(kBack)), titleBrush(CreateSolidBrush(kTitle)),
        markBrush(CreateSolidBrush(kMarked)), chosenBrush(CreateSolidBrush(kChosen));
    FillRect(dc, &client, backBrush.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kInk);
    win::ScopedSelect font(dc, bold_.Get());

    RECT title{0, 0, client.right, kTitleHeight};
    FillRect(dc, &title, titleBrush.Get());
    wchar_t text[40];
    swprintf(text, 40, L"%ls %d", kMonthNames[month_ - 1], year_);
    DrawTextW(dc, text, -1, &title, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    RECT left{4, 0, kTitleHeight + 4, kTitleHeight}, right{client.right - kTitleHeight - 4, 0, client.right - 4, kTitleHeight};
    DrawTextW(dc, L"<", 1, &left, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    DrawTextW(dc, L">", 1, &right, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

    const int width = std::max<int>(7, client.right) / 7;
    SelectObject(dc, font_.Get());
    SetTextColor(dc, kDim);
    for (int i = 0; i < 7; ++i) {
        RECT r{i * width, kTitleHeight, (i + 1) * width, kTitleHeight + kWeekdayHeight};
        DrawTextW(dc, kWeekdays[i], 2, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    for (int d = 1; d <= DaysInMonth(); ++d) {
        const uint32_t day = ShownMonth() * 100 + static_cast<uint32_t>(d);
        RECT r = CellOf(d);
        const bool marked = marked_.count(day) != 0;
        RECT inner{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
        if (marked)
            FillRect(dc, &inner, markBrush.Get());
        if (day == chosen_) {
            FrameRect(dc, &inner, chosenBrush.Get());
            RECT second{inner.left + 1, inner.top + 1, inner.right - 1, inner.bottom - 1};
            FrameRect(dc, &second, chosenBrush.Get());
        }
        SelectObject(dc, marked ? bold_.Get() : font_.Get());
        SetTextColor(dc, marked ? RGB(255, 255, 255) : kDim);
        swprintf(text, 40, L"%d", d);
        DrawTextW(dc, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
}

} // namespace player
