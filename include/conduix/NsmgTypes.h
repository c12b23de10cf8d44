#pragma once
// Records and message numbers of the Conduix transport that the viewer, the manager and the
// tests share. No windows.h here: the neutral protocol code reads these records too.
#include <cstddef>
#include <cstdint>

// Window messages Conduix sends to the window given to NSMGAPI_Create (WM_USER = 0x0400).
enum : unsigned {
    // 1425: never sent by this library; handled like 1655. The manager's WM_MODULE_CLOSED has the same
    // number (foundation/Messages.h); it goes to the manager's main dialog, never to a transport's window.
    NSMG_WM_PACKET_A = 0x0400 + 401,
    NSMG_WM_STREAM_STATUS = 0x0400 + 404, // 1428: wParam value, lParam nonzero = media stream open
    NSMG_WM_CONNECT = 0x0400 + 421, // 1445: wParam nonzero = connected, 0 = attempt failed
    NSMG_WM_LOST = 0x0400 + 422, // 1446: the connection was lost or could not be made
    NSMG_WM_CLOSED = 0x0400 + 427, // 1451: never sent by this library; handled like 1446
    NSMG_WM_PACKET_B = 0x0400 + 621, // 1645: never sent by this library; handled like 1655
    NSMG_WM_PACKET = 0x0400 + 631, // 1655: command packet; wParam header, lParam payload or 0
    NSMG_WM_STREAM = 0x0400 + 633, // 1657: stream block; wParam header, lParam descriptor
};

// The header handed as wParam with 1655 and 1657: 16 bytes, little-endian.
//   0  uint32 sequence    frames of this kind received on this connection, from 0
//   4  uint16 flags       0
//   6  uint16 command     the DVR's command code (stream blocks: 83 video/audio, 138 configuration)
//   8  uint32 length      bytes of payload (1655) or of the stream block (1657)
//  12  uint32 reserved    0
struct _tagNsmgPacketHeader {
    uint32_t sequence;
    uint16_t flags;
    uint16_t command;
    uint32_t length;
    uint32_t reserved;
};
static_assert(sizeof(_tagNsmgPacketHeader) == 16, "packet header is 16 bytes");
static_assert(offsetof(_tagNsmgPacketHeader, command) == 6, "command at byte 6");
static_assert(offsetof(_tagNsmgPacketHeader, length) == 8, "length at byte 8");

// The descriptor handed as lParam with 1657: data pointer at byte 0, length at byte 8, on 32-bit
// and 64-bit builds alike. Never null from this library; data is never null (length may be 0).
struct _tagNsmgStreamBlock {
    union {
        const uint8_t* data;
        uint64_t pad_;
    };
    uint32_t length;
    uint32_t reserved;
};
static_assert(sizeof(_tagNsmgStreamBlock) == 16, "stream descriptor is 16 bytes");
static_assert(offsetof(_tagNsmgStreamBlock, length) == 8, "length at byte 8");

// What NSMGAPI_Connect takes: 288 bytes, zero-filled before use.
//   0   char[260] address: host name or dotted IPv4, ANSI, NUL-terminated
//   260 int32     address family: 2 (IPv4); anything else is refused
//   264 int32     port, 1..65535
//   268 int32     connect timeout in seconds; 0 = 5 s
//   272 uint8     framing: 1 (the only one there is)
//   276 int32     initial receive buffer in bytes (the buffer grows to the largest frame as needed)
//   280 8 bytes   0
struct _tagConnectSocketInfo {
    char address[260];
    int32_t family;
    int32_t port;
    int32_t timeoutSeconds;
    uint8_t framing;
    uint8_t pad_[3];
    int32_t receiveBuffer;
    uint8_t reserved[8];
};
static_assert(sizeof(_tagConnectSocketInfo) == 288, "connect info is 288 bytes");
static_assert(offsetof(_tagConnectSocketInfo, family) == 260, "family at 260");
static_assert(offsetof(_tagConnectSocketInfo, port) == 264, "port at 264");
static_assert(offsetof(_tagConnectSocketInfo, timeoutSeconds) == 268, "timeout at 268");
static_assert(offsetof(_tagConnectSocketInfo, framing) == 272, "framing at 272");
static_assert(offsetof(_tagConnectSocketInfo, receiveBuffer) == 276, "receive buffer at 276");

namespace conduix {
constexpr int32_t kFamilyIPv4 = 2;
constexpr uint8_t kFramingV1 = 1;
constexpr int32_t kDefaultTimeoutSeconds = 5;
} // namespace conduix
