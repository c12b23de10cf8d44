#include "PhoneUplink.h"
#include "wire/StreamFrame.h"
#include <cstring>

namespace audio {

bool CPhoneUplink::SetButton(bool down)
{
    down_ = down;
    uint8_t payload[protocol::kPhoneSwitchSize];
    protocol::BuildPhoneSwitch(down, payload);
    if (!transport_.SendCommand(protocol::kCmdPhoneSwitch, payload, sizeof payload)) {
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
        if (devices_.PerformanceCounter(counter, frequency) && counter >= 0 && frequency > 0)
            protocol::CounterToTime(static_cast<uint64_t>(counter), static_cast<uint64_t>(frequency), seconds_,
                                    microseconds_);
        protocol::BuildPhoneBlockHeader(seconds_, microseconds_, phoneSequence_++, record_);
    }
    if (!coding_.EncodeMicrophone(pcm, record_ + kRecordHeaderBytes + blocks_ * kCodedBlockBytes))
        return;
    if (++blocks_ < kUplinkBlocks)
        return;
    blocks_ = 0;
    uint8_t header[protocol::kPhoneHeaderSize];
    protocol::BuildPhoneHeader(seconds_, static_cast<int32_t>(packetCounter_), header);
    // The record follows its announcement only: without it the DVR could not frame the bytes.
    if (transport_.SendCommand(protocol::kCmdPhoneAudio, header, sizeof header)) {
        transport_.SendStream(record_, sizeof record_);
        ++packetCounter_;
    }
}

} // namespace audio
