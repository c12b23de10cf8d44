// The foundation's own tests: window and dialog bases, handle owners, the trace and the COM server
// skeleton, each through the real platform calls.
#include "TestIds.h"
#include "TestKit.h"
#include "foundation/ComPtr.h"
#include "foundation/ComServer.h"
#include "foundation/Dialog.h"
#include "foundation/Handles.h"
#include "foundation/ListView.h"
#include "foundation/MessageLoop.h"
#include "foundation/Trace.h"
#include <gtest/gtest.h>
#include <ole2.h>
#include <stdexcept>
#include <vector>

namespace {

class Thrower final : public win::Window {
public:
    bool throwOnCreate = false;
    int finals = 0;
    bool Make()
    {
        static bool reg = win::RegisterModuleClass(ClassOf(L"PxThrower"));
        return reg && CreateEx(0, L"PxThrower", L"", WS_POPUP, 0, 0, 10, 10, nullptr, 0);
    }

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override
    {
        switch (msg) {
        case WM_CREATE: return throwOnCreate ? throw std::runtime_error("create") : 0;
        case WM_USER + 1: throw std::runtime_error("handler");
        case WM_USER + 2: return 77;
        }
        return Default(msg, wp, lp);
    }
    void OnFinalMessage() override { ++finals; }
};

TEST(WindowBase, ThrowingHandlersAreAnsweredWithTheirFailureValue)
{
    testkit::TraceCapture trace;
    Thrower w;
    ASSERT_TRUE(w.Make());
    EXPECT_EQ(SendMessageW(w.Hwnd(), WM_USER + 1, 0, 0), 0);
    EXPECT_TRUE(trace.Contains(L"exception in the window procedure, message 0x0401"));
    EXPECT_EQ(SendMessageW(w.Hwnd(), WM_USER + 2, 0, 0), 77) << "the window keeps working";
    HWND h = w.Hwnd();
    DestroyWindow(h);
    EXPECT_EQ(w.Hwnd(), nullptr);
    EXPECT_EQ(w.finals, 1);
    EXPECT_EQ(GetWindowLongPtrW(h, GWLP_USERDATA), 0);

    Thrower failing;
    failing.throwOnCreate = true;
    EXPECT_FALSE(failing.Make()) << "a throwing WM_CREATE fails the creation";
    EXPECT_EQ(failing.Hwnd(), nullptr);
    EXPECT_EQ(failing.finals, 1);
}

TEST(WindowBase, ADllsClassesGoWithItAndComeBackWithIt)
{
    using Probe = LRESULT (*)();
    for (int round = 0; round < 2; ++round) {
        HMODULE dll = LoadLibraryW(L"win_classdll.dll");
        ASSERT_NE(dll, nullptr);
        auto probe = reinterpret_cast<Probe>(reinterpret_cast<void*>(GetProcAddress(dll, "ProbeWindow")));
        ASSERT_NE(probe, nullptr);
        EXPECT_EQ(probe(), 4242) << "round " << round;
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        EXPECT_TRUE(GetClassInfoExW(dll, L"PxProbeWindow", &wc)) << "registered with the DLL's own instance";
        EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), L"PxProbeWindow", &wc)) << "not the program's";
        FreeLibrary(dll);
        EXPECT_FALSE(GetClassInfoExW(dll, L"PxProbeWindow", &wc)) << "unregistered at unload";
    }
}

