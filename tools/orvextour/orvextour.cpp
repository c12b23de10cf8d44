// The demo's tour of Orvex, as a person takes it with the real pointer and keyboard (xdotool): the
// site list, the login, the viewer with live video of 16 cameras, 4 pictures, audio channel 2, PTZ
// up, 16 pictures again and a recording of them (Ctrl+R) into the viewer's recordings folder, the
// player playing it back, the search module with that day's motion events, the remote setup (the
// DVR's figures), the viewer again, exit. Each step is checked where a person would see it
// (windows, moving pictures, what the speakers play) and in the simulator's log, and photographed.
//
//   orvextour --folder WINDIR --sim-log UNIXFILE --out UNIXDIR [--password TEXT]
//
// The viewer's panel buttons are drawn inside its view window, not separate windows: their places
// come from the viewer skin's own rectangle table, mapped through the view window found in Orvex.
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "LumbrelTable.h"
#include "OrvexIds.h"
#include "Catalogue.h"
#include "Format.h"
#include "Layout.h"
#include "OrvexRun.h"
#include "TestKit.h"
#include "foundation/Utf8.h"
#include <commctrl.h>
#include <shlobj.h>

using namespace orvextest;

namespace {

// View commands of the viewer's panel buttons, and skin rectangles of its view.
constexpr unsigned short kConnect = 1, kFourPictures = 20, kSixteenPictures = 25, kPtzUp = 26, kAudio2 = 65, kSetup = 96,
                         kDisplayRect = 0xF001;
// The viewer's setup dialog: its "Enable Audio" box.
constexpr int kEnableAudio = 520;
// Items of the module windows: the viewer's, the player's, the search's and the remote setup's
// control wrappers; the view's status list; the player's site list; the search's notice,
// sensitivity and event list.
constexpr int kViewerItem = 2002, kPlayerItem = 2004, kSearchItem = 2006, kRemoteSetupItem = 2005, kViewStatus = 211,
              kPlayerSites = 1010, kSearchNotice = 1023, kSearchSensitivity = 1021, kSearchEvents = 1022,
              kSearchCalendar = 1024, kSearchTimeline = 1013;
// The recording the tour makes: this long of camera 1 in the store (all 16 cameras are recorded).
constexpr int64_t kRecordMs = 6000;

struct Options {
    std::wstring folder;
    std::string simLog, out, password = "1111";
};

// A rectangle of the viewer skin in screen coordinates of view window `view`.
RECT ViewRect(HWND view, unsigned short id)
{
    skin::SkinRect s{};
    if (!skin::lumbrel::Rect(id, &s))
        return {};
    RECT r{s.left, s.top, s.right, s.bottom};
    MapWindowPoints(view, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Dominant frequencies (Hz, by zero crossings) of the loud 100 ms windows of a 16-bit mono 8 kHz WAV.
std::vector<double> Frequencies(const std::string& wav)
{
    std::vector<double> out;
    const size_t data = wav.find("data");
    if (data == std::string::npos)
        return out;
    const size_t first = data + 8, count = (wav.size() - std::min(wav.size(), first)) / 2;
    auto sample = [&](size_t i) {
        const auto* p = reinterpret_cast<const unsigned char*>(wav.data() + first + 2 * i);
        return static_cast<int16_t>(p[0] | p[1] << 8);
    };
    constexpr size_t kWindow = 800;
    for (size_t w = 0; w + kWindow <= count; w += kWindow) {
        double energy = 0;
        int crossings = 0;
        for (size_t i = w; i < w + kWindow; ++i) {
            energy += double(sample(i)) * sample(i);
            crossings += i > w && (sample(i) < 0) != (sample(i - 1) < 0);
        }
        if (std::sqrt(energy / kWindow) > 1000)
            out.push_back(crossings / 2.0 / 0.1);
    }
    return out;
}

class Tour {
public:
    explicit Tour(Options o) : o_(std::move(o)) {}

    int Run()
    {
        bool whole = Walk();
        Summary();
        whole = whole && failures_ == 0;
        if (covered_ || clipped_)
            std::printf(
                "Layout faults met on the way: %d main window buttons under a module's window, %d viewer buttons "
                "cut off by the viewer's window\n",
                covered_, clipped_);
        std::printf("Orvex tour: %s (%d steps, %d failed checks, %.1f s)\n", whole ? "complete" : "INCOMPLETE", step_,
                    failures_, (GetTickCount() - started_) / 1000.0);
        return whole ? 0 : 1;
    }

private:
    bool Walk()
    {
        if (!run_.Start(o_.folder) || !run_.WaitMain())
            return Fail("Orvex did not show its main window");
        Step("main", "Orvex's main window, its first site preselected");

        HWND list = OpenSiteList(run_);
        if (!list || Rows(list) < 1)
            return Fail("no site list with the simulator's site");
        ClickRow(list, 0);
        Step("site-list", "the site list, the simulator's site selected");

        Click(list, IDC_SITE_SELECT);
        HWND login = WaitDialogWith(run_.Pid(), 2074);
        if (!login)
            return Fail("no login dialog");
        Click(login, 2074);
        testkit::RunUnixAndWait("xdotool type --delay 20 '" + o_.password + "'");
        Check(testkit::PumpUntil([&] { return Text(login, 2074).size() == o_.password.size(); }, 3000),
              "the password typed into the login dialog");
        Step("login", "the login dialog, the password typed");
        Click(login, 2076);
        Check(testkit::PumpUntil([&] { return !IsWindow(login) && !IsWindow(list); }, 10000),
              "the login accepted, the site list closed");
        Check(!LogLines("cmd 1 login id=admin password=" + o_.password).empty(), "the DVR saw the admin's login");

        const size_t beforeViewer = LogSize();
        HWND view = OpenViewer();
        if (!view)
            return false;
        Connect(view, beforeViewer);
        Check(WaitLive(view, 4), "16 live pictures: each of the 16 moves between two looks");
        Check(!LogLines("channel-request mask=0x0000ffff", beforeViewer).empty(),
              "the viewer asked for all 16 channels");
        Step("viewer", "the viewer, Connect pressed: live video of 16 cameras");
        testkit::RunUnixAndWait("cp '" + Shot(step_, "viewer") + "' '" + o_.out + "/demo-orvex-viewer.png'");
        EnableAudio(view, beforeViewer);
        // The sound starts some time after the viewer reconnects for the new setting (about 1.2 s
        // here): listened to long enough to hear the tone whole windows.
        const std::vector<double> before = Listen("audio-1", "3");

        size_t mark = LogSize();
        Press(view, kFourPictures, "click 1");
        Check(WaitLog("channel-request mask=0x0000000f", mark), "4 pictures: the viewer asked for channels 1-4");
        // The new layout's quality reconfigures the DVR and the viewer reconnects: the pictures are
        // looked at again once that has settled.
        Check(WaitLive(view, 2) && (testkit::PumpFor(1500), WaitLive(view, 2)), "4 live pictures");
        Step("four-pictures", "4 pictures");

        Press(view, kAudio2, "click 1");
        const std::vector<double> after = Listen("audio-2", "2.5");
        Check(Tone(before) && Sweep(after),
              "audio channel 2: the sound went from channel 1's steady tone to channel 2's rising sweep (" +
                  Describe(before) + " -> " + Describe(after) + ")");
        Step("audio-2", "audio channel 2 chosen");

        mark = LogSize();
        Press(view, kPtzUp, "mousedown 1 sleep 0.5 mouseup 1");
        Check(WaitLog("means=stop", mark) && !LogLines("means=up", mark).empty(),
              "PTZ up: the DVR got up while the button was held, then stop");
        Step("ptz-up", "PTZ up pressed");

        const std::string site = Record(view);
        HWND player = site.empty() ? nullptr : PlayBack(view, site);

        Reach(IDC_SEARCH, player ? player : view);
        Pointer(Centre(run_.ItemRect(IDC_SEARCH)), "click 1");
        HWND search = WaitDialogWith(run_.Pid(), kSearchItem);
        Check(search != nullptr, "the search module's window opened");
        Check(testkit::PumpUntil([&] { return !IsWindowVisible(view) && (!player || !IsWindowVisible(player)); }, 5000),
              "the viewer's and the player's windows are gone");
        if (search && !site.empty())
            SearchEvents(search);
        Step("search", "the search module: the recorded day's motion events, the first one playing");

        if (search)
            Reach(IDC_REMOTE_SETUP, search);
        mark = LogSize();
        Pointer(Centre(run_.ItemRect(IDC_REMOTE_SETUP)), "click 1");
        HWND remote = WaitDialogWith(run_.Pid(), kRemoteSetupItem);
        Check(remote != nullptr, "the remote setup module's window opened");
        Check(WaitLog("cmd 1 login id=admin", mark) && WaitLog("cmd 51 ", mark),
              "the remote setup logged in through the viewer's connection and asked for the channels");
        testkit::PumpFor(2500); // its figures cover the last second
        Step("remote-setup", "the remote setup: the DVR's rights, channels, cameras and time");

        if (remote)
            Reach(IDC_VIEWER, remote);
        HWND again = OpenViewer();
        if (!again)
            return false;
        Check(!remote || testkit::PumpUntil([&] { return !IsWindowVisible(remote); }, 5000),
              "the remote setup module closed");
        Connect(again, LogSize());
        Check(WaitLive(again, 4), "back in the viewer: 16 live pictures again");
        Step("viewer-again", "back in the viewer, connected again");

        Reach(IDC_EXIT, GetAncestor(again, GA_ROOT));
        Pointer(Centre(run_.ItemRect(IDC_EXIT)), "click 1");
        Check(run_.WaitExit(10000) != STILL_ACTIVE, "Orvex ended by its exit button");
        Step("exit", "Orvex gone");
        return true;
    }

    // A main window button as a person finds it: when the open module's window lies over it, the
    // person closes that window first with the keyboard (Alt+F4), and the tour says so.
    void Reach(int button, HWND module)
    {
        const POINT c = Centre(run_.ItemRect(button));
        if (GetAncestor(WindowFromPoint(c), GA_ROOT) == run_.Main())
            return;
        ++covered_;
        std::printf(
            "      note   the main window's button %d lies under the module's window: closed with Alt+F4 first\n",
            button);
        Keys("alt+F4");
        Check(testkit::PumpUntil([&] { return !IsWindowVisible(module); }, 5000) &&
                  GetAncestor(WindowFromPoint(c), GA_ROOT) == run_.Main(),
              "the module's window closed, the button within reach");
    }

    // The site's port, from Orvex's site file.
    std::string SitePort() const
    {
        wchar_t port[16] = {};
        GetPrivateProfileStringW(L"DVR1", L"PORT", L"", port, 16, (o_.folder + L"CONFIG\\H264Site.ini").c_str());
        return win::Utf8(port);
    }

    // The folder the viewer records into, as the player and the search find it.
    static std::wstring RecordingsFolder()
    {
        wchar_t chosen[MAX_PATH] = {};
        GetPrivateProfileStringW(L"Recording", L"Folder", L"", chosen, MAX_PATH, L"C:/Program Files/Orvex/ViewRecord.ini");
        if (chosen[0])
            return chosen;
        wchar_t videos[MAX_PATH] = {};
        return SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_MYVIDEO, nullptr, 0, videos)) ? std::wstring(videos) + L"\\Orvex"
                                                                                       : std::wstring();
    }

    // How long camera 1 is recorded in the site's store (ms of its latest day's spans).
    static int64_t Recorded(const std::string& site)
    {
        const store::Catalogue cat(site);
        const std::vector<uint32_t> days = cat.Days();
        int64_t ms = 0;
        for (const store::Span& s : days.empty() ? std::vector<store::Span>() : cat.Spans(0, days.back()))
            ms += s.endMs - s.startMs;
        return ms;
    }

    // The view's status lines.
    static std::vector<std::wstring> StatusLines(HWND view)
    {
        std::vector<std::wstring> lines;
        const LRESULT n = SendDlgItemMessageW(view, kViewStatus, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) {
            wchar_t text[512] = {};
            if (SendDlgItemMessageW(view, kViewStatus, LB_GETTEXTLEN, WPARAM(i), 0) < 511 &&
                SendDlgItemMessageW(view, kViewStatus, LB_GETTEXT, WPARAM(i), LPARAM(text)) >= 0)
                lines.push_back(text);
        }
        return lines;
    }
    static bool Logged(HWND view, const std::wstring& text, size_t from)
    {
        const std::vector<std::wstring> lines = StatusLines(view);
        for (size_t i = from; i < lines.size(); ++i)
            if (lines[i].find(text) != std::wstring::npos)
                return true;
        return false;
    }

    // Ctrl+R in the viewer records every camera until the store holds kRecordMs of camera 1; Ctrl+R
    // again stops. The site's folder in the store, or "" when nothing was recorded.
    std::string Record(HWND view)
    {
        const std::wstring root = RecordingsFolder();
        const std::string port = SitePort();
        if (!Check(!root.empty() && !port.empty(), "the viewer's recordings folder and the site's port known"))
            return {};
        const std::string site =
            store::JoinPath(win::Utf8(root), store::SiteFolderName("127.0.0.1", uint16_t(std::stoi(port))));
        // All 16 cameras again, so that the player has 16 to play back.
        const size_t mark = LogSize();
        Press(view, kSixteenPictures, "click 1");
        Check(WaitLog("channel-request mask=0x0000ffff", mark), "16 pictures: the viewer asked for all 16 channels");
        Check(WaitLive(view, 4) && (testkit::PumpFor(1500), WaitLive(view, 4)), "16 live pictures before recording");
        const int64_t before = Recorded(site);
        size_t lines = StatusLines(view).size();
        // The keys reach the view while something of it has the keyboard: its status list.
        RECT list{};
        GetWindowRect(GetDlgItem(view, kViewStatus), &list);
        Pointer(Centre(list), "click 1");
        Keys("ctrl+r");
        Check(testkit::PumpUntil([&] { return Logged(view, L"Recording every camera the DVR sends", lines); }, 10000,
                                 testkit::Check::EachWake),
              "Ctrl+R: the viewer says it records every camera");
        const bool grew = Check(testkit::PumpUntil([&] { return Recorded(site) >= before + kRecordMs; }, 30000),
                                "the store holds " + std::to_string(kRecordMs / 1000) + " s more of camera 1 in " + site);
        Step("recording", "the viewer recording (REC under each camera's title)");
        lines = StatusLines(view).size();
        Keys("ctrl+r");
        Check(testkit::PumpUntil([&] { return Logged(view, L"Recording stopped", lines); }, 10000,
                                 testkit::Check::EachWake),
              "Ctrl+R again: the viewer says the recording stopped");
        return grew ? site : std::string();
    }

    // The player module on the site just recorded: K plays it and the pictures move.
    HWND PlayBack(HWND view, const std::string& site)
    {
        Reach(IDC_PLAYER, view);
        Pointer(Centre(run_.ItemRect(IDC_PLAYER)), "click 1");
        HWND player = WaitDialogWith(run_.Pid(), kPlayerItem);
        if (!Check(player != nullptr, "the player module's window opened"))
            return nullptr;
        HWND control = nullptr, display = nullptr, sites = nullptr;
        testkit::PumpUntil(
            [&] {
                control = ChildOfClass(player, L"OrvmodsPlayerCtrl");
                sites = control ? GetDlgItem(control, kPlayerSites) : nullptr;
                display = control ? FindWindowExW(control, nullptr, nullptr, L"DISPLAY") : nullptr;
                return sites && display && IsWindowVisible(display) && SendMessageW(sites, CB_GETCOUNT, 0, 0) > 0;
            },
            10000);
        if (!Check(sites && display, "the player lists the recorded sites"))
            return player;
        // The viewer's folder may hold other sites: the one just recorded is chosen in the list.
        const std::wstring name = L"127.0.0.1:" + win::FromUtf8(SitePort());
        if (SendMessageW(sites, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(name.c_str())) !=
            SendMessageW(sites, CB_GETCURSEL, 0, 0)) {
            SendMessageW(sites, CB_SELECTSTRING, WPARAM(-1), LPARAM(name.c_str()));
            SendMessageW(control, WM_COMMAND, MAKEWPARAM(kPlayerSites, CBN_SELCHANGE), LPARAM(sites));
            std::printf("      note   the player's site list: %s chosen\n", win::Utf8(name).c_str());
        }
        RECT d{};
        GetWindowRect(display, &d);
        Pointer(Centre(d), "click 1");
        Keys("k");
        Check(Moving(d), "K: the player plays the recording back, its pictures move");
        Step("player", "the player playing back what the viewer recorded (" + site.substr(site.find_last_of("/\\") + 1) + ")");
        Keys("k");
        return player;
    }

    // The search opens on the latest day (the one just recorded) with its motion events; when the
    // default sensitivity finds none, the sensitivity goes to its most (End on the trackbar).
    void SearchEvents(HWND search)
    {
        HWND control = nullptr;
        std::string notice;
        testkit::PumpUntil(
            [&] {
                control = ChildOfClass(search, L"OrvmodsSearchCtrl");
                notice = control ? Text(control, kSearchNotice) : "";
                return notice.find("camera(s) recorded") != std::string::npos;
            },
            10000);
        if (!Check(notice.find("camera(s) recorded") != std::string::npos, "the search opens the recorded day: " + notice))
            return;
        if (notice.find("no motion") != std::string::npos) {
            RECT t{};
            GetWindowRect(GetDlgItem(control, kSearchSensitivity), &t);
            Pointer(Centre(t), "click 1 key End");
            testkit::PumpUntil([&] { return Text(control, kSearchNotice).find("no motion") == std::string::npos; }, 5000);
            notice = Text(control, kSearchNotice);
        }
        const LRESULT events = SendDlgItemMessageW(control, kSearchEvents, LVM_GETITEMCOUNT, 0, 0);
        Check(events > 0 && notice.find("motion event(s)") != std::string::npos,
              "the day's motion events listed (" + std::to_string(events) + "): " + notice);
        // A double click on the first event plays the day from there: the pictures move.
        const HWND list = GetDlgItem(control, kSearchEvents), display = FindWindowExW(control, nullptr, nullptr, L"DISPLAY");
        RECT rows{}, header{}, pictures{};
        if (list && display && events > 0 && GetWindowRect(list, &rows) && GetWindowRect(display, &pictures)) {
            const HWND head = GetWindow(list, GW_CHILD);
            const int top = head && GetWindowRect(head, &header) ? header.bottom : rows.top + 20;
            Pointer({rows.left + 30, top + 6}, "click --repeat 2 --delay 60 1");
            Check(Moving(pictures), "a double click on the first event plays the day from there: the pictures move");
        }
        // The calendar, the pictures and the lanes drawn.
        auto drawn = [](HWND w) {
            RECT r{};
            if (!w || !GetWindowRect(w, &r))
                return false;
            const auto px = ScreenPixels(r);
            return !px.empty() && std::any_of(px.begin(), px.end(), [&](uint32_t p) { return p != px[0]; });
        };
        Check(testkit::PumpUntil(
                  [&] {
                      return drawn(GetDlgItem(control, kSearchCalendar)) && drawn(GetDlgItem(control, kSearchTimeline)) &&
                          drawn(FindWindowExW(control, nullptr, nullptr, L"DISPLAY"));
                  },
                  10000, testkit::Check::EachWake),
              "the search shows its calendar, the day's pictures and its lanes");
    }

    // True once the screen rectangle's pixels change within 300 ms.
    bool Moving(const RECT& r)
    {
        return testkit::PumpUntil(
            [&] {
                const auto a = ScreenPixels(r);
                testkit::PumpFor(300);
                return a != ScreenPixels(r);
            },
            10000, testkit::Check::EachWake);
    }

    // Connect pressed once the view has logged its start texts; true when the DVR saw the login.
    bool Connect(HWND view, size_t mark)
    {
        testkit::PumpUntil([&] { return SendDlgItemMessageW(view, 211, LB_GETCOUNT, 0, 0) >= 2; }, 5000);
        Press(view, kConnect, "click 1");
        return Check(WaitLog("cmd 1 login id=admin", mark), "Connect pressed: the viewer logged in to the DVR");
    }

    // "Enable Audio" ticked in the viewer's setup (kept in its stored settings from then on).
    void EnableAudio(HWND view, size_t mark0)
    {
        Press(view, kSetup, "click 1");
        HWND setup = WaitDialogWith(run_.Pid(), kEnableAudio);
        if (!Check(setup != nullptr, "the viewer's setup dialog opened"))
            return;
        if (SendDlgItemMessageW(setup, kEnableAudio, BM_GETCHECK, 0, 0) != BST_CHECKED)
            Click(setup, kEnableAudio);
        Check(SendDlgItemMessageW(setup, kEnableAudio, BM_GETCHECK, 0, 0) == BST_CHECKED, "Enable Audio ticked");
        Step("setup", "the viewer's setup, Enable Audio ticked");
        Click(setup, IDOK);
        Check(testkit::PumpUntil(
                  [&] {
                      const auto requests = LogLines("cmd 51 ", mark0);
                      return !IsWindowVisible(setup) && !requests.empty() &&
                          requests.back().find("audio=1") != std::string::npos;
                  },
                  5000, testkit::Check::EachWake),
              "the viewer asks the DVR for its audio");
    }

    HWND OpenViewer()
    {
        Pointer(Centre(run_.ItemRect(IDC_VIEWER)), "click 1");
        HWND host = WaitDialogWith(run_.Pid(), kViewerItem);
        if (!host) {
            Fail("the viewer's window did not open");
            return nullptr;
        }
        HWND view = nullptr;
        testkit::PumpUntil([&] { return (view = ChildOfClass(host, L"DVRScreenView")) && IsWindowVisible(view); },
                           10000);
        if (!view)
            Fail("no view inside the viewer's window");
        return view;
    }

    // The real pointer on the viewer's panel button of view command `command`; a button that the
    // module's window cuts off is noted (its centre must still show).
    void Press(HWND view, unsigned short command, const std::string& action)
    {
        const RECT r = ViewRect(view, command);
        HWND root = GetAncestor(view, GA_ROOT);
        auto shows = [&](POINT p) { return GetAncestor(WindowFromPoint(p), GA_ROOT) == root; };
        if (!shows(Centre(r)))
            Check(false, "the viewer's button " + std::to_string(command) + " shows in the viewer's window");
        else if (!shows({r.left, r.top}) || !shows({r.right - 1, r.bottom - 1}))
            ++clipped_;
        Pointer(Centre(r), action);
    }

    // True when every cell of the display's grid x grid split shows a changing picture.
    bool WaitLive(HWND view, int grid)
    {
        auto sample = [&] {
            const RECT d = ViewRect(view, kDisplayRect);
            std::vector<std::vector<uint32_t>> cells;
            for (int row = 0; row < grid; ++row)
                for (int col = 0; col < grid; ++col) {
                    const int w = (d.right - d.left) / grid, h = (d.bottom - d.top) / grid;
                    const RECT c{d.left + col * w + 3, d.top + row * h + 3, d.left + (col + 1) * w - 3,
                                 d.top + (row + 1) * h - 3};
                    cells.push_back(ScreenPixels(c));
                }
            return cells;
        };
        return testkit::PumpUntil(
            [&] {
                const auto a = sample();
                testkit::PumpFor(300);
                const auto b = sample();
                for (size_t i = 0; i < a.size(); ++i) {
                    const bool plain = std::all_of(a[i].begin(), a[i].end(), [&](uint32_t p) { return p == a[i][0]; });
                    if (a[i].empty() || plain || a[i] == b[i])
                        return false;
                }
                return true;
            },
            20000, testkit::Check::EachWake);
    }

    // `seconds` of what the sound output plays, kept as out/demo-orvex-NAME.wav; its loud windows' frequencies.
    std::vector<double> Listen(const std::string& name, const char* seconds)
    {
        const std::string file = o_.out + "/demo-orvex-" + name + ".wav";
        testkit::RunUnixAndWait("rm -f '" + file + "'; timeout " + seconds +
                                " parecord -d nullsink.monitor --rate=8000 --channels=1 "
                                "--format=s16le --file-format=wav '" +
                                file + "'");
        return Frequencies(FileBytes(testkit::W(testkit::WinPath(file))));
    }
    static bool Tone(const std::vector<double>& f)
    {
        // Most windows: a window may catch the sound starting or a queue gap (more of them on a
        // loaded machine).
        const auto tonal = std::count_if(f.begin(), f.end(), [](double x) { return std::fabs(x - 440) < 40; });
        return f.size() >= 5 && tonal * 5 >= static_cast<long>(f.size()) * 3;
    }
    static bool Sweep(const std::vector<double>& f)
    {
        return f.size() >= 5 && *std::max_element(f.begin(), f.end()) - *std::min_element(f.begin(), f.end()) > 200;
    }
    static std::string Describe(const std::vector<double>& f)
    {
        if (f.empty())
            return "silence";
        char text[64];
        std::snprintf(text, sizeof text, "%.0f-%.0f Hz", *std::min_element(f.begin(), f.end()),
                      *std::max_element(f.begin(), f.end()));
        return text;
    }

    // ---- the simulator's log ----
    std::string Log() const { return FileBytes(testkit::W(testkit::WinPath(o_.simLog))); }
    size_t LogSize() const { return Log().size(); }
    std::vector<std::string> LogLines(const std::string& text, size_t from = 0) const
    {
        const std::string log = Log();
        std::vector<std::string> lines;
        for (size_t at = std::min(from, log.size()), end; at < log.size(); at = end + 1) {
            end = log.find('\n', at);
            if (end == std::string::npos)
                end = log.size();
            const std::string line = log.substr(at, end - at);
            if (line.find(text) != std::string::npos)
                lines.push_back(line);
        }
        return lines;
    }
    bool WaitLog(const std::string& text, size_t from)
    {
        return testkit::PumpUntil([&] { return !LogLines(text, from).empty(); }, 5000, testkit::Check::EachWake);
    }

    void Summary() const
    {
        std::printf("What the simulated DVR saw (%s):\n", o_.simLog.c_str());
        for (const std::string& l : LogLines(" login "))
            std::printf("   %s\n", l.c_str());
        const auto requests = LogLines("cmd 51 ");
        for (const std::string& l : requests)
            std::printf("   %s\n", l.c_str());
        const auto ptz = LogLines("cmd 19 ");
        if (!ptz.empty())
            std::printf("   %s\n   ... %zu PTZ commands in all, the last: %s\n", ptz.front().c_str(), ptz.size(),
                        ptz.back().c_str());
    }

    // ---- steps and checks ----
    std::string Shot(int n, const std::string& name) const
    {
        char number[8];
        std::snprintf(number, sizeof number, "%02d", n);
        return o_.out + "/demo-orvex-" + number + "-" + name + ".png";
    }
    void Step(const std::string& name, const std::string& what)
    {
        const std::string file = Shot(++step_, name);
        testkit::RunUnixAndWait("import -window root '" + file + "'");
        std::printf("   %2d %-60s out/%s\n", step_, what.c_str(), file.substr(file.rfind('/') + 1).c_str());
        std::fflush(stdout);
    }
    bool Check(bool ok, const std::string& what)
    {
        std::printf("      %s %s\n", ok ? "ok    " : "FAILED", what.c_str());
        std::fflush(stdout);
        failures_ += ok ? 0 : 1;
        return ok;
    }
    bool Fail(const std::string& what)
    {
        Check(false, what);
        testkit::RunUnixAndWait("import -window root '" + o_.out + "/demo-orvex-failed.png'");
        return false;
    }

    Options o_;
    OrvexProcess run_;
    int step_ = 0, failures_ = 0, covered_ = 0, clipped_ = 0;
    DWORD started_ = GetTickCount();
};

} // namespace

int main(int argc, char** argv)
{
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--folder")
            o.folder = testkit::W(value);
        else if (key == "--sim-log")
            o.simLog = value;
        else if (key == "--out")
            o.out = value;
        else if (key == "--password")
            o.password = value;
    }
    if (o.folder.empty() || o.simLog.empty() || o.out.empty()) {
        std::fprintf(stderr, "usage: orvextour --folder WINDIR --sim-log UNIXFILE --out UNIXDIR [--password TEXT]\n");
        return 2;
    }
    if (o.folder.back() != L'\\')
        o.folder += L'\\';
    try {
        return Tour(o).Run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orvextour: %s\n", e.what());
        return 1;
    }
}
