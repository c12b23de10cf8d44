#pragma once
// A report-view list control (SysListView32 with LVS_REPORT) seen through one small object: columns,
// rows that carry a value of the caller's (LPARAM), cell texts, the selection, and what an
// owner-drawn list (LVS_OWNERDRAWFIXED) needs to draw its rows. The object does not own the control.
#include <windows.h>
#include <commctrl.h>
#include <string>

namespace win {

class ListView {
public:
    ListView() = default;
    explicit ListView(HWND control) : wnd_(control) {}
    void Attach(HWND control) { wnd_ = control; }
    HWND Hwnd() const { return wnd_; }

    // LVS_EX_* styles under `mask` (LVS_EX_FULLROWSELECT, LVS_EX_GRIDLINES...).
    void SetExtendedStyle(DWORD mask, DWORD styles);

    // ---- columns ----
    // Inserts a column at `index` (ColumnCount() or more: at the end); its index, or -1.
    // `format`: LVCFMT_LEFT, LVCFMT_RIGHT or LVCFMT_CENTER.
    int InsertColumn(int index, const std::wstring& title, int width, int format = LVCFMT_LEFT);
    int ColumnCount() const;
    int ColumnFormat(int column) const; // LVCFMT_JUSTIFYMASK part; LVCFMT_LEFT when unknown

    // ---- rows ----
    int Count() const;
    // Inserts a row at `index` (Count() or more: at the end) with the first cell's text and the
    // caller's value; its index, or -1.
    int InsertRow(int index, const std::wstring& text, LPARAM data = 0);
    int AddRow(const std::wstring& text, LPARAM data = 0) { return InsertRow(Count(), text, data); }
    bool DeleteRow(int row);
    bool DeleteAllRows();
    LPARAM Data(int row) const; // 0 for a row that does not exist
    bool SetData(int row, LPARAM data);
    int FindData(LPARAM data) const; // the row carrying `data`, or -1

    // ---- cells ----
    bool SetText(int row, int column, const std::wstring& text);
    std::wstring Text(int row, int column) const; // whatever its length

    // ---- selection ----
    int Selected() const; // the first selected row, -1 when none
    // Selects and focuses `row` alone and scrolls it into view; -1 clears the selection.
    bool Select(int row);

    // ---- owner drawing ----
    // The rows' height in pixels. The control takes it from its small image list, so this gives it
    // one of that height (the control destroys it with itself: no LVS_SHAREIMAGELISTS).
    bool SetRowHeight(int pixels);
    // A cell's rectangle in the control's client coordinates (column 0 without its icon space).
    RECT CellRect(int row, int column) const;
    // Draws the row of WM_DRAWITEM: its background, then each cell's text in its column's
    // alignment, cut with an ellipsis. The caller picks the colours (by draw.itemState).
    void DrawRow(const DRAWITEMSTRUCT& draw, COLORREF text, COLORREF background) const;

private:
    HWND wnd_ = nullptr; // not ours: the dialog or window that holds it destroys it
};

} // namespace win