// A dialog that swallows the keys it is told to, and posts its test input from OnInit.
class KeyDialog final : public win::Dialog {
public:
    UINT swallow = 0; // a virtual key to swallow
    UINT press = 0; // the key posted to the dialog
    INT_PTR endWith = 0; // posted after the key: End(endWith) unless the key ended it first
    int quitWith = -1; // instead of the key: WM_QUIT with this code
    win::MessageFilter inner; // registered in OnInit, as a control host made by the dialog is
    bool ownerDisabled = false;
    HWND owner = nullptr;

private:
    win::ScopedMessageFilter innerFilter_;
    bool OnInit() override
    {
        ownerDisabled = owner && !IsWindowEnabled(owner);
        if (inner)
            innerFilter_.Add(inner);
        if (quitWith >= 0) {
            PostQuitMessage(quitWith);
            return true;
        }
        PostMessageW(Hwnd(), WM_KEYDOWN, press, 0);
        PostMessageW(Hwnd(), WM_APP, 0, 0);
        return true;
    }
    bool OnKey(const MSG& m) override { return m.message == WM_KEYDOWN && m.wParam == swallow; }
    INT_PTR OnMessage(UINT msg, WPARAM, LPARAM) override
    {
        if (msg != WM_APP)
            return FALSE;
        End(endWith);
        return TRUE;
    }
};

class CountingHook final : public win::Subclass {
public:
    int seen = 0;

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override
    {
        seen += msg == WM_USER + 7;
        return Default(msg, wp, lp);
    }
};

// A host window that someone else hooked before us with SetWindowLongPtr, and that unhooks itself
// (puts its saved procedure back) while it handles a message, as a container does when it is
// destroyed: the procedure it put back must stay.
WNDPROC g_savedProc = nullptr;
win::Subclass* g_ourHook = nullptr;
LRESULT CALLBACK ForeignHook(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_USER + 8) {
        SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_savedProc));
        g_ourHook->Detach(); // what the hooked control does when the container releases it
        return 1;
    }
    return CallWindowProcW(g_savedProc, wnd, msg, wp, lp);
}

TEST(WindowSubclass, HooksComeOffInAnyOrderAndAForeignUnhookIsNotUndone)
{
    for (bool firstGoesFirst : {true, false}) {
        testkit::RecorderWindow w(WM_USER + 7, WM_USER + 7);
        const LONG_PTR original = GetWindowLongPtrW(w.Hwnd(), GWLP_WNDPROC);
        CountingHook hooks[2];
        ASSERT_TRUE(hooks[0].Attach(w.Hwnd()) && hooks[1].Attach(w.Hwnd()));
        SendMessageW(w.Hwnd(), WM_USER + 7, 0, 0);
        hooks[firstGoesFirst ? 0 : 1].Detach();
        SendMessageW(w.Hwnd(), WM_USER + 7, 0, 0);
        EXPECT_EQ(hooks[firstGoesFirst ? 1 : 0].seen, 2);
        hooks[firstGoesFirst ? 1 : 0].Detach();
        EXPECT_EQ(GetWindowLongPtrW(w.Hwnd(), GWLP_WNDPROC), original);
        EXPECT_EQ(w.Count(WM_USER + 7), 2u);
    }

    testkit::RecorderWindow w(WM_USER + 7, WM_USER + 7);
    const LONG_PTR original = GetWindowLongPtrW(w.Hwnd(), GWLP_WNDPROC);
    g_savedProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(w.Hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForeignHook)));
    CountingHook ours;
    g_ourHook = &ours;
    ASSERT_TRUE(ours.Attach(w.Hwnd()));
    EXPECT_EQ(SendMessageW(w.Hwnd(), WM_USER + 8, 0, 0), 1);
    EXPECT_EQ(GetWindowLongPtrW(w.Hwnd(), GWLP_WNDPROC), original);
    SendMessageW(w.Hwnd(), WM_USER + 7, 0, 0);
    EXPECT_EQ(ours.seen, 0) << "the hook is off";
    EXPECT_EQ(w.Count(WM_USER + 7), 1u);
}

