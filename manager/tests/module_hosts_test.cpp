// Orvex's module windows under Wine, seen from outside its process: the module controls
// (Orvmods.dll: the backup, player and search controls and the remote-setup stand-in) and the viewer (Pellux.dll) registered with
// regsvr32, opened by the main window's commands (the player by the real pointer), the site they
// were handed read from the control's window text, closed from inside, switched, and the viewer
// showing the simulator's live pictures.
#include <winsock2.h>
#include <windows.h>
#include <winternl.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "ManagerSkin.h"
#include "ModuleHosts.h"
#include "OrvexIds.h"
#include "OrvexRun.h"
#include "Programs.h"
#include "TestKit.h"
#include "foundation/Messages.h"

#include <algorithm>
#include <set>

using namespace orvextest;

namespace {

constexpr const wchar_t* kSubstituteClass = L"OrvmodsSubstituteCtrl";
constexpr const wchar_t* kBackupClass = L"OrvmodsBackupCtrl"; // the backup control, on the same base
constexpr const wchar_t* kPlayerClass = L"OrvmodsPlayerCtrl"; // the real player
constexpr const wchar_t* kSearchClass = L"OrvmodsSearchCtrl"; // the real search
constexpr int kSubstituteClose = 1001; // the substitute's Close button
constexpr int kViewPane = 0xE900; // the viewer's view inside its control
constexpr WPARAM kCmdConnect = 1;

DWORD Regsvr32(const wchar_t* dll, const wchar_t* options = L"")
{
    return testkit::RunAndWait(L"regsvr32.exe /s " + std::wstring(options) + L"\"" + testkit::BesideMe(dll) + L"\"");
}

std::string SiteFile(int port, const std::string& address = "10.1.2.3")
{
    return "[SETUP_INFO]\r\nNUMBER=1\r\n[DVR1]\r\nTYPE=0\r\nIP=" + address + "\r\nPORT=" + std::to_string(port) +
        "\r\nID=admin\r\nPWD=1111\r\nDDNS_MEMBER=\r\nDDNS_NAME=\r\nLOCATION=Gate\r\n";
}

std::wstring Text(HWND w)
{
    wchar_t t[1024] = {};
    GetWindowTextW(w, t, 1024);
    return t;
}

// Every window of a process, hidden or not, top-level and child.
size_t WindowCount(DWORD pid)
{
    struct Count {
        DWORD pid;
        size_t n;
    } count{pid, 0};
    EnumWindows(
        [](HWND w, LPARAM lp) {
            auto* c = reinterpret_cast<Count*>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner != c->pid)
                return TRUE;
            ++c->n;
            EnumChildWindows(
                w, [](HWND, LPARAM n) { return ++*reinterpret_cast<size_t*>(n), TRUE; },
                reinterpret_cast<LPARAM>(&c->n));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.n;
}

// Handles of another process. Where GetProcessHandleCount answers 0 (Wine), the system's handle
// list is counted.
long Handles(HANDLE process, DWORD pid)
{
    DWORD n = 0;
    if (GetProcessHandleCount(process, &n) && n)
        return static_cast<long>(n);
    using Query = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    struct Entry {
        ULONG pid;
        UCHAR type, flags;
        USHORT value;
        void* object;
        ULONG access;
    };
    std::vector<BYTE> buffer(1 << 20);
    ULONG size = 0;
    while (query &&
           query(16 /* SystemHandleInformation */, buffer.data(), static_cast<ULONG>(buffer.size()), &size) ==
               static_cast<NTSTATUS>(0xC0000004L) /* length mismatch */
           && buffer.size() < (64u << 20))
        buffer.resize(buffer.size() * 2);
    if (!query || buffer.size() < sizeof(ULONG_PTR))
        return -1;
    const ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
    if (sizeof(ULONG_PTR) + static_cast<size_t>(count) * sizeof(Entry) > buffer.size())
        return -1;
    const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG_PTR));
    return static_cast<long>(std::count_if(entries, entries + count, [&](const Entry& e) { return e.pid == pid; }));
}

