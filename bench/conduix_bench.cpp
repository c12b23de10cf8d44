// Stream blocks from the DVR simulator into a window handler through Conduix, against a plain
// Winsock receive loop over the same bytes, in one run. Usage:
//   conduix_bench PORT BLOCKS BLOCK_SIZE [REPS]
// The simulator must send BLOCKS synthetic blocks of BLOCK_SIZE after each login
// (dvrsim --synthetic-rate 0 --synthetic-count BLOCKS --synthetic-size BLOCK_SIZE).
#include <winsock2.h>
#include <windows.h>

#include "conduix/Framing.h"
#include "conduix/NSMGAPI.h"
#include "Dispatch.h"
#include "wire/Packets.h"
#include "foundation/Module.h"
#include "foundation/Window.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

double Seconds() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

struct Run {
    long blocks = 0;
    double bytes = 0, seconds = 0;
};

// ---- through Conduix into a window ----

struct ViewState {
    NSMG_HANDLE h = nullptr;
    long want = 0, got = 0;
    double bytes = 0, start = 0, last = 0;
    bool failed = false, done = false;
    std::vector<uint8_t> slot = std::vector<uint8_t>(262144);
} g_view;

// The view as far as the transport is concerned: the stream dispatcher's copy of each block.
class BenchView final : public win::Window {
public:
    bool Make()
    {
        static const bool registered = win::RegisterModuleClass(ClassOf(L"BenchView"));
        return registered && CreateEx(0, L"BenchView", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, 0);
    }

private:
    LRESULT OnMessage(UINT m, WPARAM wp, LPARAM lp) override;
};

LRESULT BenchView::OnMessage(UINT m, WPARAM wp, LPARAM lp)
{
    ViewState& v = g_view;
    switch (m) {
    case NSMG_WM_CONNECT:
        if (wp)
            NSMGAPI_SendInitPacketData(v.h);
        else
            v.failed = true;
        return 0;
    case NSMG_WM_LOST: v.failed = !v.done; return 0;
    case NSMG_WM_PACKET: {
        auto d = protocol::DecideReceive(reinterpret_cast<void*>(wp), reinterpret_cast<void*>(lp));
        if (d.action == protocol::ReceiveAction::LoginRequest) {
            uint8_t login[protocol::kLoginSize];
            protocol::BuildLogin("admin", "1111", true, 0, login);
            NSMGAPI_SendPacketData(v.h, protocol::kCmdLogin, login, sizeof login);
        } else if (d.action == protocol::ReceiveAction::LoginReply) {
            v.start = v.last = Seconds();
        }
        return 0;
    }
    case NSMG_WM_STREAM: {
        // What the view's stream dispatcher does: sort the block, copy it into a frame slot.
        auto d = protocol::DecideStream(reinterpret_cast<void*>(wp), reinterpret_cast<void*>(lp), 16);
        if (d.kind == protocol::StreamKind::Video) {
            std::memcpy(v.slot.data(), d.data, d.length);
            ++v.got;
            v.bytes += static_cast<double>(d.length);
            v.last = Seconds();
            if (v.got == v.want)
                v.done = true;
        }
        return 0;
    }
    }
    return Default(m, wp, lp);
}

Run ThroughConduix(int port, long blocks, long& dropped)
{
    BenchView view;
    if (!view.Make())
        return Run{};
    HWND wnd = view.Hwnd();
    g_view.h = NSMGAPI_Create(wnd, nullptr, nullptr);
    g_view.want = blocks;
    g_view.got = 0;
    g_view.bytes = 0;
    g_view.start = 0;
    g_view.failed = g_view.done = false;
    _tagConnectSocketInfo info;
    std::memset(&info, 0, sizeof info);
    std::strcpy(info.address, "127.0.0.1");
    info.family = 2;
    info.port = port;
    info.framing = 1;
    info.receiveBuffer = 3072;
    NSMGAPI_Connect(g_view.h, &info);
    MSG m;
    for (;;) {
        if (g_view.done || g_view.failed)
            break;
        // Stop when the stream has gone quiet for a second (blocks dropped by a slow window).
        if (g_view.start > 0 && Seconds() - g_view.last > 1.0)
            break;
        DWORD r = MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        (void)r;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&m);
    }
    Run run;
    run.blocks = g_view.got;
    run.bytes = g_view.bytes;
    run.seconds = g_view.last - g_view.start;
    dropped = blocks - g_view.got;
    NSMGAPI_Disconnect(g_view.h);
    NSMGAPI_Destroy(g_view.h);
    return run;
}

// ---- plain Winsock loop over the same bytes ----

