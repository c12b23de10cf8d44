#include "DVRScreenView.h"
#include "LiveVideo.h"
#include "ViewAudio.h"
#include "ViewStrings.h"
#include "AnsiText.h"
#include "ViewReadout.h"
#include "skin/LanguageLibrary.h"
#include "foundation/Module.h"
#include "foundation/Trace.h"
#include "foundation/Dialog.h"
#include <windowsx.h>

namespace view {

namespace {

std::wstring Widen(std::string_view ansi)
{
    if (ansi.empty())
        return {};
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), w.data(), n);
    return w;
}

} // namespace

DVRScreenView::DVRScreenView(const ViewSkin& skin, const ViewPartsConfig& parts)
    : skin_(skin), panel_(skin), components_(parts, transport_, *this, &panel_, &ptz_, this),
      settings_([this](bool on) { SetEnableAudio(on); })
{}

SIZE DVRScreenView::PanelSize(const ViewSkin& skin)
{
    const RECT r = PanelRect(skin, kRectPanel);
    return SIZE{r.right, r.bottom};
}

DVRScreenView* DVRScreenView::Create(HWND parent, const ViewSkin& skin, const ViewPartsConfig& parts)
{
    return win::Barrier("DVRScreenView::Create", static_cast<DVRScreenView*>(nullptr), [&]() -> DVRScreenView* {
        if (!win::RegisterModuleClass(ClassOf(kClassName)))
            return nullptr;
        auto destroy = [](DVRScreenView* p) { delete p; };
        std::unique_ptr<DVRScreenView, decltype(destroy)> v(new DVRScreenView(skin, parts), destroy);
        const SIZE size = PanelSize(skin);
        // While it is being created the view does not delete itself: a failed creation is undone here.
        v->creating_ = true;
        // 0xE900: the identifier of a main pane.
        bool made = v->CreateEx(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_CLIPCHILDREN, 0, 0, size.cx,
                                size.cy, parent, 0xE900);
        v->creating_ = false;
        return made ? v.release() : nullptr;
    });
}

void CALLBACK DVRScreenView::StreamTimerProc(HWND wnd, UINT, UINT_PTR, DWORD)
{
    SendMessageW(wnd, WM_STREAM_TIMER, 0, 0);
}

LRESULT DVRScreenView::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    auto& c = components_.Controller();
    switch (msg) {
    case WM_CREATE: return OnCreate() ? 0 : -1;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: OnPaint(); return 0;
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC: return OnColor(msg, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_TIMER: OnTimer(wp); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE: panel_.OnMouse(msg, wp, lp); return 0;
    case WM_IMGBTN_DRAWN: panel_.OnDrawn(reinterpret_cast<const skinui::ButtonRect*>(lp)); return 0;
    case WM_IMGBTN_REDRAW: panel_.OnRedraw(reinterpret_cast<skinui::CImageButton*>(wp)); return 0;
    case WM_IMGBTN_REPEATEND: return 0;
    case WM_IMGBTN_PRESSED: ptz_.OnPressed(static_cast<int>(wp)); return 0;
    case WM_IMGBTN_RELEASED: ptz_.OnReleased(static_cast<int>(wp)); return 0;
    case WM_COMMAND: return ptz_.OnControl(LOWORD(wp), HIWORD(wp)) ? 0 : Default(msg, wp, lp);
    case WM_STREAM_TIMER: c.OnStreamRequestTick(); return 0;
    case WM_PICTURE_SHOWN: c.OnPictureShown(); return 0;
    case WM_RESOLUTION_CLASS: OnResolutionClass(static_cast<int>(wp), static_cast<int>(lp)); return 0;
    case WM_SETUP_APPLIED: OnSetupApplied(); return 0;
    case WM_MOUSEWHEEL: return OnWheel(wp, lp) ? 0 : Default(msg, wp, lp);
    case WM_LBUTTONDBLCLK: OnDoubleClick(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); return 0;
    case WM_VIEW_COMMAND: OnViewCommand(static_cast<int>(wp), lp); return 0;
    case WM_PARENTNOTIFY: OnParentNotify(wp, lp); return 0;
    case WM_AUDIO_CAPTURED: OnAudioCaptured(); return 0;
    case WM_HOST_MOVED: return 0;
    case WM_RECORDING: OnRecording(); return 0;
    case NSMG_WM_CONNECT: c.OnConnectResult(wp != 0); return 0;
    case NSMG_WM_LOST:
    case NSMG_WM_CLOSED: c.OnConnectionLost(); return 0;
    case NSMG_WM_PACKET_A:
    case NSMG_WM_PACKET_B:
    case NSMG_WM_PACKET: c.OnPacket(reinterpret_cast<const void*>(wp), reinterpret_cast<const void*>(lp)); return 0;
    case NSMG_WM_STREAM:
        c.OnStreamBlock(reinterpret_cast<const void*>(wp), reinterpret_cast<const void*>(lp));
        return 0;
    case NSMG_WM_STREAM_STATUS: c.OnStreamStatus(static_cast<uint32_t>(wp), lp != 0); return 0;
    }
    return Default(msg, wp, lp);
}

