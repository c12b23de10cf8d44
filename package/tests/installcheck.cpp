// installcheck: what the install test asks Windows about an installed Orvex (package/tests/install_test.sh).
//   installcheck run EXE [ARG...]   runs EXE and waits for it and every process it starts (an
//                                   uninstaller runs on from a copy of itself); EXE's exit code
//   installcheck shortcut LNK       the shortcut's target and working folder, one a line
//   installcheck orvex EXE [DIR]    starts EXE (in DIR), waits for Orvex's main window, closes it
//                                   with its exit button and waits for the program to end
//   installcheck create ID          creates the control of ProgID or {CLSID} ID; its server's path
//   installcheck version FILE       "file=<FileVersion> product=<ProductVersion>"
//   installcheck registry           each registration of the controls and the uninstall entry that
//                                   exists, one a line ("uninstall.NAME=value" for the entry's values)
//   installcheck videos             the Videos folder of the person running it (the viewer records
//                                   into its "Orvex" folder unless told otherwise)
// Exit code 0 when the answer is there, 1 when not, 2 on bad arguments.
#include <windows.h>
#include <objbase.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr DWORD kOrvexExitButton = 1011;

// Whether process `pid` still runs a program outside the Windows folder (Wine's own services, which
// the first program of a fresh prefix starts, stay: they do not count).
bool RunsOurs(DWORD pid, std::wstring& image)
{
    wchar_t windows[MAX_PATH] = {}, path[MAX_PATH] = {};
    const UINT windowsChars = GetWindowsDirectoryW(windows, MAX_PATH);
    HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    DWORD chars = MAX_PATH, exit = 0;
    const bool ours = p && GetExitCodeProcess(p, &exit) && exit == STILL_ACTIVE &&
                      QueryFullProcessImageNameW(p, 0, path, &chars) && _wcsnicmp(path, windows, windowsChars) != 0;
    if (p)
        CloseHandle(p);
    image = path;
    return ours;
}

int Run(int argc, wchar_t** argv)
{
    std::wstring line = L"\"" + std::wstring(argv[0]) + L"\"";
    for (int i = 1; i < argc; ++i)
        line += L" " + std::wstring(argv[i]); // passed as given: NSIS reads /D= unquoted
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        fwprintf(stderr, L"cannot start %ls (%lu)\n", argv[0], GetLastError());
        return 1;
    }
    CloseHandle(pi.hThread);
    // An uninstaller runs on from a copy of itself that it starts and leaves: wait for the whole
    // family. A child's entry names its parent even after the parent has ended.
    std::set<DWORD> family{pi.dwProcessId};
    for (int waited = 0; waited < 120000; waited += 50) {
        bool running = WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT;
        std::wstring left;
        HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W e{sizeof e};
        for (bool more = Process32FirstW(snap, &e); more; more = Process32NextW(snap, &e)) {
            if (!family.count(e.th32ParentProcessID) || e.th32ProcessID == pi.dwProcessId)
                continue;
            family.insert(e.th32ProcessID);
            std::wstring image;
            if (RunsOurs(e.th32ProcessID, image)) {
                running = true;
                left += L" " + image;
            }
        }
        CloseHandle(snap);
        if (!running) {
            DWORD code = 1;
            GetExitCodeProcess(pi.hProcess, &code);
            CloseHandle(pi.hProcess);
            return static_cast<int>(code);
        }
        if (waited + 50 >= 120000)
            fwprintf(stderr, L"still running after 120 s: %ls%ls\n", argv[0], left.c_str());
    }
    CloseHandle(pi.hProcess);
    return 1;
}

int Shortcut(const wchar_t* lnk)
{
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t target[MAX_PATH] = {}, folder[MAX_PATH] = {};
    bool ok = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                         reinterpret_cast<void**>(&link))) &&
              SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
              SUCCEEDED(file->Load(lnk, STGM_READ)) && SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
              SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH));
    if (file)
        file->Release();
    if (link)
        link->Release();
    if (!ok || !target[0])
        return 1;
    wprintf(L"%ls\n%ls\n", target, folder);
    return 0;
}

struct WindowSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindMain(HWND w, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    RECT r{};
    if (pid == search->pid && IsWindowVisible(w) && GetDlgItem(w, kOrvexExitButton) && GetWindowRect(w, &r) &&
        r.right > r.left && r.bottom > r.top) {
        search->found = w;
        return FALSE;
    }
    return TRUE;
}

int Orvex(const wchar_t* exe, const wchar_t* folder)
{
    std::wstring line = L"\"" + std::wstring(exe) + L"\"";
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &si, &pi)) {
        fwprintf(stderr, L"cannot start %ls (%lu)\n", exe, GetLastError());
        return 1;
    }
    CloseHandle(pi.hThread);
    WindowSearch search{pi.dwProcessId, nullptr};
    for (int waited = 0; waited < 30000 && !search.found; waited += 50) {
        if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0)
            break;
        EnumWindows(FindMain, reinterpret_cast<LPARAM>(&search));
    }
    int rc = 1;
    if (!search.found) {
        fwprintf(stderr, L"Orvex showed no main window\n");
    } else {
        wchar_t caption[256] = {};
        GetWindowTextW(search.found, caption, 256);
        wprintf(L"main window \"%ls\"\n", caption);
        PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(kOrvexExitButton, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(search.found, kOrvexExitButton)));
        if (WaitForSingleObject(pi.hProcess, 15000) == WAIT_OBJECT_0)
            rc = 0;
        else
            fwprintf(stderr, L"Orvex did not end from its exit button\n");
    }
    if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    return rc;
}

