#pragma once
// Panlink's protocol table: pure builders of camera frames and a reader that recognises them again
// (the simulator and tests use it to see what a camera would do). No windows.h.
#include "panlink/PtzTypes.h"
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace panlink {

constexpr int kDefaultSpeed = 32; // on the 1-63 scale every builder takes
constexpr int kMaxSpeed = 63;
constexpr size_t kMaxCommandBytes = 255; // the record's count field

struct Protocol {
    const char* name; // shown in the viewer's list (at most 29 characters)
    const char* key; // dvrtool's name for it
    uint32_t mask; // bit n: builds PTZ command n
    int defaultBaud; // _PTZBaudRates value used until the viewer sets one
    int firstReceiver; // receiver numbers the protocol can address
    int lastReceiver;
    bool hasChecksum; // false: frames are checked by their framing bytes alone
};

int ProtocolCount();
// Null for an index outside 0..count-1.
const Protocol* ProtocolAt(int index);
// By dvrtool key or list name, case-insensitive; -1 when unknown.
int FindProtocol(std::string_view name);

// Line speed of a _PTZBaudRates value; 0 for a value outside the table.
uint32_t BaudRate(int baudIndex);

// Command names as dvrtool and the simulator's log write them ("up", "up-left", "zoom-in", ...).
const char* CommandName(int command);
int FindCommand(std::string_view name); // -1 when unknown

// The bytes of `command` for the camera answering to `receiver` (its own address setting, from 1),
// `speed` on the 1-63 scale (clamped). Empty when the protocol does not build the command or cannot
// address the receiver.
std::vector<uint8_t> Build(int protocol, int receiver, int command, int speed = kDefaultSpeed);

// One frame found in a byte string.
struct Frame {
    int protocol = -1; // -1: bytes no protocol recognises
    int receiver = 0; // the receiver number it addresses (0 when the protocol carries none)
    int command = -1; // a PTZ command, or -1 when the frame is valid but means something else
    int speed = -1; // the wire speed value of the moving axis, -1 when none
    bool checksumOk = false;
    size_t offset = 0, length = 0;
};

// Splits bytes into frames. A frame whose framing matches a protocol but whose checksum does not
// is reported with checksumOk false; bytes nothing recognises come back as one frame with protocol
// -1 covering the rest.
std::vector<Frame> Parse(const uint8_t* bytes, size_t length);

// Hex dump "FF 01 00 08 00 20 29".
std::string Hex(const uint8_t* bytes, size_t length);

} // namespace panlink