TEST(DialogBase, KeysReachTheDialogsHooksBeforeTheDialogManager)
{
    testkit::RecorderWindow owner;
    struct Case {
        UINT press, swallow;
        INT_PTR expected;
    } cases[] = {
        {VK_ESCAPE, 0, IDCANCEL}, // Escape is Cancel
        {VK_ESCAPE, VK_ESCAPE, 7}, // unless swallowed
        {VK_RETURN, 0, IDOK}, // Enter is the default button
        {VK_RETURN, VK_RETURN, 7},
    };
    for (const Case& c : cases) {
        KeyDialog d;
        d.press = c.press;
        d.swallow = c.swallow;
        d.endWith = 7;
        d.owner = owner.Hwnd();
        EXPECT_EQ(d.DoModal(owner.Hwnd(), IDD_TEST), c.expected) << c.press << " swallow " << c.swallow;
        EXPECT_TRUE(d.ownerDisabled);
        EXPECT_TRUE(IsWindowEnabled(owner.Hwnd()));
        EXPECT_EQ(d.Hwnd(), nullptr);
    }
    KeyDialog missing;
    EXPECT_EQ(missing.DoModal(owner.Hwnd(), 999), -1) << "no such template";
    EXPECT_TRUE(IsWindowEnabled(owner.Hwnd()));
}

TEST(DialogBase, ModelessDialogsGetTheirKeysThroughPreTranslate)
{
    KeyDialog d;
    d.press = VK_ESCAPE;
    d.endWith = 7;
    d.swallow = 0;
    ASSERT_TRUE(d.CreateModeless(nullptr, IDD_TEST));
    MSG m;
    EXPECT_TRUE(testkit::PumpUntil(
        [&] {
            if (!d.Hwnd())
                return true;
            if (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE) && !win::Dialog::PreTranslate(&m))
                DispatchMessageW(&m);
            return false;
        },
        2000));
}

// The items dialog: every hook records what it saw; the owner-drawn rows are painted in `rowColour`.
class ItemsDialog final : public win::Dialog {
public:
    win::ListView rows;
    std::vector<UINT_PTR> timers;
    std::vector<std::pair<int, LPARAM>> drawn; // row, its data
    UINT colourType = ~0u;
    HWND colourControl = nullptr;
    COLORREF rowColour = RGB(0, 128, 255);
    win::Brush brush{CreateSolidBrush(RGB(1, 2, 3))};

private:
    bool OnInit() override
    {
        rows.Attach(Item(IDC_ITEMS_ROWS));
        rows.SetRowHeight(24);
        rows.InsertColumn(0, L"name", 120);
        rows.InsertColumn(1, L"port", 80, LVCFMT_RIGHT);
        return true;
    }
    void OnTimer(UINT_PTR id) override
    {
        timers.push_back(id);
        KillTimer(Hwnd(), id);
    }
    LRESULT OnNotify(int id, NMHDR* nm) override { return nm->code == 1234u ? id * 2 : 0; }
    bool OnDrawItem(int id, DRAWITEMSTRUCT* d) override
    {
        if (id != IDC_ITEMS_ROWS || d->CtlType != ODT_LISTVIEW)
            return false;
        drawn.emplace_back(static_cast<int>(d->itemID), static_cast<LPARAM>(d->itemData));
        rows.DrawRow(*d, RGB(255, 255, 255), rowColour);
        return true;
    }
    HBRUSH OnCtlColor(HDC, HWND control, UINT type) override
    {
        if (control != Item(IDC_ITEMS_STATIC))
            return nullptr;
        colourType = type;
        colourControl = control;
        return brush.Get();
    }
};

void InitListViews()
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
}

