#include "PhoneUplink.h"
#include "wire/StreamFrame.h"
#include <cstring>

namespace audio {

void PhoneTimeStamp(int64_t counter, int64_t frequency, uint32_t& seconds, uint32_t& microseconds)
{
    if (frequency <= 0 || counter < 0)
        return;
    seconds = static_cast<uint32_t>(counter / frequency);
    // From the remainder, so large counter values keep their precision.
    microseconds = static_cast<uint32_t>(static_cast<double>(counter % frequency) * 1000000.0 /
                                         static_cast<double>(frequency));
}

void BuildPhoneAudioHeader(uint32_t seconds, uint32_t counter, uint8_t out[kPhoneAudioHeaderBytes])
{
    wire::StoreLE32(out, 4);
    wire::StoreLE32(out + 4, static_cast<uint32_t>(kUplinkRecordBytes));
    wire::StoreLE32(out + 8, seconds);
    wire::StoreLE32(out + 12, counter);
}

void BuildPhoneSwitch(bool on, uint8_t out[4]) { wire::StoreLE32(out, on ? 1u : 2u); }

bool CPhoneUplink::SetButton(bool down)
{
    down_ = down;
    uint8_t payload[4];
    BuildPhoneSwitch(down, payload);
    if (!transport_.SendCommand(kCmdPhoneSwitch, payload, sizeof payload)) {
        StopDevices();
        return false;
    }
    if (down)
        devices_.StartCapture();
    else
        StopDevices();
    return true;
}

void CPhoneUplink::StopDevices()
{
    devices_.ResetPhonePlayer();
    devices_.StopCapture();
    // A half-filled record belongs to the session that ended; the next one starts afresh.
    blocks_ = 0;
}

void CPhoneUplink::OnDvrAnswer(int32_t value)
{
    if (value == 1)
        allowed_.store(true, std::memory_order_relaxed);
    else if (value == 2)
        allowed_.store(false, std::memory_order_relaxed);
}

bool CPhoneUplink::OnDisconnected()
{
    allowed_.store(false, std::memory_order_relaxed);
    if (!down_)
        return false;
    down_ = false;
    StopDevices();
    return true;
}

void CPhoneUplink::OnCaptured(bool connected)
{
    // The capture only runs while the button is down; a message that arrives after it went up is late.
    if (!down_)
        return;
    uint8_t pcm[kBlockBytes];
    if (!connected || !allowed_.load(std::memory_order_relaxed)) {
        // Not wanted, but read all the same: an unread block makes the capture thread ask again at
        // once, and would reach the DVR stale once phone audio is allowed.
        devices_.ReadCaptured(pcm, sizeof pcm);
        return;
    }
    if (!devices_.ReadCaptured(pcm, sizeof pcm))
        return;
    if (blocks_ == 0) {
        int64_t counter = 0, frequency = 0;
        if (devices_.PerformanceCounter(counter, frequency))
            PhoneTimeStamp(counter, frequency, seconds_, microseconds_);
        wire::AudioBlockHeader h;
        std::memcpy(h.tag, "327g", 4);
        h.length = static_cast<uint32_t>(kUplinkRecordBytes);
        h.channelMask = kUplinkChannelMask;
        h.seconds = seconds_;
        h.microseconds = microseconds_;
        h.sequence = phoneSequence_++;
        wire::BuildAudioBlockHeader(h, record_);
    }
    if (!coding_.EncodeMicrophone(pcm, record_ + kRecordHeaderBytes + blocks_ * kCodedBlockBytes))
        return;
    if (++blocks_ < kUplinkBlocks)
        return;
    blocks_ = 0;
    uint8_t header[kPhoneAudioHeaderBytes];
    BuildPhoneAudioHeader(seconds_, packetCounter_, header);
    // The record follows its announcement only: without it the DVR could not frame the bytes.
    if (transport_.SendCommand(kCmdPhoneAudio, header, sizeof header)) {
        transport_.SendStream(record_, sizeof record_);
        ++packetCounter_;
    }
}

} // namespace audio
