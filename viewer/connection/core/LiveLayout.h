#pragma once
// The live view's layout logic: the layout and channel commands, switching a layout at once or by a
// quiet reconnect, the double-click into and out of one channel, the restore after a login, the
// channel request kept across reconnects and the channel configuration. Neutral: the view supplies
// the display, the buttons and the settings through ILiveViewHost.
#include "LiveRequests.h"
#include "ViewParts.h"
#include "settings/ViewSetupRecord.h"

namespace connection {

class ILiveViewHost {
public:
    virtual ~ILiveViewHost() = default;
    // The display manager: a display mode (0, 1, 3, 6) and the page's channels in cell order.
    virtual void ShowPage(int displayMode, const Page& page) = 0;
    virtual void RefreshDisplay() = 0;
    // The saved settings, read again and shown in the setup dialog.
    virtual settings::ViewSetupRecord ReadSettings() = 0;
    // The settings the view holds (the last read, confirmed or capped), without reading the file.
    virtual settings::ViewSetupRecord StoredSettings() = 0;
    // The setup dialog's "Enable Audio" box: 1 ticked, 0 not, -1 no dialog.
    virtual int32_t AudioChoice() = 0;
    // The seven layout buttons for `channelCount` channels with layout `layout` (1 to 4) pressed.
    virtual void ShowLayoutButtons(int channelCount, int layout) = 0;
    // The selected audio-channel button shown pressed again.
    virtual void ShowSelectedAudio() = 0;
    // A view command run as the panel's button would run it (the double-click's 3 + channel, so
    // that the PTZ buttons follow the camera shown as well).
    virtual void ViewCommand(int command) = 0;
    // The decoder manager's resolution classes (the channels' weights) and video standard.
    virtual void ReadResolution(int (&classes)[settings::kChannels], bool& ntsc) = 0;
};

class LiveLayout final : public ILayout {
public:
    explicit LiveLayout(ILiveViewHost& host) : host_(host) {}

    // View commands 19, 20, 22, 25; 3 to 18.
    void OnLayoutCommand(ConnectionController& c, int command);
    void OnChannelCommand(ConnectionController& c, int channel);
    // A double-click in cell (column, row) of the current grid.
    void OnDoubleClick(ConnectionController& c, int column, int row);
    // Shows `layout` with the page from `start` and sends its request and the configuration.
    void SwitchNow(ConnectionController& c, int layout, int start);
    // Command 138 with the stored table (easy setup applied); administrators only; 100 ms after.
    void SendConfiguration(ConnectionController& c);
    // The setup dialog was confirmed with `entries`: the enabled channels requested, 100 ms wait.
    void RequestEnabled(ConnectionController& c, const settings::ChannelEntry (&entries)[settings::kChannels]);

    // ILayout
    void RestoreAfterLogin(ConnectionController& c) override;
    void AfterLoginAccepted(ConnectionController& c) override;
    void ResetAfterUserTeardown(ConnectionController& c) override;
    uint32_t ShownChannelMask() const override;
    void SendPendingPtz(ConnectionController&) override {}

    int Layout() const { return layout_; }
    int DisplayMode() const { return displayMode_; }
    int CurrentChannel() const { return current_; }
    int StartChannel() const { return start_; }
    const Page& ShownPage() const { return page_; }
    uint32_t StoredMask() const { return storedMask_; }
    int32_t StoredAudio() const { return storedAudio_; }

private:
    void Request(ConnectionController& c, uint32_t mask);
    void Reconnect(ConnectionController& c);

    ILiveViewHost& host_;
    int displayMode_ = 6;
    int layout_ = 4;
    int current_ = 0;
    int start_ = 0;
    Page page_ = PageChannels(4, 0, settings::kChannels);
    uint32_t permitted_ = 0xFFFF;
    uint32_t storedMask_ = 0;
    int32_t storedAudio_ = -1;
    int pendingSwitch_ = 0; // the layout a quiet switch in progress shows at its login
    int chosenLayout_ = 0; // the layout chosen while there was no login to switch on
    int pendingChannel_ = 0;
    int pendingStart_ = 0;
    int pendingLayout_ = 0; // the layout a double-click returns to
    int layoutChannels_ = 0; // the channel count of the login the layout was restored for
};

} // namespace connection
