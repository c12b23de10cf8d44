#pragma once
// Orvex as a person meets it, for the tests: a copy of the program in a folder of its own (its skin
// beside it, its site file in CONFIG), started as a process of its own, its windows found by process,
// the real pointer and keyboard (xdotool) and the screen's pixels.
#include <windows.h>
#include <string>
#include <vector>
#include "TestKit.h"
#include "foundation/Handles.h"

namespace orvextest {

// A fresh folder under the tests' work folder holding Orvex.exe, Conduix.dll and a Lustrel.dll (the balloon skin
// when asked), with `siteFile` (bytes, "" for none) as CONFIG\H264Site.ini. Its path, with the
// trailing backslash.
std::wstring Install(const std::string& name, const std::string& siteFile = "", bool balloonSkin = false);

// The first window of class `cls` among `parent`'s descendants, or null.
HWND ChildOfClass(HWND parent, const wchar_t* cls);

// A file's bytes ("" when it cannot be read).
std::string FileBytes(const std::wstring& path);

// Visible top-level windows of process `pid` (of class `cls` when given).
std::vector<HWND> TopWindows(DWORD pid, const wchar_t* cls = nullptr);
using testkit::ItemTexts;

class OrvexProcess {
public:
    OrvexProcess() = default;
    ~OrvexProcess(); // ends the process if it still runs
    OrvexProcess(const OrvexProcess&) = delete;
    OrvexProcess& operator=(const OrvexProcess&) = delete;

    // Starts `folder`'s Orvex.exe; false when it did not start.
    bool Start(const std::wstring& folder);
    // Waits for the main window shown with its background painted; null when it did not come.
    HWND WaitMain(DWORD ms = 15000);
    HWND Main() const { return main_; }
    DWORD Pid() const { return pid_; }
    // Waits for the process to end; its exit code, or STILL_ACTIVE.
    DWORD WaitExit(DWORD ms);
    bool Running() const;
    // The screen rectangle of main window item `id`.
    RECT ItemRect(int id) const;
    // Milliseconds from Start to the painted main window.
    double StartupMs() const { return startupMs_; }

private:
    win::KernelHandle process_;
    DWORD pid_ = 0;
    HWND main_ = nullptr;
    LARGE_INTEGER started_{};
    double startupMs_ = 0;
};

// The real pointer to screen point `p`, then an xdotool action ("click 1", "" for none).
bool Pointer(POINT p, const std::string& action = "");
// xdotool key names ("Return Escape space").
bool Keys(const std::string& keys);
POINT Centre(const RECT& r);
// Screen pixels of a screen rectangle (0x00RRGGBB, top-down).
std::vector<uint32_t> ScreenPixels(const RECT& r);
// Skin bitmap 0's pixels in the same form.
std::vector<uint32_t> BackgroundPixels(const RECT& r);

// ---- the dialogs over the main window ----
// A dialog of the process holding a visible item `id` (the site list holds its list, the edit
// dialog its address field, the login dialog its password field).
HWND WaitDialogWith(DWORD pid, int id, DWORD ms = 10000);
// A message box of the process whose texts hold `text`, read (into `seen`) and closed; false when
// none came.
bool ReadAndCloseMessage(DWORD pid, const std::wstring& text, std::wstring* seen = nullptr);
// The real pointer on a dialog's item.
void Click(HWND dialog, int id);
// Clears an edit field with the keyboard and types `text` into it.
void Retype(HWND dialog, int id, const std::string& text);
// An item's text, read with WM_GETTEXT (GetWindowText does not ask a control of another process).
std::string Text(HWND dialog, int id);
// The real pointer on the main window's site set-up button; the site list, or null when none came.
HWND OpenSiteList(const OrvexProcess& run);
// The site list's rows, and the real pointer on one of them.
int Rows(HWND siteList);
void ClickRow(HWND siteList, int row);

// Which of its skin's four faces (0 normal, 1 pressed, 2 hover, 3 disabled) main window button
// `id` shows on the screen; -1 for none of them.
int ButtonFace(const OrvexProcess& run, int id);

} // namespace orvextest
