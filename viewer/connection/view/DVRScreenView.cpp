#include "DVRScreenView.h"
#include "LiveVideo.h"
#include "ViewAudio.h"
#include "connection/ViewStrings.h"
#include "protocol/AnsiText.h"
#include "skin/LanguageLibrary.h"
#include <cstdio>
#include <cstring>

namespace view {

namespace {

constexpr int kAddressChars = 100, kPortChars = 5, kUserChars = 50, kPasswordChars = 20;

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

// The module that holds this code (the host program today, Pellux.dll later): the language
// library is looked up in its folder.
HMODULE OwnModule()
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&OwnModule), &self);
    return self;
}

RECT Rect(int l, int t, int r, int b) { return RECT{l, t, r, b}; }

// The panel's layout when no skin answers: picture on the left, fields on the right, the
// status log across the bottom.
RECT FallbackRect(unsigned short id)
{
    switch (id) {
    case kRectPanel: return Rect(0, 0, 860, 600);
    case kRectDisplay: return Rect(8, 8, 648, 488);
    case kRectAddress: return Rect(664, 40, 852, 62);
    case kRectPort: return Rect(664, 92, 852, 114);
    case kRectUser: return Rect(664, 144, 852, 166);
    case kRectPassword: return Rect(664, 196, 852, 218);
    case kRectStatusLog: return Rect(8, 496, 852, 592);
    default: return Rect(0, 0, 0, 0);
    }
}

} // namespace

// What the sound devices need from the view (the live-phone uplink's sending) and what the decode
// threads need from the sound devices (the audio clock, the receive path).
struct DVRScreenView::AudioLinks final : audio::IPhoneTransport, pipeline::IAudioTiming {
    explicit AudioLinks(DVRScreenView& v) : view(v) {}
    bool SendCommand(uint16_t code, const void* payload, size_t length) override
    {
        return view.controller_->SendCommand(code, static_cast<const uint8_t*>(payload), length);
    }
    bool SendStream(const void* data, size_t length) override
    {
        return view.SendStream(static_cast<const uint8_t*>(data), length);
    }
    int64_t AudioNowMs() override { return view.audio_->AudioNowMs(); }
    bool PlayRecord(const uint8_t* record, size_t size) override
    {
        return view.audio_->Receiver().OnAudioRecord(record, size);
    }
    DVRScreenView& view;
};

DVRScreenView::DVRScreenView(const ViewSkin& skin, const ViewPartsConfig& parts) : skin_(skin)
{
    if (parts.live) {
        audioLinks_ = std::make_unique<AudioLinks>(*this);
        if (!parts.audio)
            audio_ = std::make_unique<CViewAudio>(*audioLinks_);
        if (!parts.decode && !parts.frames && !parts.display)
            live_ = std::make_unique<CLiveVideo>();
    }
    ports_.transport = this;
    ports_.window = this;
    ports_.panel = parts.panel ? parts.panel : &noPanel_;
    ports_.audio = parts.audio ? parts.audio : audio_ ? static_cast<connection::IAudioHooks*>(this) : &noAudio_;
    ports_.decode = parts.decode ? parts.decode : live_ ? static_cast<connection::IDecodeThreads*>(live_.get()) : &noDecode_;
    ports_.frames = parts.frames ? parts.frames : live_ ? static_cast<connection::IFrameSink*>(live_.get()) : &counting_;
    ports_.display = parts.display ? parts.display : live_ ? static_cast<connection::IDisplayHooks*>(live_.get()) : &noDisplay_;
    ports_.layout = parts.layout ? parts.layout : &allChannels_;
    controller_ = std::make_unique<connection::ConnectionController>(ports_);
}

DVRScreenView::~DVRScreenView()
{
    if (transportInitialized_)
        NSMGAPI_Uninitialize();
    if (black_)
        DeleteObject(black_);
    if (background_)
        DeleteObject(background_);
}

SIZE DVRScreenView::PanelSize(const ViewSkin& skin)
{
    RECT r = FallbackRect(kRectPanel);
    if (skin.getResourceRect)
        skin.getResourceRect(kRectPanel, &r);
    return SIZE{r.right, r.bottom};
}

