// The viewer skin's variant code and the login option word it selects (neutral, no windows.h).
#pragma once

#include <cstdint>

namespace skin {

// Four ASCII letters read as a little-endian 32-bit value.
constexpr uint32_t FourCC(char a, char b, char c, char d)
{
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

// The one variant the DVR treats specially: "XJVQ".
inline constexpr uint32_t kSkinCodeXJVQ = FourCC('X', 'J', 'V', 'Q');
static_assert(kSkinCodeXJVQ == 0x51564A58u);

inline constexpr uint32_t kLoginOptionSkinXJVQ = 0x80000000u;

// The login packet's option word (offset 264) for the skin code Lumbrel reports.
constexpr uint32_t LoginSkinOption(uint32_t skinCode) { return skinCode == kSkinCodeXJVQ ? kLoginOptionSkinXJVQ : 0u; }

} // namespace skin