TEST(DialogItems, TextChecksSelectionsAndEnablingThroughTheHelpers)
{
    InitListViews();
    ItemsDialog d;
    ASSERT_TRUE(d.CreateModeless(nullptr, IDD_ITEMS));
    const std::wstring longText(700, L'k');
    EXPECT_TRUE(d.SetItemText(IDC_TEST_EDIT, longText));
    EXPECT_EQ(d.ItemText(IDC_TEST_EDIT), longText);
    EXPECT_EQ(d.ItemText(999), L"") << "no such item";
    EXPECT_FALSE(d.SetItemText(999, L"x"));

    EXPECT_FALSE(d.IsChecked(IDC_ITEMS_CHECK));
    d.SetChecked(IDC_ITEMS_CHECK, true);
    EXPECT_TRUE(d.IsChecked(IDC_ITEMS_CHECK));

    for (const wchar_t* s : {L"a", L"b", L"c"}) {
        SendMessageW(d.Item(IDC_ITEMS_COMBO), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
        SendMessageW(d.Item(IDC_ITEMS_LIST), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    }
    EXPECT_EQ(d.ComboSelection(IDC_ITEMS_COMBO), -1);
    EXPECT_TRUE(d.SelectCombo(IDC_ITEMS_COMBO, 2));
    EXPECT_EQ(d.ComboSelection(IDC_ITEMS_COMBO), 2);
    EXPECT_FALSE(d.SelectCombo(IDC_ITEMS_COMBO, 3)) << "beyond the list";
    EXPECT_TRUE(d.SelectCombo(IDC_ITEMS_COMBO, -1));
    EXPECT_EQ(d.ComboSelection(IDC_ITEMS_COMBO), -1);
    EXPECT_TRUE(d.SelectList(IDC_ITEMS_LIST, 1));
    EXPECT_EQ(d.ListSelection(IDC_ITEMS_LIST), 1);
    EXPECT_FALSE(d.SelectList(IDC_ITEMS_LIST, 5));
    EXPECT_EQ(d.ListSelection(999), -1);

    d.EnableItem(IDC_TEST_EDIT, false);
    EXPECT_FALSE(IsWindowEnabled(d.Item(IDC_TEST_EDIT)));
    d.EnableItem(IDC_TEST_EDIT, true);
    EXPECT_TRUE(IsWindowEnabled(d.Item(IDC_TEST_EDIT)));
}

TEST(DialogHooks, TimersNotificationsAndColoursReachTheirHooks)
{
    InitListViews();
    ItemsDialog d;
    ASSERT_TRUE(d.CreateModeless(nullptr, IDD_ITEMS));
    SetTimer(d.Hwnd(), 17, 1, nullptr);
    EXPECT_TRUE(testkit::PumpUntil([&] { return !d.timers.empty(); }, 2000));
    EXPECT_EQ(d.timers, std::vector<UINT_PTR>{17});

    NMHDR nm{d.Item(IDC_ITEMS_LIST), IDC_ITEMS_LIST, 1234u};
    EXPECT_EQ(SendMessageW(d.Hwnd(), WM_NOTIFY, IDC_ITEMS_LIST, reinterpret_cast<LPARAM>(&nm)), IDC_ITEMS_LIST * 2)
        << "the hook's answer reaches the sender";

    win::WindowDC dc(d.Hwnd());
    EXPECT_EQ(SendMessageW(d.Hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.Get()),
                           reinterpret_cast<LPARAM>(d.Item(IDC_ITEMS_STATIC))),
              reinterpret_cast<LRESULT>(d.brush.Get()));
    EXPECT_EQ(d.colourType, UINT(CTLCOLOR_STATIC));
    EXPECT_NE(SendMessageW(d.Hwnd(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc.Get()),
                           reinterpret_cast<LPARAM>(d.Item(IDC_TEST_EDIT))),
              reinterpret_cast<LRESULT>(d.brush.Get()))
        << "a null brush leaves the default";
}

TEST(ListView, ColumnsRowsCellsAndSelection)
{
    InitListViews();
    ItemsDialog d;
    ASSERT_TRUE(d.CreateModeless(nullptr, IDD_ITEMS));
    win::ListView& lv = d.rows;
    EXPECT_EQ(lv.ColumnCount(), 2);
    EXPECT_EQ(lv.ColumnFormat(1), LVCFMT_RIGHT);
    EXPECT_EQ(lv.AddRow(L"second", 200), 0);
    EXPECT_EQ(lv.InsertRow(0, L"first", 100), 0);
    EXPECT_EQ(lv.AddRow(L"third", 300), 2);
    EXPECT_EQ(lv.Count(), 3);
    EXPECT_EQ(lv.Data(1), 200);
    EXPECT_EQ(lv.FindData(300), 2);
    EXPECT_EQ(lv.FindData(400), -1);
    EXPECT_TRUE(lv.SetData(2, 301));
    EXPECT_EQ(lv.FindData(301), 2);

    const std::wstring longText(300, L'p');
    EXPECT_TRUE(lv.SetText(1, 1, longText));
    EXPECT_EQ(lv.Text(1, 1), longText) << "longer than the first buffer";
    EXPECT_EQ(lv.Text(0, 0), L"first");

    EXPECT_EQ(lv.Selected(), -1);
    EXPECT_TRUE(lv.Select(2));
    EXPECT_EQ(lv.Selected(), 2);
    EXPECT_TRUE(lv.Select(1));
    EXPECT_EQ(lv.Selected(), 1);
    EXPECT_FALSE(lv.Select(3));
    EXPECT_TRUE(lv.Select(-1));
    EXPECT_EQ(lv.Selected(), -1);

    EXPECT_TRUE(lv.DeleteRow(0));
    EXPECT_EQ(lv.Text(0, 0), L"second");
    EXPECT_TRUE(lv.DeleteAllRows());
    EXPECT_EQ(lv.Count(), 0);
}

TEST(ListView, OwnerDrawnRowsArePaintedThroughTheDialogsHook)
{
    InitListViews();
    ItemsDialog d;
    ASSERT_TRUE(d.CreateModeless(nullptr, IDD_ITEMS));
    d.rows.AddRow(L"one", 11);
    d.rows.AddRow(L"two", 22);
    d.rows.SetText(1, 1, L"8000");
    ShowWindow(d.Hwnd(), SW_SHOW);
    UpdateWindow(d.Hwnd());
    const RECT cell = d.rows.CellRect(1, 0);
    EXPECT_GE(cell.bottom - cell.top, 24) << "the row height set, with the control's padding";
    EXPECT_LE(cell.bottom - cell.top, 26);
    ASSERT_TRUE(testkit::PumpUntil([&] { return d.drawn.size() >= 2; }, 3000));
    EXPECT_EQ(d.drawn[0], (std::pair<int, LPARAM>{0, 11}));
    EXPECT_EQ(d.drawn[1], (std::pair<int, LPARAM>{1, 22}));
    testkit::PumpFor(100);
    // The row's background is ours; its right-aligned cell keeps its left part clear of text.
    const RECT port = d.rows.CellRect(1, 1);
    RECT probe{port.left + 6, port.top + 2, port.left + 10, port.top + 4};
    auto pixels = testkit::ClientPixels(d.rows.Hwnd(), probe);
    ASSERT_FALSE(pixels.empty());
    for (uint32_t p : pixels)
        EXPECT_EQ(p, 0x000080FFu);
}

TEST(MessageLoop, FiltersRunNewestFirstAndMayGoWhileTheyRun)
{
    std::vector<int> order;
    win::ScopedMessageFilter older([&](MSG* m) { return order.push_back(1), m->message == WM_APP + 1; });
    UINT_PTR self = 0;
    self = win::MessageLoop::AddFilter([&](MSG*) {
        order.push_back(2);
        win::MessageLoop::RemoveFilter(self); // once only
        return false;
    });
    MSG m{};
    m.message = WM_APP;
    EXPECT_FALSE(win::MessageLoop::PreTranslate(&m));
    EXPECT_FALSE(win::MessageLoop::PreTranslate(&m));
    EXPECT_EQ(order, (std::vector<int>{2, 1, 1}));
    m.message = WM_APP + 1;
    EXPECT_TRUE(win::MessageLoop::PreTranslate(&m));
    older.Reset();
    EXPECT_FALSE(win::MessageLoop::PreTranslate(&m));

    // Run serves the chain and ends with WM_QUIT's code; a filter that throws swallows its message.
    testkit::TraceCapture trace;
    testkit::RecorderWindow w(WM_APP, WM_APP + 2);
    win::ScopedMessageFilter thrower([](MSG* msg) { return msg->message == WM_APP + 2 ? throw 1 : false; });
    PostMessageW(w.Hwnd(), WM_APP + 2, 0, 0);
    PostMessageW(w.Hwnd(), WM_APP, 0, 0);
    PostQuitMessage(9);
    EXPECT_EQ(win::MessageLoop::Run(), 9);
    EXPECT_EQ(w.Count(WM_APP), 1u);
    EXPECT_EQ(w.Count(WM_APP + 2), 0u);
    EXPECT_TRUE(trace.Contains(L"exception in a message filter, message 0x8002"));
}

TEST(MessageLoop, AModalDialogsLoopServesTheChainAndHandsOnQuit)
{
    testkit::RecorderWindow owner;
    // A filter registered while the dialog starts (as its control host's is) sees its keys first.
    int escapes = 0;
    KeyDialog d;
    d.press = VK_ESCAPE;
    d.endWith = 7;
    d.inner = [&](MSG* m) {
        bool esc = m->message == WM_KEYDOWN && m->wParam == VK_ESCAPE;
        escapes += esc;
        return esc;
    };
    EXPECT_EQ(d.DoModal(owner.Hwnd(), IDD_TEST), 7) << "the filter took Escape before the dialog manager";
    EXPECT_EQ(escapes, 1);

    // WM_QUIT ends the modal loop and reaches the program's loop.
    KeyDialog quitting;
    quitting.quitWith = 5;
    EXPECT_EQ(quitting.DoModal(owner.Hwnd(), IDD_TEST), -1);
    EXPECT_TRUE(IsWindowEnabled(owner.Hwnd()));
    EXPECT_EQ(win::MessageLoop::Run(), 5);
}

// A COM object that counts its references.
struct Counted : IUnknown {
    long refs = 1;
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override { return *ppv = nullptr, E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
};

TEST(Owners, OneRuleForHandlesAndComPointers)
{
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    win::KernelHandle a(first);
    win::KernelHandle b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(b.Get(), first);
    b.Attach(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(first, &flags)) << "Attach closed the handle held before";
    HANDLE kept = b.Detach();
    EXPECT_FALSE(b);
    EXPECT_TRUE(GetHandleInformation(kept, &flags)) << "Detach gave it up without closing";
    CloseHandle(kept);

    win::MemoryDC dc;
    win::Bitmap bmp(CreateCompatibleBitmap(win::WindowDC(nullptr).Get(), 4, 4));
    HGDIOBJ before = GetCurrentObject(dc.Get(), OBJ_BITMAP);
    {
        win::ScopedSelect sel(dc.Get(), bmp.Get());
        EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), bmp.Get());
    }
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), before);

    // A memory DC made again lets go of its first DC and bitmap.
    win::MemoryDC back;
    ASSERT_TRUE(back.Create(nullptr, 8, 8));
    HDC firstDc = back.Get();
    HBITMAP firstBitmap = back.BitmapHandle();
    EXPECT_EQ(GetCurrentObject(firstDc, OBJ_BITMAP), firstBitmap);
    uint32_t* bits = back.CreateDib(nullptr, 4, 2);
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(GetObjectType(firstBitmap), 0u) << "the first bitmap is deleted";
    bits[7] = 0x00FF0000;
    EXPECT_EQ(GetPixel(back.Get(), 3, 1), RGB(255, 0, 0)) << "top-down rows";
    win::MemoryDC moved(std::move(back));
    EXPECT_FALSE(back);
    EXPECT_EQ(back.Create(nullptr, 0, 5), false);
    EXPECT_FALSE(back) << "a failed creation holds nothing";

    win::RegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\PxFoundationTest", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              key.Put(), nullptr),
              ERROR_SUCCESS);
    HKEY raw = key.Get();
    key.Reset();
    DWORD values = 0;
    EXPECT_NE(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS)
        << "closed";
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\PxFoundationTest");

    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    {
        win::Socket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        ASSERT_TRUE(s);
        SOCKET rawSocket = s.Get();
        s.Reset();
        int type = 0, size = sizeof type;
        EXPECT_EQ(getsockopt(rawSocket, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &size), SOCKET_ERROR);
    }
    WSACleanup();

    Counted c;
    {
        win::ComPtr<IUnknown> shared, taken;
        shared.Assign(&c);
        EXPECT_EQ(c.refs, 2);
        c.AddRef();
        taken.Attach(&c);
        EXPECT_EQ(c.refs, 3);
        win::ComPtr<IUnknown> moved(std::move(taken));
        EXPECT_EQ(c.refs, 3);
        IUnknown* out = moved.Detach();
        EXPECT_EQ(out, &c);
        out->Release();

        win::ComPtr<IUnknown> held;
        held.Assign(&c);
        IUnknown* copy = nullptr;
        EXPECT_EQ(held.CopyTo(&copy), S_OK);
        EXPECT_EQ(copy, &c);
        EXPECT_EQ(c.refs, 4);
        copy->Release();
        EXPECT_EQ(held.CopyTo(nullptr), E_POINTER);
        win::ComPtr<IUnknown> none;
        EXPECT_EQ(none.CopyTo(&copy), S_OK);
        EXPECT_EQ(copy, nullptr);

        win::Variant v;
        v->vt = VT_UNKNOWN;
        v->punkVal = held.Detach();
        win::Variant kept(std::move(v));
        EXPECT_EQ(v->vt, VT_EMPTY);
        EXPECT_EQ(c.refs, 3) << "moved, not copied";
    }
    EXPECT_EQ(c.refs, 1) << "the variant cleared its reference";
}

