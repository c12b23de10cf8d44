// The owner-drawn list and its flat header in a real window under Xvfb, driven by the real pointer
// (xdotool): header clicks with sorting off and on, a column dragged to a new place, a fixed image
// column that will not resize; and a screenshot (testkit-work/magic-list.png in the build tree).
#include "MagicList.h"
#include "TestKit.h"
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace manager;

namespace {

constexpr int kListId = 1050;
enum Column { kName, kPort, kPicture, kLocation };
const wchar_t* const kNames[] = {L"delta", L"alpha", L"Charlie", L"bravo", L"echo"};
const wchar_t* const kPorts[] = {L"80", L"50000", L"9", L"1000", L"9"};
const wchar_t* const kPictures[] = {L"1", L"0", L"1", L"0", L"0"};
const wchar_t* const kPlaces[] = {L"Main office, second floor, east wing", L"Warehouse", L"Gate", L"Lobby", L"Dock 2"};

class MagicListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host_ = std::make_unique<testkit::RecorderWindow>(WM_NOTIFY, WM_NOTIFY, nullptr, true, 520, 260);
        host_->onMessage = [this](UINT, WPARAM, LPARAM lp) -> LRESULT {
            const auto* nm = reinterpret_cast<const NMHDR*>(lp);
            codes_.push_back(nm->code);
            if (nm->code == HDN_ENDDRAG) {
                orderAtEndDrag_ = Order();
                return refuseDrag_;
            }
            return 0;
        };
        font_.Attach(CreateFontW(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
        // A plain report list, as a dialog template makes it: taking it over makes it owner-drawn.
        HWND plain = CreateWindowExW(
            0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
            10, 10, 500, 240, host_->Hwnd(), reinterpret_cast<HMENU>(kListId), nullptr, nullptr);
        ASSERT_TRUE(list_.Attach(plain));
        SendMessageW(list_.Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), TRUE);
        auto& v = list_.List();
        v.InsertColumn(kName, L"Name", 110);
        v.InsertColumn(kPort, L"Port#", 80, LVCFMT_RIGHT);
        v.InsertColumn(kPicture, L"Pic", 40, LVCFMT_CENTER);
        v.InsertColumn(kLocation, L"Location", 150);
        for (int r = 0; r < 5; ++r) {
            v.AddRow(kNames[r], r + 1);
            v.SetText(r, kPort, kPorts[r]);
            v.SetText(r, kPicture, kPictures[r]);
            v.SetText(r, kLocation, kPlaces[r]);
        }
        // Two 16 x 16 images: green and blue squares.
        images_ = ImageList_Create(16, 16, ILC_COLOR32, 2, 0);
        for (COLORREF c : {RGB(0, 160, 0), RGB(0, 0, 200)}) {
            win::WindowDC screen(nullptr);
            win::MemoryDC mem(screen.Get());
            win::Bitmap b(CreateCompatibleBitmap(screen.Get(), 16, 16));
            {
                win::ScopedSelect s(mem.Get(), b.Get());
                win::Brush brush(CreateSolidBrush(c));
                RECT r{0, 0, 16, 16};
                FillRect(mem.Get(), &r, brush.Get());
            }
            ImageList_Add(images_, b.Get(), nullptr);
        }
        list_.SetImageColumn(kPicture, images_);
        list_.SetNumericColumn(kPort);
        list_.SetTextColor(RGB(0, 0, 128));
        list_.SetTextBkColor(RGB(255, 251, 240));
        list_.SetBkColor(RGB(255, 251, 240));
        list_.SetSelectionColors(RGB(0, 0, 0), RGB(192, 220, 192), RGB(192, 220, 192));
        SetForegroundWindow(host_->Hwnd());
        testkit::PumpFor(200);
    }
    void TearDown() override
    {
        list_.Detach();
        host_.reset();
        ImageList_Destroy(images_);
    }