RECT DVRScreenView::SkinRect(unsigned short id, RECT fallback) const
{
    RECT r = fallback;
    if (skin_.getResourceRect)
        skin_.getResourceRect(id, &r);
    return r;
}

DVRScreenView* DVRScreenView::Create(HWND parent, const ViewSkin& skin, const ViewPartsConfig& parts)
{
    HINSTANCE inst = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&DVRScreenView::WndProc), &inst);
    WNDCLASSW wc{};
    if (!GetClassInfoW(inst, kClassName, &wc)) {
        wc.lpfnWndProc = WndProc;
        wc.hInstance = inst;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = nullptr;
        wc.lpszClassName = kClassName;
        if (!RegisterClassW(&wc))
            return nullptr;
    }
    auto* v = new DVRScreenView(skin, parts);
    // A failed WM_CREATE destroys the window, and WM_NCDESTROY deletes the view: know whether it did.
    bool deleted = false;
    v->deletedFlag_ = &deleted;
    SIZE size = PanelSize(skin);
    // 0xE900: the identifier of a main pane.
    HWND wnd = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_CLIPCHILDREN, 0, 0, size.cx,
                               size.cy, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(0xE900)), inst, v);
    if (!wnd) {
        if (!deleted)
            delete v; // WM_NCCREATE never ran, or creation failed before WM_NCDESTROY
        return nullptr;
    }
    v->deletedFlag_ = nullptr;
    return v;
}

LRESULT CALLBACK DVRScreenView::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        auto* v = static_cast<DVRScreenView*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        v->wnd_ = wnd;
        SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(v));
    }
    auto* v = reinterpret_cast<DVRScreenView*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (!v)
        return DefWindowProcW(wnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
        v->wnd_ = nullptr;
        if (v->deletedFlag_)
            *v->deletedFlag_ = true;
        delete v;
        return DefWindowProcW(wnd, msg, wp, lp);
    }
    try {
        return v->Handle(msg, wp, lp);
    } catch (...) {
        return 0; // nothing may leave a window procedure
    }
}

void CALLBACK DVRScreenView::StreamTimerProc(HWND wnd, UINT, UINT_PTR, DWORD)
{
    SendMessageW(wnd, WM_STREAM_TIMER, 0, 0);
}

LRESULT DVRScreenView::Handle(UINT msg, WPARAM wp, LPARAM lp)
{
    auto& c = *controller_;
    switch (msg) {
    case WM_CREATE: return OnCreate() ? 0 : -1;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(wnd_, &ps);
        RECT all;
        GetClientRect(wnd_, &all);
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
        if (background_) {
            // The panel's painting (buttons, back buffer) comes with the panel itself.
            HDC mem = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(mem, background_);
            BITMAP bm{};
            GetObjectW(background_, sizeof bm, &bm);
            BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
        }
        RECT display = SkinRect(kRectDisplay, FallbackRect(kRectDisplay));
        FillRect(dc, &display, black_);
        EndPaint(wnd_, &ps);
        return 0;
    }
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC: return OnColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_TIMER:
        if (wp == static_cast<WPARAM>(connection::ViewTimer::Reconnect))
            c.OnTimer(connection::ViewTimer::Reconnect);
        else if (wp == static_cast<WPARAM>(connection::ViewTimer::PictureWatchdog))
            c.OnTimer(connection::ViewTimer::PictureWatchdog);
        return 0;
    case WM_STREAM_TIMER: c.OnStreamRequestTick(); return 0;
    case WM_PICTURE_SHOWN: c.OnPictureShown(); return 0;
    case WM_VIEW_COMMAND: OnViewCommand(static_cast<int>(wp)); return 0;
    case WM_PARENTNOTIFY:
        // The display asks for the right-click switches of its texts; the switches belong to it.
        if (live_)
            live_->Display().OnParentNotify(wnd_, wp, lp);
        return 0;
    case WM_AUDIO_CAPTURED:
        if (audio_)
            audio_->OnCaptured(c.State().connected && c.State().loggedIn);
        return 0;
    case WM_HOST_MOVED: return 0;
    case NSMG_WM_CONNECT: c.OnConnectResult(wp != 0); return 0;
    case NSMG_WM_LOST:
    case NSMG_WM_CLOSED: c.OnConnectionLost(); return 0;
    case NSMG_WM_PACKET_A:
    case NSMG_WM_PACKET_B:
    case NSMG_WM_PACKET:
        c.OnPacket(reinterpret_cast<const void*>(wp), reinterpret_cast<const void*>(lp));
        return 0;
    case NSMG_WM_STREAM:
        c.OnStreamBlock(reinterpret_cast<const void*>(wp), reinterpret_cast<const void*>(lp));
        return 0;
    case NSMG_WM_STREAM_STATUS: c.OnStreamStatus(static_cast<uint32_t>(wp), lp != 0); return 0;
    }
    return DefWindowProcW(wnd_, msg, wp, lp);
}

