// Conduix.dll under Wine against an in-test Winsock peer on loopback: connect results, messages
// and payloads, loss, malformed frames, a window that falls behind, teardown inside a handler.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "conduix/Framing.h"
#include "conduix/NSMGAPI.h"

#include "TestKit.h"
#include <gtest/gtest.h>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Got {
    UINT msg = 0;
    WPARAM w = 0;
    LPARAM l = 0;
    uint16_t command = 0;
    uint32_t length = 0;
    std::vector<uint8_t> data;
};

std::vector<Got> g_got;
std::function<void(const Got&)> g_hook;

// What the recorder window received from the transport, with copies of the bytes it pointed at.
LRESULT Record(UINT m, WPARAM w, LPARAM l)
{
    Got g;
    g.msg = m;
    g.w = w;
    g.l = l;
    if ((m == NSMG_WM_PACKET || m == NSMG_WM_STREAM) && w) {
        const auto* hdr = reinterpret_cast<const _tagNsmgPacketHeader*>(w);
        g.command = hdr->command;
        g.length = hdr->length;
        if (m == NSMG_WM_PACKET && l)
            g.data.assign(reinterpret_cast<const uint8_t*>(l), reinterpret_cast<const uint8_t*>(l) + hdr->length);
        if (m == NSMG_WM_STREAM && l) {
            const auto* b = reinterpret_cast<const _tagNsmgStreamBlock*>(l);
            EXPECT_NE(nullptr, b->data);
            EXPECT_EQ(hdr->length, b->length);
            g.data.assign(b->data, b->data + b->length);
        }
    }
    g_got.push_back(g);
    if (g_hook)
        g_hook(g);
    return 0;
}

bool PumpUntil(const std::function<bool()>& done) { return testkit::PumpUntil(done, 10000); }

size_t Count(UINT msg)
{
    size_t n = 0;
    for (auto& g : g_got)
        n += g.msg == msg;
    return n;
}

// A blocking loopback peer playing the DVR.
class Peer {
public:
    Peer()
    {
        listen_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(listen_, 4);
        int len = sizeof a;
        getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~Peer()
    {
        Close();
        closesocket(listen_);
    }
    bool Accept()
    {
        s_ = accept(listen_, nullptr, nullptr);
        return s_ != INVALID_SOCKET;
    }
    void Send(const std::vector<uint8_t>& b)
    {
        size_t at = 0;
        while (at < b.size()) {
            int n = send(s_, reinterpret_cast<const char*>(b.data() + at), static_cast<int>(b.size() - at), 0);
            ASSERT_GT(n, 0);
            at += static_cast<size_t>(n);
        }
    }
    // The next frame the library sent.
    bool Receive(conduix::Frame& f, std::vector<uint8_t>& payload)
    {
        for (;;) {
            auto r = dec_.Next(f);
            if (r == conduix::FrameDecoder::Result::Ready) {
                payload.assign(f.payload, f.payload + f.payloadLength);
                return true;
            }
            if (r == conduix::FrameDecoder::Result::Failed)
                return false;
            uint8_t buf[4096];
            int n = recv(s_, reinterpret_cast<char*>(buf), sizeof buf, 0);
            if (n <= 0)
                return false;
            size_t at = 0;
            while (at < static_cast<size_t>(n)) {
                at += dec_.Feed(buf + at, static_cast<size_t>(n) - at);
                if (at < static_cast<size_t>(n))
                    return false; // one frame at a time is plenty here
            }
        }
    }
    void Close()
    {
        if (s_ != INVALID_SOCKET) {
            closesocket(s_);
            s_ = INVALID_SOCKET;
        }
    }
    uint16_t port = 0;

private:
    SOCKET listen_ = INVALID_SOCKET;
    SOCKET s_ = INVALID_SOCKET;
    conduix::FrameDecoder dec_;
};

_tagConnectSocketInfo Info(uint16_t port, const char* host = "127.0.0.1")
{
    _tagConnectSocketInfo i;
    std::memset(&i, 0, sizeof i);
    std::strcpy(i.address, host);
    i.family = 2;
    i.port = port;
    i.framing = 1;
    i.receiveBuffer = 3072;
    return i;
}

std::vector<uint8_t> Pattern(size_t n, uint8_t seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(seed + i * 13);
    return v;
}

class ConduixTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        NSMGAPI_Initialize();
        g_got.clear();
        g_hook = nullptr;
        recorder = std::make_unique<testkit::RecorderWindow>(WM_USER + 400, WM_USER + 640, HWND_MESSAGE);
        recorder->onMessage = Record;
        wnd = recorder->Hwnd();
        ASSERT_NE(nullptr, wnd);
        h = NSMGAPI_Create(wnd, nullptr, nullptr);
        ASSERT_NE(nullptr, h);
    }
    void TearDown() override
    {
        g_hook = nullptr;
        if (h)
            NSMGAPI_Destroy(h);
        recorder.reset();
        NSMGAPI_Uninitialize();
        WSACleanup();
    }
    // Connects to the peer and waits for 1445.
    void ConnectTo(Peer& p)
    {
        auto i = Info(p.port);
        ASSERT_EQ(1, NSMGAPI_Connect(h, &i));
        ASSERT_TRUE(p.Accept());
        ASSERT_TRUE(PumpUntil([] { return Count(NSMG_WM_CONNECT) == 1; }));
        ASSERT_EQ(1u, g_got.back().w);
        g_got.clear();
    }
    std::unique_ptr<testkit::RecorderWindow> recorder;
    HWND wnd = nullptr;
    NSMG_HANDLE h = nullptr;
};

} // namespace

