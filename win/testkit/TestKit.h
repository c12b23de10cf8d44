#pragma once
// What the Windows tests share: a message pump that waits for a condition, a window that records
// what it receives, a capture of the trace, Unix commands from inside Wine, free loopback ports,
// and the DVR simulator as a native process of its own (needs PX_NATIVE_TREE and PX_WORK_DIR).
#include <winsock2.h>
#include <windows.h>
#include <functional>
#include <mutex>
#include <string>
#include <vector>
#include "foundation/Window.h"

namespace testkit {

// Dispatches messages (through the thread's filter chain, as the program's loop does) until `done`
// or `ms` have passed. True when `done` became true. EachMessage asks `done` between any two
// messages, so a state that lasts for one message only is still seen; EachWake drains what is
// waiting first, for a costly `done` that must not starve the messages.
enum class Check { EachMessage, EachWake };
bool PumpUntil(const std::function<bool()>& done, DWORD ms, Check check = Check::EachMessage);
// Dispatches messages for `ms`.
void PumpFor(DWORD ms);

// A top-level (or message-only) window that records every message of the given range.
class RecorderWindow final : public win::Window {
public:
    struct Seen {
        UINT msg;
        WPARAM wp;
        LPARAM lp;
    };
    // Records messages first..last; `parent` HWND_MESSAGE makes a message-only window.
    explicit RecorderWindow(UINT first = WM_USER, UINT last = 0x7FFF, HWND parent = nullptr, bool visible = false,
                            int width = 320, int height = 240);
    std::vector<Seen> seen;
    size_t Count(UINT msg) const;
    // Called for every recorded message; its answer is the message's result.
    std::function<LRESULT(UINT, WPARAM, LPARAM)> onMessage;

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    UINT first_, last_;
};

// Collects every trace line of every module of the test program while it lives.
class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;
    std::vector<std::wstring> Lines() const;
    bool Contains(const std::wstring& text) const;
};

// Every text of a window's children (a message box's message among them), joined by "|".
std::wstring ItemTexts(HWND dialog);

// ---- Unix side ----
inline std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }
// Runs a Unix command line through /bin/sh, without waiting (Wine gives no handle to wait on).
bool RunUnix(const std::string& script);
// Runs a Unix command line and waits for it to end (pumping messages meanwhile); false when it did
// not end within `ms`.
bool RunUnixAndWait(const std::string& script, DWORD ms = 10000);
// A screenshot of the whole screen into the kit's work folder as NAME.png; its Unix path, or "".
std::string Screenshot(const std::string& name);
// The pixels of a window's client rectangle `r` as the screen shows them (0x00RRGGBB, top-down).
std::vector<uint32_t> ClientPixels(HWND wnd, const RECT& r);
// "Z:\..." of a Unix path.
std::string WinPath(const std::string& unixPath);
// True when something accepts TCP connections on 127.0.0.1:port.
bool Listening(int port);
int FreePort();

// The DVR simulator on a port of its own, stopped by its pid.
class Simulator {
public:
    explicit Simulator(std::string name) : name_(std::move(name)) {}
    ~Simulator() { Kill(); }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    // Waits until the port accepts connections, or, for a simulator that accepts none
    // (--hang-connects), until it reports that it listens on that port.
    bool Start(int port, const std::string& options = "", bool accepts = true);
    int Pid() const;
    // Kills the simulator by its pid and waits until its port refuses connections.
    void Kill();
    std::string LogPath() const;

private:
    std::string name_, pidFile_;
    int port_ = 0;
};

} // namespace testkit