bool DVRScreenView::OnCreate()
{
    black_ = CreateSolidBrush(RGB(0, 0, 0));
    if (skin_.getBitmap)
        background_ = skin_.getBitmap(kRectPanel);
    HINSTANCE inst = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(wnd_, GWLP_HINSTANCE));
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    struct Field {
        int item;
        unsigned short rect;
        int limit;
        DWORD style;
    };
    const Field fields[] = {
        {kItemAddress, kRectAddress, kAddressChars, ES_AUTOHSCROLL},
        {kItemPort, kRectPort, kPortChars, ES_AUTOHSCROLL | ES_NUMBER},
        {kItemUser, kRectUser, kUserChars, ES_AUTOHSCROLL},
        {kItemPassword, kRectPassword, kPasswordChars, ES_AUTOHSCROLL | ES_PASSWORD},
    };
    for (const Field& f : fields) {
        RECT r = SkinRect(f.rect, FallbackRect(f.rect));
        HWND e = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | f.style, r.left,
                                 r.top, r.right - r.left, r.bottom - r.top, wnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(f.item)), inst, nullptr);
        if (!e)
            return false;
        SendMessageW(e, EM_LIMITTEXT, f.limit, 0);
        SendMessageW(e, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    RECT r = SkinRect(kRectStatusLog, FallbackRect(kRectStatusLog));
    HWND log = CreateWindowExW(0, L"LISTBOX", L"",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS, r.left,
                               r.top, r.right - r.left, r.bottom - r.top, wnd_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kItemStatusLog)), inst, nullptr);
    if (!log)
        return false;
    SendMessageW(log, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (live_) {
        pipeline::IAudioTiming* timing = audio_ ? audioLinks_.get() : nullptr;
        if (!live_->Attach(wnd_, SkinRect(kRectDisplay, FallbackRect(kRectDisplay)), controller_.get(), timing))
            return false;
    }
    return true;
}

void DVRScreenView::InitialUpdate()
{
    language_ = viewer_strings::LoadLanguageLibrary(OwnModule());
    if (!language_)
        ShowStepError(L"Error in LoadLibrearyEx.", GetLastError());
    controller_->LogStartTexts();
    if (audio_) {
        // A machine without sound devices still shows pictures: the devices that failed stay silent.
        HRESULT hr = audio_->Open(wnd_);
        if (FAILED(hr)) {
            char trace[96];
            snprintf(trace, sizeof trace, "===>>> sound devices: 0x%08lX\n", static_cast<unsigned long>(hr));
            OutputDebugStringA(trace);
        }
    }
    NSMGAPI_Initialize();
    transportInitialized_ = true;
    transport_ = NSMGAPI_Create(wnd_, nullptr, nullptr);
}

void DVRScreenView::ShowStepError(const wchar_t* step, DWORD error)
{
    wchar_t* system = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&system), 0, nullptr);
    wchar_t text[2000];
    _snwprintf(text, 2000, L"%s failed with error %lu: %s", step, static_cast<unsigned long>(error),
               system ? system : L"");
    text[1999] = 0;
    if (system)
        LocalFree(system);
    MessageBoxW(wnd_, text, L"Error", MB_OK);
}

void DVRScreenView::OnDestroy()
{
    auto& s = controller_->State();
    s.userStopped = true;
    StopTimer(connection::ViewTimer::Reconnect);
    if (s.connected)
        controller_->Teardown();
    if (ports_.decode->Running())
        ports_.decode->Stop();
    UnloadLanguage();
    ports_.audio->StopPlayback();
    if (live_)
        live_->Detach(); // no decode thread uses the sound devices after this
    if (audio_)
        audio_->Close();
    if (transport_) {
        NSMGAPI_Destroy(transport_);
        transport_ = nullptr;
    }
    CloseHost();
}