void DVRScreenView::OnPaint()
{
    win::PaintDC dc(Hwnd());
    panel_.OnPaint(dc.Get());
}

void DVRScreenView::OnTimer(UINT_PTR id)
{
    if (panel_.OnTimer(id))
        return;
    if (id == kConfigurationTimer) {
        OnConfigurationTimer();
        return;
    }
    if (id == kAgeTimer) {
        OnAgeTimer();
        return;
    }
    if (id == kCycleTimer) {
        OnCycleTimer();
        return;
    }
    for (auto timer : {connection::ViewTimer::Reconnect, connection::ViewTimer::PictureWatchdog})
        if (id == static_cast<UINT_PTR>(timer))
            components_.Controller().OnTimer(timer);
}

void DVRScreenView::OnParentNotify(WPARAM wp, LPARAM lp)
{
    // The display asks for the right-click switches of its texts; the switches belong to it.
    if (CLiveVideo* live = components_.Live())
        live->Display().OnParentNotify(Hwnd(), wp, lp);
}

void DVRScreenView::OnAudioCaptured()
{
    const auto& state = components_.Controller().State();
    if (CViewAudio* audio = components_.Audio())
        audio->OnCaptured(state.connected && state.loggedIn);
}

bool DVRScreenView::OnCreate()
{
    black_.Attach(CreateSolidBrush(RGB(0, 0, 0)));
    components_.SetRecordingWindow(Hwnd());
    if (!panel_.Create(Hwnd()))
        return false;
    ptz_.FillLists(Hwnd());
    if (CLiveVideo* live = components_.Live()) {
        if (!live->Attach(Hwnd(), SkinRect(kRectDisplay), &components_.Controller(), components_.AudioTiming()))
            return false;
        SetTimer(Hwnd(), kAgeTimer, 1000, nullptr);
    }
    return true;
}

void DVRScreenView::InitialUpdate()
{
    // The library is looked up in the folder of the module that holds the view (Pellux.dll).
    language_.Attach(viewer_strings::LoadLanguageLibrary(win::ThisModule()));
    if (!language_)
        ShowStepError(L"Error in LoadLibrearyEx.", GetLastError());
    // The panel was built before the library was loaded: its one caption is taken from it now.
    win::SetItemText(Hwnd(), kItemAutoPtz, Text(viewer_strings::kStrDvrPtz));
    ptz_.Start(InfoFilePath(), Text(viewer_strings::kStrInfoCameraSection), Text(viewer_strings::kStrInfoPtzKey),
               [this](uint16_t command, const uint8_t* payload, size_t length) {
                   components_.Controller().SendCommand(command, payload, length);
               });
    components_.Controller().LogStartTexts();
    if (CViewAudio* audio = components_.Audio()) {
        // A machine without sound devices still shows pictures: the devices that failed stay silent.
        HRESULT hr = audio->Open(Hwnd());
        if (FAILED(hr))
            win::Trace(L"===>>> sound devices: 0x%08lX\n", static_cast<unsigned long>(hr));
    }
    settings_.Attach(Hwnd());
    settings_.Load(0);
    transport_.Open(Hwnd());
}

void DVRScreenView::ShowStepError(const wchar_t* step, DWORD error)
{
    wchar_t* system = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, 0, reinterpret_cast<wchar_t*>(&system), 0, nullptr);
    wchar_t text[2000];
    _snwprintf(text, 2000, L"%s failed with error %lu: %s", step, static_cast<unsigned long>(error),
               system ? system : L"");
    text[1999] = 0;
    if (system)
        LocalFree(system);
    MessageBoxW(Hwnd(), text, L"Error", MB_OK);
}

