#pragma once
// The manager's login check of one site: the connect information and login packet it sends, the
// rights table that turns the DVR's verdict into allowed module buttons, and the attempt's states
// (connecting, the 400 ms wait, the 10-second guard, one message per attempt, the reset step).
// Neutral: the login dialog turns window messages and timers into calls here and supplies the
// effects through LoginEffects.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include "conduix/NsmgTypes.h"
#include "wire/Packets.h"

namespace login {

// The main dialog's module buttons that a check allows or forbids.
enum ModuleButton : int {
    kButtonNvsClient = 1000,
    kButtonViewer = 1001,
    kButtonBackup = 1002,
    kButtonSearch = 1004,
    kButtonRemoteSetup = 1005,
};

// Where a check's verdicts go: the main dialog's SetButtonAccess on its module buttons.
struct ModuleAccess {
    virtual void SetModuleAccess(int buttonId, bool allowed) = 0;

protected:
    ~ModuleAccess() = default;
};

constexpr int kDefaultPort = 50000;
constexpr int32_t kManagerReceiveBuffer = 0x100000;
constexpr size_t kMaxAnsiBytes = 259; // address, user ID and password, before the fields cut them

// A stored port of 0 means the DVR's default.
constexpr int EffectivePort(int port) { return port == 0 ? kDefaultPort : port; }

// `address` is already in the ANSI code page ("#" for characters it lacks).
void BuildConnectInfo(std::string_view address, int port, _tagConnectSocketInfo& out);
// The login packet (command 1): the user ID as stored (no case change), the word at 264 zero.
void BuildLoginPacket(std::string_view userId, std::string_view password, uint8_t out[protocol::kLoginSize]);

// Allowed or not, per button, after an accepted login of `userId` (A-Z compared without case).
struct ButtonRights {
    bool nvsClient, viewer, backup, search, remoteSetup;
};
ButtonRights RightsOfAcceptedUser(std::string_view userId);

// The messages a check shows (the dialog maps them to the skin's texts).
enum class LoginMessage { FailConnect, CheckPassword, CheckIdPassword, TooManyUsers };

// What the attempt asks of its window. ShowMessage is modal: other events may arrive while it runs.
class LoginEffects {
public:
    enum Timer { kGuardTimer = 2000, kWaitTimer = 2001 };
    static constexpr unsigned kGuardMs = 10000;
    static constexpr unsigned kWaitMs = 400;

    virtual bool Connect() = 0; // false: refused at once
    virtual void Disconnect() = 0;
    virtual bool SendInit() = 0;
    virtual bool SendLogin() = 0; // reads the password field; false: not sent
    virtual void StartTimer(Timer t, unsigned ms) = 0;
    virtual void StopTimer(Timer t) = 0;
    virtual void ShowMessage(LoginMessage m) = 0;
    virtual void EnableLogin(bool enable) = 0;
    virtual void ClearPassword() = 0;
    virtual void SetAccess(int buttonId, bool allowed) = 0;
    virtual void EndDialog(bool passed) = 0;

protected:
    ~LoginEffects() = default;
};

// One dialog's attempts. Every call comes from the dialog's thread.
class LoginAttempt {
public:
    LoginAttempt(LoginEffects& fx, std::string userId) : fx_(fx), userId_(std::move(userId)) {}

    void LoginClicked();
    void ConnectResult(bool connected);
    void WaitElapsed();
    void GuardElapsed();
    void ConnectionClosed();
    // A command packet; `payload` may be null. `length` is what the header states.
    void Packet(uint16_t command, const uint8_t* payload, size_t length);
    void Cancel();

    bool Connecting() const { return connecting_; }
    bool LoggedIn() const { return loggedIn_; }
    bool ErrorShown() const { return errorShown_; }

private:
    void Verdict(uint32_t result);
    void Reset();
    void Refuse(LoginMessage m);
    void StopGuard();
    void StopWait();
    void ForbidAll(bool nvsClientToo);

    LoginEffects& fx_;
    std::string userId_;
    bool connecting_ = false;
    bool loggedIn_ = false;
    bool loginSent_ = false; // the login packet of this attempt went out
    bool errorShown_ = false;
    bool guardRunning_ = false;
    bool waitRunning_ = false;
};

} // namespace login