TEST(Trace, LinesAreCutAtTheBufferAndReachTheProgramsSink)
{
    testkit::TraceCapture trace;
    std::wstring longText(3000, L'x');
    win::Trace(L"===>>> %s\n", longText.c_str());
    win::TraceFixme("IOleObject", "SetExtent");
    auto lines = trace.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), size_t(win::kTraceChars - 1));
    EXPECT_EQ(lines[1], L"===>>> fixme: IOleObject::SetExtent not implemented\n");
}

TEST(ModulePath, APathBeyondMaxPathIsFoundWhole)
{
    const std::wstring program = win::ModulePath(nullptr);
    ASSERT_FALSE(program.empty());
    std::wstring folder = win::ModuleFolder(nullptr);
    ASSERT_EQ(folder.back(), L'\\');
    EXPECT_EQ(program.compare(0, folder.size(), folder), 0);

    // A copy of a test DLL three folders of 100 characters deep.
    std::wstring deep = L"\\\\?\\" + folder + L"longpath";
    CreateDirectoryW(deep.c_str(), nullptr);
    for (int i = 0; i < 3; ++i) {
        deep += L"\\" + std::wstring(100, wchar_t(L'a' + i));
        CreateDirectoryW(deep.c_str(), nullptr);
    }
    const std::wstring file = deep + L"\\deep_classdll.dll";
    ASSERT_TRUE(CopyFileW((folder + L"win_classdll.dll").c_str(), file.c_str(), FALSE));
    HMODULE dll = LoadLibraryW(file.c_str());
    ASSERT_NE(dll, nullptr);
    const std::wstring path = win::ModulePath(dll);
    EXPECT_GT(path.size(), size_t(MAX_PATH));
    EXPECT_EQ(path, file.substr(4)) << "the whole path, without the long-path prefix";
    EXPECT_EQ(win::ModuleFolder(dll), deep.substr(4) + L"\\");
    FreeLibrary(dll);
    DeleteFileW(file.c_str());
    for (int i = 0; i < 4; ++i) {
        RemoveDirectoryW(deep.c_str());
        deep.resize(deep.find_last_of(L'\\'));
    }
}

