#pragma once
// The owner-drawn report list of the manager's dialogs: rows in the caller's colours, row height
// from the font, cells cut with "..." and drawn in their column's alignment or as an image, grid
// lines, sorting on a header click, a flat header whose items can be dragged, and an optional
// context menu. It takes over an existing list-view control (a dialog's, or one made by Create).
#include <windows.h>
#include <commctrl.h>
#include <map>
#include <set>
#include <string>
#include "FlatHeaderCtrl.h"
#include "foundation/Handles.h"
#include "foundation/ListView.h"
#include "foundation/Window.h"

namespace manager {

class CMagicList final : public win::Subclass {
public:
    // Style bits.
    static constexpr DWORD kSortOnClick = 1, kVerticalGrid = 2, kHorizontalGrid = 4;

    CMagicList();
    ~CMagicList() override;

    // Takes over `list`: report view, owner-drawn rows, the flat header, and the parent's drawing
    // and measuring messages for it. False when `list` is not a list-view control.
    bool Attach(HWND list);
    void Detach();
    // A new list-view child of `parent`, taken over at once; false when it could not be made.
    bool Create(HWND parent, int id, const RECT& rect, DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP);

    win::ListView& List() { return list_; }
    CFlatHeaderCtrl& Header() { return header_; }

    void SetStyle(DWORD bits);
    DWORD Style() const { return style_; }

    // The list-view's own colours (LVM_SETTEXTCOLOR, LVM_SETTEXTBKCOLOR, LVM_SETBKCOLOR), kept for
    // the owner drawing too.
    void SetTextColor(COLORREF colour);
    void SetTextBkColor(COLORREF colour);
    void SetBkColor(COLORREF colour);
    // A selected row's text and background, with and without the keyboard focus.
    void SetSelectionColors(COLORREF text, COLORREF background, COLORREF backgroundNoFocus);

    // Columns that sort by the integer value of their texts.
    void SetNumericColumn(int column, bool numeric = true);
    // A column whose cells show the image whose index is the cell's number (centred); such a
    // column keeps its width. Null removes it. The image list stays the caller's.
    void SetImageColumn(int column, HIMAGELIST images);
    // The header's sort marks; both are needed for either to show. They stay the caller's.
    void SetSortBitmaps(HBITMAP ascending, HBITMAP descending);
    // A menu whose first submenu opens at the pointer on a right click; its commands go to the
    // list's parent. It stays the caller's.
    void SetContextMenu(HMENU menu) { menu_ = menu; }

    // Sorts every row by `column`, as a header click does (the column's mark included).
    void SortBy(int column, bool ascending);
    int SortColumn() const { return sortColumn_; }
    bool SortAscending() const { return ascending_; }

    // The rows' height for the current font: its absolute logical height + 10 pixels.
    int RowHeight() const;

private:
    // The parent's WM_DRAWITEM and WM_MEASUREITEM of this list come here.
    class ParentHook final : public win::Subclass {
    public:
        explicit ParentHook(CMagicList& list) : list_(list) {}

    private:
        LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
        CMagicList& list_;
    };

    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    LRESULT OnHeaderNotify(WPARAM wp, LPARAM lp, bool& handled);
    void OnHeaderClick(int column);
    void OnFocusChange();
    void OnContextMenu();
    void DrawItem(const DRAWITEMSTRUCT& draw);
    void Remeasure();
    void SetHeaderBitmap(int column, HBITMAP bitmap);
    bool RowState(int row, UINT mask) const;
    void InvalidateRow(int row);

    win::ListView list_;
    CFlatHeaderCtrl header_;
    ParentHook parentHook_;
    COLORREF selText_, selBack_, selBackNoFocus_, text_, textBack_, back_;
    win::Pen gridPen_;
    DWORD style_ = 0;
    int sortColumn_ = -1;
    bool ascending_ = true;
    std::set<int> numeric_;
    std::map<int, HIMAGELIST> images_; // not ours
    HBITMAP ascendingBitmap_ = nullptr, descendingBitmap_ = nullptr; // not ours
    HMENU menu_ = nullptr; // not ours
};

} // namespace manager
