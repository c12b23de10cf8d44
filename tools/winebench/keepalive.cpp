// Keeps a Wine session's desktop alive for the length of a test run: creates a hidden window (which
// brings up Wine's desktop process), writes the ready file named on the command line, then waits.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, LPWSTR, int)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    HWND wnd = CreateWindowExW(0, L"STATIC", L"winebench", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, inst, nullptr);
    if (!wnd)
        return 1;
    if (argc > 1) {
        HANDLE f = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE)
            CloseHandle(f);
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}
