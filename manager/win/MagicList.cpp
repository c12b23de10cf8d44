#include "MagicList.h"
#include "Ellipsis.h"
#include "ListSort.h"
#include "foundation/Module.h"
#include <cstdlib>
#include <vector>

namespace manager {

namespace {

HFONT FontOf(HWND wnd) { return reinterpret_cast<HFONT>(SendMessageW(wnd, WM_GETFONT, 0, 0)); }

// The list's rows as the sort sees them; a swap moves every cell, the row's value and its
// selection, so what the user selected stays selected.
class ListRows final : public RowTable {
public:
    ListRows(win::ListView& list, int columns) : list_(list), columns_(columns) {}
    int RowCount() const override { return list_.Count(); }
    std::wstring CellText(int row, int column) const override { return list_.Text(row, column); }
    void SwapRows(int a, int b) override
    {
        for (int c = 0; c < columns_; ++c) {
            const std::wstring ta = list_.Text(a, c), tb = list_.Text(b, c);
            list_.SetText(a, c, tb);
            list_.SetText(b, c, ta);
        }
        const LPARAM da = list_.Data(a), db = list_.Data(b);
        list_.SetData(a, db);
        list_.SetData(b, da);
        const UINT mask = LVIS_SELECTED | LVIS_FOCUSED;
        const UINT sa = State(a, mask), sb = State(b, mask);
        if (sa != sb) {
            SetState(a, mask, sb);
            SetState(b, mask, sa);
        }
    }

private:
    UINT State(int row, UINT mask) const
    {
        return static_cast<UINT>(SendMessageW(list_.Hwnd(), LVM_GETITEMSTATE, static_cast<WPARAM>(row), mask));
    }
    void SetState(int row, UINT mask, UINT state)
    {
        LVITEMW item{};
        item.stateMask = mask;
        item.state = state;
        SendMessageW(list_.Hwnd(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }

    win::ListView& list_;
    int columns_;
};

int TextWidth(HDC dc, std::wstring_view s)
{
    SIZE size{};
    GetTextExtentPoint32W(dc, s.data(), static_cast<int>(s.size()), &size);
    return static_cast<int>(size.cx);
}

} // namespace

CMagicList::CMagicList()
    : parentHook_(*this), selText_(GetSysColor(COLOR_HIGHLIGHTTEXT)), selBack_(GetSysColor(COLOR_HIGHLIGHT)),
      selBackNoFocus_(GetSysColor(COLOR_HIGHLIGHT)), text_(GetSysColor(COLOR_WINDOWTEXT)),
      textBack_(GetSysColor(COLOR_WINDOW)), back_(GetSysColor(COLOR_WINDOW)),
      gridPen_(CreatePen(PS_SOLID, 1, RGB(0xC0, 0xC0, 0xC0)))
{}

CMagicList::~CMagicList() { Detach(); }

bool CMagicList::Attach(HWND list)
{
    Detach();
    wchar_t cls[32] = {};
    if (!list || !GetClassNameW(list, cls, 32) || lstrcmpiW(cls, WC_LISTVIEWW) != 0)
        return false;
    if (!Subclass::Attach(list))
        return false;
    list_.Attach(list);
    const LONG_PTR style = GetWindowLongPtrW(list, GWL_STYLE);
    const LONG_PTR wanted = (style & ~static_cast<LONG_PTR>(LVS_TYPEMASK)) | LVS_REPORT | LVS_OWNERDRAWFIXED;
    if (wanted != style)
        SetWindowLongPtrW(list, GWL_STYLE, wanted);
    list_.SetExtendedStyle(LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    header_.Attach(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)));
    parentHook_.Attach(GetParent(list));
    Remeasure();
    InvalidateRect(list, nullptr, TRUE);
    return true;
}

void CMagicList::Detach()
{
    parentHook_.Detach();
    header_.Detach();
    Subclass::Detach();
    list_.Attach(nullptr);
}

bool CMagicList::Create(HWND parent, int id, const RECT& rect, DWORD style)
{
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", style | LVS_REPORT | LVS_OWNERDRAWFIXED, rect.left,
                                rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), win::ThisModule(), nullptr);
    if (list && Attach(list))
        return true;
    if (list)
        DestroyWindow(list);
    return false;
}

