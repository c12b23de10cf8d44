// The login check's bytes on the wire, its rights table and its attempt states, against a
// recording stand-in for the dialog.
#include "LoginCheck.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace login;

namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

bool ZeroBetween(const uint8_t* p, size_t from, size_t to)
{
    return std::all_of(p + from, p + to, [](uint8_t b) { return b == 0; });
}

TEST(LoginBytes, ConnectInfoCarriesTheManagersFieldsAndCutsTheAddress)
{
    _tagConnectSocketInfo info;
    std::memset(&info, 0xAB, sizeof info);
    BuildConnectInfo("dvr#1.example", EffectivePort(0), info);
    auto* b = reinterpret_cast<const uint8_t*>(&info);
    EXPECT_STREQ("dvr#1.example", info.address);
    EXPECT_TRUE(ZeroBetween(b, 13, 260));
    EXPECT_EQ(2u, Le32(b + 260));
    EXPECT_EQ(50000u, Le32(b + 264));
    EXPECT_EQ(0u, Le32(b + 268));
    EXPECT_EQ(1, b[272]);
    EXPECT_TRUE(ZeroBetween(b, 273, 276));
    EXPECT_EQ(0x100000u, Le32(b + 276));
    EXPECT_TRUE(ZeroBetween(b, 280, 288));

    BuildConnectInfo(std::string(400, 'a'), 8000, info);
    EXPECT_EQ(259u, strnlen(info.address, sizeof info.address)) << "the address keeps its terminating zero";
    EXPECT_EQ(8000, info.port);
}

TEST(LoginBytes, LoginPacketKeepsTheIdsCaseAndLeavesTheOptionWordZero)
{
    uint8_t p[protocol::kLoginSize];
    std::memset(p, 0xAB, sizeof p);
    BuildLoginPacket("Admin", "1111", p);
    EXPECT_EQ(0, std::memcmp(p, "Admin", 6));
    EXPECT_TRUE(ZeroBetween(p, 6, 128));
    EXPECT_EQ(0, std::memcmp(p + 128, "1111", 5));
    EXPECT_TRUE(ZeroBetween(p, 133, 260));
    EXPECT_EQ(1u, Le32(p + 260));
    EXPECT_TRUE(ZeroBetween(p, 264, 272));
}

TEST(LoginRights, TableByUser)
{
    struct {
        const char* id;
        bool nvs, viewer, backup, search, remote;
    } rows[] = {{"admin", 1, 1, 1, 1, 1},         {"Admin", 1, 1, 1, 1, 1},   {"ADMIN", 1, 1, 1, 1, 1},
                {"manager", 1, 1, 1, 1, 0},       {"MaNaGeR", 1, 1, 1, 1, 0}, {"user", 0, 1, 0, 0, 0},
                {"administrator", 0, 1, 0, 0, 0}, {"", 0, 1, 0, 0, 0}};
    for (auto& r : rows) {
        ButtonRights got = RightsOfAcceptedUser(r.id);
        EXPECT_EQ(r.nvs, got.nvsClient) << r.id;
        EXPECT_EQ(r.viewer, got.viewer) << r.id;
        EXPECT_EQ(r.backup, got.backup) << r.id;
        EXPECT_EQ(r.search, got.search) << r.id;
        EXPECT_EQ(r.remote, got.remoteSetup) << r.id;
    }
}

// The dialog's side, recorded. Timers and buttons keep their last state.
class FakeDialog final : public LoginEffects {
public:
    bool connectWorks = true, sendWorks = true;
    int connects = 0, disconnects = 0, inits = 0, logins = 0, ends = 0;
    bool passed = false, loginEnabled = true, passwordCleared = false;
    std::vector<LoginMessage> messages;
    std::map<int, bool> access; // absent: never changed
    std::map<int, bool> timers; // running or not
    std::function<void()> whileMessageShows;

    bool Connect() override { return ++connects, connectWorks; }
    void Disconnect() override { ++disconnects; }
    bool SendInit() override { return ++inits, sendWorks; }
    bool SendLogin() override { return ++logins, sendWorks; }
    void StartTimer(Timer t, unsigned) override { timers[t] = true; }
    void StopTimer(Timer t) override { timers[t] = false; }
    void ShowMessage(LoginMessage m) override
    {
        messages.push_back(m);
        if (whileMessageShows)
            std::exchange(whileMessageShows, nullptr)();
    }
    void EnableLogin(bool enable) override { loginEnabled = enable; }
    void ClearPassword() override { passwordCleared = true; }
    void SetAccess(int id, bool allowed) override { access[id] = allowed; }
    void EndDialog(bool ok) override { ++ends, passed = ok; }
};