void DVRScreenView::OnDestroy()
{
    auto& c = components_.Controller();
    const auto& ports = components_.Ports();
    c.State().userStopped = true;
    StopTimer(connection::ViewTimer::Reconnect);
    // What is queued is written and the store closed as the components go.
    components_.SetRecordingWindow(nullptr);
    components_.Recorder().Stop();
    ptz_.Shutdown();
    if (c.State().connected)
        c.Teardown();
    if (ports.decode->Running())
        ports.decode->Stop();
    settings_.DestroyDialog();
    UnloadLanguage();
    ports.audio->StopPlayback();
    if (CLiveVideo* live = components_.Live())
        live->Detach(); // no decode thread uses the sound devices after this
    if (CViewAudio* audio = components_.Audio())
        audio->Close();
    transport_.Close();
    CloseHost();
}

void DVRScreenView::OnViewCommand(int command, LPARAM lp)
{
    auto& c = components_.Controller();
    const bool checked = (lp >> 16) & 1;
    OnPanelPressed();
    switch (command) {
    case kCmdConnect: c.OnConnectCommand(); break;
    case kCmdDisconnect: c.OnDisconnectCommand(); break;
    case kCmdExit:
        ptz_.Shutdown();
        c.OnExitCommand();
        break;
    case kCmdFirstAudio:
    case kCmdFirstAudio + 1:
    case kCmdFirstAudio + 2:
    case kCmdFirstAudio + 3:
        if (CViewAudio* audio = components_.Audio())
            audio->SelectChannel(command);
        panel_.ShowAudioChannel(command);
        selectedAudio_ = command;
        break;
    case kCmdPhone: OnPhoneButton(checked); break;
    case kCmdSetup: OnSetupCommand(); break;
    default:
        ptz_.OnViewCommand(command); // PTZ ticks, 34/35; channels also tell the watched camera
        OnLiveCommand(command); // channels, layouts, speed
        break;
    }
}

void DVRScreenView::OnPhoneButton(bool down)
{
    if (components_.SetPhoneButton(down))
        return;
    // The switch did not reach the DVR: the connection is lost, and its teardown releases the
    // button and stops the capture.
    components_.Controller().OnPhoneSwitchRefused();
    panel_.SetChecked(kCmdPhone, false);
}

LRESULT DVRScreenView::OnColor(UINT msg, HDC dc, HWND control)
{
    int id = GetDlgCtrlID(control);
    if (id != kItemStatusLog && id != kItemSpeed)
        return Default(msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, RGB(0, 0, 0)); // list items are drawn opaque whatever the mode
    return reinterpret_cast<LRESULT>(black_.Get());
}

std::wstring DVRScreenView::Text(int id) const
{
    wchar_t text[2000];
    int n = viewer_strings::LoadViewerString(language_.Get(), id, text, 2000);
    return std::wstring(text, static_cast<size_t>(n > 0 ? n : 0));
}

std::wstring DVRScreenView::ItemText(int item, int maxChars) const
{
    // The connect fields are read as the edit boxes' first maxChars characters.
    return win::ItemText(Hwnd(), item).substr(0, static_cast<size_t>(maxChars));
}

std::vector<std::wstring> ViewReadout::StatusLines() const
{
    std::vector<std::wstring> lines;
    HWND log = GetDlgItem(v_.Hwnd(), kItemStatusLog);
    LRESULT count = SendMessageW(log, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT len = SendMessageW(log, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (len < 0)
            continue;
        std::wstring line(static_cast<size_t>(len) + 1, L'\0');
        LRESULT got = SendMessageW(log, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line.data()));
        line.resize(static_cast<size_t>(got > 0 ? got : 0));
        lines.push_back(line);
    }
    return lines;
}

void DVRScreenView::ApplyAddress(const std::wstring& address, const std::wstring& port, const std::wstring& user,
                                 const std::wstring& password)
{
    // Each value kept to its field's width, as typing would keep it.
    win::SetItemText(Hwnd(), kItemAddress, address.substr(0, kAddressChars));
    win::SetItemText(Hwnd(), kItemPort, port.substr(0, kPortChars));
    win::SetItemText(Hwnd(), kItemUser, user.substr(0, kUserChars));
    win::SetItemText(Hwnd(), kItemPassword, password.substr(0, kPasswordChars));
    SaveConnectInfo();
}