void DVRScreenView::OnViewCommand(int command)
{
    switch (command) {
    case kCmdConnect: controller_->OnConnectCommand(); break;
    case kCmdDisconnect: controller_->OnDisconnectCommand(); break;
    case kCmdExit: controller_->OnExitCommand(); break;
    default: break; // the panel's other commands belong to the layout, audio and PTZ parts
    }
}

void DVRScreenView::SetEnableAudio(bool on)
{
    enableAudio_ = on;
    MirrorAudioState();
}

bool DVRScreenView::SetPhoneButton(bool down)
{
    phoneDown_ = down;
    noPanel_.phoneDown = down; // the stand-in panel remembers the button for the teardown
    MirrorAudioState();
    if (!audio_ || audio_->SetPhoneButton(down))
        return true;
    // The switch did not reach the DVR: the button goes back up and the connection is lost.
    if (down) {
        audio_->StopPhoneCapture();
        phoneDown_ = noPanel_.phoneDown = false;
        MirrorAudioState();
    }
    controller_->OnPhoneSwitchRefused();
    return false;
}

void DVRScreenView::MirrorAudioState()
{
    if (audio_)
        audio_->SetAudioEnabled(enableAudio_);
    if (live_)
        live_->SetAudioSync(enableAudio_, phoneDown_);
}

void DVRScreenView::StopPhoneCapture()
{
    audio_->StopPhoneCapture();
    phoneDown_ = noPanel_.phoneDown = false;
    MirrorAudioState();
}

void DVRScreenView::StopPlayback() { audio_->StopPlayback(); }

void DVRScreenView::PhoneAnswer(bool allowed) { audio_->PhoneAnswer(allowed); }

LRESULT DVRScreenView::OnColor(HDC dc, HWND control)
{
    int id = GetDlgCtrlID(control);
    if (id != kItemStatusLog && id != kItemSpeed)
        return DefWindowProcW(wnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, RGB(0, 0, 0)); // list items are drawn opaque whatever the mode
    return reinterpret_cast<LRESULT>(black_);
}

std::wstring DVRScreenView::Text(int id) const
{
    wchar_t text[2000];
    int n = viewer_strings::LoadViewerString(language_, id, text, 2000);
    return std::wstring(text, static_cast<size_t>(n > 0 ? n : 0));
}

std::wstring DVRScreenView::ItemText(int item, int maxChars) const
{
    std::wstring t(static_cast<size_t>(maxChars) + 1, L'\0');
    int n = GetDlgItemTextW(wnd_, item, t.data(), maxChars + 1);
    t.resize(static_cast<size_t>(n > 0 ? n : 0));
    return t;
}

std::vector<std::wstring> DVRScreenView::StatusLines() const
{
    std::vector<std::wstring> lines;
    HWND log = GetDlgItem(wnd_, kItemStatusLog);
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
    SetDlgItemTextW(wnd_, kItemAddress, address.c_str());
    SetDlgItemTextW(wnd_, kItemPort, port.c_str());
    SetDlgItemTextW(wnd_, kItemUser, user.c_str());
    SetDlgItemTextW(wnd_, kItemPassword, password.c_str());
    SaveConnectInfo();
}

// ---- connection::IViewWindow ----

connection::ConnectFields DVRScreenView::ReadFields()
{
    connection::ConnectFields f;
    f.address = protocol::ToAnsi(ItemText(kItemAddress, kAddressChars), 259);
    BOOL ok = FALSE;
    f.port = static_cast<int>(GetDlgItemInt(wnd_, kItemPort, &ok, FALSE));
    f.userId = protocol::ToAnsi(ItemText(kItemUser, kUserChars), 127);
    f.password = protocol::ToAnsi(ItemText(kItemPassword, kPasswordChars), 131);
    return f;
}

