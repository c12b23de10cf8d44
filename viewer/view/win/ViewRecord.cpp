// Ctrl+R: recording of every camera the DVR sends, into the person's Videos folder plus "Orvex"
// unless they chose another with Ctrl+Shift+R in the folder dialog. Only these keys start
// recording or choose the folder: the control is scriptable, and no script may write files.
// The writing happens on the recorder's own thread; its news comes back as WM_RECORDING.
#include "DVRScreenView.h"
#include "LiveVideo.h"
#include "StoreSink.h"
#include "skin/ViewerStrings.h"
#include "foundation/Trace.h"
#include "foundation/Utf8.h"
#include <knownfolders.h>
#include <shlobj.h>

namespace view {

namespace {

// The folder the person chose, kept beside the settings file; the settings record stays as it is.
constexpr wchar_t kRecordFile[] = L"C:/Program Files/Orvex/ViewRecord.ini";
constexpr wchar_t kRecordSection[] = L"Recording";
constexpr wchar_t kRecordKey[] = L"Folder";

std::wstring DefaultRecordFolder()
{
    std::wstring videos;
    PWSTR known = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Videos, KF_FLAG_CREATE, nullptr, &known)) && known)
        videos = known;
    CoTaskMemFree(known);
    if (videos.empty()) {
        wchar_t path[MAX_PATH] = {};
        if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_MYVIDEO | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path)))
            videos = path;
    }
    return videos.empty() ? std::wstring() : videos + L"\\Orvex";
}

std::wstring Filled(std::wstring text, const std::wstring& value)
{
    if (size_t p = text.find(L"%s"); p != std::wstring::npos)
        text.replace(p, 2, value);
    return text;
}

// The store joins its folders with '/', which Windows takes too; the person reads '\\'.
std::wstring WindowsPath(std::wstring path)
{
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM, LPARAM data)
{
    if (msg == BFFM_INITIALIZED && data)
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

} // namespace

std::wstring DVRScreenView::RecordFolder() const
{
    wchar_t chosen[MAX_PATH] = {};
    GetPrivateProfileStringW(kRecordSection, kRecordKey, L"", chosen, MAX_PATH, kRecordFile);
    return chosen[0] ? std::wstring(chosen) : DefaultRecordFolder();
}

void DVRScreenView::ToggleRecording()
{
    record::Recorder& recorder = components_.Recorder();
    if (recorder.Active()) {
        recorder.Stop(); // "Recording stopped." once the writer has closed the store
        ShowRecordMarks();
        return;
    }
    const std::wstring folder = RecordFolder();
    if (folder.empty()) {
        LogLine(Filled(Text(viewer_strings::kStrRecordNotStarted), L"no Videos folder"));
        return;
    }
    const connection::ConnectFields site = ReadFields();
    recordAddress_ = site.address;
    recordPort_ = site.port;
    // The store opens on the writer thread: a slow or gone share does not hold the window.
    recorder.Start([root = win::Utf8(folder), address = site.address, port = static_cast<uint16_t>(site.port)](
                       std::string* error) { return record::OpenStoreSink(root, address, port, error); });
    ShowRecordMarks();
}

void DVRScreenView::ChooseRecordFolder()
{
    const std::wstring current = RecordFolder();
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    BROWSEINFOW bi{};
    bi.hwndOwner = Hwnd();
    const std::wstring title = Filled(Text(viewer_strings::kStrRecordFolder), L"...");
    bi.lpszTitle = title.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    bi.lpfn = BrowseCallback;
    bi.lParam = reinterpret_cast<LPARAM>(current.c_str());
    if (PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&bi)) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(list, path) && path[0]) {
            if (WritePrivateProfileStringW(kRecordSection, kRecordKey, path, kRecordFile))
                LogLine(Filled(Text(viewer_strings::kStrRecordFolder), path));
            else
                LogLine(Filled(Text(viewer_strings::kStrRecordNotStarted), kRecordFile));
        }
        CoTaskMemFree(list);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
}

void DVRScreenView::ShowRecordMarks()
{
    CLiveVideo* live = components_.Live();
    if (!live)
        return;
    const record::Recorder& recorder = components_.Recorder();
    live->Display().SetRecording(recorder.Active() ? recorder.Channels() : 0);
}

void DVRScreenView::OnRecording()
{
    for (const record::RecordEvent& e : components_.Recorder().TakeEvents()) {
        using Kind = record::RecordEvent::Kind;
        switch (e.kind) {
        case Kind::Opened: LogLine(Filled(Text(viewer_strings::kStrRecordStarted), WindowsPath(win::FromUtf8(e.text)))); break;
        case Kind::NotOpened: LogLine(Filled(Text(viewer_strings::kStrRecordNotStarted), win::FromUtf8(e.text))); break;
        case Kind::Failed: LogLine(Filled(Text(viewer_strings::kStrRecordFailed), win::FromUtf8(e.text))); break;
        case Kind::Lost:
            LogLine(ToWide(video::FillNumbers(ToU16(Text(viewer_strings::kStrRecordLost)),
                                              {static_cast<long long>(e.counts.lost)})));
            break;
        case Kind::Stopped:
            if (e.counts.lost)
                LogLine(ToWide(video::FillNumbers(ToU16(Text(viewer_strings::kStrRecordLost)),
                                                  {static_cast<long long>(e.counts.lost)})));
            LogLine(Text(viewer_strings::kStrRecordStopped));
            break;
        }
        win::Trace(L"===>>> recording: %llu blocks, %llu bytes, %llu refused, %llu lost\n",
                   static_cast<unsigned long long>(e.counts.blocks), static_cast<unsigned long long>(e.counts.bytes),
                   static_cast<unsigned long long>(e.counts.refused), static_cast<unsigned long long>(e.counts.lost));
    }
    ShowRecordMarks();
}

void DVRScreenView::RecordSiteCheck()
{
    // A login to another DVR while recording: its pictures are not that recording's; the
    // recording ends, and Ctrl+R starts one of the new DVR.
    record::Recorder& recorder = components_.Recorder();
    if (!recorder.Active())
        return;
    const connection::ConnectFields site = ReadFields();
    if (site.address == recordAddress_ && site.port == recordPort_)
        return;
    recorder.Stop();
    ShowRecordMarks();
}

} // namespace view
