#include "LiveLayout.h"
#include "ConnectionController.h"

namespace connection {

namespace {
constexpr unsigned kRequestWaitMs = 200;
constexpr unsigned kConfigurationWaitMs = 100;
// The display channel each layout starts on, whatever the page's start channel.
constexpr int kLayoutCurrentChannel[kLayoutCount] = {0, 3, 8, 15};

// Bit n for every channel n below the DVR's count.
uint32_t ChannelsBelow(int n) { return n <= 0 ? 0 : n >= settings::kChannels ? 0xFFFFu : (1u << n) - 1; }

// Whether a DVR with `n` channels has a layout button for `layout`: the 9-picture one from eight
// channels, the 16-picture one from sixteen.
bool LayoutFits(int layout, int n) { return layout == 3 ? n >= 8 : layout == 4 ? n >= 16 : layout >= 1; }

uint32_t EnabledBelow(const settings::ViewSetupRecord& r, int n)
{
    uint32_t mask = 0;
    for (int c = 0; c < settings::kChannels && c < n; ++c)
        if (r.channels[c].enabled)
            mask |= 1u << c;
    return mask;
}
} // namespace

void LiveLayout::Request(ConnectionController& c, uint32_t mask)
{
    c.Pause(kRequestWaitMs);
    storedMask_ = mask;
    storedAudio_ = host_.AudioChoice();
    c.SendChannelRequest(storedMask_, storedAudio_);
    c.Pause(kRequestWaitMs);
}

void LiveLayout::Reconnect(ConnectionController& c)
{
    // A quiet switch is the view's own reconnect, not the automatic one: a reconnect still marked
    // from an earlier loss would arm the reconnect timer in the teardown (a second attempt over
    // this one) and make the next login keep the old layout.
    c.State().reconnectPending = false;
    c.Teardown();
    c.StartConnectAttempt();
}

void LiveLayout::SwitchNow(ConnectionController& c, int layout, int start)
{
    if (layout < 1 || layout > kLayoutCount)
        return;
    const int n = c.State().channelCount;
    layout_ = layout;
    start_ = start;
    displayMode_ = DisplayModeOfLayout(layout);
    current_ = kLayoutCurrentChannel[layout - 1];
    page_ = PageChannels(layout, start, n, permitted_);
    host_.ShowPage(displayMode_, page_);
    const settings::ViewSetupRecord settings = host_.ReadSettings();
    Request(c, RequestMask(page_, settings.channels, n));
    host_.ShowLayoutButtons(n, layout);
    host_.RefreshDisplay();
    SendConfiguration(c);
}

void LiveLayout::SendConfiguration(ConnectionController& c)
{
    if (!c.IsAdministrator())
        return;
    // The table the view holds: reading the file here would undo a cap or a confirmed setup that
    // could not be saved, and would refill a setup dialog the person is editing.
    settings::ViewSetupRecord r = host_.StoredSettings();
    int classes[settings::kChannels] = {};
    bool ntsc = true;
    host_.ReadResolution(classes, ntsc);
    ApplyEasySetup(r, layout_, classes, ntsc);
    c.SendConfiguration(1, reinterpret_cast<const uint8_t*>(&r));
    c.Pause(kConfigurationWaitMs);
}

void LiveLayout::RequestEnabled(ConnectionController& c, const settings::ChannelEntry (&entries)[settings::kChannels])
{
    uint32_t mask = 0;
    for (int ch = 0; ch < settings::kChannels && ch < c.State().channelCount; ++ch)
        if (entries[ch].enabled)
            mask |= 1u << ch;
    storedMask_ = mask;
    storedAudio_ = host_.AudioChoice();
    c.SendChannelRequest(storedMask_, storedAudio_);
    c.Pause(kConfigurationWaitMs);
}

void LiveLayout::OnLayoutCommand(ConnectionController& c, int command)
{
    const int layout = LayoutOfCommand(command);
    if (!layout)
        return; // 21, 23, 24: no action
    ConnectionState& s = c.State();
    // Without a login (before the first Connect, during it, between automatic reconnect attempts)
    // the DVR's channels are not known and there is nothing to switch: the last layout chosen is
    // the one the next login shows.
    if (!s.connected || !s.loggedIn) {
        chosenLayout_ = layout;
        return;
    }
    if (layout != 1 && !s.quietSwitch) {
        s.quietSwitch = true;
        SwitchNow(c, layout, 0);
        return;
    }
    s.quietSwitch = true;
    pendingSwitch_ = layout;
    Reconnect(c);
}

void LiveLayout::OnChannelCommand(ConnectionController& c, int channel)
{
    if (channel < 0 || channel >= settings::kChannels)
        return;
    ConnectionState& s = c.State();
    current_ = channel;
    pendingChannel_ = channel;
    if (!s.connected)
        return; // shown at the next reconnect only through a new command
    if (displayMode_ == 0 || displayMode_ == 6)
        s.quietSwitch = true;
    pendingSwitch_ = layout_;
    s.quietChannel = true;
    Reconnect(c);
}

void LiveLayout::OnDoubleClick(ConnectionController& c, int column, int row)
{
    ConnectionState& s = c.State();
    if (!s.connected)
        return;
    if (layout_ == 1) {
        if (!pendingLayout_)
            return; // no larger layout to return to
        s.quietDivision = true;
        Reconnect(c);
        return;
    }
    const int channel = DoubleClickChannel(layout_, column, row, start_, s.channelCount);
    if (channel < 0)
        return;
    pendingLayout_ = layout_;
    pendingStart_ = start_;
    displayMode_ = 0;
    host_.ViewCommand(kChannelCommandBase + channel);
}

void LiveLayout::RestoreAfterLogin(ConnectionController& c)
{
    ConnectionState& s = c.State();
    const int n = s.channelCount;
    // A DVR that answers with another channel count than the layout was made for (another DVR at
    // the address, say): the page and the pending switches no longer fit it, so the login is
    // restored as a fresh one.
    const bool otherDvr = layoutChannels_ && n != layoutChannels_;
    if (otherDvr) {
        s.quietSwitch = s.quietChannel = s.quietDivision = false;
        pendingLayout_ = pendingStart_ = 0;
    }
    layoutChannels_ = n;
    // Nothing pending outlives the login it was meant for.
    const int pending = otherDvr ? 0 : pendingSwitch_;
    const int chosen = chosenLayout_;
    pendingSwitch_ = chosenLayout_ = 0;
    if (chosen && LayoutFits(chosen, n)) {
        s.quietChannel = s.quietDivision = false;
        s.quietSwitch = true;
        SwitchNow(c, chosen, 0);
        if (s.reconnectPending)
            host_.ShowSelectedAudio();
        return;
    }
    if (s.reconnectPending && !otherDvr) {
        // A layout switch whose own attempt was lost is still the one the person chose.
        if (pending && !s.quietChannel && !s.quietDivision)
            SwitchNow(c, pending, 0);
        else
            host_.ShowLayoutButtons(n, layout_);
        host_.ShowSelectedAudio();
        return;
    }
    if (s.quietDivision) {
        SwitchNow(c, pendingLayout_, pendingStart_);
        pendingLayout_ = pendingStart_ = 0;
        s.quietDivision = false;
        return;
    }
    if (s.quietChannel) {
        const int ch = pendingChannel_;
        if (permitted_ & (1u << ch)) {
            layout_ = 1;
            displayMode_ = 0;
            current_ = ch;
            page_ = Page{};
            page_.count = 1;
            page_.channels[0] = static_cast<int8_t>(ch);
            host_.ShowPage(displayMode_, page_);
            const settings::ViewSetupRecord settings = host_.ReadSettings();
            storedMask_ = RequestMask(page_, settings.channels, n);
            storedAudio_ = host_.AudioChoice();
            c.SendChannelRequest(storedMask_, storedAudio_);
            c.Pause(kRequestWaitMs);
            host_.ShowLayoutButtons(n, layout_);
            SendConfiguration(c);
        }
        s.quietChannel = false;
        return;
    }
    if (s.quietSwitch) {
        if (pending)
            SwitchNow(c, pending, 0);
        return;
    }
    // A fresh connection: the layout of the channel count.
    const int layout = n == 16 ? 4 : n == 8 ? 3 : n == 4 ? 2 : 0;
    if (layout) {
        s.quietSwitch = true;
        SwitchNow(c, layout, 0);
    }
}

void LiveLayout::AfterLoginAccepted(ConnectionController& c)
{
    const ConnectionState& s = c.State();
    const settings::ViewSetupRecord settings = host_.ReadSettings();
    const uint32_t fresh = EnabledBelow(settings, s.channelCount);
    c.Pause(kRequestWaitMs);
    // Only channels the DVR has: a request kept from a DVR with more channels is cut to this one's.
    c.SendChannelRequest(s.userStopped ? fresh : storedMask_ & ChannelsBelow(s.channelCount), storedAudio_);
    c.Pause(kRequestWaitMs);
    storedMask_ = fresh;
}

void LiveLayout::ResetAfterUserTeardown(ConnectionController& c)
{
    // The 16-picture layout at once, as at start-up; nothing chosen or pending is kept.
    chosenLayout_ = pendingSwitch_ = 0;
    c.State().quietSwitch = true;
    SwitchNow(c, 4, 0);
}

uint32_t LiveLayout::ShownChannelMask() const
{
    uint32_t mask = 0;
    for (int i = 0; i < page_.count && i < settings::kChannels; ++i)
        if (page_.channels[i] >= 0)
            mask |= 1u << page_.channels[i];
    return mask;
}

} // namespace connection
