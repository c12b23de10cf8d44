// CLoginDlg under Wine against the DVR simulator: the password typed and LOGIN clicked with the
// real pointer and keyboard (xdotool), the verdicts at the module-button sink, the message boxes
// found, read and closed here, and nothing of the transport left once the dialog has ended.
#include "LoginDlg.h"
#include "LoginIds.h"
#include "TestKit.h"
#include <tlhelp32.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

using namespace testkit;

namespace {

double NowMs()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// Polls `done` (no messages of ours to pump: the dialog runs on its own thread).
bool WaitFor(const std::function<bool()>& done, DWORD ms)
{
    for (DWORD start = GetTickCount(); !done();) {
        if (GetTickCount() - start > ms)
            return false;
        Sleep(5);
    }
    return true;
}

std::vector<DWORD> ThreadsOfThisProcess()
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 e{};
    e.dwSize = sizeof e;
    std::vector<DWORD> ids;
    for (BOOL ok = Thread32First(snap, &e); ok; ok = Thread32Next(snap, &e))
        if (e.th32OwnerProcessID == GetCurrentProcessId())
            ids.push_back(e.th32ThreadID);
    CloseHandle(snap);
    return ids;
}

std::string Describe(const std::vector<DWORD>& ids)
{
    std::string all = std::to_string(ids.size()) + " threads:";
    for (DWORD id : ids)
        all += " " + std::to_string(id);
    return all;
}

class Sink final : public login::ModuleAccess {
public:
    void SetModuleAccess(int id, bool allowed) override
    {
        std::lock_guard<std::mutex> g(m_);
        if (state_.empty())
            firstAt_ = NowMs();
        state_[id] = allowed;
    }
    std::map<int, bool> State() const
    {
        std::lock_guard<std::mutex> g(m_);
        return state_;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> g(m_);
        state_.clear();
        firstAt_ = 0;
    }
    double FirstAt() const
    {
        std::lock_guard<std::mutex> g(m_);
        return firstAt_;
    }

private:
    mutable std::mutex m_;
    std::map<int, bool> state_;
    double firstAt_ = 0;
};

using Access = std::map<int, bool>;
const Access kAllForbidden = {{1000, false}, {1001, false}, {1002, false}, {1004, false}, {1005, false}};
const Access kResetForbidden = {{1001, false}, {1002, false}, {1004, false}, {1005, false}};

class LoginDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa); // the kit's port probes
    }
    // A failed check may leave the dialog open, or a message box that is yet to come.
    void TearDown() override
    {
        if (!thread_.joinable())
            return;
        WaitFor(
            [&] {
                CloseBoxes();
                if (HWND d = dlg_)
                    PostMessageW(d, WM_COMMAND, IDC_LOGIN_CANCEL, 0);
                return done_.load();
            },
            30000);
        thread_.join();
    }

    void StartDvr(const std::string& options)
    {
        static int serial = 0;
        sim_ = std::make_unique<Simulator>("login-" + std::to_string(GetCurrentProcessId()) + "-" +
                                           std::to_string(++serial));
        port_ = FreePort();
        std::remove(WinPath(sim_->LogPath()).c_str()); // the simulator appends; process ids come again
        ASSERT_TRUE(sim_->Start(port_, "--log - --no-pictures " + options));
        // The kit's probe for the open port is one connection of the log, closed at once.
        ASSERT_TRUE(WaitFor([&] { return Count(" close ") == 1; }, 5000));
        probeConnects_ = Count("connect\n");
    }

    // Lines of the simulator's log containing `text`.
    int Count(const std::string& text) const
    {
        std::ifstream f(WinPath(sim_->LogPath()));
        std::stringstream all;
        all << f.rdbuf();
        std::string s = all.str();
        int n = 0;
        for (size_t at = 0; (at = s.find(text, at)) != std::string::npos; at += text.size())
            ++n;
        return n;
    }
    int Connections() const { return Count("connect\n") - probeConnects_; }

    // Opens the dialog for `user` on a thread of its own.
    void Open(const wchar_t* user)
    {
        threadsBefore_ = ThreadsOfThisProcess();
        dlg_ = nullptr;
        done_ = false;
        thread_ = std::thread([this, site = LoginSite{L"127.0.0.1", port_, user}] {
            threadId_ = GetCurrentThreadId();
            CLoginDlg dlg(site, sink_);
            result_ = dlg.Run(nullptr);
            deliveryLeft_ = FindWindowExW(HWND_MESSAGE, nullptr, L"ConduixDelivery", nullptr) != nullptr;
            done_ = true;
        });
        ASSERT_TRUE(WaitFor([&] { return (dlg_ = FindDialog()) != nullptr; }, 10000));
        ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(dlg_); }, 5000));
    }

    HWND FindDialog() const { return FindOnDialogThread(true); }
    HWND FindBox() const { return FindOnDialogThread(false); }
    HWND FindOnDialogThread(bool dialog) const
    {
        struct Find {
            bool dialog;
            HWND found;
        } f{dialog, nullptr};
        EnumThreadWindows(
            threadId_,
            [](HWND w, LPARAM lp) {
                auto* f = reinterpret_cast<Find*>(lp);
                wchar_t cls[16] = {};
                GetClassNameW(w, cls, 16);
                if (std::wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(w))
                    return TRUE;
                if ((GetDlgItem(w, IDC_LOGIN_OK) != nullptr) != f->dialog)
                    return TRUE;
                f->found = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&f));
        return f.found;
    }
    // Waits for a message box, reads it and closes it; its text, or "" when none came.
    std::wstring TakeBox(DWORD ms)
    {
        HWND box = nullptr;
        if (!WaitFor([&] { return (box = FindBox()) != nullptr; }, ms))
            return L"";
        std::wstring text = testkit::ItemTexts(box);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitFor([&] { return !IsWindow(box); }, 5000);
        return text;
    }
    void CloseBoxes()
    {
        for (HWND box; (box = FindBox()) != nullptr;)
            PostMessageW(box, WM_COMMAND, IDOK, 0), Sleep(50);
    }

    std::string Centre(int id) const
    {
        RECT r;
        GetWindowRect(GetDlgItem(dlg_, id), &r);
        return std::to_string((r.left + r.right) / 2) + " " + std::to_string((r.top + r.bottom) / 2);
    }
    // Clicks the password field and types `password` with the real pointer and keyboard.
    void TypePassword(const std::string& password)
    {
        ASSERT_TRUE(RunUnixAndWait("xdotool mousemove " + Centre(IDC_LOGIN_PASSWORD) +
                                   " click 1 sleep 0.2 type --delay 30 " + password));
        ASSERT_TRUE(WaitFor([&] { return ItemText(IDC_LOGIN_PASSWORD) == W(password); }, 5000))
            << "typed: " << ItemText(IDC_LOGIN_PASSWORD).size() << " characters";
    }
    // Clicks LOGIN (`clicks` times, quickly); the moment the button went disabled.
    double ClickLogin(int clicks = 1)
    {
        RunUnix("xdotool mousemove " + Centre(IDC_LOGIN_OK) + " click --repeat " + std::to_string(clicks) +
                " --delay 60 1");
        HWND login = GetDlgItem(dlg_, IDC_LOGIN_OK);
        EXPECT_TRUE(WaitFor([&] { return !IsWindowEnabled(login); }, 5000)) << "LOGIN was not pressed";
        return NowMs();
    }
    std::wstring ItemText(int id) const { return win::ItemText(dlg_, id); }
    bool LoginEnabled() const { return IsWindowEnabled(GetDlgItem(dlg_, IDC_LOGIN_OK)) != FALSE; }
    bool WaitIdle(DWORD ms) const
    {
        return WaitFor([&] { return LoginEnabled() && ItemText(IDC_LOGIN_PASSWORD).empty() && !FindBox(); }, ms);
    }

    // Ends an open dialog with a real click on Cancel.
    void CancelByClick()
    {
        RunUnix("xdotool mousemove " + Centre(IDC_LOGIN_CANCEL) + " click 1");
        ASSERT_TRUE(WaitFor([&] { return done_.load(); }, 5000));
        EXPECT_EQ(IDCANCEL, result_);
    }
    // The dialog has ended: join its thread and check that nothing of the check outlived it.
    void ExpectNothingLeft()
    {
        ASSERT_TRUE(WaitFor([&] { return done_.load(); }, 15000));
        thread_.join();
        EXPECT_FALSE(deliveryLeft_) << "the transport's window outlived the dialog";
        EXPECT_TRUE(WaitFor([&] { return ThreadsOfThisProcess().size() <= threadsBefore_.size(); }, 3000))
            << Describe(ThreadsOfThisProcess()) << "threads, before the dialog: " << Describe(threadsBefore_);
        const int sessions = Connections();
        EXPECT_TRUE(WaitFor([&] { return Count(" close ") >= sessions + probeConnects_; }, 3000))
            << "a connection of the check is still open";
    }
    void Screenshot(const std::string& name)
    {
        std::string shot = std::string(PX_SOURCE_DIR) + "/out/" + name;
        std::remove(WinPath(shot).c_str());
        ASSERT_TRUE(
            RunUnixAndWait("mkdir -p " + std::string(PX_SOURCE_DIR) + "/out && import -window root " + shot, 15000));
    }

    std::unique_ptr<Simulator> sim_;
    int port_ = 0, probeConnects_ = 0;
    std::vector<DWORD> threadsBefore_;
    Sink sink_;
    std::thread thread_;
    std::atomic<DWORD> threadId_{0};
    std::atomic<HWND> dlg_{nullptr};
    std::atomic<bool> done_{false}, deliveryLeft_{false};
    std::atomic<INT_PTR> result_{0};
};

