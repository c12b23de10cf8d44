// The camera protocols Panlink speaks, each from its maker's public protocol description:
//   Pelco-D      7 bytes: FF, address, command 1, command 2, pan speed, tilt speed, sum of bytes 2-6
//   Pelco-P      8 bytes: A0, address from 0, data 1-4, AF, XOR of bytes 1-7
//   Samsung-T    11 bytes: A0, camera, host 00, command 1, command 2, data 1-4, AF, ~(sum of bytes 2-9)
//   VISCA        8x 01 06 01 (pan/tilt drive), 8x 01 04 07 (zoom), 8x 01 04 08 (focus), ended by FF
//   Panasonic AW ASCII "#P", "#T", "#Z", "#F" with 01-99 (50 stops the axis), each ended by CR
//   Canon VC-C   FF 30 3X 00 53 3p EF: pan/tilt stop (0), right (1), left (2), up (3), down (4)
//   Taiden HCS   2A 04 04, camera from 0, operation, pan speed, tilt speed, 21
//   AD RS-422    3 bytes: address, command, checksum making the three bytes sum to zero
// Protocols without a diagonal command leave bits 7-10 out of their mask, and the viewer then
// drives the two axes one after the other.
#include "Protocols.h"
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

namespace panlink {
namespace {

constexpr uint32_t Bit(int command) { return 1u << command; }
constexpr uint32_t kPanTilt =
    Bit(PTZ_CMD_STOP) | Bit(PTZ_CMD_LEFT) | Bit(PTZ_CMD_RIGHT) | Bit(PTZ_CMD_UP) | Bit(PTZ_CMD_DOWN);
constexpr uint32_t kDiagonals =
    Bit(PTZ_CMD_LEFT_UP) | Bit(PTZ_CMD_LEFT_DOWN) | Bit(PTZ_CMD_RIGHT_UP) | Bit(PTZ_CMD_RIGHT_DOWN);
constexpr uint32_t kZoom = Bit(PTZ_CMD_ZOOM_IN) | Bit(PTZ_CMD_ZOOM_OUT);
constexpr uint32_t kFocus = Bit(PTZ_CMD_FOCUS_NEAR) | Bit(PTZ_CMD_FOCUS_FAR);
constexpr uint32_t kAxisStops = Bit(PTZ_CMD_PAN_STOP) | Bit(PTZ_CMD_TILT_STOP);

enum Id { kPelcoD, kPelcoP, kSamsungT, kVisca, kPanasonicAw, kCanonVcc, kTaiden, kAdRs422, kCount };

const Protocol kProtocols[kCount] = {
    {"Pelco-D", "pelco-d", kPanTilt | kDiagonals | kZoom | kFocus, PTZ_BAUD_2400, 1, 255, true},
    {"Pelco-P", "pelco-p", kPanTilt | kDiagonals | kZoom | kFocus, PTZ_BAUD_4800, 1, 256, true},
    {"Samsung-T", "samsung-t", kPanTilt | kDiagonals | kZoom | kFocus, PTZ_BAUD_9600, 1, 255, true},
    {"VISCA", "visca", kPanTilt | kDiagonals | kZoom | kFocus, PTZ_BAUD_9600, 1, 7, false},
    // One camera per serial line: the commands carry no address.
    {"Panasonic AW", "panasonic-aw", kPanTilt | kAxisStops | kDiagonals | kZoom | kFocus, PTZ_BAUD_9600, 1, 256, false},
    {"Canon VC-C", "canon-vcc", kPanTilt, PTZ_BAUD_9600, 1, 10, false},
    {"Taiden HCS", "taiden", kPanTilt | kZoom, PTZ_BAUD_9600, 1, 256, false},
    {"AD RS-422", "ad-rs422", kPanTilt | kAxisStops, PTZ_BAUD_4800, 1, 99, true},
};

const char* const kCommandNames[PTZ_CMD_COUNT] = {
    "stop",      "left",     "right",      "pan-stop", "up",       "down",       "tilt-stop", "up-left",
    "down-left", "up-right", "down-right", "zoom-in",  "zoom-out", "focus-near", "focus-far",
};

const uint32_t kBaudRates[PTZ_BAUD_COUNT] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

using Bytes = std::vector<uint8_t>;

// Horizontal (-1 left, +1 right) and vertical (+1 up, -1 down) parts of a movement command.
bool Motion(int command, int& h, int& v)
{
    switch (command) {
    case PTZ_CMD_LEFT: h = -1, v = 0; return true;
    case PTZ_CMD_RIGHT: h = 1, v = 0; return true;
    case PTZ_CMD_UP: h = 0, v = 1; return true;
    case PTZ_CMD_DOWN: h = 0, v = -1; return true;
    case PTZ_CMD_LEFT_UP: h = -1, v = 1; return true;
    case PTZ_CMD_LEFT_DOWN: h = -1, v = -1; return true;
    case PTZ_CMD_RIGHT_UP: h = 1, v = 1; return true;
    case PTZ_CMD_RIGHT_DOWN: h = 1, v = -1; return true;
    default: return false;
    }
}

int MotionCommand(int h, int v)
{
    static const int table[3][3] = {
        // v = -1, 0, +1
        {PTZ_CMD_LEFT_DOWN, PTZ_CMD_LEFT, PTZ_CMD_LEFT_UP}, // h = -1
        {PTZ_CMD_DOWN, PTZ_CMD_STOP, PTZ_CMD_UP}, // h = 0
        {PTZ_CMD_RIGHT_DOWN, PTZ_CMD_RIGHT, PTZ_CMD_RIGHT_UP}, // h = +1
    };
    return table[h + 1][v + 1];
}

int Clamp(int speed) { return std::clamp(speed, 1, kMaxSpeed); }
// A 1-63 speed on the range lo..hi.
int Scale(int speed, int lo, int hi) { return lo + (Clamp(speed) - 1) * (hi - lo) / (kMaxSpeed - 1); }

// The direction bits Pelco-D, Pelco-P and Samsung-T share (their "command 2" / "data 2" byte):
// right 0x02, left 0x04, up 0x08, down 0x10, zoom tele 0x20, zoom wide 0x40.
struct PelcoBits {
    uint8_t lens = 0; // the byte that holds the focus bits
    uint8_t moves = 0; // the direction and zoom byte
    uint8_t pan = 0, tilt = 0;
};

// `focusFar` and `focusNear` are the protocol's focus bits in `lens`, or 0 when they live in `moves`.
bool PelcoEncode(int command, int speed, uint8_t focusFarLens, uint8_t focusNearLens, uint8_t focusFarMoves,
                 PelcoBits& out)
{
    int h = 0, v = 0;
    uint8_t s = static_cast<uint8_t>(Clamp(speed));
    if (Motion(command, h, v)) {
        out.moves =
            static_cast<uint8_t>((h > 0 ? 0x02 : 0) | (h < 0 ? 0x04 : 0) | (v > 0 ? 0x08 : 0) | (v < 0 ? 0x10 : 0));
        out.pan = h ? s : 0;
        out.tilt = v ? s : 0;
        return true;
    }
    switch (command) {
    case PTZ_CMD_STOP: return true;
    case PTZ_CMD_ZOOM_IN: out.moves = 0x20; return true;
    case PTZ_CMD_ZOOM_OUT: out.moves = 0x40; return true;
    case PTZ_CMD_FOCUS_FAR:
        if (focusFarMoves)
            out.moves = focusFarMoves;
        else
            out.lens = focusFarLens;
        return true;
    case PTZ_CMD_FOCUS_NEAR: out.lens = focusNearLens; return true;
    default: return false;
    }
}

// The command a Pelco-style pair of bytes means, or -1 for a combination Panlink never sends.
void PelcoDecode(uint8_t lens, uint8_t moves, uint8_t pan, uint8_t tilt, uint8_t focusFarLens, uint8_t focusNearLens,
                 uint8_t focusFarMoves, Frame& f)
{
    int h = (moves & 0x02 ? 1 : 0) - (moves & 0x04 ? 1 : 0);
    int v = (moves & 0x08 ? 1 : 0) - (moves & 0x10 ? 1 : 0);
    uint8_t other = static_cast<uint8_t>(moves & ~0x1Eu);
    if (lens == 0 && other == 0 && (moves & 0x1E) == 0) {
        f.command = PTZ_CMD_STOP;
    } else if (lens == 0 && other == 0) {
        if ((moves & 0x06) == 0x06 || (moves & 0x18) == 0x18)
            return;
        f.command = MotionCommand(h, v);
        f.speed = h ? pan : tilt;
    } else if (lens == 0 && moves == 0x20) {
        f.command = PTZ_CMD_ZOOM_IN;
    } else if (lens == 0 && moves == 0x40) {
        f.command = PTZ_CMD_ZOOM_OUT;
    } else if (focusFarMoves && lens == 0 && moves == focusFarMoves) {
        f.command = PTZ_CMD_FOCUS_FAR;
    } else if (!focusFarMoves && moves == 0 && lens == focusFarLens) {
        f.command = PTZ_CMD_FOCUS_FAR;
    } else if (moves == 0 && lens == focusNearLens) {
        f.command = PTZ_CMD_FOCUS_NEAR;
    }
}

// ---- Pelco-D ---------------------------------------------------------------------------------

Bytes BuildPelcoD(int receiver, int command, int speed)
{
    PelcoBits b;
    if (!PelcoEncode(command, speed, 0, 0x01, 0x80, b))
        return {};
    Bytes f = {0xFF, static_cast<uint8_t>(receiver), b.lens, b.moves, b.pan, b.tilt, 0};
    f[6] = static_cast<uint8_t>(f[1] + f[2] + f[3] + f[4] + f[5]);
    return f;
}

size_t ParsePelcoD(const uint8_t* p, size_t n, Frame& f)
{
    if (n < 7 || p[0] != 0xFF || p[1] == 0)
        return 0;
    f.receiver = p[1];
    f.checksumOk = static_cast<uint8_t>(p[1] + p[2] + p[3] + p[4] + p[5]) == p[6];
    if (!(p[3] & 0x01)) // bit 0 of command 2 marks the extended commands (presets, auxiliaries)
        PelcoDecode(p[2], p[3], p[4], p[5], 0, 0x01, 0x80, f);
    return 7;
}

// ---- Pelco-P ---------------------------------------------------------------------------------

Bytes BuildPelcoP(int receiver, int command, int speed)
{
    PelcoBits b;
    if (!PelcoEncode(command, speed, 0x01, 0x02, 0, b))
        return {};
    Bytes f = {0xA0, static_cast<uint8_t>(receiver - 1), b.lens, b.moves, b.pan, b.tilt, 0xAF, 0};
    for (int i = 0; i < 7; ++i)
        f[7] ^= f[i];
    return f;
}

size_t ParsePelcoP(const uint8_t* p, size_t n, Frame& f)
{
    if (n < 8 || p[0] != 0xA0 || p[6] != 0xAF)
        return 0;
    f.receiver = p[1] + 1;
    uint8_t x = 0;
    for (int i = 0; i < 7; ++i)
        x ^= p[i];
    f.checksumOk = x == p[7];
    if (!(p[3] & 0x01))
        PelcoDecode(p[2], p[3], p[4], p[5], 0x01, 0x02, 0, f);
    return 8;
}

// ---- Samsung-T -------------------------------------------------------------------------------

uint8_t SamsungChecksum(const uint8_t* p) // over bytes 2-9 of the packet
{
    unsigned sum = 0;
    for (int i = 1; i <= 8; ++i)
        sum += p[i];
    return static_cast<uint8_t>(~sum);
}

Bytes BuildSamsungT(int receiver, int command, int speed)
{
    PelcoBits b;
    if (!PelcoEncode(command, speed, 0x01, 0x02, 0, b))
        return {};
    Bytes f = {0xA0, static_cast<uint8_t>(receiver), 0x00, b.lens, b.moves, b.pan, b.tilt, 0, 0, 0xAF, 0};
    f[10] = SamsungChecksum(f.data());
    return f;
}

size_t ParseSamsungT(const uint8_t* p, size_t n, Frame& f)
{
    if (n < 11 || p[0] != 0xA0 || p[9] != 0xAF)
        return 0;
    f.receiver = p[1];
    f.checksumOk = SamsungChecksum(p) == p[10];
    if (!(p[4] & 0x01))
        PelcoDecode(p[3], p[4], p[5], p[6], 0x01, 0x02, 0, f);
    return 11;
}

// ---- VISCA -----------------------------------------------------------------------------------

Bytes BuildVisca(int receiver, int command, int speed)
{
    const uint8_t head = static_cast<uint8_t>(0x80 + receiver);
    const uint8_t pan = static_cast<uint8_t>(Scale(speed, 0x01, 0x18));
    const uint8_t tilt = static_cast<uint8_t>(Scale(speed, 0x01, 0x14));
    auto drive = [&](uint8_t h, uint8_t v) { return Bytes{head, 0x01, 0x06, 0x01, pan, tilt, h, v, 0xFF}; };
    int h = 0, v = 0;
    if (Motion(command, h, v))
        return drive(h < 0 ? 0x01 : h > 0 ? 0x02 : 0x03, v > 0 ? 0x01 : v < 0 ? 0x02 : 0x03);
    switch (command) {
    case PTZ_CMD_STOP: { // pan/tilt, zoom and focus all stop
        Bytes f = drive(0x03, 0x03);
        for (uint8_t group : {uint8_t(0x07), uint8_t(0x08)})
            f.insert(f.end(), {head, 0x01, 0x04, group, 0x00, 0xFF});
        return f;
    }
    case PTZ_CMD_ZOOM_IN: return {head, 0x01, 0x04, 0x07, 0x02, 0xFF};
    case PTZ_CMD_ZOOM_OUT: return {head, 0x01, 0x04, 0x07, 0x03, 0xFF};
    case PTZ_CMD_FOCUS_FAR: return {head, 0x01, 0x04, 0x08, 0x02, 0xFF};
    case PTZ_CMD_FOCUS_NEAR: return {head, 0x01, 0x04, 0x08, 0x03, 0xFF};
    default: return {};
    }
}

size_t ParseVisca(const uint8_t* p, size_t n, Frame& f)
{
    if (n < 3 || p[0] < 0x81 || p[0] > 0x87)
        return 0;
    size_t end = 1;
    while (end < n && end < 16 && p[end] != 0xFF)
        ++end;
    if (end >= n || p[end] != 0xFF)
        return 0;
    f.receiver = p[0] - 0x80;
    f.checksumOk = true; // VISCA has no checksum: the terminator is the whole check
    const size_t len = end + 1;
    if (len == 9 && p[1] == 0x01 && p[2] == 0x06 && p[3] == 0x01 && p[6] >= 1 && p[6] <= 3 && p[7] >= 1 && p[7] <= 3) {
        int h = p[6] == 1 ? -1 : p[6] == 2 ? 1 : 0;
        int v = p[7] == 1 ? 1 : p[7] == 2 ? -1 : 0;
        f.command = MotionCommand(h, v);
        if (f.command != PTZ_CMD_STOP)
            f.speed = h ? p[4] : p[5];
    } else if (len == 6 && p[1] == 0x01 && p[2] == 0x04 && (p[3] == 0x07 || p[3] == 0x08)) {
        const bool zoom = p[3] == 0x07;
        if (p[4] == 0x00)
            f.command = PTZ_CMD_STOP;
        else if (p[4] == 0x02)
            f.command = zoom ? PTZ_CMD_ZOOM_IN : PTZ_CMD_FOCUS_FAR;
        else if (p[4] == 0x03)
            f.command = zoom ? PTZ_CMD_ZOOM_OUT : PTZ_CMD_FOCUS_NEAR;
    }
    return len;
}

// ---- Panasonic AW (serial) -------------------------------------------------------------------

void AppendAw(Bytes& f, char axis, int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%c%02d\r", axis, value);
    f.insert(f.end(), text, text + 5);
}

Bytes BuildPanasonicAw(int, int command, int speed)
{
    const int off = Scale(speed, 1, 49);
    Bytes f;
    int h = 0, v = 0;
    if (Motion(command, h, v)) {
        if (h)
            AppendAw(f, 'P', 50 + h * off);
        if (v)
            AppendAw(f, 'T', 50 + v * off);
        return f;
    }
    switch (command) {
    case PTZ_CMD_STOP:
        for (char axis : {'P', 'T', 'Z', 'F'})
            AppendAw(f, axis, 50);
        return f;
    case PTZ_CMD_PAN_STOP: AppendAw(f, 'P', 50); return f;
    case PTZ_CMD_TILT_STOP: AppendAw(f, 'T', 50); return f;
    case PTZ_CMD_ZOOM_IN: AppendAw(f, 'Z', 50 + off); return f;
    case PTZ_CMD_ZOOM_OUT: AppendAw(f, 'Z', 50 - off); return f;
    case PTZ_CMD_FOCUS_FAR: AppendAw(f, 'F', 50 + off); return f;
    case PTZ_CMD_FOCUS_NEAR: AppendAw(f, 'F', 50 - off); return f;
    default: return {};
    }
}

size_t ParsePanasonicAw(const uint8_t* p, size_t n, Frame& f)
{
    if (n < 5 || p[0] != '#' || p[4] != '\r' || !std::isdigit(p[2]) || !std::isdigit(p[3]))
        return 0;
    const int value = (p[2] - '0') * 10 + (p[3] - '0');
    if (value < 1)
        return 0;
    f.checksumOk = true;
    const int dir = value > 50 ? 1 : value < 50 ? -1 : 0;
    switch (p[1]) {
    case 'P': f.command = dir ? MotionCommand(dir, 0) : PTZ_CMD_PAN_STOP; break;
    case 'T': f.command = dir ? MotionCommand(0, dir) : PTZ_CMD_TILT_STOP; break;
    case 'Z': f.command = dir > 0 ? PTZ_CMD_ZOOM_IN : dir < 0 ? PTZ_CMD_ZOOM_OUT : PTZ_CMD_STOP; break;
    case 'F': f.command = dir > 0 ? PTZ_CMD_FOCUS_FAR : dir < 0 ? PTZ_CMD_FOCUS_NEAR : PTZ_CMD_STOP; break;
    default: return 0;
    }
    if (dir)
        f.speed = value;
    return 5;
}

// ---- Canon VC-C ------------------------------------------------------------------------------

Bytes BuildCanonVcc(int receiver, int command, int)
{
    int h = 0, v = 0;
    uint8_t p;
    if (command == PTZ_CMD_STOP)
        p = 0;
    else if (Motion(command, h, v) && (h == 0 || v == 0))
        p = h > 0 ? 1 : h < 0 ? 2 : v > 0 ? 3 : 4;
    else
        return {};
    return {0xFF, 0x30, static_cast<uint8_t>(0x30 + receiver - 1), 0x00, 0x53, static_cast<uint8_t>(0x30 + p), 0xEF};
}

size_t ParseCanonVcc(const uint8_t* p, size_t n, Frame& f)
{
    if (n < 7 || p[0] != 0xFF || p[1] != 0x30 || p[2] < 0x30 || p[2] > 0x39 || p[6] != 0xEF)
        return 0;
    f.receiver = p[2] - 0x30 + 1;
    f.checksumOk = true;
    static const int commands[5] = {PTZ_CMD_STOP, PTZ_CMD_RIGHT, PTZ_CMD_LEFT, PTZ_CMD_UP, PTZ_CMD_DOWN};
    if (p[3] == 0x00 && p[4] == 0x53 && p[5] >= 0x30 && p[5] <= 0x34)
        f.command = commands[p[5] - 0x30];
    return 7;
}

// ---- Taiden HCS ------------------------------------------------------------------------------

Bytes BuildTaiden(int receiver, int command, int speed)
{
    int h = 0, v = 0;
    uint8_t op = 0, pan = 0, tilt = 0;
    const uint8_t s = static_cast<uint8_t>(Scale(speed, 0x00, 0x1F));
    if (Motion(command, h, v) && (h == 0 || v == 0)) {
        op = h < 0 ? 0x01 : h > 0 ? 0x02 : v > 0 ? 0x04 : 0x08;
        (h ? pan : tilt) = s;
    } else if (command == PTZ_CMD_ZOOM_OUT) {
        op = 0x10;
    } else if (command == PTZ_CMD_ZOOM_IN) {
        op = 0x20;
    } else if (command != PTZ_CMD_STOP) {
        return {};
    }
    return {0x2A, 0x04, 0x04, static_cast<uint8_t>(receiver - 1), op, pan, tilt, 0x21};
}

size_t ParseTaiden(const uint8_t* p, size_t n, Frame& f)
{
    if (n < 8 || p[0] != 0x2A || p[1] != 0x04 || p[2] != 0x04 || p[7] != 0x21)
        return 0;
    f.receiver = p[3] + 1;
    f.checksumOk = true;
    switch (p[4]) {
    case 0x00: f.command = PTZ_CMD_STOP; break;
    case 0x01: f.command = PTZ_CMD_LEFT, f.speed = p[5]; break;
    case 0x02: f.command = PTZ_CMD_RIGHT, f.speed = p[5]; break;
    case 0x04: f.command = PTZ_CMD_UP, f.speed = p[6]; break;
    case 0x08: f.command = PTZ_CMD_DOWN, f.speed = p[6]; break;
    case 0x10: f.command = PTZ_CMD_ZOOM_OUT; break;
    case 0x20: f.command = PTZ_CMD_ZOOM_IN; break;
    default: break;
    }
    return 8;
}

// ---- AD RS-422 -------------------------------------------------------------------------------

const uint8_t kAdCommands[PTZ_CMD_TILT_STOP + 1] = {0, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86}; // by PTZ command

Bytes AdFrame(int receiver, uint8_t code)
{
    const uint8_t a = static_cast<uint8_t>(receiver);
    return {a, code, static_cast<uint8_t>(0x100 - ((a + code) & 0xFF))};
}

Bytes BuildAdRs422(int receiver, int command, int)
{
    if (command == PTZ_CMD_STOP) { // each axis has its own stop
        Bytes f = AdFrame(receiver, 0x83);
        Bytes tilt = AdFrame(receiver, 0x86);
        f.insert(f.end(), tilt.begin(), tilt.end());
        return f;
    }
    if (command < PTZ_CMD_LEFT || command > PTZ_CMD_TILT_STOP)
        return {};
    return AdFrame(receiver, kAdCommands[command]);
}

size_t ParseAdRs422(const uint8_t* p, size_t n, Frame& f)
{
    if (n < 3 || p[0] == 0 || p[0] > 99 || p[1] < 0x80)
        return 0;
    f.receiver = p[0];
    f.checksumOk = static_cast<uint8_t>(p[0] + p[1] + p[2]) == 0;
    for (int c = PTZ_CMD_LEFT; c <= PTZ_CMD_TILT_STOP; ++c)
        if (kAdCommands[c] == p[1])
            f.command = c;
    return 3;
}

struct Codec {
    Bytes (*build)(int receiver, int command, int speed);
    size_t (*parse)(const uint8_t* p, size_t n, Frame& f);
};

const Codec kCodecs[kCount] = {
    {BuildPelcoD, ParsePelcoD}, {BuildPelcoP, ParsePelcoP},           {BuildSamsungT, ParseSamsungT},
    {BuildVisca, ParseVisca},   {BuildPanasonicAw, ParsePanasonicAw}, {BuildCanonVcc, ParseCanonVcc},
    {BuildTaiden, ParseTaiden}, {BuildAdRs422, ParseAdRs422},
};

int Score(const Frame& f) { return (f.checksumOk ? 2 : 0) + (f.command != -1 ? 1 : 0); }

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(uint8_t(x)) == std::tolower(uint8_t(y));
           });
}

} // namespace

