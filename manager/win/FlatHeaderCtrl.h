#pragma once
// The report list's header drawn flat on the skin's colours, whose items the user reorders by
// dragging them: a CFHDragWnd shows the item under the pointer, a pair of red triangles marks where
// it will land, and the header's parent may refuse the new order (HDN_ENDDRAG) before it is made.
// Columns of fixed width cannot be resized, and their dividers show no resize cursor.
#include <windows.h>
#include <commctrl.h>
#include <memory>
#include <vector>
#include "foundation/Window.h"

namespace manager {

class CFlatHeaderCtrl;

// The top-most tool window that carries one header item while it is dragged.
class CFHDragWnd final : public win::Window {
public:
    static constexpr const wchar_t* kClassName = L"MFCFHDragWnd";
    CFHDragWnd() = default;
    // Shows `item` of `header` over its place on the screen; false when no window could be made.
    bool Create(const CFlatHeaderCtrl& header, int item);
    // Moves the window so that its left edge is at `screenLeft` (it keeps its height and top).
    void MoveTo(int screenLeft);

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnPaint();

    const CFlatHeaderCtrl* header_ = nullptr; // not ours: it owns this window
    int item_ = -1;
};

class CFlatHeaderCtrl final : public win::Subclass {
public:
    CFlatHeaderCtrl();
    ~CFlatHeaderCtrl() override;

    // Takes over the drawing and the mouse of a header control (a report list's).
    bool Attach(HWND header);
    void Detach();

    void SetFixedWidth(int item, bool fixed);
    bool FixedWidth(int item) const;
    // The item that shows the sort bitmap (-1 for none): drawn with it on its right.
    void SetSortColumn(int item) { sortColumn_ = item; }
    int SortColumn() const { return sortColumn_; }
    bool Dragging() const { return dragging_; }
    // Where a drop at header client x would put the dragged item, as an order position (the place
    // in the header's order array). Exposed for the drop markers and for tests.
    int DropPosition(int x) const;

    // The header's colours (the system's highlight, shadow and button text; background and marker
    // fixed).
    COLORREF highlight, shadow, background = RGB(214, 223, 247), text, dropMarker = RGB(255, 0, 0);

private:
    struct ItemExtra {
        bool fixedWidth = false;
    };
    // Between an item's edges and its text; between the text and the bitmap; the bitmap's margin
    // from the item's right edge.
    static constexpr int kTextMargin = 6, kBitmapSpacing = 8, kEdgeSpacing = 8;
    friend class CFHDragWnd; // draws its item as the header does

    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnPaint();
    void DrawItem(HDC dc, int item, const RECT& rc) const;
    void DrawDropMarker(HDC dc) const;
    bool OnSetCursor(LPARAM lp);
    bool OnButtonDown(UINT msg, POINT p);
    void OnMouseMove(POINT p);
    bool OnButtonUp(POINT p);
    void BeginDrag();
    void EndDrag(bool drop);
    // The hit test's item when the point is on a divider (HHT_ONDIVIDER, HHT_ONDIVOPEN), else -1.
    int DividerAt(POINT p) const;
    int ItemCount() const;
    std::vector<int> Order() const;
    RECT ItemRect(int item) const;

    std::vector<ItemExtra> extra_;
    int sortColumn_ = -1;
    // The press on an item that may become a drag, and the drag itself.
    int pressed_ = -1;
    POINT pressAt_{};
    int grabOffset_ = 0; // from the item's left edge to the pointer, in pixels
    int dropAt_ = -1;
    bool dragging_ = false;
    bool clipped_ = false; // ClipCursor is ours to release
    std::unique_ptr<CFHDragWnd> dragWnd_;
};

} // namespace manager