TEST_F(LoginDialog, AcceptedUsersUnlockTheirModules)
{
    StartDvr("");
    const struct {
        const wchar_t* user;
        const char* password;
        Access access;
    } rows[] = {
        {L"admin", "1111", {{1000, true}, {1001, true}, {1002, true}, {1004, true}, {1005, true}}},
        {L"Admin", "1111", {{1000, true}, {1001, true}, {1002, true}, {1004, true}, {1005, true}}},
        {L"manager", "2222", {{1000, true}, {1001, true}, {1002, true}, {1004, true}, {1005, false}}},
        {L"user", "3333", {{1000, false}, {1001, true}, {1002, false}, {1004, false}, {1005, false}}},
    };
    std::vector<double> ms;
    for (int round = 0; round < 3; ++round) {
        for (auto& row : rows) {
            sink_.Clear();
            Open(row.user);
            EXPECT_EQ(std::wstring(row.user), ItemText(IDC_LOGIN_ID));
            EXPECT_EQ(L"PASSWORD", ItemText(IDC_LOGIN_PASSWORD_LABEL));
            EXPECT_EQ(L"LOGIN", ItemText(IDC_LOGIN_OK));
            TypePassword(row.password);
            if (round == 0 && row.user == rows[0].user) {
                Screenshot("login-dialog.png");
                // Enter and Escape go to the password field: no login, no cancel.
                RunUnixAndWait("xdotool key Return key Escape");
                Sleep(300);
                EXPECT_FALSE(done_);
                EXPECT_EQ(0, Connections());
                EXPECT_TRUE(LoginEnabled());
            }
            const double clicked = ClickLogin();
            ASSERT_TRUE(WaitFor([&] { return done_.load(); }, 5000)) << "no verdict";
            EXPECT_EQ(IDOK, result_);
            EXPECT_EQ(row.access, sink_.State());
            ms.push_back(sink_.FirstAt() - clicked);
            ExpectNothingLeft();
        }
    }
    EXPECT_EQ(12, Connections());
    std::sort(ms.begin(), ms.end());
    std::printf("LOGIN click to verdict: median %.0f ms, min %.0f ms, max %.0f ms over %zu logins\n", ms[ms.size() / 2],
                ms.front(), ms.back(), ms.size());
}

