#include "LoginCheck.h"
#include <cstring>
#include "wire/ByteOrder.h"

namespace login {

void BuildConnectInfo(std::string_view address, int port, _tagConnectSocketInfo& out)
{
    std::memset(&out, 0, sizeof out);
    size_t n = address.size() < kMaxAnsiBytes ? address.size() : kMaxAnsiBytes;
    std::memcpy(out.address, address.data(), n);
    out.family = conduix::kFamilyIPv4;
    out.port = port;
    out.timeoutSeconds = 0;
    out.framing = conduix::kFramingV1;
    out.receiveBuffer = kManagerReceiveBuffer;
}

void BuildLoginPacket(std::string_view userId, std::string_view password, uint8_t out[protocol::kLoginSize])
{
    protocol::BuildLogin(userId, password, false, 0, out);
}

namespace {
bool EqualsUpper(std::string_view text, std::string_view upper)
{
    if (text.size() != upper.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i])
            return false;
    }
    return true;
}
} // namespace

ButtonRights RightsOfAcceptedUser(std::string_view userId)
{
    if (EqualsUpper(userId, "ADMIN"))
        return {true, true, true, true, true};
    if (EqualsUpper(userId, "MANAGER"))
        return {true, true, true, true, false};
    return {false, true, false, false, false};
}

void LoginAttempt::LoginClicked()
{
    if (connecting_)
        return;
    connecting_ = true;
    loginSent_ = false;
    fx_.EnableLogin(false);
    fx_.StartTimer(LoginEffects::kGuardTimer, LoginEffects::kGuardMs);
    guardRunning_ = true;
    if (!fx_.Connect())
        connecting_ = false; // the guard reports the failure
    errorShown_ = false;
}

void LoginAttempt::ConnectResult(bool connected)
{
    if (connected) {
        // The DVR wants a moment after the connection before the init packet.
        if (connecting_ && guardRunning_) {
            fx_.StartTimer(LoginEffects::kWaitTimer, LoginEffects::kWaitMs);
            waitRunning_ = true;
        }
        return;
    }
    connecting_ = false;
    loggedIn_ = false;
    if (!guardRunning_)
        return; // this attempt has ended already
    // The attempt has its answer: the guard must not report it again or clear what is retyped.
    StopGuard();
    StopWait();
    if (!errorShown_) {
        errorShown_ = true;
        fx_.ShowMessage(LoginMessage::FailConnect);
    }
    fx_.EnableLogin(true);
    Reset();
}

void LoginAttempt::WaitElapsed()
{
    if (!waitRunning_)
        return;
    StopWait();
    if (connecting_ && !fx_.SendInit())
        Reset();
}

void LoginAttempt::GuardElapsed()
{
    if (!guardRunning_)
        return;
    StopGuard();
    StopWait();
    const bool wasConnecting = connecting_;
    if (wasConnecting)
        Reset(); // no late verdict while the message is up
    if (!errorShown_) {
        errorShown_ = true;
        fx_.ShowMessage(LoginMessage::FailConnect);
    }
    fx_.EnableLogin(true);
    if (!wasConnecting)
        Reset();
}

void LoginAttempt::ConnectionClosed() { Reset(); }

void LoginAttempt::Packet(uint16_t command, const uint8_t* payload, size_t length)
{
    if (!connecting_ || !guardRunning_)
        return;
    if (command == protocol::kCmdLoginRequest) {
        loginSent_ = fx_.SendLogin();
        if (!loginSent_)
            Reset(); // the guard reports the failure
    } else if (command == protocol::kCmdLogin) {
        // Only an answer to our login is a verdict: anything that answers command 1 earlier (a
        // listener that is not the DVR, a reply left over) must not unlock the buttons.
        if (loginSent_ && payload && length >= 4)
            Verdict(wire::LoadLE32(payload));
    }
}

void LoginAttempt::Verdict(uint32_t result)
{
    StopGuard();
    StopWait();
    if (result == 1) {
        loggedIn_ = true;
        ButtonRights r = RightsOfAcceptedUser(userId_);
        fx_.SetAccess(kButtonNvsClient, r.nvsClient);
        fx_.SetAccess(kButtonViewer, r.viewer);
        fx_.SetAccess(kButtonBackup, r.backup);
        fx_.SetAccess(kButtonSearch, r.search);
        fx_.SetAccess(kButtonRemoteSetup, r.remoteSetup);
        fx_.EndDialog(true);
    } else {
        if (result >= 2 && result <= 4 && !errorShown_) {
            errorShown_ = true;
            fx_.ShowMessage(result == 2       ? LoginMessage::CheckPassword
                                : result == 3 ? LoginMessage::CheckIdPassword
                                              : LoginMessage::TooManyUsers);
        }
        fx_.ClearPassword();
        ForbidAll(true);
        fx_.EnableLogin(true);
        Reset();
    }
    if (loggedIn_)
        Reset();
}

void LoginAttempt::Cancel()
{
    StopGuard();
    StopWait();
    Reset();
    fx_.EndDialog(false);
}

void LoginAttempt::Reset()
{
    loginSent_ = false;
    if (connecting_) {
        connecting_ = false;
        StopWait();
        fx_.Disconnect();
        loggedIn_ = false;
        return;
    }
    fx_.ClearPassword();
    ForbidAll(false);
    fx_.EnableLogin(true);
}

void LoginAttempt::StopGuard()
{
    if (guardRunning_) {
        guardRunning_ = false;
        fx_.StopTimer(LoginEffects::kGuardTimer);
    }
}

void LoginAttempt::StopWait()
{
    if (waitRunning_) {
        waitRunning_ = false;
        fx_.StopTimer(LoginEffects::kWaitTimer);
    }
}

void LoginAttempt::ForbidAll(bool nvsClientToo)
{
    if (nvsClientToo)
        fx_.SetAccess(kButtonNvsClient, false);
    for (int b : {kButtonViewer, kButtonBackup, kButtonSearch, kButtonRemoteSetup})
        fx_.SetAccess(b, false);
}

} // namespace login
