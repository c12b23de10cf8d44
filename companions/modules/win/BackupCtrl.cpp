#include "BackupCtrl.h"
#include <commctrl.h>
#include <shlobj.h>
#include <knownfolders.h>
#include <algorithm>
#include <cstdio>
#include "Format.h"
#include "Layout.h"
#include "foundation/Messages.h"
#include "foundation/Module.h"

namespace {

constexpr const wchar_t* kWindowClass = L"OrvmodsBackupCtrl";
constexpr UINT kMsgProgress = WM_APP + 1, kMsgDone = WM_APP + 2;
// The viewer panel's dark look.
constexpr COLORREF kBack = RGB(38, 42, 50), kInk = RGB(226, 230, 236), kDim = RGB(150, 158, 170),
                   kFace = RGB(62, 69, 82), kFaceDown = RGB(84, 94, 112), kEdge = RGB(110, 122, 142);
constexpr int kWidth = 640, kHeight = 420, kMargin = 20;

std::atomic<OrvmodsFolderChooser> g_chooser{nullptr};

std::string Narrow(const std::wstring& w)
{
    if (w.empty())
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, w.c_str(), int(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring Wide(const std::string& s)
{
    if (s.empty())
        return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, s.c_str(), int(s.size()), w.data(), n);
    return w;
}

std::wstring SizeText(uint64_t bytes)
{
    wchar_t text[32];
    if (bytes >= 1000000000ull)
        swprintf(text, 32, L"%.1f GB", double(bytes) / 1e9);
    else if (bytes >= 1000000)
        swprintf(text, 32, L"%.1f MB", double(bytes) / 1e6);
    else
        swprintf(text, 32, L"%llu kB", static_cast<unsigned long long>((bytes + 999) / 1000));
    return text;
}

// The shell is loaded when the control first needs it, not with the module: registering the module
// (regsvr32) then loads no more than it did before.
template <typename F>
F ShellFunction(const char* name)
{
    HMODULE shell = GetModuleHandleW(L"shell32.dll");
    if (!shell)
        shell = LoadLibraryW(L"shell32.dll"); // kept for the process: the module's functions point into it
    return shell ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(shell, name))) : nullptr;
}

std::wstring DefaultRecordingsRoot()
{
    PWSTR videos = nullptr;
    std::wstring root;
    auto knownFolder = ShellFunction<HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*)>("SHGetKnownFolderPath");
    if (knownFolder && SUCCEEDED(knownFolder(FOLDERID_Videos, 0, nullptr, &videos)) && videos)
        root = std::wstring(videos) + L"\\Orvex";
    CoTaskMemFree(videos);
    return root;
}

// DVR local seconds since 1970 (the pickers show the DVR's clock) and back.
SYSTEMTIME TimeOfLocal(int64_t local)
{
    int y, mo, d, h, mi, s;
    backup::CivilOf(local, y, mo, d, h, mi, s);
    SYSTEMTIME t{};
    t.wYear = WORD(y), t.wMonth = WORD(mo), t.wDay = WORD(d), t.wHour = WORD(h), t.wMinute = WORD(mi),
    t.wSecond = WORD(s);
    return t;
}