std::wstring ServerPath(const CLSID& clsid)
{
    wchar_t text[64] = {};
    StringFromGUID2(clsid, text, 64);
    const std::wstring key = L"CLSID\\" + std::wstring(text) + L"\\InprocServer32";
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof path;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS)
        return {};
    return path;
}

int Create(const wchar_t* id)
{
    CLSID clsid{};
    HRESULT hr = id[0] == L'{' ? CLSIDFromString(id, &clsid) : CLSIDFromProgID(id, &clsid);
    if (FAILED(hr)) {
        fwprintf(stderr, L"%ls is not registered (0x%08lx)\n", id, static_cast<unsigned long>(hr));
        return 1;
    }
    IUnknown* object = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object));
    if (FAILED(hr)) {
        fwprintf(stderr, L"%ls cannot be created (0x%08lx)\n", id, static_cast<unsigned long>(hr));
        return 1;
    }
    object->Release();
    wprintf(L"%ls\n", ServerPath(clsid).c_str());
    return 0;
}

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name)
{
    struct Pair {
        WORD language, codePage;
    }* pair = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pair), &size) ||
        size < sizeof(Pair))
        return {};
    wchar_t query[96];
    swprintf(query, 96, L"\\StringFileInfo\\%04x%04x\\%ls", pair->language, pair->codePage, name);
    wchar_t* value = nullptr;
    if (!VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&value), &size) || !value)
        return {};
    return value;
}

int Version(const wchar_t* file)
{
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(file, &ignored));
    if (block.empty() || !GetFileVersionInfoW(file, 0, static_cast<DWORD>(block.size()), block.data()))
        return 1;
    wprintf(L"file=%ls product=%ls\n", VersionString(block, L"FileVersion").c_str(),
            VersionString(block, L"ProductVersion").c_str());
    return 0;
}

int Registry()
{
    const wchar_t* const classesKeys[] = {
        L"CLSID\\{DDC012F8-A786-4584-856D-044BC1F49414}", // Pellux
        L"CLSID\\{BC322BD5-6359-47D4-9926-363FE6A11024}", // its property page
        L"PELLUX.PelluxCtrl.1",
        L"PELLUX.PelluxPropPage.1",
        L"TypeLib\\{A222643E-744A-46F8-85FE-02883EC5C2E3}",
        L"CLSID\\{775D096D-0F0F-45FA-8EE1-4C1FD194910B}", // the remote setup, backup, player, search modules
        L"CLSID\\{F78A830F-E6D0-4F70-BC4D-B29B6713961F}",
        L"CLSID\\{BA04A117-26C3-4C87-A3BA-F3D7A1D8C4FE}",
        L"CLSID\\{DBFD22D6-5229-407D-A407-E15D7FF35253}",
        L"ORVMODS.RemoteSetupCtrl.1",
        L"ORVMODS.BackupCtrl.1",
        L"ORVMODS.PlayerCtrl.1",
        L"ORVMODS.SearchCtrl.1",
        L"TypeLib\\{DCAE59B2-DB00-4DC7-92BD-DF2FA6B51440}",
    };
    for (const wchar_t* key : classesKeys) {
        HKEY k = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, KEY_READ | KEY_WOW64_64KEY, &k) == ERROR_SUCCESS) {
            wprintf(L"HKCR\\%ls\n", key);
            RegCloseKey(k);
        }
    }
    const wchar_t* uninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvex";
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, uninstall, 0, KEY_READ | KEY_WOW64_64KEY, &k) != ERROR_SUCCESS)
        return 0;
    wprintf(L"HKLM\\%ls\n", uninstall);
    wchar_t name[256], text[1024];
    for (DWORD i = 0;; ++i) {
        DWORD nameChars = 256, type = 0, bytes = sizeof text;
        if (RegEnumValueW(k, i, name, &nameChars, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) != ERROR_SUCCESS)
            break;
        if (type == REG_DWORD)
            wprintf(L"uninstall.%ls=%lu\n", name, *reinterpret_cast<DWORD*>(text));
        else if (type == REG_SZ)
            wprintf(L"uninstall.%ls=%.*ls\n", name, static_cast<int>(bytes / sizeof(wchar_t)), text);
    }
    RegCloseKey(k);
    return 0;
}

int Videos()
{
    PWSTR known = nullptr;
    const bool found = SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Videos, KF_FLAG_CREATE, nullptr, &known)) && known;
    if (found)
        wprintf(L"%ls\n", known);
    CoTaskMemFree(known);
    return found ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    const std::wstring what = argv[1];
    if (what == L"run" && argc >= 3)
        return Run(argc - 2, argv + 2);
    if (what == L"registry")
        return Registry();
    if (what == L"videos")
        return Videos();
    if (what == L"version" && argc == 3)
        return Version(argv[2]);
    if (what == L"orvex" && argc >= 3)
        return Orvex(argv[2], argc > 3 ? argv[3] : nullptr);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int rc = 2;
    if (what == L"shortcut" && argc == 3)
        rc = Shortcut(argv[2]);
    else if (what == L"create" && argc == 3)
        rc = Create(argv[2]);
    CoUninitialize();
    return rc;
}
