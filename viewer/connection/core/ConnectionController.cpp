#include "ConnectionController.h"
#include "ViewStrings.h"
#include "wire/Packets.h"
#include <array>

namespace connection {

ConnectionController::ConnectionController(const ViewPorts& ports) : p_(ports) {}

void ConnectionController::LogStartTexts()
{
    p_.window->Log(kTextStart);
    p_.window->Log(kTextVersion);
}

bool ConnectionController::IsAdministrator() const { return protocol::IsAdministrator(s_.userId); }

bool ConnectionController::SendCommand(uint16_t command, const uint8_t* payload, size_t length)
{
    return p_.transport->SendPacket(command, payload, length);
}

bool ConnectionController::SendChannelRequest(uint32_t channelMask, int32_t audioChoice)
{
    uint8_t b[protocol::kChannelRequestSize];
    protocol::BuildChannelRequest(channelMask, audioChoice, b);
    const bool sent = SendCommand(protocol::kCmdChannelRequest, b, sizeof b);
    if (sent && requestObserver_)
        requestObserver_(channelMask);
    return sent;
}

bool ConnectionController::SendConfiguration(int32_t mode, const uint8_t* body136)
{
    uint8_t h[protocol::kConfigurationHeaderSize];
    protocol::BuildConfigurationHeader(mode, h);
    if (!SendCommand(protocol::kCmdConfiguration, h, sizeof h))
        return false;
    return p_.transport->SendStream(body136, protocol::kConfigurationBodySize);
}

void ConnectionController::SendPicturePoll()
{
    uint8_t b[protocol::kPicturePollSize];
    protocol::BuildPicturePoll(b);
    SendCommand(protocol::kCmdPicturePoll, b, sizeof b);
}

void ConnectionController::StartWatchdog()
{
    s_.watchdogTicks = 0;
    p_.window->StartTimer(ViewTimer::PictureWatchdog, kWatchdogPeriodMs);
    s_.watchdogRunning = true;
    p_.decode->SetPictureWatchdog(true);
}

void ConnectionController::StopWatchdog()
{
    p_.window->StopTimer(ViewTimer::PictureWatchdog);
    s_.watchdogRunning = false;
    p_.decode->SetPictureWatchdog(false);
}

void ConnectionController::SetConnectionDropped(bool dropped)
{
    s_.connectionDropped = dropped;
    p_.display->SetConnectionDropped(dropped);
}

void ConnectionController::StopStreamTimer()
{
    p_.window->StopTimer(ViewTimer::StreamRequest);
    s_.streamTimerRunning = false;
}

// ---- view commands ----

void ConnectionController::OnConnectCommand()
{
    s_.userStopped = false;
    if (s_.connected) {
        // Cleared before the teardown, not after it: otherwise the teardown arms the reconnect
        // timer, whose next tick would start a second attempt over the one begun below.
        s_.reconnectPending = false;
        Teardown();
    }
    p_.window->StopTimer(ViewTimer::Reconnect);
    if (!s_.quietSwitch)
        p_.window->Log(kTextWaitingConnection);
    StartConnectAttempt();
}

void ConnectionController::OnDisconnectCommand()
{
    s_.userStopped = true;
    s_.reconnectPending = false;
    s_.quietSwitch = s_.quietChannel = s_.quietDivision = false;
    s_.imagesShown = false;
    s_.establishedShown = false;
    // Between two reconnect attempts the view is not connected but the reconnect timer runs: a
    // Disconnect then must still end the retries and give the fields back to the user.
    p_.window->StopTimer(ViewTimer::Reconnect);
    s_.reconnectCount = 0;
    if (s_.connected) {
        Teardown();
    } else {
        p_.window->EnableConnectFields(true);
        p_.panel->SetConnectedState(false, IsAdministrator());
        // The pictures kept for the reconnect go now that no reconnect will come.
        if (s_.connectionDropped) {
            SetConnectionDropped(false);
            p_.display->RefreshEmpty();
        }
    }
}

void ConnectionController::OnExitCommand()
{
    s_.userStopped = true;
    p_.window->StopTimer(ViewTimer::Reconnect);
    Teardown();
    if (p_.decode->Running())
        p_.decode->Stop();
    p_.window->UnloadLanguage();
    p_.audio->StopPlayback();
    p_.window->Pause(500);
    p_.window->CloseHost();
}

// ---- connecting ----

void ConnectionController::StartConnectAttempt()
{
    s_.imageAwaited = true;
    s_.attemptLoggedIn = false;
    s_.linkUp = false;
    // A watchdog left over from the previous connection must not tear the new one down.
    StopWatchdog();
    ConnectFields f = p_.window->ReadFields();
    if (f.address.empty() || f.userId.empty()) {
        p_.window->Log(kTextEmptyAddress);
        return;
    }
    s_.streamOpen = false;
    s_.streamValue = 0;
    if (p_.transport->Connect(f.address, f.port)) {
        p_.window->SaveConnectInfo();
        s_.connected = true;
        // Every attempt is bounded by the retry timer, the first one too: an address whose TCP
        // connection opens but never asks for the login (command 85) fails at the next tick.
        p_.window->StartTimer(ViewTimer::Reconnect, kReconnectPeriodMs);
    } else {
        s_.connected = false;
        p_.window->Log(kTextEmptyAddress);
    }
}

void ConnectionController::OnConnectResult(bool connected)
{
    if (connected) {
        s_.linkUp = true;
        p_.transport->SendInit();
        return;
    }
    if (!s_.userStopped)
        return; // the loss message before this one has already armed the next attempt
    p_.window->Log(kTextConnectionFailed);
    s_.connected = false;
    p_.window->EnableConnectFields(true);
    p_.panel->SetConnectedState(false, IsAdministrator());
}

void ConnectionController::OnLoginRequest()
{
    s_.reconnectCount = 0;
    p_.window->StopTimer(ViewTimer::Reconnect);
    ConnectFields f = p_.window->ReadFields();
    if (!s_.quietSwitch) {
        p_.window->Log(kTextStarting);
        p_.window->Log(kTextCheckId, f.userId);
    }
    uint8_t login[protocol::kLoginSize];
    protocol::BuildLogin(f.userId, f.password, true, p_.window->SkinCode(), login);
    if (!SendCommand(protocol::kCmdLogin, login, sizeof login)) {
        p_.window->Log(kTextConnectionFailed);
        s_.userStopped = true;
        s_.reconnectPending = false;
        Teardown();
        return;
    }
    s_.userId = f.userId;
    for (char& c : s_.userId)
        c = protocol::AsciiLower(c);
    s_.connected = true;
    p_.window->EnableConnectFields(false);
    p_.panel->SetConnectedState(true, IsAdministrator());
}

void ConnectionController::OnLoginReply(const protocol::LoginReply& reply)
{
    if (!reply.HasChannelInfo()) {
        if (s_.loggedIn)
            return;
        s_.userStopped = true;
        s_.reconnectPending = false;
        Teardown();
        return;
    }
    s_.channelCount = reply.channelCount;
    s_.loggedIn = true;
    p_.window->ChannelInformation(s_.channelCount);
    // The decoder manager, before the layout is restored. A quiet switch keeps the one it has, as
    // long as it was made for this many channels.
    if (!s_.quietSwitch || s_.decoderChannels != s_.channelCount) {
        p_.decode->MakeDecoder(s_.channelCount);
        s_.decoderChannels = s_.channelCount;
    }
    p_.layout->RestoreAfterLogin(*this);
    p_.display->SetDecoderOption(reply.DecoderOption());
    s_.fourChannelLimited = reply.FourChannelLimited();

    if (reply.Accepted()) {
        if (!s_.establishedShown) {
            p_.window->Log(kTextEstablished);
            s_.establishedShown = true;
        }
        if (s_.connected) {
            s_.attemptLoggedIn = true;
            if (s_.connectionDropped)
                SetConnectionDropped(false);
            p_.window->LoginAccepted();
            if (!p_.decode->Running() && !p_.decode->Start()) {
                p_.window->FatalDecoderStart();
                return;
            }
            p_.layout->AfterLoginAccepted(*this);
        }
        return;
    }
    p_.window->Log(reply.WrongCredentials() ? kTextInvalidLogin : kTextUnknownLoginError);
    // A refusal ends the connection as the user's own stop would: no reconnect, and the address
    // and password fields are given back so that the password can be typed again.
    s_.userStopped = true;
    s_.reconnectPending = false;
    Teardown();
}

void ConnectionController::OnConnectionLost()
{
    if (!s_.userStopped) {
        s_.reconnectPending = true;
        // Set before the decode threads stop, so that they leave the last pictures on screen.
        if (s_.attemptLoggedIn && !s_.connectionDropped)
            SetConnectionDropped(true);
    }
    // An attempt that never reached the DVR is a quiet retry, not the end of a connection.
    TeardownAfter(s_.connected && !s_.linkUp);
}

void ConnectionController::FailPendingAttempt()
{
    // Counted exactly as a refused attempt, and as quiet whether or not its TCP connection
    // opened: the loss, then the failed connect result (which logs "Connection failed." once the
    // attempts are used up).
    if (!s_.userStopped)
        s_.reconnectPending = true;
    TeardownAfter(true);
    OnConnectResult(false);
}

void ConnectionController::OnPhoneSwitchRefused()
{
    if (s_.connected)
        OnConnectionLost();
}

// ---- arrivals ----

void ConnectionController::OnPacket(const void* header, const void* payload)
{
    protocol::ReceiveDecision d = protocol::DecideReceive(header, payload);
    switch (d.action) {
    case protocol::ReceiveAction::Ignore: break;
    case protocol::ReceiveAction::LoginReply: OnLoginReply(d.login); break;
    case protocol::ReceiveAction::StreamRequestAnswered: s_.streamRequested = false; break;
    case protocol::ReceiveAction::RepeatStreamRequest:
        p_.window->Pause(100);
        RequestStream();
        break;
    case protocol::ReceiveAction::Teardown: Teardown(); break;
    case protocol::ReceiveAction::ChannelRequestAcked: OnChannelRequestAcked(); break;
    case protocol::ReceiveAction::PicturePollAnswered: OnPicturePollAnswered(); break;
    case protocol::ReceiveAction::LoginRequest: OnLoginRequest(); break;
    case protocol::ReceiveAction::PhoneReply:
        if (d.phone.effect == protocol::PhoneReply::Allow) {
            s_.phoneAllowed = true;
            p_.audio->PhoneAnswer(true);
        } else if (d.phone.effect == protocol::PhoneReply::Forbid) {
            s_.phoneAllowed = false;
            p_.audio->PhoneAnswer(false);
        }
        break;
    }
}

void ConnectionController::OnChannelRequestAcked()
{
    if (s_.imageAwaited && IsAdministrator()) {
        s_.watchdogTicks = 0;
        p_.window->Pause(200);
    }
    SendPicturePoll();
    if (s_.imageAwaited && !s_.imagesShown) {
        p_.window->Log(kTextWaitingImages);
        s_.imagesShown = true;
    }
}

void ConnectionController::OnPicturePollAnswered()
{
    StopWatchdog();
    static const std::array<uint8_t, protocol::kConfigurationBodySize> zeros{};
    SendConfiguration(0, zeros.data());
}

void ConnectionController::OnStreamBlock(const void* header, const void* descriptor)
{
    protocol::StreamDecision d = protocol::DecideStream(header, descriptor, s_.channelCount);
    switch (d.kind) {
    case protocol::StreamKind::ConfigurationAnswered:
        if (s_.imageAwaited) {
            s_.imageAwaited = false;
            StartWatchdog();
        }
        return;
    case protocol::StreamKind::Audio: p_.frames->StoreAudio(d.data, d.length); break;
    case protocol::StreamKind::Video: p_.frames->StoreVideo(d.channel, d.data, d.length); break;
    case protocol::StreamKind::Other:
    case protocol::StreamKind::Dropped: break;
    }
    if (d.sendsPendingPtz)
        p_.layout->SendPendingPtz(*this);
}

void ConnectionController::OnStreamStatus(uint32_t value, bool open)
{
    s_.streamOpen = open;
    s_.streamValue = value;
}

// ---- timers ----

void ConnectionController::OnTimer(ViewTimer timer)
{
    switch (timer) {
    case ViewTimer::Reconnect:
        // The timer stops at the DVR's login request, so an attempt still open at the next tick
        // has not got through within the period (a DVR that is switched off, an address where
        // attempts time out, a DVR that does not answer): it failed, and counts as one.
        if (s_.connected) {
            FailPendingAttempt();
            if (!s_.reconnectPending)
                break; // that was the last attempt
        }
        s_.reconnectCount++;
        StartConnectAttempt();
        break;
    case ViewTimer::PictureWatchdog:
        if (!s_.watchdogRunning)
            break; // a tick already queued when the timer was stopped
        s_.watchdogTicks++;
        if (s_.watchdogTicks <= kWatchdogPolls) {
            SendPicturePoll();
        } else {
            s_.userStopped = true;
            StopWatchdog();
            Teardown();
        }
        break;
    case ViewTimer::StreamRequest: OnStreamRequestTick(); break;
    }
}

void ConnectionController::OnStreamRequestTick()
{
    if (s_.streamOpen)
        StopStreamTimer();
    else
        RequestStream();
}

void ConnectionController::OnPictureShown() { StopWatchdog(); }

void ConnectionController::RequestStream()
{
    if (!s_.connected)
        return;
    if (s_.streamRequested && s_.streamOpen)
        return;
    StopStreamTimer();
    if (!s_.streamOpen) {
        uint8_t b[protocol::kStreamRequestSize];
        protocol::BuildStreamRequest(protocol::StreamRequestMask(s_.fourChannelLimited, p_.layout->ShownChannelMask()),
                                     p_.panel->SpeedLevel(), b);
        SendCommand(protocol::kCmdStreamRequest, b, sizeof b);
        s_.streamRequested = true;
    }
    p_.window->StartTimer(ViewTimer::StreamRequest, kStreamPeriodMs);
    s_.streamTimerRunning = true;
}

// ---- teardown ----

void ConnectionController::Teardown() { TeardownAfter(false); }

void ConnectionController::TeardownAfter(bool failedAttempt)
{
    EndAttemptsIfUsedUp();
    const TeardownPlan plan = PlanTeardown(failedAttempt);
    // A user stop (or the end of the attempts) gives up the pictures kept for a reconnect.
    if (plan.userStop && s_.connectionDropped)
        SetConnectionDropped(false);
    if (plan.closeConnection)
        CloseConnection(plan);
    EndPhoneAndLink(plan);
    StopReceiving(plan);
    ResetStream();
    if (plan.userStop)
        GiveBackToUser();
    // 9.
    if (s_.reconnectPending)
        p_.window->StartTimer(ViewTimer::Reconnect, kReconnectPeriodMs);
}

// 1. Ten attempts at most.
void ConnectionController::EndAttemptsIfUsedUp()
{
    if (s_.reconnectCount < kMaxReconnects)
        return;
    p_.window->StopTimer(ViewTimer::Reconnect);
    s_.reconnectPending = false;
    s_.userStopped = true;
    s_.reconnectCount = 0;
}

ConnectionController::TeardownPlan ConnectionController::PlanTeardown(bool failedAttempt) const
{
    TeardownPlan plan;
    plan.userStop = s_.userStopped;
    plan.closeConnection = !s_.userStopped || s_.connected;
    plan.logDisconnect = !s_.quietSwitch && !failedAttempt;
    return plan;
}

// 2., 3. A user stop gives the buttons and the fields back.
void ConnectionController::CloseConnection(const TeardownPlan& plan)
{
    if (plan.userStop) {
        p_.panel->ReleaseLayoutAndAudioButtons();
        RaisePhoneButton();
    }
    p_.transport->Disconnect();
    s_.connected = false;
    if (plan.userStop) {
        p_.window->EnableConnectFields(true);
        p_.panel->SetConnectedState(false, IsAdministrator());
    }
}

// Phone audio was allowed to this connection only, and a reconnect sends no new switch: a
// pressed phone button goes up with any teardown.
void ConnectionController::EndPhoneAndLink(const TeardownPlan& plan)
{
    if (!plan.userStop)
        RaisePhoneButton();
    s_.phoneAllowed = false;
    s_.linkUp = false;
}

// 4., 5. Nothing to wait for when no decode threads were started.
void ConnectionController::StopReceiving(const TeardownPlan& plan)
{
    if (p_.decode->Running())
        p_.decode->Stop();
    s_.connected = false;
    p_.frames->MarkWritePositionsForReset();
    if (plan.logDisconnect)
        p_.window->Log(kTextDisconnect);
}

// 6., 7.
void ConnectionController::ResetStream()
{
    p_.display->Reset();
    s_.imageAwaited = true;
    StopStreamTimer();
    s_.streamOpen = false;
    s_.streamValue = 0;
    s_.streamRequested = false;
    p_.frames->ClearSlots();
}

// 8.
void ConnectionController::GiveBackToUser()
{
    if (s_.loggedIn) {
        s_.quietSwitch = false;
        p_.layout->ResetAfterUserTeardown(*this);
        s_.quietSwitch = false;
    }
    s_.loggedIn = false;
    // The decode threads have stopped (step 4): the decoder manager goes with the connection.
    p_.decode->FreeDecoder();
    s_.decoderChannels = 0;
    p_.display->RefreshEmpty();
    p_.panel->ReleaseLayoutButtons();
    p_.audio->StopPlayback();
    if (p_.panel->PhoneButtonDown())
        p_.audio->StopPhoneCapture();
}

void ConnectionController::RaisePhoneButton()
{
    if (p_.panel->PhoneButtonDown()) {
        p_.audio->StopPhoneCapture();
        p_.panel->ReleasePhoneButton();
    }
}

} // namespace connection