int64_t LocalOfTime(const SYSTEMTIME& t)
{
    return backup::UnixSecondsOf(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

// The export's own local clock: zone and daylight flag as the DVR stamps its pictures.
int64_t LocalOfUtcSeconds(int64_t utc, uint8_t zone, uint8_t daylight)
{
    int64_t local = 0;
    backup::ParseTimeText(backup::LocalTimeText(utc * 1000000, zone, daylight), &local);
    return local;
}

} // namespace

struct CBackupCtrl::Work {
    std::atomic<bool> cancel{false}, progressPosted{false};
    std::atomic<bool> ended{false}; // set as the worker's last step: only its thread's exit is left
    std::atomic<int> progress{0}; // of 10000
    std::mutex lock;
    HWND window = nullptr; // under lock: the control's window, null once it went
    bool finished = false; // under lock, with result
    backup::ExportJobResult result;

    // Posts to the control's window while it is there: never blocks, so the lock is held only briefly.
    bool Post(UINT msg)
    {
        std::lock_guard<std::mutex> l(lock);
        return window && PostMessageW(window, msg, 0, 0);
    }
};

namespace {

struct ClosingExport {
    std::thread thread;
    std::shared_ptr<CBackupCtrl::Work> work;
};

// Never destroyed: a process may end with a worker still in it (a std::thread destroyed unjoined
// would end the process).
std::mutex& ClosingLock()
{
    static std::mutex* m = new std::mutex;
    return *m;
}
std::vector<ClosingExport>& ClosingList()
{
    static auto* list = new std::vector<ClosingExport>;
    return *list;
}

} // namespace

size_t ClosingExports()
{
    std::lock_guard<std::mutex> l(ClosingLock());
    auto& list = ClosingList();
    for (auto it = list.begin(); it != list.end();) {
        if (it->work->ended.load()) {
            it->thread.join(); // it has returned from its work: only its exit is left
            it = list.erase(it);
        } else {
            ++it;
        }
    }
    return list.size();
}

extern "C" void WINAPI OrvmodsSetFolderChooser(OrvmodsFolderChooser chooser) { g_chooser = chooser; }

CBackupCtrl::CBackupCtrl() : CSubstituteCtrl(kBackupKind), background_(CreateSolidBrush(kBack))
{
    SetExtentPixels(kWidth, kHeight);
    recordingsRoot_ = DefaultRecordingsRoot();
}

CBackupCtrl::~CBackupCtrl() { AbandonWorker(); }

void CBackupCtrl::OnFinalRelease() { AbandonWorker(); }

bool CBackupCtrl::CreateControlWindow(HWND parent, const RECT& pos)
{
    if (!CreateChildWindow(kWindowClass, parent, pos))
        return false;
    // The host's WM_NEXTDLGCTL walks into our children.
    SetWindowLongPtrW(Hwnd(), GWL_EXSTYLE, GetWindowLongPtrW(Hwnd(), GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    return true;
}

HWND CBackupCtrl::Child(const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x, int y, int w, int h)
{
    HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, Hwnd(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), win::ThisModule(), nullptr);
    if (c)
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(textFont_.Get()), FALSE);
    return c;
}

bool CBackupCtrl::OnCreate()
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_DATE_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    const DWORD button = WS_TABSTOP | BS_OWNERDRAW, label = SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS;
    const int x = kMargin, right = kWidth - kMargin;
    int y = 56;
    bool ok = Child(L"STATIC", L"", label, Ids::kRecordingsText, x, y + 5, right - x - 130, 20) &&
        Child(L"BUTTON", L"Recordings...", button, Ids::kRecordingsButton, right - 120, y, 120, 28);
    y += 40;
    ok = ok && Child(L"STATIC", L"Cameras", SS_LEFT, 0, x, y + 3, 76, 20);
    for (int c = 0; c < 16 && ok; ++c) {
        wchar_t name[8];
        swprintf(name, 8, L"%d", c + 1);
        ok = Child(L"BUTTON", name, WS_TABSTOP | BS_AUTOCHECKBOX | WS_DISABLED, Ids::kFirstCamera + c,
                   x + 80 + (c % 8) * 60, y + (c / 8) * 26, 56, 22);
    }
    y += 62;
    const DWORD picker = WS_TABSTOP | DTS_SHORTDATECENTURYFORMAT;
    ok = ok && Child(L"STATIC", L"From", SS_LEFT, 0, x, y + 4, 44, 20) &&
        Child(DATETIMEPICK_CLASSW, L"", picker, Ids::kFromPicker, x + 46, y, 190, 26) &&
        Child(L"STATIC", L"To", SS_LEFT, 0, x + 256, y + 4, 30, 20) &&
        Child(DATETIMEPICK_CLASSW, L"", picker, Ids::kToPicker, x + 288, y, 190, 26);
    y += 42;
    ok = ok && Child(L"STATIC", L"Save to: (choose a folder)", label, Ids::kFolderText, x, y + 5, right - x - 130, 20) &&
        Child(L"BUTTON", L"Folder...", button, Ids::kFolderButton, right - 120, y, 120, 28);
    y += 40;
    ok = ok && Child(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, Ids::kSize, x, y, right - x, 20);
    y += 30;
    ok = ok && Child(PROGRESS_CLASSW, L"", 0, Ids::kProgress, x, y, right - x, 18);
    y += 26;
    ok = ok && Child(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, Ids::kStatus, x, y, right - x, 40);
    y = kHeight - kMargin - 30;
    ok = ok && Child(L"BUTTON", L"Export", button, Ids::kExportButton, x, y, 120, 30) &&
        Child(L"BUTTON", L"Cancel", button | WS_DISABLED, Ids::kCancelButton, x + 130, y, 120, 30) &&
        Child(L"BUTTON", L"Close (F8)", button, kCloseButton, right - 120, y, 120, 30);
    if (!ok)
        return false;
    for (int id : {Ids::kFromPicker, Ids::kToPicker})
        SendMessageW(GetDlgItem(Hwnd(), id), DTM_SETFORMATW, 0,
                     reinterpret_cast<LPARAM>(L"yyyy'-'MM'-'dd HH':'mm':'ss"));
    SendMessageW(GetDlgItem(Hwnd(), Ids::kProgress), PBM_SETRANGE32, 0, 10000);
    ShowReceivedAsText();
    LoadSite();
    return true;
}

