#include "BasicParts.h"
#include "ConnectionController.h"

namespace connection {

void CountingFrameSink::StoreVideo(int channel, const uint8_t* data, size_t length)
{
    videoFrames++;
    bytes += length;
    if (channel >= 0 && channel < 32)
        channelsSeen |= 1u << channel;
}

void CountingFrameSink::StoreAudio(const uint8_t* data, size_t length)
{
    audioBlocks++;
    bytes += length;
}

namespace {
uint32_t MaskBelow(int n) { return n >= 32 ? 0xFFFFFFFFu : ((1u << n) - 1u); }
} // namespace

void AllChannelsLayout::RequestChannels(ConnectionController& c, uint32_t mask)
{
    c.Pause(200);
    storedMask_ = mask;
    c.SendChannelRequest(storedMask_, storedAudio_);
    c.Pause(200);
}

void AllChannelsLayout::RestoreAfterLogin(ConnectionController& c)
{
    ConnectionState& s = c.State();
    if (s.reconnectPending || s.quietSwitch)
        return;
    int n = s.channelCount;
    if (n != 4 && n != 8 && n != 16)
        return;
    s.quietSwitch = true;
    shown_ = MaskBelow(n);
    RequestChannels(c, shown_);
}

void AllChannelsLayout::AfterLoginAccepted(ConnectionController& c)
{
    const ConnectionState& s = c.State();
    uint32_t fresh = MaskBelow(s.channelCount);
    c.Pause(200);
    c.SendChannelRequest(s.userStopped ? fresh : storedMask_, storedAudio_);
    c.Pause(200);
    storedMask_ = fresh;
}

void AllChannelsLayout::ResetAfterUserTeardown(ConnectionController& c) { shown_ = 0xFFFF; }

} // namespace connection
