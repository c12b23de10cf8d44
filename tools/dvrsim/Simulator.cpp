#include "Simulator.h"
#include "wire/Packets.h"
#include "wire/ByteOrder.h"
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace dvrsim {

namespace {
int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string Hex(uint32_t v)
{
    char b[16];
    std::snprintf(b, sizeof b, "0x%08x", v);
    return b;
}

// A NUL-terminated string inside a fixed field, printable.
std::string FieldText(const uint8_t* p, size_t n)
{
    std::string s;
    for (size_t i = 0; i < n && p[i]; ++i)
        s += (p[i] >= 0x20 && p[i] < 0x7F) ? static_cast<char>(p[i]) : '?';
    return s;
}

// User IDs compare without regard to A-Z case: the viewer sends them lower-cased, the manager as stored.
bool SameId(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (protocol::AsciiLower(a[i]) != protocol::AsciiLower(b[i]))
            return false;
    return true;
}

uint32_t ChannelsBelow(int n) { return n >= 32 ? 0xFFFFFFFFu : n <= 0 ? 0u : (1u << n) - 1u; }

int CountBits(uint32_t v)
{
    int n = 0;
    for (; v; v &= v - 1)
        ++n;
    return n;
}

// The channel configuration record (16 entries of 8 bytes, then the 8-byte easy-setup block), one
// "channel:enabled/interval/quality/rate" per entry of this DVR's channels, the easy block, and a
// verdict: bad when the size is wrong, a channel beyond the DVR's count is enabled, or a quality
// code is none of the five levels.
std::string DescribeConfiguration(const uint8_t* d, size_t length, int channels)
{
    if (length != protocol::kConfigurationBodySize)
        return "bad size=" + std::to_string(length);
    std::string text;
    bool bad = false;
    for (int c = 0; c < 16; ++c) {
        const uint8_t* e = d + c * 8;
        const uint8_t q = e[4];
        if (c >= channels) {
            bad |= e[1] != 0;
            continue;
        }
        bad |= !(q == 4 || q == 9 || q == 14 || q == 19 || q == 31);
        text += std::to_string(c) + ":" + std::to_string(e[1]) + "/" + std::to_string(e[3]) + "/" + std::to_string(q) +
            "/" + std::to_string(e[5]) + " ";
    }
    const uint8_t* b = d + 128;
    text += "easy=" + std::to_string(b[0]) + " levels=" + std::to_string(b[1]) + "," + std::to_string(b[2]) + "," +
        std::to_string(b[3]) + "," + std::to_string(b[4]) + " refresh=" + std::to_string(b[5]);
    return text + (bad ? " bad" : " ok");
}

int32_t I32(const Packet& p, size_t at)
{
    return at + 4 <= p.length ? static_cast<int32_t>(wire::LoadLE32(p.data + at)) : 0;
}
} // namespace

// ---- Session ----

Session::Session(Simulator& sim, int fd, int id) : sim_(sim), fd_(fd), id_(id), startMs_(NowMs()) {}

Session::~Session()
{
    if (fd_ >= 0)
        ::close(fd_);
}

const Options& Session::Opts() const { return sim_.Opts(); }

int64_t Session::ElapsedMs() const { return NowMs() - startMs_; }

void Session::Close() { closing_ = true; }

bool Session::SendFrame(const std::vector<uint8_t>& frame)
{
    size_t at = 0;
    while (at < frame.size()) {
        ssize_t n = ::send(fd_, frame.data() + at, frame.size() - at, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            closing_ = true;
            return false;
        }
        at += static_cast<size_t>(n);
    }
    return true;
}

bool Session::SendPacket(uint16_t command, const void* payload, size_t length)
{
    return SendBuilt([&](std::vector<uint8_t>& out) {
        return conduix::AppendPacketFrame(out, command, payload, length, packetSeq_++);
    });
}

bool Session::SendStreamBlock(uint16_t headerCommand, const void* data, size_t length)
{
    return SendBuilt([&](std::vector<uint8_t>& out) {
        return conduix::AppendStreamFrame(out, headerCommand, data, length, streamSeq_++);
    });
}

bool Session::SendStreamStatus(uint32_t value, bool open)
{
    return SendBuilt([&](std::vector<uint8_t>& out) {
        conduix::AppendStreamStatusFrame(out, value, open ? 1u : 0u);
        return true;
    });
}

void Session::Handle(const CommandHandler* h, const Packet& p, const char* what, const char* unhandled)
{
    if (h)
        (*h)(*this, p);
    else
        sim_.Log(id_, what + std::to_string(p.command) + unhandled + std::to_string(p.length));
}

void Session::Dispatch(const conduix::Frame& f)
{
    Packet p{f.header.command, f.payload, f.payloadLength};
    switch (f.kind) {
    case conduix::FrameKind::Init:
        state_.initReceived = true;
        if (Opts().silent) {
            sim_.Log(id_, "init unanswered");
            break;
        }
        sim_.Log(id_, "init");
        SendPacket(protocol::kCmdLoginRequest, nullptr, 0);
        break;
    case conduix::FrameKind::Packet:
        state_.lastCommand = p.command;
        Handle(sim_.HandlerFor(p.command), p, "cmd ", " unknown bytes=");
        break;
    case conduix::FrameKind::Stream: Handle(sim_.StreamHandlerFor(p.command), p, "stream ", " bytes="); break;
    case conduix::FrameKind::StreamStatus:
        sim_.Log(id_, "bad frame: stream status from a client");
        closing_ = true;
        break;
    }
}

void Session::Run()
{
    const Options& o = Opts();
    sim_.Log(id_, "connect");
    if (o.closeOnConnect) {
        sim_.Log(id_, "close on-connect");
        return;
    }
    struct Running {
        std::unique_ptr<Producer> p;
        int64_t due;
    };
    std::vector<Running> producers;
    bool producersStarted = false;
    int64_t dropAt = o.dropAfterSeconds > 0 ? startMs_ + static_cast<int64_t>(o.dropAfterSeconds * 1000) : 0;
    int64_t nineAt = 0; // when command 9 goes out (--disconnect-after), from the accepted login
    std::string why = "peer";
    conduix::FrameDecoder dec;

    while (!closing_ && !sim_.Stopping()) {
        if (state_.loggedIn && !producersStarted && !o.noPictures) {
            producersStarted = true;
            for (auto& factory : sim_.Producers())
                if (auto prod = factory(*this))
                    producers.push_back({std::move(prod), NowMs()});
        }
        int64_t now = NowMs();
        if (state_.loggedIn && o.disconnectAfterSeconds > 0 && nineAt == 0)
            nineAt = now + static_cast<int64_t>(o.disconnectAfterSeconds * 1000);
        if (nineAt > 0 && now >= nineAt) {
            nineAt = -1; // once per session
            sim_.Log(id_, "send cmd 9 disconnect");
            SendPacket(protocol::kCmdDisconnect, nullptr, 0);
        }
        int64_t next = now + 200;
        if (nineAt > 0)
            next = std::min(next, nineAt);
        for (auto& r : producers)
            next = std::min(next, r.due);
        if (dropAt)
            next = std::min(next, dropAt);
        pollfd pfd{fd_, POLLIN, 0};
        int n = poll(&pfd, 1, static_cast<int>(std::max<int64_t>(0, next - now)));
        now = NowMs();
        if (dropAt && now >= dropAt) {
            why = "drop-after";
            break;
        }
        if (n > 0) {
            size_t room = 0;
            uint8_t* dst = dec.WriteArea(room);
            ssize_t got = dst ? ::recv(fd_, dst, room, 0) : -1;
            if (got <= 0) {
                if (got < 0 && errno == EINTR)
                    continue;
                why = "peer";
                break;
            }
            dec.Commit(static_cast<size_t>(got));
            conduix::Frame f;
            conduix::FrameDecoder::Result r;
            while (!closing_ && (r = dec.Next(f)) == conduix::FrameDecoder::Result::Ready)
                Dispatch(f);
            if (dec.Error() != conduix::FrameError::None) {
                sim_.Log(id_, std::string("bad frame: ") + conduix::FrameErrorText(dec.Error()));
                why = "bad-frame";
                break;
            }
        }
        for (auto& r : producers) {
            if (closing_ || NowMs() < r.due)
                continue;
            r.p->Tick(*this);
            int period = std::max(1, r.p->PeriodMs());
            r.due += period;
            if (r.due < NowMs() - 1000)
                r.due = NowMs(); // fell far behind (slow client): do not burst to catch up
        }
        if (closing_ && why == "peer")
            why = "server";
    }
    if (state_.holdsUserSlot)
        sim_.ReleaseUserSlot();
    sim_.Log(id_, "close " + why);
}

// ---- Simulator ----

Simulator::Simulator(Options opts) : opts_(std::move(opts))
{
    if (opts_.accounts.empty())
        opts_.accounts = {{"admin", "1111"}, {"manager", "2222"}, {"user", "3333"}};
    if (!opts_.logPath.empty()) {
        log_ = opts_.logPath == "-" ? stdout : std::fopen(opts_.logPath.c_str(), "w");
    }
    InstallDefaults();
}

Simulator::~Simulator()
{
    Stop();
    if (log_ && log_ != stdout)
        std::fclose(log_);
}

void Simulator::OnCommand(uint16_t command, CommandHandler h) { handlers_[command] = std::move(h); }

void Simulator::OnStream(uint16_t command, StreamHandler h) { streamHandlers_[command] = std::move(h); }

void Simulator::AddProducer(ProducerFactory f) { producers_.push_back(std::move(f)); }

const CommandHandler* Simulator::HandlerFor(uint16_t command) const
{
    auto it = handlers_.find(command);
    return it == handlers_.end() ? nullptr : &it->second;
}

const StreamHandler* Simulator::StreamHandlerFor(uint16_t command) const
{
    auto it = streamHandlers_.find(command);
    return it == streamHandlers_.end() ? nullptr : &it->second;
}

void Simulator::Log(int session, const std::string& text)
{
    if (!log_)
        return;
    std::lock_guard<std::mutex> g(logMutex_);
    std::fprintf(log_, "%d %s\n", session, text.c_str());
    std::fflush(log_);
}

bool Simulator::TryTakeUserSlot()
{
    std::lock_guard<std::mutex> g(usersMutex_);
    if (users_ >= opts_.maxUsers)
        return false;
    ++users_;
    return true;
}

void Simulator::ReleaseUserSlot()
{
    std::lock_guard<std::mutex> g(usersMutex_);
    if (users_ > 0)
        --users_;
}

bool Simulator::Listen(std::string& error)
{
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(opts_.port);
    if (inet_pton(AF_INET, opts_.host.c_str(), &a.sin_addr) != 1) {
        error = "not an IPv4 address: " + opts_.host;
        return false;
    }
    // A DVR that does not answer: with a backlog of 0 the kernel queues one connection, which the
    // simulator makes itself and never accepts; every later SYN is dropped, so attempts hang.
    const int backlog = opts_.hangConnects ? 0 : 16;
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listenFd_, backlog) != 0) {
        error = "cannot listen on " + opts_.host + ":" + std::to_string(opts_.port) + ": " + std::strerror(errno);
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    socklen_t len = sizeof a;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    if (opts_.hangConnects) {
        fillerFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fillerFd_ < 0 || connect(fillerFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            error = std::string("cannot fill the accept queue: ") + std::strerror(errno);
            return false;
        }
    }
    return true;
}

