#pragma once
// DVRScreenView's connection to one DVR: connect, login, judging the reply, the picture
// watchdog, the stream request, loss, reconnect (ten attempts at most) and the nine-step teardown.
// Runs on the view's user-interface thread only; the window code turns messages and timers into
// calls here and supplies the ports of ViewParts.h.
#include "ViewParts.h"
#include "Dispatch.h"
#include <cstdint>
#include <functional>
#include <string>

namespace connection {

struct ConnectionState {
    bool connected = false;
    bool loggedIn = false;
    bool userStopped = false;
    bool reconnectPending = false;
    int reconnectCount = 0;
    bool quietSwitch = false;
    bool quietChannel = false;
    bool quietDivision = false;
    bool establishedShown = false;
    bool imagesShown = false;
    bool imageAwaited = false;
    int watchdogTicks = 0;
    bool watchdogRunning = false;
    bool streamTimerRunning = false;
    bool streamRequested = false;
    bool streamOpen = false;
    uint32_t streamValue = 0;
    bool phoneAllowed = false;
    bool connectionDropped = false; // the DVR dropped a logged-in connection; see IDisplayHooks
    bool attemptLoggedIn = false; // the current connection attempt got an accepted login
    bool linkUp = false; // the current attempt reached the DVR (1445 with 1)
    int channelCount = 0; // from the last login reply with channel information
    int decoderChannels = 0; // the count the decoder manager was made for; 0: none made
    bool fourChannelLimited = false;
    std::string userId; // of the last login, A-Z lower-cased
};

struct ViewPorts {
    ITransport* transport = nullptr;
    IViewWindow* window = nullptr;
    IPanelHooks* panel = nullptr;
    IAudioHooks* audio = nullptr;
    IDecodeThreads* decode = nullptr;
    IFrameSink* frames = nullptr;
    IDisplayHooks* display = nullptr;
    ILayout* layout = nullptr;
};

class ConnectionController {
public:
    static constexpr int kMaxReconnects = 10;
    static constexpr int kWatchdogPolls = 10;
    static constexpr unsigned kReconnectPeriodMs = 1000;
    static constexpr unsigned kWatchdogPeriodMs = 2000;
    static constexpr unsigned kStreamPeriodMs = 1000;

    // Every port must be set; they outlive the controller.
    explicit ConnectionController(const ViewPorts& ports);

    // Told the channel mask of every channel request sent (the view's recording follows it).
    void SetChannelRequestObserver(std::function<void(uint32_t)> observer) { requestObserver_ = std::move(observer); }

    // View start-up, once the status log exists: texts 9 and 3.
    void LogStartTexts();

    // View commands.
    void OnConnectCommand();
    void OnDisconnectCommand();
    void OnExitCommand();

    // Transport messages.
    void OnConnectResult(bool connected); // 1445
    void OnConnectionLost(); // 1446, 1451
    void OnPacket(const void* header, const void* payload); // 1425, 1645, 1655
    void OnStreamBlock(const void* header, const void* descriptor); // 1657
    void OnStreamStatus(uint32_t value, bool open); // 1428

    // Timers and the stream-request message (1226) of timer 2.
    void OnTimer(ViewTimer timer);
    void OnStreamRequestTick();
    // A decode thread showed a picture: the watchdog is no longer needed.
    void OnPictureShown();
    // The phone switch (command 100) could not be sent: the connection is lost.
    void OnPhoneSwitchRefused();

    // The actions the view and the layout logic share.
    void StartConnectAttempt();
    void Teardown();
    void RequestStream();
    bool SendCommand(uint16_t command, const uint8_t* payload, size_t length);
    // The channel request (51) with its payload.
    bool SendChannelRequest(uint32_t channelMask, int32_t audioChoice);
    // Command 138: header, then the body when the header went out.
    bool SendConfiguration(int32_t mode, const uint8_t* body136);

    void Pause(unsigned ms) { p_.window->Pause(ms); }

    // Administrator: the kept user ID begins with "admin".
    bool IsAdministrator() const;

    ConnectionState& State() { return s_; }
    const ConnectionState& State() const { return s_; }

private:
    void OnLoginRequest();
    void OnLoginReply(const protocol::LoginReply& reply);
    void OnChannelRequestAcked();
    void OnPicturePollAnswered();
    void StartWatchdog();
    void StopWatchdog();
    // What one teardown does, decided once the attempts have been counted (the last one turns a
    // loss into a user stop).
    struct TeardownPlan {
        bool userStop = false; // the fields, buttons, layout and decoder go back to the user
        bool closeConnection = false; // all but a user stop while nothing is connected
        bool logDisconnect = false; // neither a quiet switch nor a failed attempt
    };
    void TeardownAfter(bool failedAttempt);
    void EndAttemptsIfUsedUp();
    TeardownPlan PlanTeardown(bool failedAttempt) const;
    void CloseConnection(const TeardownPlan& plan);
    void EndPhoneAndLink(const TeardownPlan& plan);
    void StopReceiving(const TeardownPlan& plan);
    void ResetStream();
    void GiveBackToUser();
    void RaisePhoneButton();
    void FailPendingAttempt();
    void SetConnectionDropped(bool dropped);
    void StopStreamTimer();
    void SendPicturePoll();

    ViewPorts p_;
    ConnectionState s_;
    std::function<void(uint32_t)> requestObserver_;
};

} // namespace connection