// GDI objects of another process. Where GetGuiResources answers nothing (Wine), the process's GDI
// handle table, which its PEB names (GdiSharedHandleTable) as on Windows, is counted directly.
long GdiObjects(HANDLE process)
{
    if (const DWORD n = GetGuiResources(process, GR_GDIOBJECTS))
        return static_cast<long>(n);
    using Query = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION info{};
    if (!query || query(process, ProcessBasicInformation, &info, sizeof info, nullptr) != 0)
        return -1;
    UINT64 table = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<BYTE*>(info.PebBaseAddress) + 0xF8, &table, sizeof table,
                           nullptr) ||
        !table)
        return -1;
    struct Entry {
        UINT64 object;
        ULONG owner;
        USHORT unique;
        UCHAR type; // 0: free
        UCHAR flags;
        UINT64 user;
    };
    static_assert(sizeof(Entry) == 24);
    std::vector<Entry> entries(0x10000);
    if (!ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(), entries.size() * sizeof(Entry),
                           nullptr))
        return -1;
    return static_cast<long>(std::count_if(entries.begin(), entries.end(), [](const Entry& e) { return e.type; }));
}

// The main window centred on the work area, as the manager places it.
bool Centred(HWND w)
{
    RECT r, work;
    GetWindowRect(w, &r);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + ((work.right - work.left) - (r.right - r.left)) / 2;
    const int y = work.top + ((work.bottom - work.top) - (r.bottom - r.top)) / 2;
    return r.left == x && r.top == y;
}