LRESULT CBackupCtrl::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE: return OnCreate() ? 0 : -1;
    case WM_DESTROY: AbandonWorker(); return 0;
    case WM_COMMAND: OnCommand(LOWORD(wp), HIWORD(wp)); return 0;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lp)->code == DTN_DATETIMECHANGE)
            UpdateSize();
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: return OnColour(reinterpret_cast<HDC>(wp));
    case WM_DRAWITEM: OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp)); return TRUE;
    case kMsgProgress: OnProgress(); return 0;
    case kMsgDone: OnDone(); return 0;
    case WM_KEYDOWN:
        if (wp == kCloseKey) {
            CloseHost();
            return 0;
        }
        return Default(msg, wp, lp);
    case WM_MOUSEACTIVATE: InPlaceActivate(true); return Default(msg, wp, lp);
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        win::PaintDC dc(Hwnd());
        RECT all{};
        GetClientRect(Hwnd(), &all);
        Paint(dc.Get(), all);
        return 0;
    }
    default: return Default(msg, wp, lp);
    }
}

void CBackupCtrl::OnCommand(int id, int code)
{
    if (id >= Ids::kFirstCamera && id < Ids::kFirstCamera + 16) {
        if (code == BN_CLICKED)
            UpdateSize();
        return;
    }
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case Ids::kRecordingsButton: ChooseFolder(0); break;
    case Ids::kFolderButton: ChooseFolder(1); break;
    case Ids::kExportButton: StartExport(); break;
    case Ids::kCancelButton:
        if (work_) {
            work_->cancel = true;
            SetStatus(L"Cancelling...");
        }
        break;
    case kCloseButton: CloseHost(); break;
    default: break;
    }
}

LRESULT CBackupCtrl::OnColour(HDC dc)
{
    SetTextColor(dc, kInk);
    SetBkColor(dc, kBack);
    return reinterpret_cast<LRESULT>(background_.Get());
}

void CBackupCtrl::OnDrawItem(const DRAWITEMSTRUCT& item)
{
    const bool down = item.itemState & ODS_SELECTED, off = item.itemState & ODS_DISABLED;
    win::Brush face(CreateSolidBrush(down ? kFaceDown : kFace)), edge(CreateSolidBrush(kEdge));
    RECT r = item.rcItem;
    FillRect(item.hDC, &r, face.Get());
    FrameRect(item.hDC, &r, edge.Get());
    wchar_t text[64] = {};
    GetWindowTextW(item.hwndItem, text, 64);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, off ? kDim : kInk);
    win::ScopedSelect font(item.hDC, textFont_.Get());
    DrawTextW(item.hDC, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (item.itemState & ODS_FOCUS) {
        InflateRect(&r, -3, -3);
        DrawFocusRect(item.hDC, &r);
    }
}

