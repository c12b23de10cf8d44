#pragma once
// The parts a connection needs before the panel, the frame queue, the decode threads, the audio
// devices and the full layout logic exist: a panel with no buttons, silent audio, no decode
// threads, a frame sink that only counts, and a layout that shows every channel of the DVR.
#include "ViewParts.h"
#include <atomic>
#include <cstdint>

namespace connection {

class NoPanel final : public IPanelHooks {
public:
    void SetConnectedState(bool connected, bool administrator) override
    {
        this->connected = connected;
        this->administrator = administrator;
    }
    void ReleaseLayoutAndAudioButtons() override {}
    void ReleaseLayoutButtons() override {}
    bool PhoneButtonDown() override { return phoneDown; }
    void ReleasePhoneButton() override { phoneDown = false; }
    int SpeedLevel() override { return 4; } // the panel's level at start

    bool phoneDown = false; // set by a view that drives the phone without a panel
    bool connected = false;
    bool administrator = false;
};

class NoAudio final : public IAudioHooks {
public:
    void StopPhoneCapture() override {}
    void StopPlayback() override {}
    void PhoneAnswer(bool) override {}
};

// No threads run and no decoder is made, so there is never anything to stop or free.
class NoDecodeThreads final : public IDecodeThreads {
public:
    bool Start() override { return true; }
    void Stop() override {}
    bool Running() const override { return false; }
    void SetPictureWatchdog(bool) override {}
    void MakeDecoder(int) override {}
    void FreeDecoder() override {}
};

class NoDisplay final : public IDisplayHooks {
public:
    void Reset() override {}
    void RefreshEmpty() override {}
    void SetDecoderOption(int option) override { decoderOption = option; }
    void SetConnectionDropped(bool dropped) override { connectionDropped = dropped; }
    int decoderOption = -1;
    bool connectionDropped = false;
};

// Counts what the stream dispatcher hands over, so that a running connection can be observed.
class CountingFrameSink final : public IFrameSink {
public:
    void StoreVideo(int channel, const uint8_t* data, size_t length) override;
    void StoreAudio(const uint8_t* data, size_t length) override;
    void MarkWritePositionsForReset() override {}
    void ClearSlots() override {}

    std::atomic<uint64_t> videoFrames{0}, audioBlocks{0}, bytes{0};
    std::atomic<uint32_t> channelsSeen{0}; // bit n = a frame of channel n arrived
};

// After a fresh login, shows all the DVR's channels (16, 8 or 4: the 16-, 9- or 4-picture page)
// and asks for them; an automatic reconnect keeps what was shown. The channel request sent last
// is kept and sent again after every accepted login.
class AllChannelsLayout final : public ILayout {
public:
    void RestoreAfterLogin(ConnectionController& c) override;
    void AfterLoginAccepted(ConnectionController& c) override;
    void ResetAfterUserTeardown(ConnectionController& c) override;
    uint32_t ShownChannelMask() const override { return shown_; }
    void SendPendingPtz(ConnectionController& c) override {}

    uint32_t StoredMask() const { return storedMask_; }

private:
    void RequestChannels(ConnectionController& c, uint32_t mask);

    uint32_t shown_ = 0xFFFF;
    uint32_t storedMask_ = 0;
    int32_t storedAudio_ = -1; // no setup dialog yet
};

} // namespace connection