class ModuleHosts : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(Regsvr32(L"Orvmods.dll"), 0u);
        ASSERT_EQ(Regsvr32(L"Pellux.dll"), 0u);
    }

    void Start(const std::string& siteFile)
    {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_TRUE(run_.Start(Install("modules-" + name, siteFile)));
        main_ = run_.WaitMain();
        ASSERT_TRUE(main_);
    }

    void Command(int button) { PostMessageW(main_, WM_COMMAND, button, 0); }

    // Waits until the main window has handled everything posted to it so far (module-closed
    // notices among them): a posted About request comes after them, its box shows, and goes.
    void Flush()
    {
        PostMessageW(main_, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        HWND about = nullptr;
        ASSERT_TRUE(testkit::PumpUntil(
            [&] {
                for (HWND h : TopWindows(run_.Pid(), L"#32770"))
                    about = Text(h) == L"About Orvex" ? h : about;
                return about != nullptr;
            },
            10000));
        PostMessageW(about, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(testkit::PumpUntil([&] { return !IsWindow(about); }, 10000));
    }

    // The visible module windows, by title.
    std::vector<std::wstring> Hosts() const
    {
        std::vector<std::wstring> titles;
        for (HWND h : TopWindows(run_.Pid()))
            if (h != main_)
                titles.push_back(Text(h));
        return titles;
    }

    // Waits for module code's window, shown; null when it did not come.
    HWND WaitHost(int code)
    {
        const std::wstring title = manager::SkinName(static_cast<unsigned short>(code + 1));
        HWND found = nullptr;
        testkit::PumpUntil(
            [&] {
                for (HWND h : TopWindows(run_.Pid()))
                    found = h != main_ && Text(h) == title ? h : found;
                return found != nullptr;
            },
            15000);
        return found;
    }

    // The module control in `host`: a stand-in, the backup control, the player or the search.
    static HWND ModuleControl(HWND host)
    {
        for (const wchar_t* cls : {kSubstituteClass, kBackupClass, kPlayerClass, kSearchClass})
            if (HWND control = ChildOfClass(host, cls))
                return control;
        return nullptr;
    }

    // What the module control in `host` received, as it shows it (its window text).
    static std::wstring Received(HWND host)
    {
        HWND control = ModuleControl(host);
        return control ? Text(control) : L"<no control>";
    }

    // Idle: no module window, the main window enabled, shown and centred.
    bool Idle() const { return Hosts().empty() && IsWindowEnabled(main_) && IsWindowVisible(main_) && Centred(main_); }

    static std::wstring Given(const wchar_t* module, const wchar_t* portLine)
    {
        return std::wstring(module) + L" module\r\nAddress: 10.1.2.3\r\n" + portLine +
            L"\r\nUser: admin\r\nPassword: 4 characters\r\nSetAddr: called 1 time(s), answered TRUE\r\n";
    }
    static std::wstring NothingGiven(const wchar_t* module)
    {
        return std::wstring(module) +
            L" module\r\nAddress: (not given)\r\nPort: (not given)\r\nUser: (not given)\r\n"
            L"Password: (not given)\r\nSetAddr: not called\r\n";
    }

    OrvexProcess run_;
    HWND main_ = nullptr;
};

TEST_F(ModuleHosts, OneModuleAtATimeAndTheNvsClientEntryEndsIdle)
{
    Start(SiteFile(8000));
    Command(IDC_VIEWER);
    Command(IDC_VIEWER);
    ASSERT_TRUE(WaitHost(manager::kViewer));
    Flush();
    EXPECT_EQ(Hosts().size(), 1u) << "the viewer button twice";

    // Search, then the viewer: the search window goes, the old window's late notice leaves the new one.
    Command(IDC_SEARCH);
    ASSERT_TRUE(WaitHost(manager::kSearch));
    Command(IDC_VIEWER);
    ASSERT_TRUE(WaitHost(manager::kViewer));
    Flush();
    EXPECT_EQ(Hosts(), std::vector<std::wstring>{manager::SkinName(3)});

    Command(IDC_NVS_CLIENT);
    EXPECT_TRUE(testkit::PumpUntil([&] { return Idle(); }, 10000));
    Flush();
    EXPECT_TRUE(Idle());
    EXPECT_EQ(TopWindows(run_.Pid()).size(), 1u) << "no message";
    // Idle indeed: the same module opens again.
    Command(IDC_VIEWER);
    EXPECT_TRUE(WaitHost(manager::kViewer));

    // A module chosen right after the NVS client entry, before the closing notices of the windows
    // that entry closed arrive, stays open.
    Command(IDC_NVS_CLIENT);
    Command(IDC_SEARCH);
    HWND search = WaitHost(manager::kSearch);
    ASSERT_TRUE(search);
    Flush();
    EXPECT_EQ(Hosts(), std::vector<std::wstring>{manager::SkinName(6)});

    // The site list closes the open module before it shows.
    Command(IDC_SITE_SETUP);
    HWND list = WaitDialogWith(run_.Pid(), IDC_SITE_LIST);
    ASSERT_TRUE(list);
    EXPECT_FALSE(IsWindow(search) && IsWindowVisible(search));
    PostMessageW(list, WM_COMMAND, IDC_SITE_CANCEL, 0);
    ASSERT_TRUE(testkit::PumpUntil([&] { return !IsWindow(list); }, 10000));
    EXPECT_TRUE(Hosts().empty());

    // Exit with a module open ends the program, and well.
    Command(IDC_VIEWER);
    ASSERT_TRUE(WaitHost(manager::kViewer));
    Command(IDC_EXIT);
    EXPECT_EQ(run_.WaitExit(15000), 0u);
}

TEST_F(ModuleHosts, EachControlGetsTheSiteInItsTypeThePlayerNoneAndClosingFromInsideEndsIdle)
{
    Start(SiteFile(8000));
    // The player is allowed from the start: the real pointer on its button.
    Pointer(Centre(run_.ItemRect(IDC_PLAYER)), "click 1");
    HWND host = WaitHost(manager::kPlayer);
    ASSERT_TRUE(host);
    EXPECT_EQ(Received(host), NothingGiven(L"Player"));
    RECT client{}, holder{}; // the control's holder is as large as the window, not 1024 x 768
    GetClientRect(host, &client);
    GetWindowRect(GetParent(ModuleControl(host)), &holder);
    EXPECT_EQ(holder.right - holder.left, client.right);
    EXPECT_EQ(holder.bottom - holder.top, client.bottom);

    // Its Close button, with the real pointer, from a main window moved off its centre.
    RECT m;
    GetWindowRect(main_, &m);
    SetWindowPos(main_, nullptr, m.left - 40, m.top - 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(testkit::PumpUntil([&] { return !Centred(main_); }, 5000));
    RECT close{};
    testkit::Screenshot("orvex-module-player");
    GetWindowRect(GetDlgItem(ModuleControl(host), kSubstituteClose), &close);
    Pointer(Centre(close), "click 1");
    EXPECT_TRUE(testkit::PumpUntil([&] { return Idle(); }, 10000)) << "closed from inside";

    const struct {
        int button, code;
        std::wstring expected;
    } cases[] = {
        {IDC_REMOTE_SETUP, manager::kRemoteSetup, Given(L"Remote setup", L"Port: 8000 (VT_UI4)")},
        {IDC_BACKUP, manager::kBackup, Given(L"Backup", L"Port: 8000 (VT_BSTR)")},
        {IDC_SEARCH, manager::kSearch, Given(L"Search", L"Port: 8000 (VT_BSTR)")},
    };
    for (const auto& c : cases) {
        Command(c.button);
        host = WaitHost(c.code);
        ASSERT_TRUE(host) << c.code;
        EXPECT_EQ(Received(host), c.expected);
    }
    testkit::Screenshot("orvex-module-search");

    // The search control's key, F8, with the focus in the control.
    RECT r;
    GetWindowRect(ChildOfClass(host, kSearchClass), &r);
    Pointer({r.left + 300, r.top + 10}, "click 1");
    Keys("F8");
    EXPECT_TRUE(testkit::PumpUntil([&] { return Idle(); }, 10000)) << "closed by its key";
}

TEST_F(ModuleHosts, AnOutOfRangePortLeavesLaterControlsWithoutSiteData)
{
    Start(SiteFile(0));
    for (int code : {manager::kBackup, manager::kSearch}) {
        Command(code == manager::kBackup ? IDC_BACKUP : IDC_SEARCH);
        HWND host = WaitHost(code);
        ASSERT_TRUE(host);
        EXPECT_EQ(Received(host), NothingGiven(code == manager::kBackup ? L"Backup" : L"Search"));
    }
}

TEST_F(ModuleHosts, AControlThatIsNotRegisteredClosesItsWindowAtOnceWithoutAMessage)
{
    Start(SiteFile(8000));
    ASSERT_EQ(Regsvr32(L"Orvmods.dll", L"/u "), 0u);
    struct Reregister {
        ~Reregister() { Regsvr32(L"Orvmods.dll"); }
    } reregister;
    Command(IDC_SEARCH);
    Flush();
    EXPECT_TRUE(testkit::PumpUntil([&] { return Idle(); }, 10000));
    EXPECT_EQ(TopWindows(run_.Pid()).size(), 1u) << "no message";
}

// The viewer's recordings folder set to `folder` while it lives (the player opens what is there).
class RecordingsFolder {
public:
    explicit RecordingsFolder(const std::string& folder)
    {
        GetPrivateProfileStringW(L"Recording", L"Folder", L"", kept_, MAX_PATH, kFile);
        CreateDirectoryW(L"C:/Program Files/Orvex", nullptr);
        WritePrivateProfileStringW(L"Recording", L"Folder", testkit::W(testkit::WinPath(folder)).c_str(), kFile);
    }
    ~RecordingsFolder() { WritePrivateProfileStringW(L"Recording", L"Folder", kept_[0] ? kept_ : nullptr, kFile); }
    RecordingsFolder(const RecordingsFolder&) = delete;
    RecordingsFolder& operator=(const RecordingsFolder&) = delete;

private:
    static constexpr wchar_t kFile[] = L"C:/Program Files/Orvex/ViewRecord.ini";
    wchar_t kept_[MAX_PATH] = {};
};

TEST_F(ModuleHosts, TenOpenCloseCyclesOfEachModuleLeaveNoHandlesWindowsOrGdiObjects)
{
    // Recordings of four cameras: the player shows each camera's first picture every time it opens.
    const std::string store = std::string(PX_WORK_DIR) + "/modules-store";
    ASSERT_TRUE(testkit::RunUnixAndWait("rm -rf " + store + " && " + PX_NATIVE_TREE + "/bin/dvrtool sample-store --store " +
                                            store + " --address 10.9.8.7 --port 5000 --cameras 1,2,3,4 --seconds 2 " +
                                            "--start 1700000000 >/dev/null",
                                        30000));
    const RecordingsFolder recordings(store);
    Start(SiteFile(8000));
    win::KernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, run_.Pid()));
    ASSERT_TRUE(process);
    struct Figures {
        long handles = 0;
        size_t windows = 0;
        long gdi = 0;
    };
    auto measure = [&] {
        Figures f;
        f.handles = Handles(process.Get(), run_.Pid());
        f.windows = WindowCount(run_.Pid());
        f.gdi = GdiObjects(process.Get());
        return f;
    };
    Pointer({0, 0}); // no help balloon comes and goes meanwhile
    // Two rounds first: what stays loaded after the first use of each control (its DLL, its classes,
    // the skin's shared objects) is not a leak.
    const int buttons[] = {IDC_REMOTE_SETUP, IDC_VIEWER, IDC_BACKUP, IDC_PLAYER, IDC_SEARCH, IDC_NVS_CLIENT};
    auto cycle = [&](int button) {
        Command(button);
        Command(IDC_NVS_CLIENT); // closes it, and ends idle
        Flush();
        ASSERT_TRUE(testkit::PumpUntil([&] { return Idle(); }, 10000)) << button;
    };
    for (int round = 0; round < 2; ++round)
        for (int b : buttons)
            cycle(b);
    const Figures before = measure();
    ASSERT_GT(before.gdi, 0) << "the GDI objects could not be counted";
    ASSERT_GT(before.handles, 0) << "the handles could not be counted";
    for (int round = 0; round < 10; ++round)
        for (int b : buttons)
            cycle(b);
    const Figures after = measure();
    std::printf("after 2 and 12 rounds of the six modules: handles %ld -> %ld, windows %zu -> %zu, GDI objects %ld -> "
                "%ld\n",
                before.handles, after.handles, before.windows, after.windows, before.gdi, after.gdi);
    // A fixed slack, far below one object per cycle (60 cycles).
    EXPECT_LE(after.handles, before.handles + 5);
    EXPECT_LE(after.windows, before.windows);
    EXPECT_LE(after.gdi, before.gdi + 5);
}