    HWND Header() { return list_.Header().Hwnd(); }
    // The screen point at `dx` pixels from the header item's left edge (its middle when -1).
    POINT HeaderPoint(int column, int dx = -1)
    {
        RECT r{};
        SendMessageW(Header(), HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&r));
        POINT p{dx < 0 ? (r.left + r.right) / 2 : r.left + dx, (r.top + r.bottom) / 2};
        ClientToScreen(Header(), &p);
        return p;
    }
    static std::string At(POINT p) { return std::to_string(p.x) + " " + std::to_string(p.y); }
    void Xdo(const std::string& actions)
    {
        ASSERT_TRUE(testkit::RunUnixAndWait("xdotool " + actions));
        testkit::PumpFor(200);
    }
    void ClickHeader(int column) { Xdo("mousemove " + At(HeaderPoint(column)) + " click 1"); }
    // Column `c` of every row, top to bottom.
    std::vector<std::wstring> Cells(int c)
    {
        std::vector<std::wstring> out;
        for (int r = 0; r < list_.List().Count(); ++r)
            out.push_back(list_.List().Text(r, c));
        return out;
    }
    // Every row still carries its own data: the name its data was given with.
    bool RowsWhole()
    {
        for (int r = 0; r < list_.List().Count(); ++r) {
            const LPARAM d = list_.List().Data(r);
            if (d < 1 || d > 5 || list_.List().Text(r, kName) != kNames[d - 1] ||
                list_.List().Text(r, kPort) != kPorts[d - 1] || list_.List().Text(r, kLocation) != kPlaces[d - 1])
                return false;
        }
        return true;
    }
    std::vector<int> Order()
    {
        std::vector<int> order(4);
        SendMessageW(list_.Hwnd(), LVM_GETCOLUMNORDERARRAY, 4, reinterpret_cast<LPARAM>(order.data()));
        return order;
    }
    size_t Seen(UINT code) const { return std::count(codes_.begin(), codes_.end(), code); }

    std::unique_ptr<testkit::RecorderWindow> host_;
    CMagicList list_;
    win::Font font_;
    HIMAGELIST images_ = nullptr;
    std::vector<UINT> codes_;
    std::vector<int> orderAtEndDrag_;
    LRESULT refuseDrag_ = 0;
};

