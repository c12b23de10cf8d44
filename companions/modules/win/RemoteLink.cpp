#include "RemoteLink.h"
#include "AnsiText.h"
#include "Dispatch.h"
#include "LoginCheck.h"
#include "conduix/NsmgTypes.h"
#include "foundation/Module.h"
#include "foundation/Trace.h"

namespace {

constexpr wchar_t kWindowClass[] = L"OrvmodsRemoteLink";
// What the viewer's connection fields hold: address, user ID and password in characters.
constexpr size_t kAddressChars = 100, kUserChars = 50, kPasswordChars = 20;

connection::ViewPorts Ports(connection::ITransport* transport, connection::IViewWindow* window,
                            connection::IPanelHooks* panel, connection::IAudioHooks* audio,
                            connection::IDecodeThreads* decode, connection::IFrameSink* frames,
                            connection::IDisplayHooks* display, connection::ILayout* layout)
{
    connection::ViewPorts p;
    p.transport = transport;
    p.window = window;
    p.panel = panel;
    p.audio = audio;
    p.decode = decode;
    p.frames = frames;
    p.display = display;
    p.layout = layout;
    return p;
}

} // namespace

CRemoteLink::CRemoteLink()
    : controller_(Ports(this, this, &panel_, &audio_, &decode_, this, &display_, &layout_))
{
}

CRemoteLink::~CRemoteLink()
{
    // As the view closes: no reconnect, the connection torn down, the transport object gone. None
    // of it waits for the DVR or for a name look-up.
    connection::ConnectionState& s = controller_.State();
    s.userStopped = true;
    s.reconnectPending = false;
    StopTimer(connection::ViewTimer::Reconnect);
    try {
        if (s.connected)
            controller_.Teardown();
    } catch (...) {
        // The transport still goes below: nothing of the connection outlives this object.
    }
    transport_.Close();
}

bool CRemoteLink::Start(const Site& site)
{
    if (Hwnd())
        return false;
    if (!win::RegisterModuleClass(ClassOf(kWindowClass)) ||
        !CreateEx(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, 0))
        return false;
    transport_.Open(Hwnd());
    site_ = site;
    controller_.OnConnectCommand();
    NoteEnd();
    return true;
}

uint64_t CRemoteLink::Now() { return GetTickCount64(); }

LRESULT CRemoteLink::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case NSMG_WM_CONNECT: controller_.OnConnectResult(wp != 0); break;
    case NSMG_WM_LOST:
    case NSMG_WM_CLOSED:
        controller_.OnConnectionLost();
        figures_.Closed(controller_.State().reconnectPending);
        break;
    case NSMG_WM_PACKET_A:
    case NSMG_WM_PACKET_B:
    case NSMG_WM_PACKET: OnPacket(reinterpret_cast<const void*>(wp), reinterpret_cast<const void*>(lp)); break;
    case NSMG_WM_STREAM: OnStreamBlock(reinterpret_cast<const void*>(wp), reinterpret_cast<const void*>(lp)); break;
    case NSMG_WM_STREAM_STATUS: controller_.OnStreamStatus(static_cast<uint32_t>(wp), lp != 0); break;
    case WM_TIMER: OnTimer(wp); break;
    default: return Default(msg, wp, lp);
    }
    NoteEnd();
    return 0;
}

// The same decision the controller takes, read first for what it tells of the DVR.
void CRemoteLink::OnPacket(const void* header, const void* payload)
{
    const protocol::ReceiveDecision d = protocol::DecideReceive(header, payload);
    if (d.action == protocol::ReceiveAction::LoginRequest)
        figures_.LoginRequested(Now());
    else if (d.action == protocol::ReceiveAction::LoginReply)
        figures_.LoginAnswered(d.login);
    controller_.OnPacket(header, payload);
    if (d.action == protocol::ReceiveAction::Teardown)
        figures_.Closed(controller_.State().reconnectPending);
}

void CRemoteLink::OnStreamBlock(const void* header, const void* descriptor)
{
    pictureArrived_ = false;
    controller_.OnStreamBlock(header, descriptor);
    // Nothing is decoded here: a picture that arrives is what the watchdog waits for.
    if (pictureArrived_ && controller_.State().watchdogRunning)
        controller_.OnPictureShown();
}

void CRemoteLink::OnTimer(UINT_PTR id)
{
    for (auto timer : {connection::ViewTimer::StreamRequest, connection::ViewTimer::Reconnect,
                       connection::ViewTimer::PictureWatchdog})
        if (id == static_cast<UINT_PTR>(timer))
            controller_.OnTimer(timer);
}

void CRemoteLink::NoteEnd()
{
    const connection::ConnectionState& s = controller_.State();
    if (!s.connected && s.userStopped && !s.reconnectPending)
        figures_.Ended();
}

connection::ConnectFields CRemoteLink::ReadFields()
{
    connection::ConnectFields f;
    f.address = protocol::ToAnsi(std::wstring_view(site_.address).substr(0, kAddressChars), 259);
    f.port = login::EffectivePort(static_cast<int>(site_.port));
    f.userId = protocol::ToAnsi(std::wstring_view(site_.user).substr(0, kUserChars), 127);
    f.password = protocol::ToAnsi(std::wstring_view(site_.password).substr(0, kPasswordChars), 131);
    return f;
}

void CRemoteLink::Log(int textId, std::string_view)
{
    win::Trace(L"===>>> remote setup: connection status %d\n", textId);
}

void CRemoteLink::StartTimer(connection::ViewTimer timer, unsigned periodMs)
{
    if (Hwnd())
        SetTimer(Hwnd(), static_cast<UINT_PTR>(timer), periodMs, nullptr);
}

void CRemoteLink::StopTimer(connection::ViewTimer timer)
{
    if (Hwnd())
        KillTimer(Hwnd(), static_cast<UINT_PTR>(timer));
}

// The short waits the controller keeps between requests, as the view keeps them.
void CRemoteLink::Pause(unsigned ms) { Sleep(ms); }

bool CRemoteLink::Connect(std::string_view address, int port)
{
    figures_.Attempt();
    const bool started = transport_.Connect(address, port);
    if (!started)
        figures_.Ended(); // refused at once: nothing will answer
    return started;
}

void CRemoteLink::StoreVideo(int channel, const uint8_t* data, size_t length)
{
    // The dispatcher has checked the length against the bytes there and the channel against the
    // DVR's count; the header is read again for its picture size and time.
    wire::VideoFrameHeader h;
    if (!wire::ParseVideoFrameHeader(data, length, h))
        return;
    pictureArrived_ = true;
    figures_.Frame(channel, h, length, Now());
}