void Simulator::Serve()
{
    while (!stop_ && listenFd_ >= 0) {
        pollfd pfd{listenFd_, POLLIN, 0};
        if (opts_.hangConnects) {
            poll(nullptr, 0, 100); // the queued connection stays readable: accept nothing
            continue;
        }
        if (poll(&pfd, 1, 100) <= 0)
            continue;
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        timeval tv{10, 0}; // a client that stops reading does not hold a session thread for ever
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        int id = nextId_++;
        std::lock_guard<std::mutex> g(sessionsMutex_);
        threads_.emplace_back([this, fd, id] {
            Session s(*this, fd, id);
            s.Run();
        });
    }
}

void Simulator::Stop()
{
    stop_ = true;
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> g(sessionsMutex_);
        threads.swap(threads_);
    }
    for (auto& t : threads)
        if (t.joinable())
            t.join();
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
    }
    if (fillerFd_ >= 0) {
        ::close(fillerFd_);
        fillerFd_ = -1;
    }
}

// ---- what a DVR answers ----

void Simulator::InstallDefaults()
{
    OnCommand(protocol::kCmdLogin, [](Session& s, const Packet& p) {
        Simulator& sim = s.Sim();
        const Options& o = s.Opts();
        if (p.length < protocol::kLoginSize) {
            sim.Log(s.Id(), "cmd 1 login malformed bytes=" + std::to_string(p.length));
            return;
        }
        std::string id = FieldText(p.data, protocol::kLoginIdField);
        std::string pw = FieldText(p.data + protocol::kLoginPasswordOffset, protocol::kLoginPasswordField);
        uint32_t word260 = wire::LoadLE32(p.data + 260), skin = wire::LoadLE32(p.data + 264);
        uint32_t result = 1;
        bool known = false;
        for (auto& a : o.accounts)
            known |= SameId(a.id, id) && a.password == pw;
        if (o.loginResult >= 0)
            result = static_cast<uint32_t>(o.loginResult);
        else if (o.refuseLogins || !known)
            result = 2;
        else if (!s.State().holdsUserSlot && !sim.TryTakeUserSlot())
            result = 4;
        else
            s.State().holdsUserSlot = true;
        if ((result & 1u) && !s.State().holdsUserSlot)
            s.State().holdsUserSlot = sim.TryTakeUserSlot(); // a forced acceptance still counts
        sim.Log(s.Id(),
                "cmd 1 login id=" + id + " password=" + pw + " word260=" + std::to_string(word260) +
                    " skin=" + Hex(skin) + " result=" + std::to_string(result));
        uint8_t reply[protocol::kLoginReplyMinSize];
        protocol::BuildLoginReply(result, static_cast<uint8_t>(o.channels), o.decoderByte, o.optionFlags,
                                  o.noChannelInfo ? 0u : 1u, reply);
        if ((result & 1u) && !o.noChannelInfo) {
            s.State().loggedIn = true;
            s.State().userId = id;
        }
        if (o.loginDelaySeconds > 0) {
            sim.Log(s.Id(), "login answer delayed " + std::to_string(o.loginDelaySeconds) + " s");
            const int64_t due = NowMs() + static_cast<int64_t>(o.loginDelaySeconds * 1000);
            while (NowMs() < due && !sim.Stopping())
                poll(nullptr, 0, 20);
        }
        if (o.loginAnswer == "close") {
            sim.Log(s.Id(), "login answer: close");
            s.Close();
            return;
        }
        if (o.loginAnswer == "empty") {
            sim.Log(s.Id(), "login answer: empty");
            s.SendPacket(protocol::kCmdLogin, nullptr, 0);
            return;
        }
        s.SendPacket(protocol::kCmdLogin, reply, sizeof reply);
    });

    OnCommand(protocol::kCmdStreamRequest, [](Session& s, const Packet& p) {
        auto& st = s.State();
        st.streamMask = static_cast<uint32_t>(I32(p, 4));
        st.pace = I32(p, 8);
        s.Sim().Log(s.Id(),
                    "cmd 2 stream-request zero=" + std::to_string(I32(p, 0)) + " mask=" + Hex(st.streamMask) +
                        " pace=" + std::to_string(st.pace) + " bytes=" + std::to_string(p.length));
        s.SendPacket(protocol::kCmdStreamRequest, nullptr, 0);
        if (st.loggedIn) {
            st.streamOpen = true;
            s.SendStreamStatus(st.streamMask, true);
        }
    });

    OnCommand(protocol::kCmdPtzProtocol, [](Session& s, const Packet& p) {
        s.Sim().Log(s.Id(), "cmd 4 ptz-protocol bytes=" + std::to_string(p.length));
        s.SendPacket(protocol::kCmdPtzProtocol, nullptr, 0);
    });

    OnCommand(protocol::kCmdPtzAction, [](Session& s, const Packet& p) {
        s.Sim().Log(s.Id(),
                    "cmd 19 ptz-action channel=" + std::to_string(I32(p, 0)) + " action=" + std::to_string(I32(p, 4)) +
                        " w8=" + std::to_string(I32(p, 8)) + " w12=" + std::to_string(I32(p, 12)) +
                        " bytes=" + std::to_string(p.length));
        s.SendPacket(protocol::kCmdPtzAction, nullptr, 0);
    });

    OnCommand(protocol::kCmdChannelRequest, [](Session& s, const Packet& p) {
        auto& st = s.State();
        st.requestedMask = static_cast<uint32_t>(I32(p, 0));
        st.audioChoice = I32(p, 4);
        // Checked against this DVR's channels: a viewer never asks for a channel the DVR lacks.
        const uint32_t beyond = st.requestedMask & ~ChannelsBelow(s.Opts().channels);
        std::string verdict = " ok";
        if (p.length != protocol::kChannelRequestSize || beyond || st.audioChoice < -1 || st.audioChoice > 1)
            verdict = " bad beyond=" + Hex(beyond);
        s.Sim().Log(s.Id(),
                    "cmd 51 channel-request mask=" + Hex(st.requestedMask) +
                        " audio=" + std::to_string(st.audioChoice) + " bytes=" + std::to_string(p.length) +
                        " channels=" + std::to_string(CountBits(st.requestedMask)) + verdict);
        s.SendPacket(protocol::kCmdChannelRequest, nullptr, 0);
    });

    OnCommand(protocol::kCmdPicturePoll, [](Session& s, const Packet& p) {
        bool silent = s.Opts().noPictures;
        s.Sim().Log(s.Id(),
                    "cmd 82 picture-poll w0=" + std::to_string(I32(p, 0)) + " w4=" + std::to_string(I32(p, 4)) +
                        (silent ? " unanswered" : ""));
        if (!silent)
            s.SendPacket(protocol::kCmdPicturePoll, nullptr, 0);
    });

    OnCommand(protocol::kCmdPhoneAudio, [](Session& s, const Packet& p) {
        s.Sim().Log(s.Id(),
                    "cmd 99 phone-header w0=" + std::to_string(I32(p, 0)) + " length=" + std::to_string(I32(p, 4)) +
                        " seconds=" + std::to_string(uint32_t(I32(p, 8))) + " counter=" + std::to_string(I32(p, 12)));
    });

    OnCommand(protocol::kCmdPhoneSwitch, [](Session& s, const Packet& p) {
        int32_t state = I32(p, 0);
        s.State().phoneOn = state == 1;
        s.Sim().Log(s.Id(), "cmd 100 phone-switch state=" + std::to_string(state));
        uint8_t reply[8];
        wire::StoreLE32(reply, 1); // allowed
        wire::StoreLE32(reply + 4, 1);
        s.SendPacket(protocol::kCmdPhoneSwitch, reply, sizeof reply);
    });

    OnCommand(protocol::kCmdConfiguration, [](Session& s, const Packet& p) {
        s.State().configMode = I32(p, 4);
        s.Sim().Log(s.Id(),
                    "cmd 138 configuration w0=" + std::to_string(I32(p, 0)) + " mode=" + std::to_string(I32(p, 4)) +
                        " length=" + std::to_string(I32(p, 8)));
    });

    OnStream(protocol::kCmdConfiguration, [](Session& s, const Packet& p) {
        auto& st = s.State();
        size_t n = std::min(p.length, st.configuration.size());
        if (st.configMode == 1)
            std::memcpy(st.configuration.data(), p.data, n);
        size_t nonzero = 0;
        for (size_t i = 0; i < p.length; ++i)
            nonzero += p.data[i] != 0;
        s.Sim().Log(s.Id(),
                    "stream 138 configuration bytes=" + std::to_string(p.length) +
                        " nonzero=" + std::to_string(nonzero));
        if (st.configMode == 1)
            s.Sim().Log(s.Id(), "stream 138 record " + DescribeConfiguration(p.data, p.length, s.Opts().channels));
        // The answer: the configuration as the DVR now holds it, then the media stream is open.
        s.SendStreamBlock(protocol::kCmdConfiguration, st.configuration.data(), st.configuration.size());
        if (st.loggedIn) {
            st.streamOpen = true;
            s.SendStreamStatus(st.streamMask ? st.streamMask : st.requestedMask, true);
        }
    });

    OnStream(protocol::kCmdPhoneAudio, [](Session& s, const Packet& p) {
        std::string tag = p.length >= 4 ? FieldText(p.data, 4) : "";
        s.Sim().Log(s.Id(), "stream 99 phone-audio bytes=" + std::to_string(p.length) + " tag=" + tag);
    });
}

} // namespace dvrsim