void CBackupCtrl::DrawContent(HDC dc, const RECT& bounds) { Paint(dc, bounds); }

void CBackupCtrl::Paint(HDC dc, const RECT& bounds)
{
    FillRect(dc, &bounds, background_.Get());
    win::Brush edge(CreateSolidBrush(kEdge));
    FrameRect(dc, &bounds, edge.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kInk);
    std::wstring title = L"Backup";
    if (!Address().empty())
        title += L" \x2014 " + Address() + L":" + Port();
    win::ScopedSelect font(dc, titleFont_.Get());
    TextOutW(dc, bounds.left + kMargin, bounds.top + 16, title.c_str(), int(title.size()));
}

void CBackupCtrl::SetStatus(const std::wstring& text) { SetWindowTextW(GetDlgItem(Hwnd(), Ids::kStatus), text.c_str()); }

void CBackupCtrl::OnSiteTaken()
{
    if (Hwnd())
        LoadSite();
}

void CBackupCtrl::ChooseFolder(int which)
{
    if (running_)
        return;
    wchar_t path[MAX_PATH] = {};
    bool chosen = false;
    if (OrvmodsFolderChooser chooser = g_chooser.load()) {
        chosen = chooser(which, path, MAX_PATH) != FALSE;
    } else {
        BROWSEINFOW bi{};
        bi.hwndOwner = Hwnd();
        bi.lpszTitle = which == 0 ? L"The folder of the recordings" : L"The folder to export to";
        bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
        auto browse = ShellFunction<PIDLIST_ABSOLUTE(WINAPI*)(BROWSEINFOW*)>("SHBrowseForFolderW");
        auto pathOf = ShellFunction<BOOL(WINAPI*)(PCIDLIST_ABSOLUTE, LPWSTR)>("SHGetPathFromIDListW");
        if (PIDLIST_ABSOLUTE item = browse && pathOf ? browse(&bi) : nullptr) {
            chosen = pathOf(item, path) != FALSE;
            CoTaskMemFree(item);
        }
    }
    if (!chosen || !path[0])
        return;
    if (which == 0) {
        recordingsRoot_ = path;
        LoadSite();
    } else {
        targetFolder_ = path;
        SetWindowTextW(GetDlgItem(Hwnd(), Ids::kFolderText), (L"Save to: " + targetFolder_).c_str());
        UpdateSize();
    }
}

void CBackupCtrl::LoadSite()
{
    SetWindowTextW(GetDlgItem(Hwnd(), Ids::kRecordingsText), (L"Recordings: " + recordingsRoot_).c_str());
    recordings_ = {};
    siteFolder_.clear();
    const unsigned long port = wcstoul(Port().c_str(), nullptr, 10);
    if (!Address().empty() && port >= 1 && port <= 65535 && !recordingsRoot_.empty()) {
        siteFolder_ = store::JoinPath(Narrow(recordingsRoot_), store::SiteFolderName(Narrow(Address()), uint16_t(port)));
        recordings_ = backup::ListSiteRecordings(siteFolder_);
    }
    for (int c = 0; c < 16; ++c) {
        const HWND box = GetDlgItem(Hwnd(), Ids::kFirstCamera + c);
        const bool has = std::find(recordings_.cameras.begin(), recordings_.cameras.end(), c) != recordings_.cameras.end();
        EnableWindow(box, has);
        SendMessageW(box, BM_SETCHECK, has ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    if (recordings_.lastMs > 0) {
        // The last recorded hour, in whole seconds of the DVR's clock.
        const int64_t to = LocalOfUtcSeconds((recordings_.lastMs + 999) / 1000 + 1, recordings_.zone, recordings_.daylight);
        const SYSTEMTIME a = TimeOfLocal(to - 3600), b = TimeOfLocal(to);
        SendMessageW(GetDlgItem(Hwnd(), Ids::kFromPicker), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&a));
        SendMessageW(GetDlgItem(Hwnd(), Ids::kToPicker), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&b));
        SetStatus(L"");
    } else {
        SetStatus(Address().empty() ? L"No site was handed over." : L"This site has no recordings on this PC.");
    }
    UpdateSize();
}