std::wstring ClassesValue(const std::wstring& key, const wchar_t* name = nullptr)
{
    wchar_t text[MAX_PATH] = {};
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return text;
}

TEST(ComSkeleton, RegistersCreatesCountsAndUnregistersFromItsTable)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    testkit::TraceCapture trace;
    HMODULE dll = LoadLibraryW(L"win_comdll.dll");
    ASSERT_NE(dll, nullptr);
    using Fn = HRESULT(STDAPICALLTYPE*)();
    auto call = [&](const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)))();
    };
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(dll, path, MAX_PATH);
    const std::wstring clsidKey = L"CLSID\\" + win::com::GuidText(kClsidTestObject);

    ASSERT_EQ(call("DllRegisterServer"), S_OK);
    EXPECT_EQ(ClassesValue(clsidKey + L"\\InprocServer32"), path);
    EXPECT_EQ(ClassesValue(clsidKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(ClassesValue(TEST_PROGID L"\\CLSID"), win::com::GuidText(kClsidTestObject));
    CLSID byProgId{};
    EXPECT_EQ(CLSIDFromProgID(TEST_PROGID, &byProgId), S_OK);
    EXPECT_TRUE(IsEqualCLSID(byProgId, kClsidTestObject));

    {
        win::ComPtr<IPersist> persist;
        ASSERT_EQ(CoCreateInstance(kClsidTestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IPersist, persist.PutVoid()),
                  S_OK);
        EXPECT_EQ(call("DllCanUnloadNow"), S_FALSE);
        win::ComPtr<IOleWindow> window;
        ASSERT_EQ(persist.As(window), S_OK);
        win::ComPtr<IUnknown> id1, id2;
        persist.As(id1);
        window.As(id2);
        EXPECT_EQ(id1.Get(), id2.Get()) << "one identity";
        win::ComPtr<IStream> none;
        EXPECT_EQ(persist.As(none), E_NOINTERFACE);
        EXPECT_EQ(none.Get(), nullptr);
        EXPECT_EQ(window->GetWindow(nullptr), E_OUTOFMEMORY) << "what a method throws is answered";
        EXPECT_EQ(window->ContextSensitiveHelp(TRUE), E_NOTIMPL);
        EXPECT_TRUE(trace.Contains(L"fixme: IOleWindow::ContextSensitiveHelp"));
        id1.Release();
        id2.Release();
        window.Release();
        EXPECT_EQ(persist.Detach()->Release(), 0u) << "the last reference";
    }
    EXPECT_EQ(call("DllCanUnloadNow"), S_OK);

    Counted outer;
    win::ComPtr<IUnknown> aggregated;
    EXPECT_EQ(CoCreateInstance(kClsidTestObject, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown, aggregated.PutVoid()),
              CLASS_E_NOAGGREGATION);

    {
        win::ComPtr<IClassFactory> factory;
        ASSERT_EQ(
            CoGetClassObject(kClsidTestObject, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.PutVoid()),
            S_OK);
        EXPECT_EQ(factory->LockServer(TRUE), S_OK);
        factory.Release();
        EXPECT_EQ(call("DllCanUnloadNow"), S_FALSE) << "a server lock keeps the module";
        ASSERT_EQ(
            CoGetClassObject(kClsidTestObject, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.PutVoid()),
            S_OK);
        EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    }
    EXPECT_EQ(call("DllCanUnloadNow"), S_OK);

    ASSERT_EQ(call("DllUnregisterServer"), S_OK);
    EXPECT_EQ(ClassesValue(clsidKey + L"\\InprocServer32"), L"<missing>");
    EXPECT_EQ(ClassesValue(TEST_PROGID L"\\CLSID"), L"<missing>");
    HKEY k = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, clsidKey.c_str(), 0, KEY_READ, &k), ERROR_SUCCESS);
    FreeLibrary(dll);
    CoUninitialize();
}

} // namespace
