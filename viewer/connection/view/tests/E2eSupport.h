#pragma once
// What the end-to-end tests of the view share: Unix commands from inside Wine, a message pump that
// waits for a condition, free loopback ports, and the DVR simulator as a native process of its own
// (started through /bin/sh, stopped by its pid). Needs PX_NATIVE_TREE and PX_WORK_DIR.
#include <winsock2.h>
#include <windows.h>
#include <cstdio>
#include <functional>
#include <string>

namespace e2e {

inline std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// Runs a Unix command line through /bin/sh, without waiting: Wine gives no handle to wait on.
inline bool RunUnix(const std::string& script)
{
    std::wstring cmd = L"Z:\\bin\\sh -c \"" + W(script) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return false;
    // For a Unix program Wine leaves hProcess null and the other fields undefined: closing that
    // "thread handle" would close whatever handle happens to carry its value (stdout, once).
    if (pi.hProcess) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    return true;
}

inline std::string WinPath(const std::string& unixPath)
{
    std::string p = "Z:" + unixPath;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

inline void Pump(const std::function<bool()>& done, DWORD ms)
{
    DWORD start = GetTickCount();
    MSG msg;
    while (!done() && GetTickCount() - start < ms) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        // One message at a time: a state that lasts for one message only is still seen.
        while (!done() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

// True when something accepts TCP connections on 127.0.0.1:port.
inline bool Listening(int port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<u_short>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    closesocket(s);
    return ok;
}

inline int FreePort()
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    closesocket(s);
    return ntohs(a.sin_port);
}

// The DVR simulator on a port of its own, stopped by its pid.
class Simulator {
public:
    explicit Simulator(std::string name) : name_(std::move(name)) {}
    ~Simulator() { Kill(); }

    // Waits until the port accepts connections, or, for a simulator that accepts none
    // (--hang-connects), until it reports that it listens on that port.
    bool Start(int port, const std::string& options = "", bool accepts = true)
    {
        port_ = port;
        std::string dir = PX_WORK_DIR;
        pidFile_ = dir + "/" + name_ + ".pid";
        std::remove(WinPath(pidFile_).c_str());
        std::string script = "echo $$ > " + pidFile_ + "; exec " + std::string(PX_NATIVE_TREE) +
                             "/bin/dvrsim --port " + std::to_string(port) + " " + options + " >>" + dir + "/" + name_ +
                             ".log 2>&1";
        if (!RunUnix(script))
            return false;
        const std::string listening = "listening on 127.0.0.1:" + std::to_string(port) + "\n";
        DWORD start = GetTickCount();
        while (GetTickCount() - start < 10000) {
            if (Pid() > 0 && (accepts ? Listening(port) : LogHas(dir + "/" + name_ + ".log", listening)))
                return true;
            Sleep(20);
        }
        return false;
    }

    static bool LogHas(const std::string& unixPath, const std::string& text)
    {
        FILE* f = std::fopen(WinPath(unixPath).c_str(), "rb");
        if (!f)
            return false;
        std::string all;
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
            all.append(buf, n);
        std::fclose(f);
        return all.find(text) != std::string::npos;
    }

    int Pid() const
    {
        FILE* f = std::fopen(WinPath(pidFile_).c_str(), "r");
        int pid = 0;
        if (f) {
            if (std::fscanf(f, "%d", &pid) != 1)
                pid = 0;
            std::fclose(f);
        }
        return pid;
    }

    // Kills the simulator by its pid and waits until its port refuses connections.
    void Kill()
    {
        int pid = Pid();
        if (pid <= 0)
            return;
        RunUnix("kill -9 " + std::to_string(pid));
        std::remove(WinPath(pidFile_).c_str());
        DWORD start = GetTickCount();
        while (GetTickCount() - start < 10000 && Listening(port_))
            Sleep(20);
    }

private:
    std::string name_, pidFile_;
    int port_ = 0;
};

} // namespace e2e
