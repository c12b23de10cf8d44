#include "DvrClient.h"
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace dvrclient {

namespace {
int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

DvrClient::DvrClient() = default;

DvrClient::~DvrClient() { Close(); }

bool DvrClient::Connect(const std::string& host, uint16_t port, int timeoutMs, std::string& error)
{
    Close();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    std::string p = std::to_string(port);
    int rc = getaddrinfo(host.c_str(), p.c_str(), &hints, &res);
    if (rc != 0 || !res) {
        error = "cannot resolve " + host + ": " + gai_strerror(rc);
        return false;
    }
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        freeaddrinfo(res);
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    rc = connect(fd, res->ai_addr, res->ai_addrlen);
    freeaddrinfo(res);
    if (rc != 0 && errno != EINPROGRESS) {
        error = "cannot connect to " + host + ":" + p + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    if (rc != 0) {
        pollfd pfd{fd, POLLOUT, 0};
        int n = poll(&pfd, 1, timeoutMs);
        int soerr = 0;
        socklen_t len = sizeof soerr;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &soerr, &len);
        if (n <= 0 || soerr != 0) {
            error = "cannot connect to " + host + ":" + p + ": " + (n <= 0 ? "timed out" : std::strerror(soerr));
            ::close(fd);
            return false;
        }
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    fd_ = fd;
    decoder_ = conduix::FrameDecoder();
    packetSeq_ = streamSeq_ = 0;
    lastCommand_ = 0;
    return true;
}

void DvrClient::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool DvrClient::SendAll(const std::vector<uint8_t>& bytes)
{
    size_t at = 0;
    while (at < bytes.size() && fd_ >= 0) {
        ssize_t n = ::send(fd_, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n > 0) {
            at += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            pollfd pfd{fd_, POLLOUT, 0};
            if (poll(&pfd, 1, 10000) <= 0) {
                error_ = "send timed out";
                return false;
            }
            continue;
        }
        error_ = std::string("send: ") + std::strerror(errno);
        return false;
    }
    return at == bytes.size();
}

bool DvrClient::SendInit()
{
    out_.clear();
    conduix::AppendInitFrame(out_);
    return SendAll(out_);
}

bool DvrClient::SendPacket(uint16_t command, const void* payload, size_t length)
{
    out_.clear();
    if (!conduix::AppendPacketFrame(out_, command, payload, length, packetSeq_++))
        return false;
    lastCommand_ = command;
    return SendAll(out_);
}

bool DvrClient::SendStream(const void* data, size_t length)
{
    out_.clear();
    if (!conduix::AppendStreamFrame(out_, lastCommand_, data, length, streamSeq_++))
        return false;
    return SendAll(out_);
}

DvrClient::Result DvrClient::Receive(conduix::Frame& frame, int timeoutMs)
{
    int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        auto r = decoder_.Next(frame);
        if (r == conduix::FrameDecoder::Result::Ready)
            return Result::Frame;
        if (r == conduix::FrameDecoder::Result::Failed) {
            error_ = std::string("malformed frame: ") + conduix::FrameErrorText(decoder_.Error());
            return Result::Error;
        }
        if (fd_ < 0)
            return Result::Closed;
        int64_t left = deadline - NowMs();
        if (left <= 0)
            return Result::Timeout;
        pollfd pfd{fd_, POLLIN, 0};
        int n = poll(&pfd, 1, static_cast<int>(left));
        if (n == 0)
            return Result::Timeout;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error_ = std::string("poll: ") + std::strerror(errno);
            return Result::Error;
        }
        size_t room = 0;
        uint8_t* dst = decoder_.WriteArea(room);
        if (!dst) {
            error_ = "receive buffer";
            return Result::Error;
        }
        ssize_t got = ::recv(fd_, dst, room, 0);
        if (got == 0) {
            Close();
            return Result::Closed;
        }
        if (got < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            error_ = std::string("recv: ") + std::strerror(errno);
            Close();
            return Result::Error;
        }
        decoder_.Commit(static_cast<size_t>(got));
    }
}

bool ParseHostPort(const std::string& text, uint16_t defaultPort, std::string& host, uint16_t& port)
{
    size_t colon = text.rfind(':');
    host = text.substr(0, colon);
    port = defaultPort;
    if (colon != std::string::npos) {
        std::string p = text.substr(colon + 1);
        if (p.empty() || p.size() > 5 || p.find_first_not_of("0123456789") != std::string::npos)
            return false;
        unsigned long v = std::stoul(p);
        if (v < 1 || v > 65535)
            return false;
        port = static_cast<uint16_t>(v);
    }
    return !host.empty();
}

LoginOutcome Login(DvrClient& client, const std::string& userId, const std::string& password, int timeoutMs)
{
    LoginOutcome out;
    int64_t deadline = NowMs() + timeoutMs;
    auto wait = [&](uint16_t command, conduix::Frame& f) -> bool {
        for (;;) {
            int64_t left = deadline - NowMs();
            auto r = client.Receive(f, left > 0 ? static_cast<int>(left) : 0);
            if (r == DvrClient::Result::Frame) {
                if (f.kind == conduix::FrameKind::Packet && f.header.command == command)
                    return true;
                continue;
            }
            out.error = r == DvrClient::Result::Timeout ? "no answer from the DVR"
                : r == DvrClient::Result::Closed        ? "the DVR closed the connection"
                                                        : client.LastError();
            return false;
        }
    };
    if (!client.SendInit()) {
        out.error = "cannot send the init packet: " + client.LastError();
        return out;
    }
    conduix::Frame f;
    if (!wait(protocol::kCmdLoginRequest, f))
        return out;
    uint8_t login[protocol::kLoginSize];
    protocol::BuildLogin(userId, password, true, 0, login);
    if (!client.SendPacket(protocol::kCmdLogin, login, sizeof login)) {
        out.error = "cannot send the login: " + client.LastError();
        return out;
    }
    if (!wait(protocol::kCmdLogin, f))
        return out;
    out.reply = protocol::ParseLoginReply(f.payload, f.payloadLength);
    if (!out.reply.present) {
        out.error = "login reply too short (" + std::to_string(f.payloadLength) + " bytes)";
        return out;
    }
    out.replied = true;
    return out;
}

} // namespace dvrclient