bool RecvFrameOf(SOCKET s, conduix::FrameDecoder& dec, uint16_t command)
{
    for (;;) {
        conduix::Frame f;
        auto r = dec.Next(f);
        if (r == conduix::FrameDecoder::Result::Ready) {
            if (f.kind == conduix::FrameKind::Packet && f.header.command == command)
                return true;
            continue;
        }
        if (r == conduix::FrameDecoder::Result::Failed)
            return false;
        size_t room = 0;
        uint8_t* dst = dec.WriteArea(room);
        // Only ever ask for the frame in progress, so no stream bytes are taken here.
        int n = recv(s, reinterpret_cast<char*>(dst), 1, 0);
        if (n <= 0)
            return false;
        dec.Commit(static_cast<size_t>(n));
    }
}

Run PlainWinsock(int port, long blocks, long blockSize)
{
    Run run;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<u_short>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        return run;
    std::vector<uint8_t> out;
    conduix::AppendInitFrame(out);
    send(s, reinterpret_cast<const char*>(out.data()), static_cast<int>(out.size()), 0);
    conduix::FrameDecoder dec(4096);
    if (!RecvFrameOf(s, dec, protocol::kCmdLoginRequest))
        return run;
    uint8_t login[protocol::kLoginSize];
    protocol::BuildLogin("admin", "1111", true, 0, login);
    out.clear();
    conduix::AppendPacketFrame(out, protocol::kCmdLogin, login, sizeof login, 0);
    send(s, reinterpret_cast<const char*>(out.data()), static_cast<int>(out.size()), 0);
    if (!RecvFrameOf(s, dec, protocol::kCmdLogin))
        return run;
    double start = Seconds();
    double total = static_cast<double>(blocks) *
        static_cast<double>(conduix::kFrameHeaderSize + conduix::kPacketHeaderSize + blockSize);
    double got = 0;
    std::vector<char> buf(256 * 1024);
    while (got < total) {
        int n = recv(s, buf.data(), static_cast<int>(buf.size()), 0);
        if (n <= 0)
            break;
        got += n;
    }
    run.seconds = Seconds() - start;
    run.bytes = got * static_cast<double>(blockSize) /
        static_cast<double>(conduix::kFrameHeaderSize + conduix::kPacketHeaderSize + blockSize);
    run.blocks = static_cast<long>(
        got / static_cast<double>(conduix::kFrameHeaderSize + conduix::kPacketHeaderSize + blockSize));
    closesocket(s);
    return run;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: conduix_bench PORT BLOCKS BLOCK_SIZE [REPS]\n");
        return 2;
    }
    int port = std::atoi(argv[1]);
    long blocks = std::atol(argv[2]);
    long size = std::atol(argv[3]);
    int reps = argc > 4 ? std::atoi(argv[4]) : 5;
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    NSMGAPI_Initialize();
    std::vector<double> cbps, cmbs, pbps, pmbs;
    long droppedTotal = 0;
    for (int i = 0; i < reps; ++i) {
        long dropped = 0;
        Run c = ThroughConduix(port, blocks, dropped);
        Run p = PlainWinsock(port, blocks, size);
        if (c.seconds <= 0 || p.seconds <= 0) {
            std::fprintf(stderr, "run %d failed (conduix %ld blocks, plain %ld blocks)\n", i, c.blocks, p.blocks);
            return 1;
        }
        droppedTotal += dropped;
        cbps.push_back(c.blocks / c.seconds);
        cmbs.push_back(c.bytes / c.seconds / 1e6);
        pbps.push_back(p.blocks / p.seconds);
        pmbs.push_back(p.bytes / p.seconds / 1e6);
        std::printf(
            "run %d: conduix->window %8.0f blocks/s %8.1f MB/s (%ld of %ld, %ld dropped) | plain winsock %8.0f blocks/s %8.1f MB/s\n",
            i, cbps.back(), cmbs.back(), c.blocks, blocks, dropped, pbps.back(), pmbs.back());
    }
    double cb = Median(cbps), cm = Median(cmbs), pb = Median(pbps), pm = Median(pmbs);
    std::printf("median over %d runs, %ld blocks of %ld bytes:\n", reps, blocks, size);
    std::printf("  conduix -> window handler: %.0f blocks/s, %.1f MB/s (%.0fx the 500 blocks/s needed)\n", cb, cm,
                cb / 500.0);
    std::printf("  plain winsock recv loop:   %.0f blocks/s, %.1f MB/s\n", pb, pm);
    std::printf("  ratio conduix/plain: %.2f; blocks dropped in all runs: %ld\n", cb / pb, droppedTotal);
    NSMGAPI_Uninitialize();
    WSACleanup();
    return 0;
}
