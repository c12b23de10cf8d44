#pragma once
// The command packets between the viewer (and the manager) and the DVR: fixed-layout records,
// built into and parsed from caller buffers. Little-endian; no windows.h.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace protocol {

// Command codes.
enum Command : uint16_t {
    kCmdLogin = 1, // viewer -> DVR: login; DVR -> viewer: login reply
    kCmdStreamRequest = 2, // viewer -> DVR; DVR answers with 2
    kCmdPtzProtocol = 4, // viewer -> DVR: Panlink bytes (268); DVR answers with 4
    kCmdDisconnect = 9, // DVR -> viewer: tear the connection down
    kCmdPtzAction = 19, // viewer -> DVR; DVR answers with 19
    kCmdChannelRequest = 51,
    kCmdPicturePoll = 82,
    kCmdStreamBlock = 83, // header command of video and audio stream blocks
    kCmdLoginRequest = 85, // DVR -> viewer: answer to the init packet
    kCmdPhoneAudio = 99,
    kCmdPhoneSwitch = 100,
    kCmdConfiguration = 138,
};

constexpr size_t kLoginSize = 272;
constexpr size_t kLoginIdOffset = 0, kLoginIdField = 128;
constexpr size_t kLoginPasswordOffset = 128, kLoginPasswordField = 132;
constexpr size_t kStreamRequestSize = 12;
constexpr size_t kPtzActionSize = 16;
constexpr size_t kPtzProtocolSize = 268;
constexpr size_t kChannelRequestSize = 32;
constexpr size_t kPicturePollSize = 8;
constexpr size_t kPhoneSwitchSize = 4;
constexpr size_t kConfigurationHeaderSize = 32;
constexpr size_t kConfigurationBodySize = 136;
constexpr size_t kPhoneHeaderSize = 16;
constexpr size_t kPhoneBlockSize = 312; // 24-byte audio header + 6 coded blocks of 48 bytes
constexpr size_t kPhoneCodedBlocks = 6, kCodedBlockSize = 48;
constexpr size_t kLoginReplyMinSize = 32; // must reach the channel-information word at 28
constexpr int kMaxChannels = 16;

// Fixed layouts, for readers that overlay bytes (the builders below write byte by byte).
#pragma pack(push, 1)
struct LoginRecord {
    char userId[128];
    char password[132];
    int32_t one; // 1
    uint32_t skinFlags; // skin::LoginSkinOption of the viewer skin's code
    uint8_t zero[4];
};
struct StreamRequestRecord {
    int32_t zero;
    uint32_t channelMask;
    int32_t pace; // 11 - speed level
};
struct PtzActionRecord {
    int32_t channel;
    int32_t action;
    int32_t one; // 1
    int32_t five; // 5
};
struct ChannelRequestRecord {
    uint32_t channelMask;
    int32_t audioChoice; // 1 ticked, 0 not ticked, -1 no setup dialog yet
    uint8_t zero[24];
};
struct PicturePollRecord {
    int32_t one;
    int32_t zero;
};
struct PhoneSwitchRecord {
    int32_t state; // 1 phone button down, 2 up
};
struct ConfigurationHeaderRecord {
    int32_t one;
    int32_t mode; // 1 channel configuration, 0 answer to a picture poll (136 zero bytes)
    int32_t length; // 136
    uint8_t zero[20];
};
struct PhoneHeaderRecord {
    int32_t four; // 4
    int32_t length; // 312
    uint32_t seconds;
    int32_t counter;
};
struct LoginReplyRecord {
    uint32_t result;
    uint8_t channelCount;
    uint8_t byte5;
    uint8_t decoderByte;
    uint8_t flags;
    uint8_t unused[20];
    uint32_t channelInfo;
};
#pragma pack(pop)
static_assert(sizeof(LoginRecord) == kLoginSize);
static_assert(sizeof(StreamRequestRecord) == kStreamRequestSize);
static_assert(sizeof(PtzActionRecord) == kPtzActionSize);
static_assert(sizeof(ChannelRequestRecord) == kChannelRequestSize);
static_assert(sizeof(PicturePollRecord) == kPicturePollSize);
static_assert(sizeof(PhoneSwitchRecord) == kPhoneSwitchSize);
static_assert(sizeof(ConfigurationHeaderRecord) == kConfigurationHeaderSize);
static_assert(sizeof(PhoneHeaderRecord) == kPhoneHeaderSize);
static_assert(sizeof(LoginReplyRecord) == kLoginReplyMinSize);