// ---- the viewer against the simulator ----

// The display's client area on the screen.
RECT DisplayOnScreen(HWND display)
{
    RECT c{};
    GetClientRect(display, &c);
    POINT o{0, 0};
    ClientToScreen(display, &o);
    return {o.x, o.y, o.x + c.right, o.y + c.bottom};
}

// How many of the display's 16 cells show a camera picture in their middle half: many colours,
// where an empty cell has its fill and at most a line of text.
int CellsWithPictures(HWND display)
{
    const RECT all = DisplayOnScreen(display);
    const int width = all.right - all.left, height = all.bottom - all.top;
    const auto px = ScreenPixels(all);
    if (px.size() < static_cast<size_t>(width) * height)
        return 0; // gone meanwhile
    const int w = width / 4, h = height / 4;
    int n = 0;
    for (int i = 0; i < 16; ++i) {
        const int left = (i % 4) * w, top = (i / 4) * h;
        std::set<uint32_t> colours;
        for (int y = top + h / 4; y < top + 3 * h / 4; ++y)
            for (int x = left + w / 4; x < left + 3 * w / 4; ++x)
                colours.insert(px[static_cast<size_t>(y) * width + x]);
        n += colours.size() > 64;
    }
    return n;
}

class ModuleHostsLive : public ModuleHosts {
protected:
    void SetUp() override
    {
        WSADATA wsa;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
        port_ = testkit::FreePort();
        // The viewer's stored settings of earlier tests (a table with fewer channels, say) would
        // decide what it asks for: it starts from its defaults here.
        DeleteFileW(L"C:/Program Files/Orvex/ViewSetup.dat");
        // PX_SIM_EXTRA: more simulator options for the figures (--no-audio, say).
        const char* extra = std::getenv("PX_SIM_EXTRA");
        ASSERT_TRUE(sim_.Start(port_, std::string("--channels 16 --video cif ") + (extra ? extra : "")));
        Start(SiteFile(port_, "127.0.0.1"));
    }
    void TearDown() override
    {
        sim_.Kill();
        WSACleanup();
    }

