#include "FlatHeaderCtrl.h"
#include "Ellipsis.h"
#include "foundation/Handles.h"
#include "foundation/Module.h"
#include <algorithm>
#include <cstdlib>

namespace manager {

namespace {

constexpr int kMarkerRoom = 4;

HFONT FontOf(HWND wnd) { return reinterpret_cast<HFONT>(SendMessageW(wnd, WM_GETFONT, 0, 0)); }

void Line(HDC dc, int x0, int y0, int x1, int y1)
{
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CFHDragWnd

bool CFHDragWnd::Create(const CFlatHeaderCtrl& header, int item)
{
    if (!win::RegisterModuleClass(ClassOf(kClassName, CS_SAVEBITS)))
        return false;
    header_ = &header;
    item_ = item;
    RECT r = header.ItemRect(item);
    MapWindowPoints(header.Hwnd(), nullptr, reinterpret_cast<POINT*>(&r), 2);
    // Shorter than the header, so that the drop marks at its top and bottom stay in sight.
    if (r.bottom - r.top > 2 * kMarkerRoom + 8)
        InflateRect(&r, 0, -kMarkerRoom);
    if (!CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClassName, L"", WS_POPUP | WS_DISABLED, r.left,
                  r.top, r.right - r.left, r.bottom - r.top, header.Hwnd(), 0))
        return false;
    ShowWindow(Hwnd(), SW_SHOWNA);
    UpdateWindow(Hwnd());
    return true;
}

void CFHDragWnd::MoveTo(int screenLeft)
{
    RECT r;
    GetWindowRect(Hwnd(), &r);
    SetWindowPos(Hwnd(), nullptr, screenLeft, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CFHDragWnd::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_NCHITTEST: return HTTRANSPARENT;
    default: return Default(msg, wp, lp);
    }
}

void CFHDragWnd::OnPaint()
{
    win::PaintDC paint(Hwnd());
    if (!header_)
        return;
    RECT r;
    GetClientRect(Hwnd(), &r);
    HDC dc = paint.Get();
    win::Brush back(CreateSolidBrush(header_->background));
    FillRect(dc, &r, back.Get());
    win::ScopedSelect font(dc, FontOf(header_->Hwnd()));
    header_->DrawItem(dc, item_, r);
    FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

// ---------------------------------------------------------------------------------------------
// CFlatHeaderCtrl

CFlatHeaderCtrl::CFlatHeaderCtrl()
    : highlight(GetSysColor(COLOR_BTNHIGHLIGHT)), shadow(GetSysColor(COLOR_BTNSHADOW)), text(GetSysColor(COLOR_BTNTEXT))
{
    extra_.reserve(20);
}

CFlatHeaderCtrl::~CFlatHeaderCtrl() { Detach(); }

bool CFlatHeaderCtrl::Attach(HWND header)
{
    if (!Subclass::Attach(header))
        return false;
    InvalidateRect(header, nullptr, TRUE);
    return true;
}

void CFlatHeaderCtrl::Detach()
{
    if (pressed_ >= 0 || dragging_)
        EndDrag(false);
    Subclass::Detach();
}

void CFlatHeaderCtrl::SetFixedWidth(int item, bool fixed)
{
    if (item < 0 || item > 4096)
        return;
    if (static_cast<size_t>(item) >= extra_.size())
        extra_.resize(static_cast<size_t>(item) + 20);
    extra_[static_cast<size_t>(item)].fixedWidth = fixed;
}

bool CFlatHeaderCtrl::FixedWidth(int item) const
{
    return item >= 0 && static_cast<size_t>(item) < extra_.size() && extra_[static_cast<size_t>(item)].fixedWidth;
}

int CFlatHeaderCtrl::ItemCount() const
{
    const LRESULT n = SendMessageW(Hwnd(), HDM_GETITEMCOUNT, 0, 0);
    return n > 0 ? static_cast<int>(n) : 0;
}

std::vector<int> CFlatHeaderCtrl::Order() const
{
    std::vector<int> order(static_cast<size_t>(ItemCount()));
    if (!order.empty() &&
        !SendMessageW(Hwnd(), HDM_GETORDERARRAY, order.size(), reinterpret_cast<LPARAM>(order.data())))
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<int>(i);
    return order;
}

RECT CFlatHeaderCtrl::ItemRect(int item) const
{
    RECT r{};
    SendMessageW(Hwnd(), HDM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&r));
    return r;
}

int CFlatHeaderCtrl::DividerAt(POINT p) const
{
    HDHITTESTINFO hit{};
    hit.pt = p;
    SendMessageW(Hwnd(), HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    return (hit.flags & (HHT_ONDIVIDER | HHT_ONDIVOPEN)) ? hit.iItem : -1;
}

int CFlatHeaderCtrl::DropPosition(int x) const
{
    const std::vector<int> order = Order();
    for (size_t pos = 0; pos < order.size(); ++pos) {
        const RECT r = ItemRect(order[pos]);
        if (x < (r.left + r.right) / 2)
            return static_cast<int>(pos);
    }
    return static_cast<int>(order.size());
}

LRESULT CFlatHeaderCtrl::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    const POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    switch (msg) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SETCURSOR:
        if (OnSetCursor(lp))
            return TRUE;
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (OnButtonDown(msg, p))
            return 0;
        break;
    case WM_MOUSEMOVE:
        if (pressed_ >= 0) {
            OnMouseMove(p);
            return 0;
        }
        break;
    case WM_LBUTTONUP:
        if (OnButtonUp(p))
            return 0;
        break;
    case WM_CAPTURECHANGED:
        if (pressed_ >= 0 && reinterpret_cast<HWND>(lp) != Hwnd())
            EndDrag(false);
        break;
    case WM_CANCELMODE:
        if (pressed_ >= 0)
            EndDrag(false);
        break;
    default: break;
    }
    return Default(msg, wp, lp);
}

bool CFlatHeaderCtrl::OnSetCursor(LPARAM lp)
{
    if (LOWORD(lp) != HTCLIENT)
        return false;
    POINT p;
    GetCursorPos(&p);
    ScreenToClient(Hwnd(), &p);
    if (!dragging_ && !FixedWidth(DividerAt(p)))
        return false;
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    return true;
}

bool CFlatHeaderCtrl::OnButtonDown(UINT msg, POINT p)
{
    const int divider = DividerAt(p);
    if (divider >= 0)
        return FixedWidth(divider); // a fixed column's divider neither tracks nor sizes to fit
    HDHITTESTINFO hit{};
    hit.pt = p;
    SendMessageW(Hwnd(), HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (!(hit.flags & HHT_ONHEADER) || hit.iItem < 0)
        return false;
    if (msg == WM_LBUTTONDBLCLK && pressed_ >= 0)
        return true;
    pressed_ = hit.iItem;
    pressAt_ = p;
    dropAt_ = -1;
    SetCapture(Hwnd());
    return true;
}

void CFlatHeaderCtrl::OnMouseMove(POINT p)
{
    if (GetCapture() != Hwnd())
        return;
    if (!dragging_) {
        if (std::abs(p.x - pressAt_.x) <= GetSystemMetrics(SM_CXDRAG))
            return;
        BeginDrag();
    }
    POINT screen = p;
    ClientToScreen(Hwnd(), &screen);
    if (dragWnd_)
        dragWnd_->MoveTo(screen.x - grabOffset_);
    const int at = DropPosition(p.x);
    if (at != dropAt_) {
        dropAt_ = at;
        InvalidateRect(Hwnd(), nullptr, FALSE);
        UpdateWindow(Hwnd());
    }
}

bool CFlatHeaderCtrl::OnButtonUp(POINT p)
{
    if (pressed_ < 0)
        return false;
    if (dragging_) {
        EndDrag(true);
        return true;
    }
    const int item = pressed_;
    EndDrag(false);
    HDHITTESTINFO hit{};
    hit.pt = p;
    SendMessageW(Hwnd(), HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if ((hit.flags & HHT_ONHEADER) && hit.iItem == item) {
        // What the header itself sends for a click, now that the press is ours.
        NMHEADERW nm{};
        nm.hdr.hwndFrom = Hwnd();
        nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(Hwnd()));
        nm.hdr.code = HDN_ITEMCLICKW;
        nm.iItem = item;
        nm.iButton = 0;
        SendMessageW(GetParent(Hwnd()), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    }
    return true;
}

void CFlatHeaderCtrl::BeginDrag()
{
    dragging_ = true;
    const RECT item = ItemRect(pressed_);
    grabOffset_ = pressAt_.x - item.left;
    // The pointer stays over the items: from the first one's left to the last one's right edge.
    const std::vector<int> order = Order();
    if (!order.empty()) {
        RECT clip = ItemRect(order.front());
        clip.right = ItemRect(order.back()).right;
        RECT client;
        GetClientRect(Hwnd(), &client);
        clip.top = client.top;
        clip.bottom = client.bottom;
        MapWindowPoints(Hwnd(), nullptr, reinterpret_cast<POINT*>(&clip), 2);
        clipped_ = ClipCursor(&clip) != FALSE;
    }
    auto wnd = std::make_unique<CFHDragWnd>();
    if (wnd->Create(*this, pressed_))
        dragWnd_ = std::move(wnd);
}

void CFlatHeaderCtrl::EndDrag(bool drop)
{
    const int item = pressed_, at = dropAt_;
    const bool dragged = dragging_;
    pressed_ = -1;
    dropAt_ = -1;
    dragging_ = false;
    if (clipped_) {
        ClipCursor(nullptr);
        clipped_ = false;
    }
    dragWnd_.reset();
    if (GetCapture() == Hwnd())
        ReleaseCapture(); // its WM_CAPTURECHANGED finds nothing pressed any more
    if (!Hwnd())
        return;
    InvalidateRect(Hwnd(), nullptr, FALSE);
    if (!drop || !dragged || item < 0 || at < 0)
        return;

    std::vector<int> order = Order();
    const auto from = std::find(order.begin(), order.end(), item);
    if (from == order.end())
        return;
    const int fromPos = static_cast<int>(from - order.begin());
    const int to = at > fromPos ? at - 1 : at;
    if (to == fromPos)
        return;
    // The parent may refuse the new place (a non-zero answer) before anything moves.
    HDITEMW moved{};
    moved.mask = HDI_ORDER;
    moved.iOrder = to;
    NMHEADERW nm{};
    nm.hdr.hwndFrom = Hwnd();
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(Hwnd()));
    nm.hdr.code = HDN_ENDDRAG;
    nm.iItem = item;
    nm.pitem = &moved;
    HWND parent = GetParent(Hwnd());
    if (SendMessageW(parent, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm)))
        return;
    order.erase(from);
    order.insert(order.begin() + std::clamp(to, 0, static_cast<int>(order.size())), item);
    wchar_t cls[32] = {};
    GetClassNameW(parent, cls, 32);
    if (lstrcmpiW(cls, WC_LISTVIEWW) == 0) // the list moves its columns and its header together
        SendMessageW(parent, LVM_SETCOLUMNORDERARRAY, order.size(), reinterpret_cast<LPARAM>(order.data()));
    else
        SendMessageW(Hwnd(), HDM_SETORDERARRAY, order.size(), reinterpret_cast<LPARAM>(order.data()));
    InvalidateRect(parent, nullptr, TRUE);
}

void CFlatHeaderCtrl::OnPaint()
{
    win::PaintDC paint(Hwnd());
    RECT client;
    GetClientRect(Hwnd(), &client);
    const int w = client.right - client.left, h = client.bottom - client.top;
    win::MemoryDC mem(paint.Get());
    if (w <= 0 || h <= 0 || !mem.Create(paint.Get(), w, h))
        return;
    HDC dc = mem.Get();
    win::Brush back(CreateSolidBrush(background));
    FillRect(dc, &client, back.Get());
    win::ScopedSelect font(dc, FontOf(Hwnd()));
    win::Pen shadowPen(CreatePen(PS_SOLID, 1, shadow)), highlightPen(CreatePen(PS_SOLID, 1, highlight));
    for (int item : Order()) {
        const RECT r = ItemRect(item);
        DrawItem(dc, item, r);
        // The separator: a shadow line with a highlight beside it.
        win::ScopedSelect s(dc, shadowPen.Get());
        Line(dc, r.right - 2, r.top + 2, r.right - 2, r.bottom - 2);
        win::ScopedSelect l(dc, highlightPen.Get());
        Line(dc, r.right - 1, r.top + 2, r.right - 1, r.bottom - 2);
    }
    {
        win::ScopedSelect s(dc, shadowPen.Get());
        Line(dc, client.left, client.bottom - 1, client.right, client.bottom - 1);
    }
    DrawDropMarker(dc);
    BitBlt(paint.Get(), 0, 0, w, h, dc, 0, 0, SRCCOPY);
}

void CFlatHeaderCtrl::DrawItem(HDC dc, int item, const RECT& rc) const
{
    wchar_t title[260] = {};
    HDITEMW hi{};
    hi.mask = HDI_TEXT | HDI_FORMAT | HDI_BITMAP;
    hi.pszText = title;
    hi.cchTextMax = 260;
    if (!SendMessageW(Hwnd(), HDM_GETITEMW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&hi)))
        return;
    title[259] = 0;
    RECT textRect = rc;
    InflateRect(&textRect, -kTextMargin, 0);
    BITMAP bm{};
    if ((hi.fmt & HDF_BITMAP) && hi.hbm && GetObjectW(hi.hbm, sizeof bm, &bm)) {
        // The sort bitmap on the right, the text before it.
        const int right = rc.right - kEdgeSpacing, left = std::max<int>(textRect.left, right - bm.bmWidth);
        if (right > left) {
            win::MemoryDC src(dc);
            win::ScopedSelect s(src.Get(), hi.hbm);
            const int top = rc.top + (rc.bottom - rc.top - bm.bmHeight) / 2;
            BitBlt(dc, left, top, right - left, bm.bmHeight, src.Get(), 0, 0, SRCCOPY);
        }
        textRect.right = std::min<LONG>(textRect.right, left - kBitmapSpacing);
    }
    if (textRect.right <= textRect.left)
        return;
    const std::wstring fitted = FitText(title, textRect.right - textRect.left, [dc](std::wstring_view s) {
        SIZE size{};
        GetTextExtentPoint32W(dc, s.data(), static_cast<int>(s.size()), &size);
        return static_cast<int>(size.cx);
    });
    UINT align = DT_LEFT;
    if ((hi.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT)
        align = DT_RIGHT;
    else if ((hi.fmt & HDF_JUSTIFYMASK) == HDF_CENTER)
        align = DT_CENTER;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, text);
    DrawTextW(dc, fitted.c_str(), static_cast<int>(fitted.size()), &textRect,
              align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_NOCLIP);
}

void CFlatHeaderCtrl::DrawDropMarker(HDC dc) const
{
    if (!dragging_ || dropAt_ < 0)
        return;
    const std::vector<int> order = Order();
    if (order.empty())
        return;
    RECT client;
    GetClientRect(Hwnd(), &client);
    const int x = dropAt_ < static_cast<int>(order.size()) ? ItemRect(order[static_cast<size_t>(dropAt_)]).left
                                                           : ItemRect(order.back()).right - 1;
    const int b = client.bottom - 1;
    win::Brush fill(CreateSolidBrush(dropMarker));
    win::Pen edge(CreatePen(PS_SOLID, 1, dropMarker));
    win::ScopedSelect sb(dc, fill.Get()), sp(dc, edge.Get());
    const POINT down[3] = {{x - 4, 0}, {x + 4, 0}, {x, 4}};
    const POINT up[3] = {{x - 4, b}, {x + 4, b}, {x, b - 4}};
    Polygon(dc, down, 3);
    Polygon(dc, up, 3);
}

} // namespace manager
