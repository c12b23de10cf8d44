#pragma once
// Live phone, the viewer's side: the phone button's exchange with the DVR (command 100 both ways) and
// the uplink, six captured microphone blocks encoded into one 312-byte record that command 99
// announces. Runs on the user-interface thread; the devices and the transport come in through the
// interfaces below.
#include "AudioCoding.h"
#include "AudioRecord.h"
#include "wire/Packets.h"
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace audio {

// The packets themselves (commands 99 and 100, the record's header) are the protocol's builders.
constexpr size_t kUplinkBlocks = protocol::kPhoneCodedBlocks;
constexpr size_t kUplinkRecordBytes = protocol::kPhoneBlockSize; // 312
static_assert(kUplinkRecordBytes == kRecordHeaderBytes + kUplinkBlocks * kCodedBlockBytes);

class IPhoneTransport {
public:
    virtual bool SendCommand(uint16_t code, const void* payload, size_t length) = 0;
    virtual bool SendStream(const void* data, size_t length) = 0;

protected:
    ~IPhoneTransport() = default;
};

class IPhoneDevices {
public:
    virtual bool ReadCaptured(void* out, size_t length) = 0;
    virtual void StartCapture() = 0;
    virtual void StopCapture() = 0;
    virtual void ResetPhonePlayer() = 0;
    // The high-resolution counter and its frequency; false when there is none.
    virtual bool PerformanceCounter(int64_t& counter, int64_t& frequency) = 0;

protected:
    ~IPhoneDevices() = default;
};

class CPhoneUplink {
public:
    CPhoneUplink(IAudioCoding& coding, IPhoneTransport& transport, IPhoneDevices& devices)
        : coding_(coding), transport_(transport), devices_(devices)
    {}

    // The phone button went down or up. False when command 100 could not be sent: the caller then
    // runs its connection-loss handling (the devices are already quiet).
    bool SetButton(bool down);
    // The DVR's answer to command 100: 1 allows phone audio, 2 forbids it, anything else is ignored.
    void OnDvrAnswer(int32_t value);
    // One captured block is waiting (WM_AUDIO_CAPTURED).
    void OnCaptured(bool connected);
    // The connection is gone: a pressed button is released and the devices stop. True when the
    // button was down (the view then redraws it released and disabled).
    bool OnDisconnected();

    bool ButtonDown() const { return down_; }
    bool Allowed() const { return allowed_.load(std::memory_order_relaxed); }
    uint32_t PacketCounter() const { return packetCounter_; }
    uint32_t PhoneSequence() const { return phoneSequence_; }
    size_t PendingBlocks() const { return blocks_; }

private:
    void StopDevices();

    IAudioCoding& coding_;
    IPhoneTransport& transport_;
    IPhoneDevices& devices_;
    bool down_ = false;
    std::atomic<bool> allowed_{false};
    uint32_t phoneSequence_ = 0; // in each record's header
    uint32_t packetCounter_ = 0; // in command 99
    uint32_t seconds_ = 0, microseconds_ = 0;
    size_t blocks_ = 0;
    uint8_t record_[kUplinkRecordBytes] = {};
};

} // namespace audio
