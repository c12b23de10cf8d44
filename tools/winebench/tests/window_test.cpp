// The bench gives Windows programs a working window system: creation, posted messages, timers.
#include <functional>
#include <windows.h>
#include <gtest/gtest.h>

namespace {

struct Seen {
    int posted = 0;
    LPARAM lastParam = 0;
    int timers = 0;
};

LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    auto* seen = reinterpret_cast<Seen*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    switch (msg) {
    case WM_NCCREATE:
        SetWindowLongPtrW(wnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
        break;
    case WM_APP + 1:
        seen->posted++;
        seen->lastParam = lp;
        return 0;
    case WM_TIMER: seen->timers++; return 0;
    }
    return DefWindowProcW(wnd, msg, wp, lp);
}

HWND MakeWindow(Seen* seen)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BenchWindow";
    RegisterClassW(&wc);
    return CreateWindowExW(0, L"BenchWindow", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 320, 240, nullptr,
                           nullptr, wc.hInstance, seen);
}

void PumpUntil(const std::function<bool()>& done, DWORD ms)
{
    DWORD start = GetTickCount();
    MSG msg;
    while (!done() && GetTickCount() - start < ms) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
}

TEST(BenchWindow, ReceivesPostedMessagesInOrderAndTimers)
{
    Seen seen;
    HWND wnd = MakeWindow(&seen);
    ASSERT_NE(wnd, nullptr) << "CreateWindow failed: " << GetLastError();
    for (int i = 1; i <= 5; ++i)
        ASSERT_TRUE(PostMessageW(wnd, WM_APP + 1, 0, i));
    ASSERT_NE(SetTimer(wnd, 7, 20, nullptr), 0u);
    PumpUntil([&] { return seen.posted == 5 && seen.timers >= 3; }, 5000);
    EXPECT_EQ(seen.posted, 5);
    EXPECT_EQ(seen.lastParam, 5);
    EXPECT_GE(seen.timers, 3);
    KillTimer(wnd, 7);
    EXPECT_TRUE(DestroyWindow(wnd));
}

TEST(BenchWindow, MessagePostedFromAnotherThreadArrives)
{
    Seen seen;
    HWND wnd = MakeWindow(&seen);
    ASSERT_NE(wnd, nullptr);
    HANDLE t = CreateThread(
        nullptr, 0, [](LPVOID p) -> DWORD { return PostMessageW(static_cast<HWND>(p), WM_APP + 1, 0, 42) ? 0 : 1; },
        wnd, 0, nullptr);
    ASSERT_NE(t, nullptr);
    PumpUntil([&] { return seen.posted == 1; }, 5000);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_EQ(seen.lastParam, 42);
    DestroyWindow(wnd);
}

} // namespace