bool CBackupCtrl::Span(int64_t* fromUs, int64_t* toUs) const
{
    SYSTEMTIME a{}, b{};
    if (SendMessageW(GetDlgItem(Hwnd(), Ids::kFromPicker), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&a)) != GDT_VALID ||
        SendMessageW(GetDlgItem(Hwnd(), Ids::kToPicker), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&b)) != GDT_VALID)
        return false;
    *fromUs = backup::UtcOfLocalSeconds(LocalOfTime(a), recordings_.zone, recordings_.daylight) * 1000000;
    *toUs = backup::UtcOfLocalSeconds(LocalOfTime(b), recordings_.zone, recordings_.daylight) * 1000000;
    return *toUs > *fromUs;
}

std::vector<int> CBackupCtrl::CheckedCameras() const
{
    std::vector<int> cameras;
    for (int c = 0; c < 16; ++c)
        if (SendMessageW(GetDlgItem(Hwnd(), Ids::kFirstCamera + c), BM_GETCHECK, 0, 0) == BST_CHECKED)
            cameras.push_back(c);
    return cameras;
}

void CBackupCtrl::UpdateSize()
{
    std::wstring text;
    int64_t from = 0, to = 0;
    if (!siteFolder_.empty() && Span(&from, &to))
        text = L"The export takes about " +
            SizeText(backup::EstimateExportBytes(siteFolder_, CheckedCameras(), from / 1000, to / 1000));
    else if (!siteFolder_.empty())
        text = L"The span's end must follow its start";
    ULARGE_INTEGER free{};
    if (!targetFolder_.empty() && GetDiskFreeSpaceExW(targetFolder_.c_str(), &free, nullptr, nullptr))
        text += (text.empty() ? L"" : L"; ") + SizeText(free.QuadPart) + L" free there";
    SetWindowTextW(GetDlgItem(Hwnd(), Ids::kSize), text.c_str());
    UpdateButtons();
}

void CBackupCtrl::UpdateButtons()
{
    int64_t from = 0, to = 0;
    const bool ready = !running_ && !siteFolder_.empty() && !targetFolder_.empty() && !CheckedCameras().empty() &&
        Span(&from, &to);
    EnableWindow(GetDlgItem(Hwnd(), Ids::kExportButton), ready);
    EnableWindow(GetDlgItem(Hwnd(), Ids::kCancelButton), running_);
    for (int id : {Ids::kRecordingsButton, Ids::kFolderButton, Ids::kFromPicker, Ids::kToPicker})
        EnableWindow(GetDlgItem(Hwnd(), id), !running_);
    for (int c = 0; c < 16; ++c) {
        const bool has = std::find(recordings_.cameras.begin(), recordings_.cameras.end(), c) != recordings_.cameras.end();
        EnableWindow(GetDlgItem(Hwnd(), Ids::kFirstCamera + c), has && !running_);
    }
}