int ProtocolCount() { return kCount; }

const Protocol* ProtocolAt(int index) { return index >= 0 && index < kCount ? &kProtocols[index] : nullptr; }

int FindProtocol(std::string_view name)
{
    for (int i = 0; i < kCount; ++i)
        if (SameText(name, kProtocols[i].key) || SameText(name, kProtocols[i].name))
            return i;
    return -1;
}

uint32_t BaudRate(int baudIndex) { return baudIndex >= 0 && baudIndex < PTZ_BAUD_COUNT ? kBaudRates[baudIndex] : 0; }

const char* CommandName(int command) { return command >= 0 && command < PTZ_CMD_COUNT ? kCommandNames[command] : "?"; }

int FindCommand(std::string_view name)
{
    for (int i = 0; i < PTZ_CMD_COUNT; ++i)
        if (SameText(name, kCommandNames[i]))
            return i;
    return -1;
}

std::vector<uint8_t> Build(int protocol, int receiver, int command, int speed)
{
    const Protocol* p = ProtocolAt(protocol);
    if (!p || command < 0 || command >= PTZ_CMD_COUNT || !(p->mask & Bit(command)) || receiver < p->firstReceiver ||
        receiver > p->lastReceiver)
        return {};
    return kCodecs[protocol].build(receiver, command, speed);
}

std::vector<Frame> Parse(const uint8_t* bytes, size_t length)
{
    std::vector<Frame> frames;
    size_t at = 0;
    while (bytes && at < length) {
        Frame best;
        size_t bestLen = 0;
        for (int i = 0; i < kCount; ++i) {
            Frame f;
            const size_t len = kCodecs[i].parse(bytes + at, length - at, f);
            // Framings overlap (a Canon frame can carry a valid Pelco-D sum): a passing check
            // counts first, then a frame that means a PTZ command.
            if (len && (!bestLen || Score(f) > Score(best))) {
                best = f;
                best.protocol = i;
                bestLen = len;
            }
        }
        if (!bestLen) {
            best = Frame{};
            bestLen = length - at;
        }
        best.offset = at;
        best.length = bestLen;
        frames.push_back(best);
        at += bestLen;
    }
    return frames;
}

std::string Hex(const uint8_t* bytes, size_t length)
{
    std::string s;
    char part[4];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(part, sizeof part, i ? " %02X" : "%02X", bytes[i]);
        s += part;
    }
    return s;
}

} // namespace panlink
