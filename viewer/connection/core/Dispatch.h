#pragma once
// What the view does with each arrival: the receive dispatcher's code table (messages 1425, 1645,
// 1655) and the stream dispatcher's sorting of stream blocks (message 1657). Pure decisions over
// the received bytes; the view acts on them. No windows.h.
#include "wire/Packets.h"
#include "wire/StreamFrame.h"
#include <cstddef>
#include <cstdint>

namespace protocol {

// ---- command packets ----

enum class ReceiveAction {
    Ignore, // null header, code outside 1..100, unknown code, or a needed payload missing
    LoginReply, // 1: judge `login` (connection controller)
    StreamRequestAnswered, // 2: clear streamRequested
    RepeatStreamRequest, // 4, 19: wait 100 ms, then send the stream request
    Teardown, // 9: tear down, userStopped unchanged
    ChannelRequestAcked, // 51: watchdog reset (administrator, picture awaited), picture poll, text 7020
    PicturePollAnswered, // 82: stop timer 1084, send command 138 mode 0
    LoginRequest, // 85: send the login
    PhoneReply, // 100: apply `phone.effect`
};

struct ReceiveDecision {
    ReceiveAction action = ReceiveAction::Ignore;
    uint16_t command = 0;
    LoginReply login; // LoginReply
    PhoneReply phone; // PhoneReply
};

// The command at byte 6 and the payload length at byte 8 of the library's 16-byte header
// (_tagNsmgPacketHeader). The payload is read only within that length. A null header is ignored;
// a null payload counts as length 0.
ReceiveDecision DecideReceive(const void* header, const void* payload);
// Same, from parts already taken apart.
ReceiveDecision DecideReceive(uint16_t command, const uint8_t* payload, size_t length);

// ---- stream blocks ----

constexpr size_t kMaxAudioBlock = 262144; // one frame slot

enum class StreamKind {
    ConfigurationAnswered, // header command 138: arm the picture watchdog when a picture is awaited
    Audio, // into the next audio slot: `length` bytes at `data`
    Video, // into channel `channel`'s next slot: `length` bytes (the frame's total) at `data`
    Other, // another header command: nothing but the pending PTZ press
    Dropped, // see `drop`
};

enum class DropReason {
    None,
    NoDescriptor,
    TooShort, // fewer than 4 bytes, or a video frame shorter than its 64-byte header
    NoChannelCount, // channel count not known yet (0) or outside 1..16
    BadTotal, // total at byte 60 outside 64..262016
    TotalBeyondData, // total at byte 60 larger than the bytes received
    AudioTooLong, // audio block larger than a frame slot
};

struct StreamDecision {
    StreamKind kind = StreamKind::Dropped;
    DropReason drop = DropReason::None;
    int channel = -1; // Video
    const uint8_t* data = nullptr; // Audio, Video
    size_t length = 0; // Audio: whole block; Video: the frame's stated total
    wire::VideoFrameHeader video; // Video
    // Whether the view sends a pending PTZ press after this block: after a video frame (stored or
    // refused for its length) or a block of another header command; not after audio, 138, nothing.
    bool sendsPendingPtz = false;
};

// `channelCount` is the DVR's count from the login reply, 0 while unknown.
StreamDecision DecideStream(uint16_t headerCommand, const uint8_t* data, size_t length, int channelCount);
// From the library's header (wParam) and descriptor (lParam) of message 1657.
StreamDecision DecideStream(const void* header, const void* descriptor, int channelCount);

} // namespace protocol