void CBackupCtrl::StartExport()
{
    backup::ExportJobRequest r;
    if (running_ || siteFolder_.empty() || targetFolder_.empty() || !Span(&r.fromUs, &r.toUs))
        return;
    r.cameras = CheckedCameras();
    if (r.cameras.empty())
        return;
    r.siteFolder = siteFolder_;
    r.site = Narrow(Address()) + ":" + Narrow(Port());
    r.folder = Narrow(targetFolder_);
    r.zone = recordings_.zone, r.daylight = recordings_.daylight;
    AbandonWorker(); // none runs here (the button is off meanwhile); kept for safety
    auto work = std::make_shared<Work>();
    work->window = Hwnd();
    startTick_ = GetTickCount();
    running_ = true;
    SendMessageW(GetDlgItem(Hwnd(), Ids::kProgress), PBM_SETPOS, 0, 0);
    SetStatus(L"Exporting...");
    try {
        worker_ = std::thread([work, r] {
            backup::ExportJobResult result;
            try {
                result = backup::RunExportJob(r, [&work](double f) {
                    work->progress = int(f * 10000);
                    if (!work->progressPosted.exchange(true) && !work->Post(kMsgProgress))
                        work->progressPosted = false;
                    return !work->cancel.load();
                });
            } catch (...) {
                result = {};
                result.error = "The export stopped: the PC ran short of memory.";
            }
            try {
                {
                    std::lock_guard<std::mutex> l(work->lock);
                    work->result = std::move(result);
                    work->finished = true;
                }
                work->Post(kMsgDone);
            } catch (...) { // a lock that failed: the control shows no result, and nothing else is lost
            }
            work->ended = true;
        });
    } catch (...) { // no thread could be made
        running_ = false;
        SetStatus(L"The export could not start: the PC ran short of resources.");
        UpdateButtons();
        return;
    }
    work_ = std::move(work);
    UpdateButtons();
}

void CBackupCtrl::OnProgress()
{
    if (!running_ || !work_)
        return;
    work_->progressPosted = false;
    const int p = std::clamp(work_->progress.load(), 0, 10000);
    SendMessageW(GetDlgItem(Hwnd(), Ids::kProgress), PBM_SETPOS, WPARAM(p), 0);
    if (work_->cancel)
        return;
    const double elapsed = double(GetTickCount() - startTick_) / 1000.0;
    if (p >= 200) {
        const int left = int(elapsed * double(10000 - p) / double(p) + 0.5);
        wchar_t text[64];
        swprintf(text, 64, L"Exporting: %d%%, about %d:%02d left", p / 100, left / 60, left % 60);
        SetStatus(text);
    }
}

void CBackupCtrl::OnDone()
{
    if (!running_ || !work_)
        return;
    backup::ExportJobResult r;
    {
        std::lock_guard<std::mutex> l(work_->lock);
        if (!work_->finished)
            return;
        r = std::move(work_->result);
    }
    if (worker_.joinable())
        worker_.join(); // it has posted its result: only its last store and exit are left
    work_.reset();
    running_ = false;
    if (r.ok) {
        SendMessageW(GetDlgItem(Hwnd(), Ids::kProgress), PBM_SETPOS, 10000, 0);
        const size_t slash = r.manifest.find_last_of("/\\");
        SetStatus(L"Done: " + std::to_wstring(r.files.size()) + L" files in the folder; the manifest is " +
                  Wide(slash == std::string::npos ? r.manifest : r.manifest.substr(slash + 1)) + L".");
    } else {
        SendMessageW(GetDlgItem(Hwnd(), Ids::kProgress), PBM_SETPOS, 0, 0);
        SetStatus(r.cancelled ? std::wstring(L"Cancelled: no file of this export was kept.")
                              : L"The export failed: " + Wide(r.error));
    }
    UpdateSize();
}

void CBackupCtrl::AbandonWorker()
{
    running_ = false;
    if (!work_)
        return;
    work_->cancel = true;
    {
        std::lock_guard<std::mutex> l(work_->lock);
        work_->window = nullptr;
    }
    if (worker_.joinable()) {
        std::lock_guard<std::mutex> l(ClosingLock());
        auto& list = ClosingList();
        bool room = true;
        try {
            list.reserve(list.size() + 1);
        } catch (...) {
            room = false;
        }
        if (room)
            list.push_back({std::move(worker_), work_}); // reserved: cannot throw
        else
            worker_.detach(); // no room to keep it: it still ends by itself, holding what it shares
    }
    work_.reset();
}
