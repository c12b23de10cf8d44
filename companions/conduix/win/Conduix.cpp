// Conduix.dll: NSMGAPI_ over TCP with Winsock. One I/O thread per connection object, started by
// NSMGAPI_Connect and joined by NSMGAPI_Disconnect (a name look-up runs apart, see Lookup). The I/O thread never touches windows: it
// queues events, and a hidden message-only window on the creating thread hands them to the target
// window one at a time (docs/conduix-framing.md).
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "conduix/Framing.h"
#include "conduix/NSMGAPI.h"
#include "foundation/Handles.h"
#include "foundation/Module.h"
#include "foundation/Window.h"

#include <atomic>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr size_t kMaxQueuedStreamBytes = 32u << 20;
constexpr size_t kMaxQueuedStreamBlocks = 4096;
constexpr size_t kMaxQueuedBytes = 64u << 20; // above this the I/O thread stops reading
constexpr size_t kMaxSendBacklog = 8u << 20;
constexpr int kDeliveriesPerWake = 256;
constexpr size_t kRecvBatch = 256 * 1024;

std::atomic<UINT> g_wakeMessage{0};
const wchar_t kWindowClass[] = L"ConduixDelivery";

enum class EventType { Connected, Failed, Lost, Packet, Stream, Status };

struct Event {
    EventType type = EventType::Lost;
    uint64_t generation = 0;
    std::unique_ptr<uint8_t[]> bytes; // 16-byte header, then payload
    uint32_t payloadLength = 0;
    _tagNsmgStreamBlock block{};
    uint32_t value = 0, open = 0;
    bool droppable = false; // a stream block with header command 83
};

bool RegisterDeliveryClass()
{
    if (!g_wakeMessage)
        g_wakeMessage = RegisterWindowMessageW(L"Conduix.Deliver");
    return win::RegisterModuleClass(win::Window::ClassOf(kWindowClass));
}

// A name look-up cannot be interrupted, so it runs on a thread of its own while the I/O thread
// waits for its answer or for the stop event. A stopped connection leaves the look-up to finish
// alone: the thread holds its own reference on this module and on Winsock, and the last of the two
// holders frees the state. So a Disconnect never waits for a resolver that does not answer.
struct Lookup {
    std::string host, port;
    win::KernelHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    int rc = -1;
    addrinfo* result = nullptr;
    std::atomic<int> holders{2};

    void Release()
    {
        if (--holders == 0) {
            if (result)
                freeaddrinfo(result);
            delete this;
        }
    }
    void Resolve()
    {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &result);
        SetEvent(done.Get());
    }
};

DWORD WINAPI LookupThread(void* param)
{
    auto* lookup = static_cast<Lookup*>(param);
    WSADATA wsa;
    const bool wsa_ok = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
    lookup->Resolve();
    lookup->Release();
    if (wsa_ok)
        WSACleanup();
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&LookupThread), &self);
    FreeLibraryAndExitThread(self, 0); // the reference taken when the thread was started
}

// Starts the look-up; null when it cannot run apart (it then runs on the caller's thread).
Lookup* StartLookup(const std::string& host, const std::string& port)
{
    auto* lookup = new (std::nothrow) Lookup;
    if (!lookup)
        return nullptr;
    lookup->host = host;
    lookup->port = port;
    HMODULE self = nullptr;
    if (lookup->done &&
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&LookupThread), &self)) {
        if (HANDLE thread = CreateThread(nullptr, 0, LookupThread, lookup, 0, nullptr)) {
            CloseHandle(thread);
            return lookup;
        }
        FreeLibrary(self);
    }
    lookup->holders = 1;
    lookup->Resolve();
    return lookup;
}

class Connection;

// The hidden message-only window on the creating thread that hands queued events to the caller.
class DeliveryWindow final : public win::Window {
public:
    explicit DeliveryWindow(Connection& c) : connection_(c) {}
    bool Make() { return CreateEx(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, 0); }

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    Connection& connection_;
};