// Lower-cases A-Z only (the login's user ID and the kept ID of the administrator test).
char AsciiLower(char c);
// True when the user ID, lower-cased A-Z only, begins with "admin".
bool IsAdministrator(std::string_view userId);
bool IsAdministrator(std::u16string_view userId);

// Login. `userId` and `password` are already in the ANSI code page with "#" for characters that
// have none (the Win32 side converts; see AnsiText.h). The ID is lower-cased (A-Z) when
// `lowerCaseId` (the viewer), kept as is otherwise (the manager). Fields longer than their slot
// less the NUL are cut. `skinCode` is what the viewer skin reports (0 for none); the option word at
// 264 follows from it (skin/SkinCode.h).
void BuildLogin(std::string_view userId, std::string_view password, bool lowerCaseId, uint32_t skinCode,
                uint8_t out[kLoginSize]);

// Stream request: mask 15 when the DVR is four-channel limited, else the shown channels.
uint32_t StreamRequestMask(bool fourChannelLimited, uint32_t shownMask);
void BuildStreamRequest(uint32_t channelMask, int32_t speedLevel, uint8_t out[kStreamRequestSize]);
void BuildPtzAction(int32_t channel, int32_t action, uint8_t out[kPtzActionSize]);
void BuildChannelRequest(uint32_t channelMask, int32_t audioChoice, uint8_t out[kChannelRequestSize]);
void BuildPicturePoll(uint8_t out[kPicturePollSize]);
void BuildPhoneSwitch(bool phoneDown, uint8_t out[kPhoneSwitchSize]);
void BuildConfigurationHeader(int32_t mode, uint8_t out[kConfigurationHeaderSize]);
void BuildPhoneHeader(uint32_t seconds, int32_t counter, uint8_t out[kPhoneHeaderSize]);
// The 24-byte audio header that opens the 312 phone stream bytes (tag "327g", mask 0x10000).
void BuildPhoneBlockHeader(uint32_t seconds, uint32_t microseconds, uint32_t counter, uint8_t out[24]);

// Seconds and microseconds of a performance-counter reading, without the 64-bit overflow of
// counter * 1000000 for long uptimes. frequency 0 gives 0/0.
void CounterToTime(uint64_t counter, uint64_t frequency, uint32_t& seconds, uint32_t& microseconds);

// Login reply. `present` is false when the payload is missing or too short to reach byte 28
// (treated as not received). `HasChannelInfo` is false when the word at 28 is zero or the count
// is outside 1..16.
struct LoginReply {
    bool present = false;
    uint32_t result = 0;
    uint8_t channelCount = 0;
    uint8_t decoderByte = 0; // byte 6
    uint8_t flags = 0; // byte 7
    uint32_t channelInfo = 0;

    bool HasChannelInfo() const
    {
        return present && channelInfo != 0 && channelCount >= 1 && channelCount <= kMaxChannels;
    }
    bool Accepted() const { return (result & 1u) != 0; }
    bool WrongCredentials() const { return (result & 2u) != 0; }
    bool FourChannelLimited() const { return (flags & 0x80u) != 0; }
    // The decoder manager's option: 1 when byte 6 is 0, else 0.
    int DecoderOption() const { return decoderByte == 0 ? 1 : 0; }
};
LoginReply ParseLoginReply(const uint8_t* payload, size_t length);
// The reply as the DVR (simulator) writes it: 32 bytes.
void BuildLoginReply(uint32_t result, uint8_t channelCount, uint8_t decoderByte, uint8_t flags, uint32_t channelInfo,
                     uint8_t out[kLoginReplyMinSize]);

// Phone reply (command 100): int32 at 0, int32 at 4.
struct PhoneReply {
    enum Effect { NoChange, Allow, Forbid };
    bool present = false;
    int32_t value0 = 0, value4 = 0;
    Effect effect = NoChange;
};
PhoneReply ParsePhoneReply(const uint8_t* payload, size_t length);

} // namespace protocol
