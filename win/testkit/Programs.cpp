#include "Programs.h"
#include "foundation/Module.h"

namespace testkit {

std::wstring BesideMe(const wchar_t* name) { return win::ModuleFolder(nullptr) + name; }

namespace {

// Starts `cmd`; false when it did not start (GetLastError tells why).
bool Start(std::wstring& cmd, HANDLE output, const wchar_t* folder, PROCESS_INFORMATION& pi)
{
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (output) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = output;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    return CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, output != nullptr, CREATE_NO_WINDOW, nullptr, folder,
                          &si, &pi);
}

DWORD Finish(PROCESS_INFORMATION& pi, DWORD ms)
{
    WaitForSingleObject(pi.hProcess, ms);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

} // namespace

DWORD RunAndWait(std::wstring cmd, DWORD ms, HANDLE output, const wchar_t* folder)
{
    PROCESS_INFORMATION pi{};
    if (!Start(cmd, output, folder, pi))
        return GetLastError() | 0x80000000u;
    return Finish(pi, ms);
}

std::string RunAndCapture(const std::wstring& cmd, const wchar_t* folder, DWORD ms)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE rd, wr;
    if (!CreatePipe(&rd, &wr, &sa, 0))
        return "spawn failed";
    SetHandleInformation(rd, HANDLE_FLAG_INHERIT, 0);
    std::wstring line = cmd;
    PROCESS_INFORMATION pi{};
    const bool started = Start(line, wr, folder, pi);
    CloseHandle(wr); // the child holds the only writer now, so the reads below end with it
    std::string out;
    if (started) {
        char buf[512];
        DWORD n;
        while (ReadFile(rd, buf, sizeof buf, &n, nullptr) && n)
            out.append(buf, n);
        Finish(pi, ms);
    }
    CloseHandle(rd);
    return started ? out : "spawn failed";
}

} // namespace testkit
