#pragma once
// A native client of the DVR protocol over Conduix framing (POSIX sockets): what dvrtool uses to
// probe a DVR and to receive its stream blocks.
#include "conduix/Framing.h"
#include "wire/Packets.h"
#include <cstdint>
#include <string>
#include <vector>

namespace dvrclient {

class DvrClient {
public:
    DvrClient();
    ~DvrClient();
    DvrClient(const DvrClient&) = delete;
    DvrClient& operator=(const DvrClient&) = delete;

    // Connects within timeoutMs; on failure `error` says why.
    bool Connect(const std::string& host, uint16_t port, int timeoutMs, std::string& error);
    void Close();
    bool Connected() const { return fd_ >= 0; }

    bool SendInit();
    bool SendPacket(uint16_t command, const void* payload, size_t length);
    // Stream bytes belonging to the command packet sent last.
    bool SendStream(const void* data, size_t length);

    enum class Result { Frame, Timeout, Closed, Error };
    // The next frame, waiting at most timeoutMs. The frame's pointers stay valid until the next
    // call. Error: a socket error or a malformed frame (`LastError()` says which).
    Result Receive(conduix::Frame& frame, int timeoutMs);
    const std::string& LastError() const { return error_; }

private:
    bool SendAll(const std::vector<uint8_t>& bytes);

    int fd_ = -1;
    conduix::FrameDecoder decoder_;
    uint32_t packetSeq_ = 0, streamSeq_ = 0;
    uint16_t lastCommand_ = 0;
    std::string error_;
    std::vector<uint8_t> out_;
};

// Splits "HOST[:PORT]"; false for an empty host or a port outside 1..65535.
bool ParseHostPort(const std::string& text, uint16_t defaultPort, std::string& host, uint16_t& port);

struct LoginOutcome {
    bool replied = false; // a login reply arrived
    std::string error; // why not, when !replied
    protocol::LoginReply reply;
};

// Init, wait for command 85, send the login as the viewer does (ID lower-cased), wait for the
// reply. Frames other than the awaited ones are skipped.
LoginOutcome Login(DvrClient& client, const std::string& userId, const std::string& password, int timeoutMs);

} // namespace dvrclient
