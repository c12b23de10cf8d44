#include "OrvexRun.h"

#include <algorithm>

#include "Programs.h"
#include "TestKit.h"
#include "OrvexIds.h"
#include <commctrl.h>
#include "foundation/Dib.h"
#include "skin/SkinApi.h"

namespace orvextest {

namespace {

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

double MsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, freq;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&freq);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(freq.QuadPart);
}

// The visible dialog of the process whose caption is the main window's ("  " and help string 0).
HWND FindMain(DWORD pid)
{
    for (HWND w : TopWindows(pid, L"#32770")) {
        wchar_t title[64] = {};
        GetWindowTextW(w, title, 64);
        if (std::wstring(title) == L"  Orvex")
            return w;
    }
    return nullptr;
}

} // namespace

std::wstring Install(const std::string& name, const std::string& siteFile, bool balloonSkin)
{
    const std::wstring folder = Widen(testkit::WinPath(std::string(PX_WORK_DIR) + "/" + name)) + L"\\";
    testkit::RunUnixAndWait("rm -rf '" + std::string(PX_WORK_DIR) + "/" + name + "' && mkdir -p '" +
                            std::string(PX_WORK_DIR) + "/" + name + "/CONFIG'");
    for (const wchar_t* file : {L"Orvex.exe", L"Conduix.dll"})
        CopyFileW(testkit::BesideMe(file).c_str(), (folder + file).c_str(), FALSE);
    const std::wstring skin =
        balloonSkin ? testkit::BesideMe(L"balloon-skin\\Lustrel.dll") : testkit::BesideMe(L"Lustrel.dll");
    CopyFileW(skin.c_str(), (folder + L"Lustrel.dll").c_str(), FALSE);
    if (!siteFile.empty()) {
        win::KernelHandle file(CreateFileW((folder + L"CONFIG\\H264Site.ini").c_str(), GENERIC_WRITE, 0, nullptr,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        WriteFile(file.Get(), siteFile.data(), static_cast<DWORD>(siteFile.size()), &written, nullptr);
    }
    return folder;
}

HWND ChildOfClass(HWND parent, const wchar_t* cls)
{
    struct Find {
        const wchar_t* cls;
        HWND found;
    } find{cls, nullptr};
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM lp) {
            auto* f = reinterpret_cast<Find*>(lp);
            wchar_t name[64] = {};
            GetClassNameW(w, name, 64);
            if (std::wstring(name) == f->cls)
                f->found = w;
            return f->found ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
}

std::string FileBytes(const std::wstring& path)
{
    win::KernelHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (file && ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr) && got)
        bytes.append(chunk, got);
    return bytes;
}

std::vector<HWND> TopWindows(DWORD pid, const wchar_t* cls)
{
    struct Find {
        DWORD pid;
        const wchar_t* cls;
        std::vector<HWND> found;
    } find{pid, cls, {}};
    EnumWindows(
        [](HWND w, LPARAM lp) {
            auto* f = reinterpret_cast<Find*>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            wchar_t name[64] = {};
            GetClassNameW(w, name, 64);
            if (owner == f->pid && IsWindowVisible(w) && (!f->cls || std::wstring(name) == f->cls))
                f->found.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
}

OrvexProcess::~OrvexProcess()
{
    if (Running()) {
        TerminateProcess(process_.Get(), 1);
        WaitForSingleObject(process_.Get(), 5000);
    }
}

bool OrvexProcess::Start(const std::wstring& folder)
{
    std::wstring cmd = L"\"" + folder + L"Orvex.exe\"";
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    QueryPerformanceCounter(&started_);
    // Another folder as the current one: the program finds its skin and site file beside itself.
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    process_.Attach(pi.hProcess);
    pid_ = pi.dwProcessId;
    return true;
}

HWND OrvexProcess::WaitMain(DWORD ms)
{
    // Painted: a pixel of the background (not under a button or a text) shows.
    const POINT probe{500, 150};
    const auto background = BackgroundPixels({probe.x, probe.y, probe.x + 1, probe.y + 1});
    testkit::PumpUntil(
        [&] {
            main_ = FindMain(pid_);
            if (!main_)
                return false;
            RECT r;
            GetWindowRect(main_, &r);
            const auto shown =
                ScreenPixels({r.left + probe.x, r.top + probe.y, r.left + probe.x + 1, r.top + probe.y + 1});
            return !shown.empty() && shown == background;
        },
        ms, testkit::Check::EachWake);
    startupMs_ = MsSince(started_);
    return main_;
}

DWORD OrvexProcess::WaitExit(DWORD ms)
{
    testkit::PumpUntil([&] { return !Running(); }, ms, testkit::Check::EachWake);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.Get(), &code);
    return code;
}

bool OrvexProcess::Running() const { return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }

RECT OrvexProcess::ItemRect(int id) const
{
    RECT r{};
    GetWindowRect(GetDlgItem(main_, id), &r);
    return r;
}

bool Pointer(POINT p, const std::string& action)
{
    return testkit::RunUnixAndWait("xdotool mousemove " + std::to_string(p.x) + " " + std::to_string(p.y) +
                                   (action.empty() ? "" : " " + action));
}

bool Keys(const std::string& keys) { return testkit::RunUnixAndWait("xdotool key " + keys); }

POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

std::vector<uint32_t> ScreenPixels(const RECT& r) { return testkit::ClientPixels(nullptr, r); }

std::vector<uint32_t> BackgroundPixels(const RECT& r)
{
    static std::vector<uint32_t> all;
    static int width = 0, height = 0;
    if (all.empty()) {
        win::Bitmap bitmap(SMAPI_GetResourceBitmapHandle(0));
        BITMAP info{};
        if (!bitmap || !GetObjectW(bitmap.Get(), sizeof info, &info))
            return {};
        width = info.bmWidth;
        height = info.bmHeight;
        all.resize(static_cast<size_t>(width) * height);
        BITMAPINFO bi = win::TopDownDib(width, height, 32);
        win::WindowDC screen(nullptr);
        GetDIBits(screen.Get(), bitmap.Get(), 0, height, all.data(), &bi, DIB_RGB_COLORS);
        for (uint32_t& p : all)
            p &= 0xFFFFFF;
    }
    std::vector<uint32_t> out;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            out.push_back(x >= 0 && y >= 0 && x < width && y < height ? all[static_cast<size_t>(y) * width + x] : 0);
    return out;
}

HWND WaitDialogWith(DWORD pid, int id, DWORD ms)
{
    HWND found = nullptr;
    testkit::PumpUntil(
        [&] {
            for (HWND w : TopWindows(pid, L"#32770")) {
                if (GetDlgItem(w, id) && IsWindowVisible(GetDlgItem(w, id)))
                    found = w;
            }
            return found != nullptr;
        },
        ms);
    return found;
}

bool ReadAndCloseMessage(DWORD pid, const std::wstring& text, std::wstring* seen)
{
    HWND box = nullptr;
    testkit::PumpUntil(
        [&] {
            for (HWND w : TopWindows(pid, L"#32770")) {
                if (ItemTexts(w).find(text) != std::wstring::npos)
                    box = w;
            }
            return box != nullptr;
        },
        10000);
    if (!box)
        return false;
    if (seen)
        *seen = ItemTexts(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return testkit::PumpUntil([&] { return !IsWindow(box); }, 5000);
}

void Click(HWND dialog, int id)
{
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    Pointer(Centre(r), "click 1");
}

void Retype(HWND dialog, int id, const std::string& text)
{
    Click(dialog, id);
    testkit::RunUnixAndWait("xdotool key End key --repeat 64 --delay 1 BackSpace");
    if (!text.empty())
        testkit::RunUnixAndWait("xdotool type --delay 5 '" + text + "'");
}

HWND OpenSiteList(const OrvexProcess& run)
{
    Pointer(Centre(run.ItemRect(IDC_SITE_SETUP)), "click 1");
    return WaitDialogWith(run.Pid(), IDC_SITE_LIST);
}

int Rows(HWND siteList)
{
    return static_cast<int>(SendMessageW(GetDlgItem(siteList, IDC_SITE_LIST), LVM_GETITEMCOUNT, 0, 0));
}

// The real pointer on row `row` of the site list (rows are 20 pixels high, under the header).
void ClickRow(HWND siteList, int row)
{
    HWND list = GetDlgItem(siteList, IDC_SITE_LIST);
    RECT header{}, box{};
    GetWindowRect(FindWindowExW(list, nullptr, WC_HEADERW, nullptr), &header);
    GetWindowRect(list, &box);
    Pointer({box.left + 60, header.bottom + row * 20 + 10}, "click 1");
}

std::string Text(HWND dialog, int id)
{
    wchar_t t[128] = {};
    // WM_GETTEXT itself: GetWindowText does not ask a control of another process.
    SendMessageW(GetDlgItem(dialog, id), WM_GETTEXT, 128, reinterpret_cast<LPARAM>(t));
    std::string out;
    for (const wchar_t* p = t; *p; ++p)
        out += static_cast<char>(*p);
    return out;
}

int ButtonFace(const OrvexProcess& run, int id)
{
    const std::pair<int, unsigned short> skins[] = {{IDC_SITE_SETUP, 1}, {IDC_REMOTE_SETUP, 2}, {IDC_VIEWER, 3},
                                                    {IDC_BACKUP, 4},     {IDC_PLAYER, 5},       {IDC_SEARCH, 6},
                                                    {IDC_NVS_CLIENT, 7}, {IDC_EXIT, 9}};
    unsigned short skin = 0;
    for (const auto& [control, index] : skins)
        skin = control == id ? index : skin;
    const RECT r = run.ItemRect(id);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (!skin || w <= 0 || h <= 0)
        return -1;
    HBITMAP faces[4] = {};
    SMAPI_GetResourceBitmapHandle(skin, &faces[0], &faces[1], &faces[2], &faces[3]);
    int found = -1;
    for (int i = 0; i < 4; ++i) {
        win::Bitmap face(faces[i]);
        BITMAP info{};
        if (found >= 0 || !GetObjectW(face.Get(), sizeof info, &info))
            continue;
        // A button wider than its picture shows the picture from its left edge.
        const int fw = std::min(w, static_cast<int>(info.bmWidth)), fh = std::min(h, static_cast<int>(info.bmHeight));
        std::vector<uint32_t> pixels(static_cast<size_t>(info.bmWidth) * fh);
        BITMAPINFO bi = win::TopDownDib(info.bmWidth, fh, 32);
        win::WindowDC screen(nullptr);
        if (GetDIBits(screen.Get(), face.Get(), info.bmHeight - fh, fh, pixels.data(), &bi, DIB_RGB_COLORS) != fh)
            continue;
        const auto shown = ScreenPixels({r.left, r.top, r.left + fw, r.top + fh});
        bool same = true;
        for (int y = 0; y < fh && same; ++y)
            for (int x = 0; x < fw && same; ++x)
                same = (pixels[static_cast<size_t>(y) * info.bmWidth + x] & 0xFFFFFF) ==
                    shown[static_cast<size_t>(y) * fw + x];
        if (same)
            found = i;
    }
    return found;
}

} // namespace orvextest