class LoginAttemptTest : public ::testing::Test {
protected:
    void Start(const char* user = "user")
    {
        attempt_ = std::make_unique<LoginAttempt>(fx_, user);
        attempt_->LoginClicked();
    }
    // From the click to the login packet sent.
    void UpToLoginSent(const char* user = "user")
    {
        Start(user);
        attempt_->ConnectResult(true);
        ASSERT_EQ(0, fx_.inits) << "the init packet waits for the 400 ms timer";
        attempt_->WaitElapsed();
        ASSERT_EQ(1, fx_.inits);
        attempt_->Packet(protocol::kCmdLoginRequest, nullptr, 0);
        ASSERT_EQ(1, fx_.logins);
    }
    void Reply(uint32_t result)
    {
        uint8_t reply[protocol::kLoginReplyMinSize];
        protocol::BuildLoginReply(result, 16, 0, 0, 1, reply);
        attempt_->Packet(protocol::kCmdLogin, reply, sizeof reply);
    }
    void ExpectAccess(std::map<int, bool> want) { EXPECT_EQ(want, fx_.access); }
    // The attempt is over: idle, login enabled, no timer left.
    void ExpectIdle()
    {
        EXPECT_FALSE(attempt_->Connecting());
        EXPECT_TRUE(fx_.loginEnabled);
        EXPECT_FALSE(fx_.timers[LoginEffects::kGuardTimer]);
        EXPECT_FALSE(fx_.timers[LoginEffects::kWaitTimer]);
    }

    FakeDialog fx_;
    std::unique_ptr<LoginAttempt> attempt_;
};

const std::map<int, bool> kAllForbidden = {{kButtonNvsClient, false},
                                           {kButtonViewer, false},
                                           {kButtonBackup, false},
                                           {kButtonSearch, false},
                                           {kButtonRemoteSetup, false}};
const std::map<int, bool> kResetForbidden = {
    {kButtonViewer, false}, {kButtonBackup, false}, {kButtonSearch, false}, {kButtonRemoteSetup, false}};

TEST_F(LoginAttemptTest, AcceptedAdministratorAllowsEveryModuleAndEndsPassed)
{
    UpToLoginSent("Admin");
    Reply(1);
    ExpectAccess({{kButtonNvsClient, true},
                  {kButtonViewer, true},
                  {kButtonBackup, true},
                  {kButtonSearch, true},
                  {kButtonRemoteSetup, true}});
    EXPECT_EQ(1, fx_.ends);
    EXPECT_TRUE(fx_.passed);
    EXPECT_EQ(1, fx_.disconnects);
    EXPECT_TRUE(fx_.messages.empty());
    EXPECT_FALSE(fx_.timers[LoginEffects::kGuardTimer]);
}

TEST_F(LoginAttemptTest, RefusalsShowTheirMessageForbidEverythingAndReturnToIdle)
{
    const std::pair<uint32_t, std::vector<LoginMessage>> cases[] = {{2, {LoginMessage::CheckPassword}},
                                                                    {3, {LoginMessage::CheckIdPassword}},
                                                                    {4, {LoginMessage::TooManyUsers}},
                                                                    {7, {}},
                                                                    {0, {}}};
    for (auto& [result, messages] : cases) {
        fx_ = FakeDialog{};
        UpToLoginSent("admin");
        Reply(result);
        EXPECT_EQ(messages, fx_.messages) << result;
        ExpectAccess(kAllForbidden);
        EXPECT_TRUE(fx_.passwordCleared);
        EXPECT_EQ(1, fx_.disconnects);
        EXPECT_EQ(0, fx_.ends);
        ExpectIdle();
        // A late guard tick of the refused attempt says nothing more.
        attempt_->GuardElapsed();
        EXPECT_EQ(messages, fx_.messages) << result;
    }
}

TEST_F(LoginAttemptTest, GuardFiringWhileTheRefusalIsShownAddsNoMessage)
{
    UpToLoginSent();
    fx_.whileMessageShows = [&] {
        attempt_->GuardElapsed();
        attempt_->ConnectionClosed();
    };
    Reply(2);
    EXPECT_EQ(std::vector<LoginMessage>{LoginMessage::CheckPassword}, fx_.messages);
    ExpectAccess(kAllForbidden);
    ExpectIdle();
}

TEST_F(LoginAttemptTest, SilentDvrGivesOneFailConnectAtTheGuardAndDropsTheConnection)
{
    Start();
    attempt_->ConnectResult(true);
    attempt_->WaitElapsed();
    fx_.whileMessageShows = [&] { Reply(1); }; // a late verdict while the message is up counts for nothing
    attempt_->GuardElapsed();
    EXPECT_EQ(std::vector<LoginMessage>{LoginMessage::FailConnect}, fx_.messages);
    EXPECT_EQ(1, fx_.disconnects);
    EXPECT_EQ(0, fx_.ends);
    EXPECT_TRUE(fx_.access.empty()) << "a timeout while connecting leaves the buttons";
    ExpectIdle();
}