TEST_F(ConduixTest, SessionDeliversEachFrameAsItsMessage)
{
    Peer p;
    ConnectTo(p);
    ASSERT_EQ(1, NSMGAPI_SendInitPacketData(h));
    conduix::Frame f;
    std::vector<uint8_t> got;
    ASSERT_TRUE(p.Receive(f, got));
    EXPECT_EQ(conduix::FrameKind::Init, f.kind);

    std::vector<uint8_t> bytes;
    auto reply = Pattern(32, 1);
    auto video = Pattern(100000, 2);
    conduix::AppendPacketFrame(bytes, 85, nullptr, 0, 0);
    conduix::AppendPacketFrame(bytes, 1, reply.data(), reply.size(), 1);
    conduix::AppendStreamFrame(bytes, 83, video.data(), video.size(), 0);
    conduix::AppendStreamFrame(bytes, 138, nullptr, 0, 1);
    conduix::AppendStreamStatusFrame(bytes, 3, 1);
    p.Send(bytes);
    ASSERT_TRUE(PumpUntil([] { return g_got.size() == 5; }));
    EXPECT_EQ(NSMG_WM_PACKET, g_got[0].msg);
    EXPECT_EQ(85, g_got[0].command);
    EXPECT_EQ(0, g_got[0].l); // no payload: lParam 0
    EXPECT_EQ(NSMG_WM_PACKET, g_got[1].msg);
    EXPECT_EQ(1, g_got[1].command);
    EXPECT_EQ(reply, g_got[1].data);
    EXPECT_EQ(NSMG_WM_STREAM, g_got[2].msg);
    EXPECT_EQ(83, g_got[2].command);
    EXPECT_EQ(video, g_got[2].data);
    EXPECT_EQ(NSMG_WM_STREAM, g_got[3].msg);
    EXPECT_EQ(138, g_got[3].command);
    EXPECT_NE(0, g_got[3].l);
    EXPECT_EQ(0u, g_got[3].length);
    EXPECT_EQ(NSMG_WM_STREAM_STATUS, g_got[4].msg);
    EXPECT_EQ(3u, g_got[4].w);
    EXPECT_EQ(1, g_got[4].l);

    // A configuration: the header packet, then its stream bytes tagged with the same command.
    auto head = Pattern(32, 3), body = Pattern(136, 4);
    ASSERT_EQ(1, NSMGAPI_SendPacketData(h, 138, head.data(), 32));
    ASSERT_EQ(1, NSMGAPI_SendStreamData(h, body.data(), 136));
    ASSERT_TRUE(p.Receive(f, got));
    EXPECT_EQ(conduix::FrameKind::Packet, f.kind);
    EXPECT_EQ(138, f.header.command);
    EXPECT_EQ(head, got);
    ASSERT_TRUE(p.Receive(f, got));
    EXPECT_EQ(conduix::FrameKind::Stream, f.kind);
    EXPECT_EQ(138, f.header.command);
    EXPECT_EQ(body, got);
    EXPECT_EQ(0, NSMGAPI_SendPacketData(h, 1, nullptr, 5));
    EXPECT_EQ(0, NSMGAPI_SendPacketData(h, 1, head.data(), -1));

    g_got.clear();
    p.Close();
    ASSERT_TRUE(PumpUntil([] { return Count(NSMG_WM_LOST) == 1; }));
    EXPECT_EQ(0, NSMGAPI_SendPacketData(h, 82, head.data(), 8)); // nothing to send on
    NSMGAPI_Disconnect(h);
    // The object connects again after a loss.
    Peer p2;
    ConnectTo(p2);
}