void CMagicList::SetStyle(DWORD bits)
{
    style_ = bits;
    InvalidateRect(Hwnd(), nullptr, TRUE);
}

void CMagicList::SetTextColor(COLORREF colour)
{
    text_ = colour;
    SendMessageW(Hwnd(), LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(colour));
    InvalidateRect(Hwnd(), nullptr, TRUE);
}

void CMagicList::SetTextBkColor(COLORREF colour)
{
    textBack_ = colour;
    SendMessageW(Hwnd(), LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(colour));
    InvalidateRect(Hwnd(), nullptr, TRUE);
}

void CMagicList::SetBkColor(COLORREF colour)
{
    back_ = colour;
    SendMessageW(Hwnd(), LVM_SETBKCOLOR, 0, static_cast<LPARAM>(colour));
    InvalidateRect(Hwnd(), nullptr, TRUE);
}

void CMagicList::SetSelectionColors(COLORREF text, COLORREF background, COLORREF backgroundNoFocus)
{
    selText_ = text;
    selBack_ = background;
    selBackNoFocus_ = backgroundNoFocus;
    InvalidateRect(Hwnd(), nullptr, TRUE);
}

void CMagicList::SetNumericColumn(int column, bool numeric)
{
    if (numeric)
        numeric_.insert(column);
    else
        numeric_.erase(column);
}

void CMagicList::SetImageColumn(int column, HIMAGELIST images)
{
    if (images)
        images_[column] = images;
    else
        images_.erase(column);
    header_.SetFixedWidth(column, images != nullptr);
    InvalidateRect(Hwnd(), nullptr, TRUE);
}

void CMagicList::SetSortBitmaps(HBITMAP ascending, HBITMAP descending)
{
    ascendingBitmap_ = ascending;
    descendingBitmap_ = descending;
}

int CMagicList::RowHeight() const
{
    LOGFONTW lf{};
    HFONT font = FontOf(Hwnd());
    if (!font)
        font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    int height = GetObjectW(font, sizeof lf, &lf) ? std::abs(static_cast<int>(lf.lfHeight)) : 0;
    if (height == 0) { // "the default height": what the font really is
        win::WindowDC screen(Hwnd());
        win::ScopedSelect s(screen.Get(), font);
        TEXTMETRICW tm{};
        if (screen && GetTextMetricsW(screen.Get(), &tm))
            height = tm.tmHeight;
    }
    return height + 10;
}

void CMagicList::Remeasure()
{
    // An owner-drawn list asks its parent for the row height (WM_MEASUREITEM) when its size
    // changes; this tells it that the size changed without moving anything.
    RECT r;
    if (!GetWindowRect(Hwnd(), &r))
        return;
    WINDOWPOS pos{};
    pos.hwnd = Hwnd();
    pos.cx = r.right - r.left;
    pos.cy = r.bottom - r.top;
    pos.flags = SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOOWNERZORDER | SWP_NOZORDER;
    SendMessageW(Hwnd(), WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
}

LRESULT CMagicList::ParentHook::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_DRAWITEM: {
        const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (draw && draw->CtlType == ODT_LISTVIEW && draw->hwndItem == list_.Hwnd() && list_.Hwnd()) {
            list_.DrawItem(*draw);
            return TRUE;
        }
        break;
    }
    case WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
        if (measure && measure->CtlType == ODT_LISTVIEW && list_.Hwnd() &&
            static_cast<int>(measure->CtlID) == GetDlgCtrlID(list_.Hwnd())) {
            measure->itemHeight = static_cast<UINT>(list_.RowHeight());
            return TRUE;
        }
        break;
    }
    default: break;
    }
    return Default(msg, wp, lp);
}

