#pragma once
// The viewer's stream settings: 16 channel entries, the easy-setup block and the audio choice,
// 140 bytes, byte for byte in memory and in ViewSetup.dat. The first 136 bytes are the body of the
// channel configuration (command 138, mode 1). Little-endian; no windows.h.
#include <cstddef>
#include <cstdint>

namespace settings {

constexpr int kChannels = 16;
constexpr size_t kChannelEntrySize = 8;
constexpr size_t kEasySetupSize = 8;
constexpr size_t kViewSetupSize = 140;
constexpr size_t kConfigurationBodySize = 136; // entries and easy block: what command 138 carries

#pragma pack(push, 1)
struct ChannelEntry {
    uint8_t inUse; // 1
    uint8_t enabled; // 1 or 0
    uint8_t zero2;
    uint8_t interval; // every n-th frame of the camera's full rate; 0: a D1 channel at full rate
    uint8_t quality; // 4, 9, 14, 19 or 31 (levels 0 to 4)
    uint8_t rate; // whole frames per second
    uint8_t zero6, zero7;
};
struct EasySetupBlock {
    uint8_t easyOn; // 1 easy setup, 0 manual setup
    uint8_t layoutLevel[4]; // quality level 0 to 4 of the 1-, 4-, 9- and 16-picture layouts
    uint8_t refresh; // refresh option 0 to 7
    uint8_t zero6, zero7;
};
struct ViewSetupRecord {
    ChannelEntry channels[kChannels];
    EasySetupBlock easy;
    int32_t audioChoice; // 1 audio wanted, 0 not wanted, -1 undetermined
};
#pragma pack(pop)

static_assert(sizeof(ChannelEntry) == kChannelEntrySize);
static_assert(sizeof(EasySetupBlock) == kEasySetupSize);
static_assert(sizeof(ViewSetupRecord) == kViewSetupSize);
static_assert(offsetof(ViewSetupRecord, easy) == 128);
static_assert(offsetof(ViewSetupRecord, audioChoice) == kConfigurationBodySize);

} // namespace settings