class Connection {
public:
    Connection(HWND target, NSMGAPI_CALLBACK cb, void* ctx) : target_(target), callback_(cb), context_(ctx)
    {
        WSADATA wsa;
        wsaOk_ = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
        control_.Attach(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        stopEvent_.Attach(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        drained_.Attach(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (RegisterDeliveryClass() && delivery_.Make())
            hidden_ = delivery_.Hwnd();
    }
    ~Connection()
    {
        Stop();
        hidden_ = nullptr; // the delivery window goes with delivery_
        if (wsaOk_)
            WSACleanup();
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool Usable() const { return wsaOk_ && control_ && stopEvent_ && drained_ && (hidden_ || callback_); }

    int Connect(const _tagConnectSocketInfo& info)
    {
        size_t len = strnlen(info.address, sizeof info.address);
        if (len == 0 || len >= sizeof info.address || info.family != conduix::kFamilyIPv4 || info.port < 1 ||
            info.port > 65535)
            return 0;
        Stop();
        address_.assign(info.address, len);
        port_ = info.port;
        timeoutMs_ = (info.timeoutSeconds > 0 ? (info.timeoutSeconds > 600 ? 600 : info.timeoutSeconds)
                                              : conduix::kDefaultTimeoutSeconds) *
            1000;
        receiveBuffer_ = info.receiveBuffer > 0 ? static_cast<size_t>(info.receiveBuffer) : 64 * 1024;
        {
            std::lock_guard<std::mutex> g(sendMutex_);
            connected_ = false;
            out_.clear();
            sendPacketSeq_ = sendStreamSeq_ = 0;
            lastCommand_ = 0;
        }
        stop_ = false;
        ResetEvent(stopEvent_.Get());
        uint64_t gen = ++generation_;
        io_ = std::thread([this, gen] { IoThread(gen); });
        return 1;
    }

    // Stops the I/O thread and discards everything queued. Safe inside a delivery.
    void Stop()
    {
        if (io_.joinable()) {
            stop_ = true;
            SetEvent(stopEvent_.Get());
            io_.join();
        }
        {
            std::lock_guard<std::mutex> g(sendMutex_);
            connected_ = false;
            out_.clear();
        }
        std::deque<std::unique_ptr<Event>> dead;
        {
            std::lock_guard<std::mutex> g(queueMutex_);
            dead.swap(queue_);
            queuedBytes_ = queuedStreamBytes_ = queuedStreamBlocks_ = 0;
        }
    }

    int SendInit()
    {
        std::vector<uint8_t> f;
        conduix::AppendInitFrame(f);
        return Enqueue(f, 0, false);
    }

    int SendPacket(unsigned short command, const void* bytes, int length)
    {
        if (length < 0 || (length > 0 && !bytes) || static_cast<uint32_t>(length) > conduix::kMaxPayload)
            return 0;
        std::vector<uint8_t> f;
        uint32_t seq;
        {
            std::lock_guard<std::mutex> g(sendMutex_);
            seq = sendPacketSeq_;
        }
        if (!conduix::AppendPacketFrame(f, command, bytes, static_cast<size_t>(length), seq))
            return 0;
        return Enqueue(f, command, true);
    }

    int SendStream(const void* bytes, int length)
    {
        if (length <= 0 || !bytes || static_cast<uint32_t>(length) > conduix::kMaxPayload)
            return 0;
        std::vector<uint8_t> f;
        uint16_t command;
        uint32_t seq;
        {
            std::lock_guard<std::mutex> g(sendMutex_);
            command = lastCommand_;
            seq = sendStreamSeq_;
        }
        if (!conduix::AppendStreamFrame(f, command, bytes, static_cast<size_t>(length), seq))
            return 0;
        return Enqueue(f, 0, false, true);
    }

    // Runs on the creating thread from the hidden window. Returns true when the object must be
    // freed now (destroyed during a delivery).
    bool Drain()
    {
        {
            std::lock_guard<std::mutex> g(queueMutex_);
            wakePosted_ = false;
        }
        for (int n = 0; n < kDeliveriesPerWake; ++n) {
            std::unique_ptr<Event> ev;
            {
                std::lock_guard<std::mutex> g(queueMutex_);
                if (queue_.empty())
                    break;
                ev = std::move(queue_.front());
                queue_.pop_front();
                Unaccount(*ev);
            }
            if (ioWaiting_)
                SetEvent(drained_.Get());
            if (ev->generation != generation_)
                continue;
            ++delivering_;
            Deliver(*ev, [this](UINT m, WPARAM w, LPARAM l) { SendMessageW(target_, m, w, l); });
            --delivering_;
            if (destroyPending_ && delivering_ == 0)
                return true;
        }
        std::lock_guard<std::mutex> g(queueMutex_);
        if (!queue_.empty() && !wakePosted_ && hidden_)
            wakePosted_ = PostMessageW(hidden_, g_wakeMessage, 0, 0) != 0;
        return false;
    }

    // NSMGAPI_Destroy: at once, or after the delivery in progress returns.
    bool DestroyRequested()
    {
        if (delivering_ > 0) {
            destroyPending_ = true;
            Stop();
            return false;
        }
        return true;
    }

private:
    template <class Send> void Deliver(Event& ev, Send send)
    {
        switch (ev.type) {
        case EventType::Connected: send(NSMG_WM_CONNECT, 1, 0); break;
        case EventType::Failed:
            send(NSMG_WM_LOST, 0, 0);
            // The attempt's result still belongs to the window unless it has started a new one.
            if (ev.generation == generation_ && !destroyPending_)
                send(NSMG_WM_CONNECT, 0, 0);
            break;
        case EventType::Lost: send(NSMG_WM_LOST, 0, 0); break;
        case EventType::Packet:
            send(NSMG_WM_PACKET, reinterpret_cast<WPARAM>(ev.bytes.get()),
                 ev.payloadLength ? reinterpret_cast<LPARAM>(ev.bytes.get() + conduix::kPacketHeaderSize) : 0);
            break;
        case EventType::Stream:
            send(NSMG_WM_STREAM, reinterpret_cast<WPARAM>(ev.bytes.get()), reinterpret_cast<LPARAM>(&ev.block));
            break;
        case EventType::Status:
            send(NSMG_WM_STREAM_STATUS, static_cast<WPARAM>(ev.value), static_cast<LPARAM>(ev.open));
            break;
        }
    }

    static size_t Cost(const Event& ev) { return sizeof(Event) + conduix::kPacketHeaderSize + ev.payloadLength; }
    void Unaccount(const Event& ev)
    {
        queuedBytes_ -= Cost(ev);
        if (ev.droppable) {
            queuedStreamBytes_ -= ev.payloadLength;
            --queuedStreamBlocks_;
        }
    }

    // I/O thread: hands an event to the window (or the callback).
    void Push(std::unique_ptr<Event> ev)
    {
        if (callback_) {
            Deliver(*ev, [this](UINT m, WPARAM w, LPARAM l) { callback_(context_, m, w, l); });
            return;
        }
        bool post = false;
        {
            std::lock_guard<std::mutex> g(queueMutex_);
            if (ev->droppable &&
                (queuedStreamBlocks_ >= kMaxQueuedStreamBlocks ||
                 queuedStreamBytes_ + ev->payloadLength > kMaxQueuedStreamBytes))
                return; // the window is behind: drop video and audio, keep everything else
            queuedBytes_ += Cost(*ev);
            if (ev->droppable) {
                queuedStreamBytes_ += ev->payloadLength;
                ++queuedStreamBlocks_;
            }
            queue_.push_back(std::move(ev));
            if (!wakePosted_) {
                wakePosted_ = true;
                post = true;
            }
        }
        if (post && !PostMessageW(hidden_, g_wakeMessage, 0, 0)) {
            std::lock_guard<std::mutex> g(queueMutex_);
            wakePosted_ = false;
        }
    }

    void PushSimple(EventType t, uint64_t gen)
    {
        auto ev = std::make_unique<Event>();
        ev->type = t;
        ev->generation = gen;
        Push(std::move(ev));
    }

    // Waits while the window has a large backlog of packets; false when told to stop.
    bool WaitForRoom()
    {
        for (;;) {
            {
                std::lock_guard<std::mutex> g(queueMutex_);
                if (queuedBytes_ < kMaxQueuedBytes)
                    return true;
            }
            ioWaiting_ = true;
            HANDLE hs[2] = {stopEvent_.Get(), drained_.Get()};
            WaitForMultipleObjects(2, hs, FALSE, 100);
            ioWaiting_ = false;
            if (stop_)
                return false;
        }
    }

    int Enqueue(const std::vector<uint8_t>& frame, uint16_t command, bool isPacket, bool isStream = false)
    {
        std::lock_guard<std::mutex> g(sendMutex_);
        if (!connected_ || out_.size() + frame.size() > kMaxSendBacklog)
            return 0;
        out_.insert(out_.end(), frame.begin(), frame.end());
        if (isPacket) {
            ++sendPacketSeq_;
            lastCommand_ = command;
        }
        if (isStream)
            ++sendStreamSeq_;
        SetEvent(control_.Get());
        return 1;
    }

    // Sends what is pending; false on a socket error.
    bool Flush(SOCKET s)
    {
        std::lock_guard<std::mutex> g(sendMutex_);
        size_t sent = 0;
        while (sent < out_.size()) {
            int chunk = static_cast<int>(std::min<size_t>(out_.size() - sent, 1 << 20));
            int n = send(s, reinterpret_cast<const char*>(out_.data() + sent), chunk, 0);
            if (n == SOCKET_ERROR) {
                if (WSAGetLastError() == WSAEWOULDBLOCK)
                    break; // FD_WRITE will tell when to go on
                return false;
            }
            sent += static_cast<size_t>(n);
        }
        out_.erase(out_.begin(), out_.begin() + static_cast<ptrdiff_t>(sent));
        return true;
    }

    enum class ReadResult { Ok, Closed, Error };
    ReadResult ReadAvailable(SOCKET s, conduix::FrameDecoder& dec, uint64_t gen)
    {
        for (;;) {
            if (!WaitForRoom())
                return ReadResult::Ok;
            size_t room = 0;
            uint8_t* dst = dec.WriteArea(room);
            if (!dst)
                return ReadResult::Error;
            int want = static_cast<int>(std::min(room, kRecvBatch));
            int n = recv(s, reinterpret_cast<char*>(dst), want, 0);
            if (n == 0)
                return ReadResult::Closed;
            if (n == SOCKET_ERROR)
                return WSAGetLastError() == WSAEWOULDBLOCK ? ReadResult::Ok : ReadResult::Error;
            dec.Commit(static_cast<size_t>(n));
            conduix::Frame f;
            conduix::FrameDecoder::Result r;
            while ((r = dec.Next(f)) == conduix::FrameDecoder::Result::Ready) {
                if (!Accept(f, gen))
                    return ReadResult::Error;
            }
            if (r == conduix::FrameDecoder::Result::Failed)
                return ReadResult::Error;
            if (stop_)
                return ReadResult::Ok;
        }
    }

    // One received frame as an event; false for a frame the client never accepts (init).
    bool Accept(const conduix::Frame& f, uint64_t gen)
    {
        auto ev = std::make_unique<Event>();
        ev->generation = gen;
        switch (f.kind) {
        case conduix::FrameKind::Init: return false;
        case conduix::FrameKind::StreamStatus:
            ev->type = EventType::Status;
            ev->value = f.statusValue;
            ev->open = f.statusOpen;
            break;
        case conduix::FrameKind::Packet:
        case conduix::FrameKind::Stream: {
            ev->type = f.kind == conduix::FrameKind::Packet ? EventType::Packet : EventType::Stream;
            ev->payloadLength = f.payloadLength;
            ev->droppable = ev->type == EventType::Stream && f.header.command == 83;
            if (ev->droppable) {
                std::lock_guard<std::mutex> g(queueMutex_);
                if (queuedStreamBlocks_ >= kMaxQueuedStreamBlocks ||
                    queuedStreamBytes_ + f.payloadLength > kMaxQueuedStreamBytes)
                    return true; // dropped before copying
            }
            ev->bytes.reset(new (std::nothrow) uint8_t[conduix::kPacketHeaderSize + f.payloadLength]);
            if (!ev->bytes)
                return ev->droppable; // out of memory: a stream block may go, a packet may not
            std::memcpy(ev->bytes.get(), f.headerBytes, conduix::kPacketHeaderSize);
            if (f.payloadLength)
                std::memcpy(ev->bytes.get() + conduix::kPacketHeaderSize, f.payload, f.payloadLength);
            ev->block.data = ev->bytes.get() + conduix::kPacketHeaderSize;
            ev->block.length = f.payloadLength;
            break;
        }
        }
        Push(std::move(ev));
        return true;
    }

    SOCKET Open(uint64_t gen, HANDLE sockEvent, bool& ok)
    {
        ok = false;
        Lookup* lookup = StartLookup(address_, std::to_string(port_));
        if (!lookup)
            return INVALID_SOCKET;
        HANDLE waits[2] = {stopEvent_.Get(), lookup->done.Get()};
        const DWORD found = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (stop_ || found != WAIT_OBJECT_0 + 1 || lookup->rc != 0 || !lookup->result) {
            lookup->Release();
            return INVALID_SOCKET;
        }
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET) {
            lookup->Release();
            return s;
        }
        BOOL one = TRUE;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
        WSAEventSelect(s, sockEvent, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE);
        int rc = connect(s, lookup->result->ai_addr, static_cast<int>(lookup->result->ai_addrlen));
        lookup->Release();
        if (rc == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK)
            return s;
        DWORD deadline = GetTickCount() + static_cast<DWORD>(timeoutMs_);
        for (;;) {
            DWORD now = GetTickCount();
            DWORD left = static_cast<int32_t>(deadline - now) > 0 ? deadline - now : 0;
            HANDLE hs[2] = {stopEvent_.Get(), sockEvent};
            DWORD w = WaitForMultipleObjects(2, hs, FALSE, left);
            if (stop_ || w != WAIT_OBJECT_0 + 1)
                return s;
            WSANETWORKEVENTS ne{};
            if (WSAEnumNetworkEvents(s, sockEvent, &ne) != 0)
                return s;
            if (ne.lNetworkEvents & FD_CONNECT) {
                ok = ne.iErrorCode[FD_CONNECT_BIT] == 0;
                if (ok)
                    SetEvent(sockEvent); // FD_WRITE/FD_READ may have come with it
                return s;
            }
        }
    }

    void IoThread(uint64_t gen)
    {
        HANDLE sockEvent = WSACreateEvent();
        bool ok = false;
        SOCKET s = Open(gen, sockEvent, ok);
        if (!ok) {
            if (s != INVALID_SOCKET)
                closesocket(s);
            WSACloseEvent(sockEvent);
            if (!stop_)
                PushSimple(EventType::Failed, gen);
            return;
        }
        {
            std::lock_guard<std::mutex> g(sendMutex_);
            connected_ = true;
        }
        PushSimple(EventType::Connected, gen);
        conduix::FrameDecoder dec(receiveBuffer_, conduix::kMaxFrameBody, kRecvBatch);
        bool lost = false;
        while (!stop_ && !lost) {
            HANDLE hs[3] = {stopEvent_.Get(), control_.Get(), sockEvent};
            DWORD w = WaitForMultipleObjects(3, hs, FALSE, INFINITE);
            if (stop_ || w == WAIT_OBJECT_0 || w == WAIT_FAILED)
                break;
            if (w == WAIT_OBJECT_0 + 1) {
                lost = !Flush(s);
                continue;
            }
            WSANETWORKEVENTS ne{};
            WSAEnumNetworkEvents(s, sockEvent, &ne);
            if (!Flush(s)) {
                lost = true;
                break;
            }
            // Reads up to the peer's close, so data sent before it still arrives.
            if (ReadAvailable(s, dec, gen) != ReadResult::Ok || (ne.lNetworkEvents & FD_CLOSE))
                lost = true;
        }
        {
            std::lock_guard<std::mutex> g(sendMutex_);
            connected_ = false;
        }
        closesocket(s);
        WSACloseEvent(sockEvent);
        if (lost && !stop_)
            PushSimple(EventType::Lost, gen);
    }

    HWND target_; // not ours: the caller's window
    NSMGAPI_CALLBACK callback_; // optional
    void* context_;
    DeliveryWindow delivery_{*this}; // ours: message-only delivery window
    HWND hidden_ = nullptr; // delivery_'s window, null when it could not be made
    bool wsaOk_ = false;
    win::KernelHandle control_; // wakes the I/O thread to send
    win::KernelHandle stopEvent_; // manual reset, set by Stop
    win::KernelHandle drained_; // the window took an event
    std::thread io_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ioWaiting_{false}; // the I/O thread waits for the window to take events
    std::atomic<uint64_t> generation_{0};
    std::string address_;
    int port_ = 0;
    int timeoutMs_ = 5000;
    size_t receiveBuffer_ = 64 * 1024;

    std::mutex sendMutex_;
    bool connected_ = false;
    std::vector<uint8_t> out_;
    uint32_t sendPacketSeq_ = 0, sendStreamSeq_ = 0;
    uint16_t lastCommand_ = 0;

    std::mutex queueMutex_;
    std::deque<std::unique_ptr<Event>> queue_;
    size_t queuedBytes_ = 0, queuedStreamBytes_ = 0, queuedStreamBlocks_ = 0;
    bool wakePosted_ = false;

    int delivering_ = 0; // creating thread only
    bool destroyPending_ = false;
};

LRESULT DeliveryWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg != g_wakeMessage || msg == 0)
        return Default(msg, wp, lp);
    // A destroy requested during a delivery completes here; the window goes with the connection,
    // and nothing of this object is touched after.
    if (connection_.Drain())
        delete &connection_;
    return 0;
}

Connection* FromHandle(NSMG_HANDLE h) { return static_cast<Connection*>(h); }

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(instance);
    else if (reason == DLL_PROCESS_DETACH && !reserved)
        win::UnregisterModuleClasses();
    return TRUE;
}