LRESULT CMagicList::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_NOTIFY: {
        bool handled = false;
        const LRESULT r = OnHeaderNotify(wp, lp, handled);
        if (handled)
            return r;
        break;
    }
    case WM_SETFONT: {
        const LRESULT r = Default(msg, wp, lp);
        Remeasure();
        return r;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        const LRESULT r = Default(msg, wp, lp);
        OnFocusChange();
        return r;
    }
    case WM_RBUTTONDOWN: {
        const LRESULT r = Default(msg, wp, lp);
        OnContextMenu();
        return r;
    }
    default: break;
    }
    return Default(msg, wp, lp);
}

LRESULT CMagicList::OnHeaderNotify(WPARAM wp, LPARAM lp, bool& handled)
{
    const auto* nm = reinterpret_cast<const NMHEADERW*>(lp);
    if (!nm || nm->hdr.hwndFrom != header_.Hwnd() || !header_.Hwnd())
        return 0;
    switch (nm->hdr.code) {
    case HDN_ITEMCLICKW:
    case HDN_ITEMCLICKA:
        if (nm->iButton == 0 && (style_ & kSortOnClick))
            OnHeaderClick(nm->iItem);
        return 0; // the list then tells its parent (LVN_COLUMNCLICK)
    case HDN_BEGINTRACKW:
    case HDN_BEGINTRACKA:
    case HDN_DIVIDERDBLCLICKW:
    case HDN_DIVIDERDBLCLICKA: handled = header_.FixedWidth(nm->iItem); return TRUE;
    case HDN_ENDDRAG:
        // The list's parent decides; the header makes the new order when nobody refuses it.
        handled = true;
        return SendMessageW(GetParent(Hwnd()), WM_NOTIFY, wp, lp);
    default: return 0;
    }
}

void CMagicList::OnHeaderClick(int column)
{
    if (column < 0 || column >= list_.ColumnCount())
        return;
    const bool ascending = column == sortColumn_ ? !ascending_ : true;
    SortBy(column, ascending);
}

void CMagicList::SortBy(int column, bool ascending)
{
    if (column < 0 || column >= list_.ColumnCount())
        return;
    if (sortColumn_ >= 0 && sortColumn_ != column)
        SetHeaderBitmap(sortColumn_, nullptr);
    sortColumn_ = column;
    ascending_ = ascending;
    ListRows rows(list_, list_.ColumnCount());
    SortRows(rows, column, ascending, numeric_.count(column) != 0);
    if (ascendingBitmap_ && descendingBitmap_)
        SetHeaderBitmap(column, ascending ? ascendingBitmap_ : descendingBitmap_);
    header_.SetSortColumn(column);
    InvalidateRect(Hwnd(), nullptr, TRUE);
    InvalidateRect(header_.Hwnd(), nullptr, TRUE);
}

void CMagicList::SetHeaderBitmap(int column, HBITMAP bitmap)
{
    HDITEMW hi{};
    hi.mask = HDI_FORMAT;
    if (!SendMessageW(header_.Hwnd(), HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&hi)))
        return;
    hi.mask = HDI_FORMAT | HDI_BITMAP;
    hi.fmt &= ~(HDF_BITMAP | HDF_BITMAP_ON_RIGHT);
    if (bitmap)
        hi.fmt |= HDF_BITMAP | HDF_BITMAP_ON_RIGHT;
    hi.hbm = bitmap;
    SendMessageW(header_.Hwnd(), HDM_SETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&hi));
}

bool CMagicList::RowState(int row, UINT mask) const
{
    return SendMessageW(Hwnd(), LVM_GETITEMSTATE, static_cast<WPARAM>(row), mask) != 0;
}

void CMagicList::InvalidateRow(int row)
{
    RECT r{};
    r.left = LVIR_BOUNDS;
    if (row >= 0 && SendMessageW(Hwnd(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r)))
        InvalidateRect(Hwnd(), &r, FALSE);
}

