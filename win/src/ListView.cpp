#include "foundation/ListView.h"
#include "foundation/Handles.h"
#include <climits>

namespace win {

void ListView::SetExtendedStyle(DWORD mask, DWORD styles)
{
    SendMessageW(wnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, mask, styles);
}

int ListView::InsertColumn(int index, const std::wstring& title, int width, int format)
{
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    c.fmt = format;
    c.cx = width;
    c.pszText = const_cast<wchar_t*>(title.c_str());
    c.iSubItem = index;
    return static_cast<int>(
        SendMessageW(wnd_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&c)));
}

int ListView::ColumnCount() const
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(wnd_, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

int ListView::ColumnFormat(int column) const
{
    LVCOLUMNW c{};
    c.mask = LVCF_FMT;
    if (!SendMessageW(wnd_, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c)))
        return LVCFMT_LEFT;
    return c.fmt & LVCFMT_JUSTIFYMASK;
}

int ListView::Count() const { return wnd_ ? static_cast<int>(SendMessageW(wnd_, LVM_GETITEMCOUNT, 0, 0)) : 0; }

int ListView::InsertRow(int index, const std::wstring& text, LPARAM data)
{
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index < 0 ? INT_MAX : index;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    item.lParam = data;
    return static_cast<int>(SendMessageW(wnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

bool ListView::DeleteRow(int row) { return SendMessageW(wnd_, LVM_DELETEITEM, static_cast<WPARAM>(row), 0) != FALSE; }

bool ListView::DeleteAllRows() { return SendMessageW(wnd_, LVM_DELETEALLITEMS, 0, 0) != FALSE; }

LPARAM ListView::Data(int row) const
{
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    return SendMessageW(wnd_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
}

bool ListView::SetData(int row, LPARAM data)
{
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    item.lParam = data;
    return SendMessageW(wnd_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

int ListView::FindData(LPARAM data) const
{
    LVFINDINFOW find{};
    find.flags = LVFI_PARAM;
    find.lParam = data;
    return static_cast<int>(
        SendMessageW(wnd_, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

bool ListView::SetText(int row, int column, const std::wstring& text)
{
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    return SendMessageW(wnd_, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) != FALSE;
}

std::wstring ListView::Text(int row, int column) const
{
    // The control answers how much it copied, cut to the buffer: grow until the text falls short.
    std::wstring text(64, L'\0');
    for (;;) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(text.size());
        LRESULT n = SendMessageW(wnd_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        if (n < 0)
            return {};
        if (static_cast<size_t>(n) + 1 < text.size() || text.size() >= 1u << 20) {
            text.resize(static_cast<size_t>(n));
            return text;
        }
        text.resize(text.size() * 4);
    }
}

int ListView::Selected() const
{
    return wnd_ ? static_cast<int>(SendMessageW(wnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
}

bool ListView::Select(int row)
{
    LVITEMW clear{};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(wnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
    if (row < 0)
        return true;
    if (row >= Count())
        return false;
    LVITEMW set{};
    set.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    set.state = LVIS_SELECTED | LVIS_FOCUSED;
    if (!SendMessageW(wnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&set)))
        return false;
    SendMessageW(wnd_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    return true;
}

bool ListView::SetRowHeight(int pixels)
{
    if (pixels <= 0)
        return false;
    HIMAGELIST list = ImageList_Create(1, pixels, ILC_COLOR, 0, 1);
    if (!list)
        return false;
    auto old =
        reinterpret_cast<HIMAGELIST>(SendMessageW(wnd_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(list)));
    // The list replaced is no longer the control's to destroy.
    if (old && !(GetWindowLongPtrW(wnd_, GWL_STYLE) & LVS_SHAREIMAGELISTS))
        ImageList_Destroy(old);
    return true;
}

RECT ListView::CellRect(int row, int column) const
{
    RECT r{};
    r.top = column;
    r.left = LVIR_LABEL;
    if (!SendMessageW(wnd_, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r)))
        return RECT{};
    return r;
}

void ListView::DrawRow(const DRAWITEMSTRUCT& draw, COLORREF text, COLORREF background) const
{
    HDC dc = draw.hDC;
    const int saved = SaveDC(dc);
    Brush fill(CreateSolidBrush(background));
    FillRect(dc, &draw.rcItem, fill.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, text);
    const int row = static_cast<int>(draw.itemID);
    const int columns = ColumnCount();
    for (int c = 0; c < columns; ++c) {
        RECT cell = CellRect(row, c);
        cell.top = draw.rcItem.top;
        cell.bottom = draw.rcItem.bottom;
        InflateRect(&cell, -4, 0);
        UINT align = DT_LEFT;
        switch (ColumnFormat(c)) {
        case LVCFMT_RIGHT: align = DT_RIGHT; break;
        case LVCFMT_CENTER: align = DT_CENTER; break;
        default: break;
        }
        const std::wstring t = Text(row, c);
        DrawTextW(dc, t.c_str(), static_cast<int>(t.size()), &cell,
                  align | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
    RestoreDC(dc, saved);
}

} // namespace win