TEST_F(ConduixTest, FailedConnectIsLossThenZeroResult)
{
    uint16_t port;
    {
        Peer closed;
        port = closed.port;
    }
    auto i = Info(port);
    ASSERT_EQ(1, NSMGAPI_Connect(h, &i));
    ASSERT_TRUE(PumpUntil([] { return Count(NSMG_WM_CONNECT) == 1; }));
    ASSERT_EQ(2u, g_got.size());
    EXPECT_EQ(NSMG_WM_LOST, g_got[0].msg);
    EXPECT_EQ(NSMG_WM_CONNECT, g_got[1].msg);
    EXPECT_EQ(0u, g_got[1].w);

    // The view disconnects inside its loss handler: the attempt's result still arrives.
    g_got.clear();
    g_hook = [this](const Got& g) {
        if (g.msg == NSMG_WM_LOST)
            NSMGAPI_Disconnect(h);
    };
    ASSERT_EQ(1, NSMGAPI_Connect(h, &i));
    ASSERT_TRUE(PumpUntil([] { return Count(NSMG_WM_CONNECT) == 1; }));
    EXPECT_EQ(0u, g_got.back().w);

    // Refused at once: nothing is posted.
    g_got.clear();
    g_hook = nullptr;
    auto bad = Info(port, "");
    EXPECT_EQ(0, NSMGAPI_Connect(h, &bad));
    bad = Info(0);
    EXPECT_EQ(0, NSMGAPI_Connect(h, &bad));
    bad = Info(port);
    bad.family = 23;
    EXPECT_EQ(0, NSMGAPI_Connect(h, &bad));
    EXPECT_EQ(0, NSMGAPI_Connect(nullptr, &i));
    EXPECT_EQ(0, NSMGAPI_Connect(h, nullptr));
    bad = Info(port, "no-such-host.invalid");
    ASSERT_EQ(1, NSMGAPI_Connect(h, &bad)); // resolution fails later, like a refusal
    ASSERT_TRUE(PumpUntil([] { return Count(NSMG_WM_CONNECT) == 1; }));
    EXPECT_EQ(NSMG_WM_LOST, g_got[0].msg);
    EXPECT_EQ(0u, g_got.back().w);
}