TEST_F(MagicListTest, RowsAreTheFontsHeightPlusTenAndFollowAFontChange)
{
    RECT r{};
    r.left = LVIR_BOUNDS;
    ASSERT_TRUE(SendMessageW(list_.Hwnd(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r)));
    EXPECT_EQ(r.bottom - r.top, 24);
    win::Font big(CreateFontW(-30, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
    SendMessageW(list_.Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(big.Get()), TRUE);
    ASSERT_TRUE(SendMessageW(list_.Hwnd(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r)));
    EXPECT_EQ(r.bottom - r.top, 40);
    SendMessageW(list_.Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
}

TEST_F(MagicListTest, AHeaderClickWithSortingOffChangesNothing)
{
    const auto names = Cells(kName);
    ClickHeader(kPort);
    EXPECT_EQ(Seen(LVN_COLUMNCLICK), 1u) << "the click reached the list";
    EXPECT_EQ(Cells(kName), names);
    EXPECT_EQ(list_.SortColumn(), -1);
}

TEST_F(MagicListTest, HeaderClicksSortNumericAndTextColumnsBothWaysWithWholeRows)
{
    win::Bitmap up(CreateBitmap(8, 8, 1, 32, nullptr)), down(CreateBitmap(8, 8, 1, 32, nullptr));
    list_.SetSortBitmaps(up.Get(), down.Get());
    list_.SetStyle(CMagicList::kSortOnClick);
    list_.List().Select(2); // "Charlie"

    ClickHeader(kPort);
    EXPECT_EQ(Cells(kPort), (std::vector<std::wstring>{L"9", L"9", L"80", L"1000", L"50000"}));
    EXPECT_TRUE(RowsWhole());
    EXPECT_EQ(list_.List().Text(list_.List().Selected(), kName), L"Charlie") << "the selection moves with its row";
    ClickHeader(kPort);
    EXPECT_EQ(Cells(kPort), (std::vector<std::wstring>{L"50000", L"1000", L"80", L"9", L"9"}));
    EXPECT_TRUE(RowsWhole());

    ClickHeader(kName);
    EXPECT_EQ(Cells(kName), (std::vector<std::wstring>{L"Charlie", L"alpha", L"bravo", L"delta", L"echo"}));
    EXPECT_TRUE(list_.SortAscending());
    EXPECT_TRUE(RowsWhole());
    ClickHeader(kName);
    EXPECT_EQ(Cells(kName), (std::vector<std::wstring>{L"echo", L"delta", L"bravo", L"alpha", L"Charlie"}));
    EXPECT_TRUE(RowsWhole());

    // The mark sits on the sorted column alone, and shows its direction.
    HDITEMW hi{};
    hi.mask = HDI_FORMAT | HDI_BITMAP;
    SendMessageW(Header(), HDM_GETITEMW, kName, reinterpret_cast<LPARAM>(&hi));
    EXPECT_TRUE(hi.fmt & HDF_BITMAP);
    EXPECT_EQ(hi.hbm, down.Get());
    hi = HDITEMW{};
    hi.mask = HDI_FORMAT;
    SendMessageW(Header(), HDM_GETITEMW, kPort, reinterpret_cast<LPARAM>(&hi));
    EXPECT_FALSE(hi.fmt & HDF_BITMAP);
}

TEST_F(MagicListTest, DraggingAHeaderItemMovesItsColumnUnlessTheParentRefuses)
{
    const POINT from = HeaderPoint(kName), past = HeaderPoint(kLocation, 5);
    const POINT beyond{past.x + 400, past.y + 300}; // outside the header: the clip holds the pointer
    const std::string drag = "mousemove " + At(from) + " mousedown 1 sleep 0.1 mousemove " +
        At(POINT{from.x + 30, from.y}) + " sleep 0.1 mousemove " + At(beyond) + " sleep 0.1 mousemove " + At(past) +
        " sleep 0.1 ";
    Xdo(drag);
    EXPECT_TRUE(list_.Header().Dragging());
    HWND dragWnd = FindWindowW(CFHDragWnd::kClassName, nullptr);
    EXPECT_NE(dragWnd, nullptr);
    RECT clip, header;
    GetClipCursor(&clip);
    GetWindowRect(Header(), &header);
    EXPECT_LE(clip.bottom, header.bottom) << "the pointer is kept within the header";
    EXPECT_FALSE(testkit::Screenshot("magic-list-drag").empty());
    Xdo("mouseup 1");
    EXPECT_EQ(orderAtEndDrag_, (std::vector<int>{0, 1, 2, 3})) << "the parent hears of it before the change";
    EXPECT_EQ(Order(), (std::vector<int>{1, 2, 0, 3}));
    EXPECT_FALSE(IsWindow(dragWnd));
    GetClipCursor(&clip);
    EXPECT_GT(clip.bottom, header.bottom) << "the clip is released";

    refuseDrag_ = 1;
    Xdo("mousemove " + At(HeaderPoint(kLocation)) + " mousedown 1 sleep 0.1 mousemove " + At(HeaderPoint(kPort, 3)) +
        " sleep 0.1 mousemove " + At(HeaderPoint(kPort, 2)) + " sleep 0.1 mouseup 1");
    EXPECT_EQ(Seen(HDN_ENDDRAG), 2u);
    EXPECT_EQ(Order(), (std::vector<int>{1, 2, 0, 3}));
}

TEST_F(MagicListTest, AnImageColumnKeepsItsWidthWhereOthersResize)
{
    auto dragDivider = [this](int column) {
        RECT r{};
        SendMessageW(Header(), HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&r));
        POINT p{r.right - 1, (r.top + r.bottom) / 2};
        ClientToScreen(Header(), &p);
        Xdo("mousemove " + At(p) + " mousedown 1 sleep 0.1 mousemove " + At(POINT{p.x + 15, p.y}) +
            " sleep 0.1 mousemove " + At(POINT{p.x + 30, p.y}) + " sleep 0.1 mouseup 1");
    };
    const int picture = ListView_GetColumnWidth(list_.Hwnd(), kPicture);
    const int port = ListView_GetColumnWidth(list_.Hwnd(), kPort);
    dragDivider(kPicture);
    EXPECT_EQ(ListView_GetColumnWidth(list_.Hwnd(), kPicture), picture);
    dragDivider(kPort);
    EXPECT_GT(ListView_GetColumnWidth(list_.Hwnd(), kPort), port + 20);
    EXPECT_EQ(Order(), (std::vector<int>{0, 1, 2, 3})) << "a divider drag is no item drag";
}

TEST_F(MagicListTest, ShowsItsColoursSelectionAndFlatHeader)
{
    list_.SetStyle(CMagicList::kVerticalGrid | CMagicList::kHorizontalGrid);
    list_.List().Select(1);
    SetFocus(list_.Hwnd());
    testkit::PumpFor(300);
    RECT row{};
    row.left = LVIR_BOUNDS;
    SendMessageW(list_.Hwnd(), LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
    // Read the list's own client area, then the header's.
    RECT client;
    GetClientRect(list_.Hwnd(), &client);
    const auto px = testkit::ClientPixels(list_.Hwnd(), client);
    const int w = client.right;
    auto at = [&](int x, int y) { return px.at(static_cast<size_t>(y * w + x)); };
    EXPECT_EQ(at(300, row.top + 3), 0xC0DCC0u) << "the selected row";
    EXPECT_EQ(at(300, row.top - 4), 0xFFFBF0u) << "a row above it";
    RECT hdr;
    GetClientRect(Header(), &hdr);
    const auto hp = testkit::ClientPixels(Header(), hdr);
    EXPECT_EQ(hp.at(static_cast<size_t>(3 * hdr.right + 60)), 0xD6DFF7u) << "the flat header's background";
    const std::string shot = testkit::Screenshot("magic-list");
    EXPECT_FALSE(shot.empty());
    std::printf("screenshot: %s\n", shot.c_str());
}

} // namespace

namespace {

// The host's WM_COMMANDs (the recorder keeps to notifications).
class Commands final : public win::Subclass {
public:
    std::vector<WPARAM> ids;

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg == WM_COMMAND)
            ids.push_back(LOWORD(wp));
        return Default(msg, wp, lp);
    }
};

TEST_F(MagicListTest, ARightClickOpensTheFirstSubmenuAtThePointerForTheOwner)
{
    HMENU bar = CreateMenu(), sub = CreatePopupMenu();
    AppendMenuW(sub, MF_STRING, 4001, L"Connect");
    AppendMenuW(sub, MF_STRING, 4002, L"Delete");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), L"List");
    list_.SetContextMenu(bar);
    Commands commands;
    ASSERT_TRUE(commands.Attach(host_->Hwnd()));
    RECT row{};
    row.left = LVIR_BOUNDS;
    SendMessageW(list_.Hwnd(), LVM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&row));
    POINT p{60, (row.top + row.bottom) / 2};
    ClientToScreen(list_.Hwnd(), &p);
    // The menu is modal: the pointer's second click, on its first item, comes while it runs.
    ASSERT_TRUE(testkit::RunUnix("xdotool mousemove " + At(p) + " click 3 sleep 0.7 mousemove " +
                                 At(POINT{p.x + 25, p.y + 8}) + " sleep 0.2 click 1"));
    EXPECT_TRUE(testkit::PumpUntil([&] { return !commands.ids.empty(); }, 8000));
    EXPECT_EQ(commands.ids, (std::vector<WPARAM>{4001}));
    EXPECT_EQ(list_.List().Selected(), 3);
    commands.Detach();
    DestroyMenu(bar);
}

} // namespace