TEST_F(LoginAttemptTest, LostConnectionOrUnsentLoginWaitsForTheGuardThenResets)
{
    for (bool lost : {true, false}) {
        fx_ = FakeDialog{};
        Start();
        attempt_->ConnectResult(true);
        attempt_->WaitElapsed();
        if (lost) {
            attempt_->ConnectionClosed();
        } else {
            fx_.sendWorks = false;
            attempt_->Packet(protocol::kCmdLoginRequest, nullptr, 0);
        }
        EXPECT_EQ(1, fx_.disconnects);
        EXPECT_FALSE(fx_.loginEnabled) << "the guard reports it";
        EXPECT_TRUE(fx_.messages.empty());
        attempt_->GuardElapsed();
        EXPECT_EQ(std::vector<LoginMessage>{LoginMessage::FailConnect}, fx_.messages);
        ExpectAccess(kResetForbidden);
        EXPECT_TRUE(fx_.passwordCleared);
        ExpectIdle();
    }
}

TEST_F(LoginAttemptTest, FailedConnectShowsOneMessageAtOnce)
{
    Start();
    attempt_->ConnectionClosed(); // the transport reports a failed attempt as a loss, then 1445 with 0
    attempt_->ConnectResult(false);
    EXPECT_EQ(std::vector<LoginMessage>{LoginMessage::FailConnect}, fx_.messages);
    ExpectIdle();
    attempt_->GuardElapsed();
    attempt_->ConnectResult(false);
    EXPECT_EQ(1u, fx_.messages.size());
}

TEST_F(LoginAttemptTest, ConnectRefusedAtOnceIsReportedByTheGuard)
{
    fx_.connectWorks = false;
    Start();
    EXPECT_FALSE(attempt_->Connecting());
    EXPECT_FALSE(fx_.loginEnabled);
    attempt_->GuardElapsed();
    EXPECT_EQ(std::vector<LoginMessage>{LoginMessage::FailConnect}, fx_.messages);
    ExpectIdle();
}

TEST_F(LoginAttemptTest, SecondClickWhileConnectingStartsNothing)
{
    Start();
    attempt_->LoginClicked();
    EXPECT_EQ(1, fx_.connects);
}

TEST_F(LoginAttemptTest, ReplyBeforeTheLoginWentOutOrWithoutResultChangesNothing)
{
    Start("Admin"); // any listener answering command 1 during the wait, or before it asks for the login
    attempt_->ConnectResult(true);
    Reply(1);
    attempt_->WaitElapsed();
    Reply(1);
    EXPECT_TRUE(attempt_->Connecting());
    EXPECT_TRUE(fx_.access.empty());
    EXPECT_EQ(0, fx_.ends);
    attempt_->Packet(protocol::kCmdLoginRequest, nullptr, 0);
    Reply(1);
    EXPECT_TRUE(fx_.passed) << "the answer to the login that went out";

    // A login that went out in an earlier attempt does not count for the next one.
    fx_ = FakeDialog{};
    UpToLoginSent("Admin");
    attempt_->ConnectionClosed();
    attempt_->LoginClicked();
    attempt_->ConnectResult(true);
    Reply(1);
    EXPECT_FALSE(fx_.passed);
    EXPECT_EQ(2, fx_.connects);

    fx_ = FakeDialog{};
    UpToLoginSent();
    attempt_->Packet(protocol::kCmdLogin, nullptr, 0);
    const uint8_t three[3] = {1, 0, 0};
    attempt_->Packet(protocol::kCmdLogin, three, 3);
    EXPECT_TRUE(attempt_->Connecting());
    EXPECT_TRUE(fx_.access.empty());
    EXPECT_TRUE(fx_.timers[LoginEffects::kGuardTimer]);
}

TEST_F(LoginAttemptTest, CancelIdleForbidsAllButNvsClientAndCancelConnectingOnlyDisconnects)
{
    attempt_ = std::make_unique<LoginAttempt>(fx_, "admin");
    attempt_->Cancel();
    ExpectAccess(kResetForbidden);
    EXPECT_TRUE(fx_.passwordCleared);
    EXPECT_EQ(1, fx_.ends);
    EXPECT_FALSE(fx_.passed);

    fx_ = FakeDialog{};
    Start();
    attempt_->ConnectResult(true);
    attempt_->Cancel();
    EXPECT_EQ(1, fx_.disconnects);
    EXPECT_TRUE(fx_.access.empty());
    EXPECT_FALSE(fx_.timers[LoginEffects::kGuardTimer]);
    EXPECT_FALSE(fx_.timers[LoginEffects::kWaitTimer]);
    attempt_->WaitElapsed();
    EXPECT_EQ(0, fx_.inits);
}

} // namespace