    // Opens the viewer by the posted command and presses its Connect; its display, once shown.
    HWND OpenAndConnect()
    {
        Command(IDC_VIEWER);
        HWND view = nullptr, display = nullptr;
        testkit::PumpUntil(
            [&] {
                for (HWND h : TopWindows(run_.Pid())) {
                    HWND control = h == main_ ? nullptr : GetWindow(GetDlgItem(h, 2002), GW_CHILD);
                    if (control && GetDlgItem(control, kViewPane) && ChildOfClass(h, L"DisplayManager")) {
                        view = GetDlgItem(control, kViewPane);
                        display = ChildOfClass(h, L"DisplayManager");
                    }
                }
                // Shown, blank: no picture left on the screen from before counts as a live one.
                return display && IsWindowVisible(display) && CellsWithPictures(display) == 0;
            },
            20000, testkit::Check::EachWake);
        if (view)
            PostMessageW(view, WM_VIEW_COMMAND, kCmdConnect, 0);
        return display;
    }

    testkit::Simulator sim_{"dvrsim-orvex-modules"};
    int port_ = 0;
};

TEST_F(ModuleHostsLive, TheViewerShowsTheSimulatorsMovingPicturesInsideItsWindow)
{
    HWND display = OpenAndConnect();
    ASSERT_TRUE(display);
    ASSERT_TRUE(testkit::PumpUntil([&] { return CellsWithPictures(display) == 16; }, 30000, testkit::Check::EachWake))
        << "16 cameras";
    const RECT area = DisplayOnScreen(display);
    const auto before = ScreenPixels(area);
    testkit::PumpFor(1000);
    const auto after = ScreenPixels(area);
    size_t changed = 0;
    for (size_t i = 0; i < before.size() && i < after.size(); ++i)
        changed += before[i] != after[i];
    EXPECT_GT(changed, before.size() / 100) << "the pictures move";
    const std::string shot = testkit::Screenshot("orvex-viewer-live");
    ASSERT_FALSE(shot.empty());
    testkit::RunUnixAndWait("mkdir -p '" PX_OUT_DIR "' && cp '" + shot + "' '" PX_OUT_DIR "/orvex-viewer-live.png'");
}

