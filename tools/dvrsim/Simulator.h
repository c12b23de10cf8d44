#pragma once
// The DVR simulator's core: a TCP server speaking Conduix framing, one thread per session.
// Features add themselves as Extensions (see Extension.h): command handlers, handlers for the
// stream bytes a viewer sends, and periodic producers that run on each logged-in session's thread.
#include "conduix/Framing.h"
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dvrsim {

struct Account {
    std::string id;
    std::string password;
};

struct Options {
    std::string host = "127.0.0.1";
    uint16_t port = 50000; // 0: any free port (tests)
    int channels = 16; // 4, 8 or 16
    std::vector<Account> accounts; // empty: admin/1111, manager/2222, user/3333
    int maxUsers = 4; // logged-in sessions at once; one more gets result 4
    int loginResult = -1; // >= 0: every login gets this result
    bool refuseLogins = false; // every login gets result 2
    bool noPictures = false; // producers stay silent after login
    bool closeOnConnect = false; // close each connection as soon as it is accepted
    double dropAfterSeconds = 0; // > 0: close each session this long after accept
    double disconnectAfterSeconds = 0; // > 0: send command 9 this long after a login is accepted
    bool noChannelInfo = false; // login replies carry no channel information (word 28 is 0)
    bool hangConnects = false; // never accept: connection attempts hang until they time out
    bool silent = false; // accept connections and answer nothing, not even the init packet
    double loginDelaySeconds = 0; // > 0: answer each login this late
    std::string loginAnswer = "reply"; // "reply", "empty" (command 1 without payload) or "close"
    uint8_t decoderByte = 0; // login reply byte 6
    uint8_t optionFlags = 0; // login reply byte 7 (bit 7: four-channel limited)
    std::string logPath; // decoded log of every command received ("-" = stdout)
};

// What a session knows about its viewer; read and written on the session's thread only.
struct SessionState {
    bool initReceived = false;
    bool loggedIn = false;
    bool holdsUserSlot = false; // counted among the logged-in users
    std::string userId;
    uint32_t requestedMask = 0; // last channel request (51)
    int32_t audioChoice = -1; // last channel request (51)
    uint32_t streamMask = 0; // last stream request (2)
    int32_t pace = 0; // last stream request (2)
    bool streamOpen = false;
    bool phoneOn = false; // last phone switch (100)
    uint16_t lastCommand = 0; // the command the next stream bytes belong to
    int32_t configMode = -1; // last configuration header (138)
    std::array<uint8_t, 136> configuration{};
};

class Simulator;

// A received command packet or client stream block.
struct Packet {
    uint16_t command = 0;
    const uint8_t* data = nullptr;
    size_t length = 0;
};

class Session;
using CommandHandler = std::function<void(Session&, const Packet&)>;
using StreamHandler = std::function<void(Session&, const Packet&)>;

class Session {
public:
    Session(Simulator& sim, int fd, int id);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Send one frame; false once the connection is gone. Session thread only.
    bool SendPacket(uint16_t command, const void* payload, size_t length);
    bool SendStreamBlock(uint16_t headerCommand, const void* data, size_t length);
    bool SendStreamStatus(uint32_t value, bool open);
    void Close(); // ends the session after the current handler

    int Id() const { return id_; }
    SessionState& State() { return state_; }
    Simulator& Sim() { return sim_; }
    const Options& Opts() const;
    bool Closing() const { return closing_; }
    // Milliseconds since the session was accepted.
    int64_t ElapsedMs() const;

    void Run(); // the session thread's body

private:
    bool SendFrame(const std::vector<uint8_t>& frame);
    // A frame built into out_ by `append` and sent; nothing once the session is closing.
    template <typename Append> bool SendBuilt(Append append)
    {
        if (closing_)
            return false;
        out_.clear();
        return append(out_) && SendFrame(out_);
    }
    void Dispatch(const conduix::Frame& f);
    // Runs `h` on `p`; without a handler, logs WHAT, the command, UNHANDLED and the length.
    void Handle(const CommandHandler* h, const Packet& p, const char* what, const char* unhandled);

    Simulator& sim_;
    int fd_;
    int id_;
    SessionState state_;
    bool closing_ = false;
    uint32_t packetSeq_ = 0, streamSeq_ = 0;
    int64_t startMs_ = 0;
    std::vector<uint8_t> out_;
};

// A periodic source of stream blocks for one session (video, audio). Created when the session
// logs in (unless pictures are switched off); Tick runs on the session thread every PeriodMs.
class Producer {
public:
    virtual ~Producer() = default;
    virtual int PeriodMs() const = 0;
    virtual void Tick(Session& s) = 0;
};
using ProducerFactory = std::function<std::unique_ptr<Producer>(Session&)>;

class Simulator {
public:
    explicit Simulator(Options opts);
    ~Simulator();

    // Replaces the handler of a command (the built-in ones answer 1, 2, 4, 19, 51, 82, 100, 138).
    void OnCommand(uint16_t command, CommandHandler h);
    // Handles stream bytes a viewer sends after command `command` (138, 99).
    void OnStream(uint16_t command, StreamHandler h);
    void AddProducer(ProducerFactory f);

    bool Listen(std::string& error); // binds and listens; Port() then tells the port
    uint16_t Port() const { return port_; }
    void Serve(); // accepts until Stop()
    void Stop(); // stops serving and joins every session
    void RequestStop() { stop_ = true; } // async-signal-safe: Serve() returns soon after

    const Options& Opts() const { return opts_; }
    bool Stopping() const { return stop_; }
    // One decoded line in the log (thread-safe): "<session> <text>".
    void Log(int session, const std::string& text);
    // Logged-in sessions, for the too-many-users answer.
    bool TryTakeUserSlot();
    void ReleaseUserSlot();

    // Internal, used by Session.
    const CommandHandler* HandlerFor(uint16_t command) const;
    const StreamHandler* StreamHandlerFor(uint16_t command) const;
    const std::vector<ProducerFactory>& Producers() const { return producers_; }

private:
    void InstallDefaults();

    Options opts_;
    std::map<uint16_t, CommandHandler> handlers_;
    std::map<uint16_t, StreamHandler> streamHandlers_;
    std::vector<ProducerFactory> producers_;
    int listenFd_ = -1;
    int fillerFd_ = -1; // with hangConnects: the connection that fills the accept queue
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex logMutex_;
    FILE* log_ = nullptr;
    std::mutex usersMutex_;
    int users_ = 0;
    std::mutex sessionsMutex_;
    std::vector<std::thread> threads_;
    std::atomic<int> nextId_{1};
};

} // namespace dvrsim