int WINAPI NSMGAPI_Initialize(void)
{
    return win::Barrier("NSMGAPI_Initialize", 0, [] {
        WSADATA wsa;
        if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
            return 0;
        RegisterDeliveryClass();
        return 1;
    });
}

NSMG_HANDLE WINAPI NSMGAPI_Create(HWND window, NSMGAPI_CALLBACK callback, void* context)
{
    return win::Barrier("NSMGAPI_Create", NSMG_HANDLE(nullptr), [&]() -> NSMG_HANDLE {
        if (!window && !callback)
            return nullptr;
        auto c = std::make_unique<Connection>(window, callback, context);
        return c->Usable() ? c.release() : nullptr;
    });
}

int WINAPI NSMGAPI_Connect(NSMG_HANDLE handle, const _tagConnectSocketInfo* info)
{
    return win::Barrier("NSMGAPI_Connect", 0, [&] { return handle && info ? FromHandle(handle)->Connect(*info) : 0; });
}

int WINAPI NSMGAPI_SendInitPacketData(NSMG_HANDLE handle)
{
    return win::Barrier("NSMGAPI_SendInitPacketData", 0, [&] { return handle ? FromHandle(handle)->SendInit() : 0; });
}

int WINAPI NSMGAPI_SendPacketData(NSMG_HANDLE handle, unsigned short command, const void* bytes, int length)
{
    return win::Barrier("NSMGAPI_SendPacketData", 0,
                        [&] { return handle ? FromHandle(handle)->SendPacket(command, bytes, length) : 0; });
}

int WINAPI NSMGAPI_SendStreamData(NSMG_HANDLE handle, const void* bytes, int length)
{
    return win::Barrier("NSMGAPI_SendStreamData", 0,
                        [&] { return handle ? FromHandle(handle)->SendStream(bytes, length) : 0; });
}

void WINAPI NSMGAPI_Disconnect(NSMG_HANDLE handle)
{
    win::VoidBarrier("NSMGAPI_Disconnect", [&] {
        if (handle)
            FromHandle(handle)->Stop();
    });
}

void WINAPI NSMGAPI_Destroy(NSMG_HANDLE handle)
{
    win::VoidBarrier("NSMGAPI_Destroy", [&] {
        if (handle && FromHandle(handle)->DestroyRequested())
            delete FromHandle(handle);
    });
}

void WINAPI NSMGAPI_Uninitialize(void) { WSACleanup(); }

} // extern "C"