// ---- connection::IViewWindow ----

connection::ConnectFields DVRScreenView::ReadFields()
{
    connection::ConnectFields f;
    f.address = protocol::ToAnsi(ItemText(kItemAddress, kAddressChars), 259);
    BOOL ok = FALSE;
    f.port = static_cast<int>(GetDlgItemInt(Hwnd(), kItemPort, &ok, FALSE));
    f.userId = protocol::ToAnsi(ItemText(kItemUser, kUserChars), 127);
    f.password = protocol::ToAnsi(ItemText(kItemPassword, kPasswordChars), 131);
    return f;
}

void DVRScreenView::Log(int textId, std::string_view arg)
{
    std::wstring line = Text(textId);
    if (size_t p = line.find(L"%s"); p != std::wstring::npos)
        line.replace(p, 2, Widen(arg));
    LogLine(line);
}

void DVRScreenView::LogLine(const std::wstring& line)
{
    win::Trace(L"===>>> %s\n", line.c_str());
    HWND log = GetDlgItem(Hwnd(), kItemStatusLog);
    LRESULT index = SendMessageW(log, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    if (index >= 0)
        SendMessageW(log, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void DVRScreenView::StartTimer(connection::ViewTimer timer, unsigned periodMs)
{
    TIMERPROC proc = timer == connection::ViewTimer::StreamRequest ? StreamTimerProc : nullptr;
    SetTimer(Hwnd(), static_cast<UINT_PTR>(timer), periodMs, proc);
}

void DVRScreenView::StopTimer(connection::ViewTimer timer)
{
    if (Hwnd())
        KillTimer(Hwnd(), static_cast<UINT_PTR>(timer));
}

void DVRScreenView::EnableConnectFields(bool enable)
{
    for (int item : {kItemAddress, kItemPort, kItemUser, kItemPassword})
        win::EnableItem(Hwnd(), item, enable);
}

std::wstring DVRScreenView::InfoFilePath() const
{
    wchar_t dir[MAX_PATH];
    UINT n = GetWindowsDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return {};
    return std::wstring(dir) + L"\\" + Text(connection::kTextInfoFile);
}

void DVRScreenView::SaveConnectInfo()
{
    const std::wstring file = InfoFilePath();
    if (file.empty())
        return;
    std::wstring section = Text(connection::kTextInfoSection);
    WritePrivateProfileStringW(section.c_str(), Text(connection::kTextInfoUrl).c_str(),
                               ItemText(kItemAddress, 100).c_str(), file.c_str());
    WritePrivateProfileStringW(section.c_str(), Text(connection::kTextInfoPort).c_str(),
                               ItemText(kItemPort, 20).c_str(), file.c_str());
    WritePrivateProfileStringW(section.c_str(), Text(connection::kTextInfoPassword).c_str(),
                               ItemText(kItemPassword, 20).c_str(), file.c_str());
    WritePrivateProfileStringW(section.c_str(), Text(connection::kTextInfoUser).c_str(),
                               ItemText(kItemUser, 50).c_str(), file.c_str());
    // The "DVR PTZ" box is checked while the PTZ part has not placed it.
    const bool autoPtz = !GetDlgItem(Hwnd(), kItemAutoPtz) || win::IsChecked(Hwnd(), kItemAutoPtz);
    WritePrivateProfileStringW(L"AUTO_PTZ_TYPE", L"AUTO", autoPtz ? L"ON" : L"OFF", file.c_str());
}

void DVRScreenView::Pause(unsigned ms) { Sleep(ms); }

uint32_t DVRScreenView::SkinCode() { return skin_.getSkinCode ? skin_.getSkinCode() : 0; }

void DVRScreenView::FatalDecoderStart()
{
    MessageBoxW(Hwnd(), Text(connection::kTextDecoderThreadFailed).c_str(), L"", MB_OK);
    ExitProcess(0);
}

void DVRScreenView::UnloadLanguage() { language_.Reset(); }

void DVRScreenView::CloseHost()
{
    if (host_)
        PostMessageW(host_, WM_CLOSE_HOST, 0, 0);
}

} // namespace view