void DVRScreenView::Log(int textId, std::string_view arg)
{
    std::wstring line = Text(textId);
    if (size_t p = line.find(L"%s"); p != std::wstring::npos)
        line.replace(p, 2, Widen(arg));
    OutputDebugStringW((L"===>>> " + line + L"\n").c_str());
    HWND log = GetDlgItem(wnd_, kItemStatusLog);
    LRESULT index = SendMessageW(log, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    if (index >= 0)
        SendMessageW(log, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void DVRScreenView::StartTimer(connection::ViewTimer timer, unsigned periodMs)
{
    TIMERPROC proc = timer == connection::ViewTimer::StreamRequest ? StreamTimerProc : nullptr;
    SetTimer(wnd_, static_cast<UINT_PTR>(timer), periodMs, proc);
}

void DVRScreenView::StopTimer(connection::ViewTimer timer)
{
    if (wnd_)
        KillTimer(wnd_, static_cast<UINT_PTR>(timer));
}

void DVRScreenView::EnableConnectFields(bool enable)
{
    for (int item : {kItemAddress, kItemPort, kItemUser, kItemPassword})
        EnableWindow(GetDlgItem(wnd_, item), enable ? TRUE : FALSE);
}

void DVRScreenView::SaveConnectInfo()
{
    wchar_t dir[MAX_PATH];
    UINT n = GetWindowsDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    std::wstring file = std::wstring(dir) + L"\\" + Text(connection::kTextInfoFile);
    std::wstring section = Text(connection::kTextInfoSection);
    WritePrivateProfileStringW(section.c_str(), Text(connection::kTextInfoUrl).c_str(), ItemText(kItemAddress, 100).c_str(), file.c_str());
    WritePrivateProfileStringW(section.c_str(), Text(connection::kTextInfoPort).c_str(), ItemText(kItemPort, 20).c_str(), file.c_str());
    WritePrivateProfileStringW(section.c_str(), Text(connection::kTextInfoPassword).c_str(), ItemText(kItemPassword, 20).c_str(), file.c_str());
    WritePrivateProfileStringW(section.c_str(), Text(connection::kTextInfoUser).c_str(), ItemText(kItemUser, 50).c_str(), file.c_str());
    // The "DVR PTZ" box is checked while the PTZ part has not placed it.
    HWND box = GetDlgItem(wnd_, kItemAutoPtz);
    bool autoPtz = !box || IsDlgButtonChecked(wnd_, kItemAutoPtz) == BST_CHECKED;
    WritePrivateProfileStringW(L"AUTO_PTZ_TYPE", L"AUTO", autoPtz ? L"ON" : L"OFF", file.c_str());
}

void DVRScreenView::Pause(unsigned ms) { Sleep(ms); }

uint32_t DVRScreenView::SkinCode() { return skin_.getSkinCode ? skin_.getSkinCode() : 0; }

void DVRScreenView::FatalDecoderStart()
{
    MessageBoxW(wnd_, Text(connection::kTextDecoderThreadFailed).c_str(), L"", MB_OK);
    ExitProcess(0);
}

void DVRScreenView::UnloadLanguage()
{
    if (language_) {
        FreeLibrary(language_);
        language_ = nullptr;
    }
}

void DVRScreenView::CloseHost()
{
    if (host_)
        PostMessageW(host_, WM_CLOSE_HOST, 0, 0);
}

// ---- connection::ITransport ----

bool DVRScreenView::Connect(std::string_view address, int port)
{
    if (!transport_)
        return false;
    _tagConnectSocketInfo info;
    std::memset(&info, 0, sizeof info);
    std::memcpy(info.address, address.data(), address.size() < 259 ? address.size() : 259);
    info.family = conduix::kFamilyIPv4;
    info.port = port;
    info.timeoutSeconds = 0;
    info.framing = conduix::kFramingV1;
    info.receiveBuffer = 3072;
    return NSMGAPI_Connect(transport_, &info) != 0;
}

bool DVRScreenView::SendInit() { return transport_ && NSMGAPI_SendInitPacketData(transport_) != 0; }

bool DVRScreenView::SendPacket(uint16_t command, const uint8_t* payload, size_t length)
{
    return transport_ && NSMGAPI_SendPacketData(transport_, command, payload, static_cast<int>(length)) != 0;
}

bool DVRScreenView::SendStream(const uint8_t* data, size_t length)
{
    return transport_ && NSMGAPI_SendStreamData(transport_, data, static_cast<int>(length)) != 0;
}

void DVRScreenView::Disconnect()
{
    if (transport_)
        NSMGAPI_Disconnect(transport_);
}

} // namespace view