// Figures for the notes: orvex_modules_test --gtest_also_run_disabled_tests --gtest_filter=*Figures*
TEST_F(ModuleHostsLive, DISABLED_FiguresTimeFromTheViewerCommandToTheFirstAndAllSixteenPictures)
{
    constexpr int kRuns = 5;
    // [open][0 display shown, 1 first picture, 2 all 16], ms from the posted command
    std::vector<double> ms[2][3];
    auto since = [](const LARGE_INTEGER& t0) {
        LARGE_INTEGER now, f;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&f);
        return 1000.0 * static_cast<double>(now.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart);
    };
    const std::wstring folder = Install("modules-figures", SiteFile(port_, "127.0.0.1"));
    for (int run = 0; run < kRuns; ++run) {
        if (run > 0) { // a fresh process: the first open loads the viewer's DLLs
            PostMessageW(main_, WM_COMMAND, IDC_EXIT, 0);
            ASSERT_EQ(run_.WaitExit(10000), 0u);
            ASSERT_TRUE(run_.Start(folder));
            ASSERT_TRUE(main_ = run_.WaitMain());
        }
        for (int open = 0; open < 2; ++open) {
            LARGE_INTEGER t0;
            QueryPerformanceCounter(&t0);
            HWND display = OpenAndConnect();
            ASSERT_TRUE(display) << "run " << run << " open " << open;
            ms[open][0].push_back(since(t0));
            const bool seen =
                testkit::PumpUntil([&] { return CellsWithPictures(display) > 0; }, 30000, testkit::Check::EachWake);
            ASSERT_TRUE(seen) << "run " << run << " open " << open;
            ms[open][1].push_back(since(t0));
            ASSERT_TRUE(
                testkit::PumpUntil([&] { return CellsWithPictures(display) == 16; }, 30000, testkit::Check::EachWake));
            ms[open][2].push_back(since(t0));
            Command(IDC_NVS_CLIENT);
            Flush(); // the viewer's control gone
            ASSERT_TRUE(Idle());
        }
    }
    for (int open = 0; open < 2; ++open) {
        std::printf("%s open, median of %d (min-max), ms from the posted viewer command:\n",
                    open ? "second (DLLs loaded)" : "first", kRuns);
        const char* what[] = {"viewer shown, Connect posted", "first live picture", "all 16 pictures"};
        for (int k = 0; k < 3; ++k) {
            auto v = ms[open][k];
            std::sort(v.begin(), v.end());
            std::printf("  %-30s %6.0f (%.0f-%.0f)\n", what[k], v[v.size() / 2], v.front(), v.back());
        }
    }
}

} // namespace