TEST_F(LoginDialog, RefusalsShowTheirMessageOnceAndForbidEveryModule)
{
    const std::pair<int, const wchar_t*> cases[] = {
        {2, L"Check Password!"}, {3, L"Check ID Password!"}, {4, L"Users connect excess."}};
    for (auto& [result, text] : cases) {
        StartDvr("--login-result " + std::to_string(result));
        sink_.Clear();
        Open(L"admin");
        TypePassword("1111");
        ClickLogin();
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (box = FindBox()) != nullptr; }, 5000)) << result;
        if (result == 2) // past the guard's 10 s with the message still up
            Sleep(10500);
        std::wstring seen = testkit::ItemTexts(box);
        EXPECT_NE(std::wstring::npos, seen.find(text)) << result << ": " << std::string(seen.begin(), seen.end());
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitIdle(3000)) << result;
        EXPECT_EQ(L"", TakeBox(1500)) << "a second message for one attempt";
        EXPECT_EQ(kAllForbidden, sink_.State());
        EXPECT_FALSE(done_);
        CancelByClick();
        ExpectNothingLeft();
        sim_.reset();
    }
}

// A DVR that accepts and then says nothing: one "Fail Connect" at the 10 s guard. Two quick clicks
// on LOGIN make one attempt.
TEST_F(LoginDialog, SilentDvrGivesOneFailConnectAfterTheGuard)
{
    StartDvr("--silent");
    Open(L"admin");
    TypePassword("1111");
    const double clicked = ClickLogin(2);
    std::wstring seen = TakeBox(13000);
    const double shownAfter = NowMs() - clicked;
    EXPECT_NE(std::wstring::npos, seen.find(L"Fail Connect"));
    EXPECT_GT(shownAfter, 9500);
    EXPECT_TRUE(WaitFor([&] { return LoginEnabled(); }, 3000));
    EXPECT_EQ(L"", TakeBox(1500));
    EXPECT_EQ(1, Connections());
    EXPECT_EQ(1, Count("init unanswered"));
    CancelByClick();
    ExpectNothingLeft();
}

// Answers the check cannot use end in the reset step with LOGIN enabled again: a verdict that is
// neither accepted nor a known refusal at once and silently; a reply without payload, a connection
// closed instead of answering and an answer later than the guard through "Fail Connect" at 10 s.
TEST_F(LoginDialog, BadOrLateAnswersEndInTheResetStep)
{
    const struct {
        const char* options;
        bool failConnect;
        Access access;
    } cases[] = {
        {"--login-result 7", false, kAllForbidden},
        {"--login-answer empty", true, {}},
        {"--login-answer close", true, kResetForbidden},
        {"--login-delay 11", true, {}},
    };
    for (auto& c : cases) {
        StartDvr(c.options);
        sink_.Clear();
        Open(L"admin");
        TypePassword("1111");
        ClickLogin();
        std::wstring seen = TakeBox(c.failConnect ? 13000 : 2000);
        if (c.failConnect)
            EXPECT_NE(std::wstring::npos, seen.find(L"Fail Connect")) << c.options;
        else
            EXPECT_EQ(L"", seen) << c.options;
        EXPECT_TRUE(WaitFor([&] { return LoginEnabled(); }, 3000)) << c.options;
        if (std::string(c.options) == "--login-delay 11") // the late verdict is sent and counts for nothing
            EXPECT_TRUE(WaitFor([&] { return Count(" close ") >= probeConnects_ + 1; }, 5000));
        // The guard enables LOGIN before its reset step forbids the buttons: under load the check
        // could read the buttons between the two.
        WaitFor([&] { return sink_.State() == c.access; }, 3000);
        EXPECT_EQ(c.access, sink_.State()) << c.options;
        EXPECT_FALSE(done_) << c.options;
        EXPECT_EQ(L"", TakeBox(500)) << c.options;
        CancelByClick();
        ExpectNothingLeft();
        sim_.reset();
    }
}

} // namespace