void CMagicList::OnFocusChange()
{
    InvalidateRow(static_cast<int>(SendMessageW(Hwnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)));
    if (GetWindowLongPtrW(Hwnd(), GWL_STYLE) & LVS_SHOWSELALWAYS)
        return;
    for (int row = -1;;) {
        row = static_cast<int>(SendMessageW(Hwnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
        if (row < 0)
            break;
        InvalidateRow(row);
    }
}

void CMagicList::OnContextMenu()
{
    HMENU popup = menu_ ? GetSubMenu(menu_, 0) : nullptr;
    POINT p;
    if (!popup || !GetCursorPos(&p))
        return;
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, p.x, p.y, 0, GetParent(Hwnd()), nullptr);
}

void CMagicList::DrawItem(const DRAWITEMSTRUCT& draw)
{
    HDC dc = draw.hDC;
    const int row = static_cast<int>(draw.itemID);
    if (!dc || row < 0)
        return;
    const int saved = SaveDC(dc);
    const bool focused = GetFocus() == Hwnd();
    const bool selected =
        RowState(row, LVIS_SELECTED) && (focused || (GetWindowLongPtrW(Hwnd(), GWL_STYLE) & LVS_SHOWSELALWAYS));
    const COLORREF text = selected ? selText_ : text_;
    const COLORREF back = selected ? (focused ? selBack_ : selBackNoFocus_) : textBack_;
    win::Brush fill(CreateSolidBrush(back));
    FillRect(dc, &draw.rcItem, fill.Get());
    if (HFONT font = FontOf(Hwnd()))
        SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, text);

    const int columns = list_.ColumnCount();
    for (int c = 0; c < columns; ++c) {
        // The header knows where each column is now, after any drag and horizontal scroll.
        RECT cell{};
        if (!SendMessageW(header_.Hwnd(), HDM_GETITEMRECT, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&cell)))
            continue;
        MapWindowPoints(header_.Hwnd(), Hwnd(), reinterpret_cast<POINT*>(&cell), 2);
        cell.top = draw.rcItem.top;
        cell.bottom = draw.rcItem.bottom;
        if (cell.right <= cell.left)
            continue;
        const std::wstring value = list_.Text(row, c);
        const auto image = images_.find(c);
        if (image != images_.end()) {
            int w = 0, h = 0;
            const int index = TextToInt(value);
            if (ImageList_GetIconSize(image->second, &w, &h) && index >= 0 &&
                index < ImageList_GetImageCount(image->second)) {
                const HRGN clip = CreateRectRgnIndirect(&cell);
                SelectClipRgn(dc, clip);
                DeleteObject(clip);
                ImageList_Draw(image->second, index, dc, (cell.left + cell.right - w) / 2,
                               (cell.top + cell.bottom - h) / 2, ILD_TRANSPARENT);
                SelectClipRgn(dc, nullptr);
            }
        } else {
            RECT inner = cell;
            InflateRect(&inner, -6, 0);
            if (inner.right > inner.left) {
                const std::wstring shown =
                    FitText(value, inner.right - inner.left, [dc](std::wstring_view s) { return TextWidth(dc, s); });
                UINT align = DT_LEFT;
                switch (list_.ColumnFormat(c)) {
                case LVCFMT_RIGHT: align = DT_RIGHT; break;
                case LVCFMT_CENTER: align = DT_CENTER; break;
                default: break;
                }
                DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &inner,
                          align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
            }
        }
        if (style_ & kVerticalGrid) {
            SelectObject(dc, gridPen_.Get());
            MoveToEx(dc, cell.right - 1, cell.top, nullptr);
            LineTo(dc, cell.right - 1, cell.bottom);
        }
    }
    if (style_ & kHorizontalGrid) {
        SelectObject(dc, gridPen_.Get());
        MoveToEx(dc, draw.rcItem.left, draw.rcItem.bottom - 1, nullptr);
        LineTo(dc, draw.rcItem.right, draw.rcItem.bottom - 1);
    }
    if (focused && RowState(row, LVIS_FOCUSED))
        DrawFocusRect(dc, &draw.rcItem);
    RestoreDC(dc, saved);
}

} // namespace manager
