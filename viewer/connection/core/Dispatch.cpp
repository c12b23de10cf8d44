#include "Dispatch.h"
#include "conduix/NsmgTypes.h"
#include "wire/ByteOrder.h"

namespace protocol {

ReceiveDecision DecideReceive(const void* header, const void* payload)
{
    if (!header)
        return {};
    const uint8_t* h = static_cast<const uint8_t*>(header);
    uint16_t command = wire::LoadLE16(h + 6);
    uint32_t length = wire::LoadLE32(h + 8);
    return DecideReceive(command, static_cast<const uint8_t*>(payload), payload ? length : 0);
}

ReceiveDecision DecideReceive(uint16_t command, const uint8_t* payload, size_t length)
{
    ReceiveDecision d;
    d.command = command;
    if (!payload)
        length = 0;
    if (command < 1 || command > 100)
        return d;
    switch (command) {
    case kCmdLogin:
        d.login = ParseLoginReply(payload, length);
        if (d.login.present)
            d.action = ReceiveAction::LoginReply;
        break;
    case kCmdStreamRequest: d.action = ReceiveAction::StreamRequestAnswered; break;
    case kCmdPtzProtocol:
    case kCmdPtzAction: d.action = ReceiveAction::RepeatStreamRequest; break;
    case kCmdDisconnect: d.action = ReceiveAction::Teardown; break;
    case kCmdChannelRequest: d.action = ReceiveAction::ChannelRequestAcked; break;
    case kCmdPicturePoll: d.action = ReceiveAction::PicturePollAnswered; break;
    case kCmdLoginRequest: d.action = ReceiveAction::LoginRequest; break;
    case kCmdPhoneSwitch:
        d.phone = ParsePhoneReply(payload, length);
        if (d.phone.present)
            d.action = ReceiveAction::PhoneReply;
        break;
    default: break;
    }
    return d;
}

StreamDecision DecideStream(const void* header, const void* descriptor, int channelCount)
{
    if (!header) {
        StreamDecision d;
        d.drop = DropReason::NoDescriptor;
        return d;
    }
    uint16_t command = wire::LoadLE16(static_cast<const uint8_t*>(header) + 6);
    if (!descriptor)
        return DecideStream(command, nullptr, 0, channelCount);
    const auto* block = static_cast<const _tagNsmgStreamBlock*>(descriptor);
    return DecideStream(command, block->data, block->data ? block->length : 0, channelCount);
}

StreamDecision DecideStream(uint16_t headerCommand, const uint8_t* data, size_t length, int channelCount)
{
    StreamDecision d;
    if (headerCommand == kCmdConfiguration) {
        d.kind = StreamKind::ConfigurationAnswered;
        return d;
    }
    if (!data) {
        d.drop = DropReason::NoDescriptor;
        return d;
    }
    if (headerCommand != kCmdStreamBlock) {
        d.kind = StreamKind::Other;
        d.sendsPendingPtz = true;
        return d;
    }
    if (length < 4) {
        d.drop = DropReason::TooShort;
        return d;
    }
    if (wire::IsAudioTag(data, length)) {
        if (length > kMaxAudioBlock) {
            d.drop = DropReason::AudioTooLong;
            return d;
        }
        d.kind = StreamKind::Audio;
        d.data = data;
        d.length = length;
        return d;
    }
    // A video frame, stored or not, lets a pending PTZ press go out.
    d.sendsPendingPtz = true;
    if (!wire::ParseVideoFrameHeader(data, length, d.video)) {
        d.drop = DropReason::TooShort;
        return d;
    }
    if (channelCount < 1 || channelCount > kMaxChannels) {
        d.drop = DropReason::NoChannelCount;
        return d;
    }
    if (d.video.total < wire::kVideoHeaderSize || d.video.total > wire::kMaxFrameTotal) {
        d.drop = DropReason::BadTotal;
        return d;
    }
    if (d.video.total > length) {
        d.drop = DropReason::TotalBeyondData;
        return d;
    }
    d.kind = StreamKind::Video;
    d.channel = static_cast<int>(d.video.ChannelBits() % static_cast<uint32_t>(channelCount));
    d.data = data;
    d.length = d.video.total;
    return d;
}

} // namespace protocol