TEST_F(ConduixTest, NoLossAfterOwnDisconnect)
{
    Peer p;
    ConnectTo(p);
    p.Close();
    // Wait until the loss is queued for this thread (the library's wake-up is pending), then
    // disconnect before it is delivered.
    UINT wake = RegisterWindowMessageW(L"Conduix.Deliver");
    MSG m;
    DWORD start = GetTickCount();
    while (!PeekMessageW(&m, nullptr, wake, wake, PM_NOREMOVE)) {
        ASSERT_LT(GetTickCount() - start, 10000u);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE);
    }
    NSMGAPI_Disconnect(h);
    testkit::PumpFor(300);
    EXPECT_TRUE(g_got.empty());
}

TEST_F(ConduixTest, MalformedOrOversizedFrameCloses)
{
    std::vector<std::vector<uint8_t>> bad = {
        {'C', 'X', 1, 3, 0xFF, 0xFF, 0xFF, 0x7F}, // 2 GiB block
        {'H', 'T', 'T', 'P', '/', '1', '.', '1'}, // not ours
        {'C', 'X', 1, 1, 0, 0, 0, 0}, // an init frame from the DVR
    };
    for (auto& b : bad) {
        g_got.clear();
        Peer p;
        ConnectTo(p);
        std::vector<uint8_t> bytes;
        conduix::AppendPacketFrame(bytes, 85, nullptr, 0, 0);
        bytes.insert(bytes.end(), b.begin(), b.end());
        p.Send(bytes);
        ASSERT_TRUE(PumpUntil([] { return Count(NSMG_WM_LOST) == 1; }));
        ASSERT_EQ(2u, g_got.size());
        EXPECT_EQ(85, g_got[0].command); // what came before the bad frame still arrives
        NSMGAPI_Disconnect(h);
    }
}

TEST_F(ConduixTest, SlowWindowLosesStreamBlocksNeverPackets)
{
    Peer p;
    ConnectTo(p);
    // 20000 blocks of 1 KiB with a numbered packet after every 100, sent while the window takes
    // nothing: more than the library keeps for a window that is behind.
    const int kBlocks = 20000;
    auto block = Pattern(1024, 5);
    std::vector<uint8_t> bytes;
    uint32_t packets = 0;
    for (int i = 0; i < kBlocks; ++i) {
        conduix::AppendStreamFrame(bytes, 83, block.data(), block.size(), static_cast<uint32_t>(i));
        if (i % 100 == 99) {
            uint8_t n[4];
            std::memcpy(n, &packets, 4);
            conduix::AppendPacketFrame(bytes, 51, n, 4, packets++);
        }
    }
    conduix::AppendPacketFrame(bytes, 9, nullptr, 0, packets);
    p.Send(bytes);
    ASSERT_TRUE(PumpUntil([] { return !g_got.empty() && g_got.back().command == 9; }));
    size_t streams = Count(NSMG_WM_STREAM);
    EXPECT_LT(streams, static_cast<size_t>(kBlocks));
    EXPECT_GE(streams, 4096u);
    uint32_t next = 0;
    for (auto& g : g_got) {
        if (g.msg == NSMG_WM_PACKET && g.command == 51) {
            uint32_t v;
            std::memcpy(&v, g.data.data(), 4);
            EXPECT_EQ(next, v);
            ++next;
        }
        if (g.msg == NSMG_WM_STREAM) {
            ASSERT_EQ(block, g.data);
        }
    }
    EXPECT_EQ(packets, next);
}

TEST_F(ConduixTest, DestroyInsideHandler)
{
    Peer p;
    ConnectTo(p);
    g_hook = [this](const Got& g) {
        if (g.msg == NSMG_WM_PACKET && h) {
            NSMGAPI_Destroy(h);
            h = nullptr;
        }
    };
    std::vector<uint8_t> bytes;
    for (uint32_t i = 0; i < 10; ++i)
        conduix::AppendPacketFrame(bytes, 85, nullptr, 0, i);
    p.Send(bytes);
    ASSERT_TRUE(PumpUntil([] { return !g_got.empty(); }));
    testkit::PumpFor(200);
    EXPECT_EQ(1u, g_got.size()); // nothing after the object was destroyed
}
