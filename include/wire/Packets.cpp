#include "wire/Packets.h"
#include "skin/SkinCode.h"
#include "wire/ByteOrder.h"
#include "wire/StreamFrame.h"
#include <algorithm>
#include <cstring>

namespace protocol {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

namespace {
template <class Ch> bool AdminPrefix(std::basic_string_view<Ch> id)
{
    static const char kAdmin[] = "admin";
    if (id.size() < 5)
        return false;
    for (size_t i = 0; i < 5; ++i) {
        Ch c = id[i];
        if (c >= Ch('A') && c <= Ch('Z'))
            c = static_cast<Ch>(c - Ch('A') + Ch('a'));
        if (c != Ch(kAdmin[i]))
            return false;
    }
    return true;
}

void PutI32(uint8_t* p, int32_t v) { wire::StoreLE32(p, static_cast<uint32_t>(v)); }

// Copies at most field-1 bytes and leaves the rest of the (already zeroed) field as NULs.
void PutText(uint8_t* field, size_t fieldSize, std::string_view text, bool lower)
{
    size_t n = std::min(text.size(), fieldSize - 1);
    for (size_t i = 0; i < n; ++i) {
        char c = text[i];
        if (c == '\0')
            break; // a NUL ends the string as the DVR reads it
        field[i] = static_cast<uint8_t>(lower ? AsciiLower(c) : c);
    }
}
} // namespace

bool IsAdministrator(std::string_view userId) { return AdminPrefix(userId); }

bool IsAdministrator(std::u16string_view userId) { return AdminPrefix(userId); }

void BuildLogin(std::string_view userId, std::string_view password, bool lowerCaseId, uint32_t skinCode,
                uint8_t out[kLoginSize])
{
    std::memset(out, 0, kLoginSize);
    PutText(out + kLoginIdOffset, kLoginIdField, userId, lowerCaseId);
    PutText(out + kLoginPasswordOffset, kLoginPasswordField, password, false);
    PutI32(out + 260, 1);
    wire::StoreLE32(out + 264, skin::LoginSkinOption(skinCode));
}

uint32_t StreamRequestMask(bool fourChannelLimited, uint32_t shownMask) { return fourChannelLimited ? 15u : shownMask; }

void BuildStreamRequest(uint32_t channelMask, int32_t speedLevel, uint8_t out[kStreamRequestSize])
{
    PutI32(out, 0);
    wire::StoreLE32(out + 4, channelMask);
    PutI32(out + 8, 11 - speedLevel);
}

void BuildPtzAction(int32_t channel, int32_t action, uint8_t out[kPtzActionSize])
{
    PutI32(out, channel);
    PutI32(out + 4, action);
    PutI32(out + 8, 1);
    PutI32(out + 12, 5);
}

void BuildChannelRequest(uint32_t channelMask, int32_t audioChoice, uint8_t out[kChannelRequestSize])
{
    std::memset(out, 0, kChannelRequestSize);
    wire::StoreLE32(out, channelMask);
    PutI32(out + 4, audioChoice);
}

void BuildPicturePoll(uint8_t out[kPicturePollSize])
{
    PutI32(out, 1);
    PutI32(out + 4, 0);
}

void BuildPhoneSwitch(bool phoneDown, uint8_t out[kPhoneSwitchSize]) { PutI32(out, phoneDown ? 1 : 2); }

void BuildConfigurationHeader(int32_t mode, uint8_t out[kConfigurationHeaderSize])
{
    std::memset(out, 0, kConfigurationHeaderSize);
    PutI32(out, 1);
    PutI32(out + 4, mode);
    PutI32(out + 8, static_cast<int32_t>(kConfigurationBodySize));
}

void BuildPhoneHeader(uint32_t seconds, int32_t counter, uint8_t out[kPhoneHeaderSize])
{
    PutI32(out, 4);
    PutI32(out + 4, static_cast<int32_t>(kPhoneBlockSize));
    wire::StoreLE32(out + 8, seconds);
    PutI32(out + 12, counter);
}

void BuildPhoneBlockHeader(uint32_t seconds, uint32_t microseconds, uint32_t counter, uint8_t out[24])
{
    wire::AudioBlockHeader h;
    std::memcpy(h.tag, "327g", 4);
    h.length = static_cast<uint32_t>(kPhoneBlockSize);
    h.channelMask = wire::kPhoneChannelMask;
    h.seconds = seconds;
    h.microseconds = microseconds;
    h.sequence = counter;
    wire::BuildAudioBlockHeader(h, out);
}

void CounterToTime(uint64_t counter, uint64_t frequency, uint32_t& seconds, uint32_t& microseconds)
{
    if (frequency == 0) {
        seconds = microseconds = 0;
        return;
    }
    seconds = static_cast<uint32_t>(counter / frequency);
    // The remainder is below the frequency, so remainder * 10^6 stays in range for any real
    // counter frequency (below 1.8e13 Hz).
    microseconds = static_cast<uint32_t>((counter % frequency) * 1000000u / frequency);
}

LoginReply ParseLoginReply(const uint8_t* payload, size_t length)
{
    LoginReply r;
    if (!payload || length < kLoginReplyMinSize)
        return r;
    wire::ByteReader br(payload, length);
    uint8_t b5 = 0;
    br.U32(r.result);
    br.U8(r.channelCount);
    br.U8(b5);
    br.U8(r.decoderByte);
    br.U8(r.flags);
    br.Skip(20);
    br.U32(r.channelInfo);
    r.present = br.Ok();
    return r;
}

void BuildLoginReply(uint32_t result, uint8_t channelCount, uint8_t decoderByte, uint8_t flags, uint32_t channelInfo,
                     uint8_t out[kLoginReplyMinSize])
{
    std::memset(out, 0, kLoginReplyMinSize);
    wire::StoreLE32(out, result);
    out[4] = channelCount;
    out[6] = decoderByte;
    out[7] = flags;
    wire::StoreLE32(out + 28, channelInfo);
}

PhoneReply ParsePhoneReply(const uint8_t* payload, size_t length)
{
    PhoneReply r;
    wire::ByteReader br(payload, length);
    if (!br.I32(r.value0) || !br.I32(r.value4))
        return r;
    r.present = true;
    if (r.value4 != 0) {
        if (r.value0 == 1)
            r.effect = PhoneReply::Allow;
        else if (r.value0 == 2)
            r.effect = PhoneReply::Forbid;
    }
    return r;
}

} // namespace protocol
