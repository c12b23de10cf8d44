// The view's PTZ control against Panlink's real frame builders, with the info file, the controls
// and the transport as recording fakes.
#include "PtzControl.h"
#include "Protocols.h"
#include <gtest/gtest.h>
#include <cstring>
#include <map>
#include <vector>

namespace {

using Events = std::vector<std::string>;

// Panlink's object table over the real builders, as Panlink.dll keeps it.
class FakePanlink : public ptz::IPanlink {
public:
    explicit FakePanlink(Events& e) : events(e) {}
    int ProtocolCount() override { return panlink::ProtocolCount(); }
    int Create(int camera, int protocol, int address) override
    {
        events.push_back("create " + std::to_string(camera) + " " + std::to_string(protocol) + " " +
                         std::to_string(address));
        cams[camera] = {protocol, address + 1, panlink::ProtocolAt(protocol)->defaultBaud};
        return 1;
    }
    void Destroy(int camera) override
    {
        events.push_back("destroy " + std::to_string(camera));
        cams.erase(camera);
    }
    void SetBaudRate(int camera, int value) override
    {
        events.push_back("baud " + std::to_string(camera) + " " + std::to_string(value));
        if (cams.count(camera))
            cams[camera].baud = value;
    }
    uint32_t FunctionMask(int camera) override
    {
        return cams.count(camera) ? panlink::ProtocolAt(cams[camera].protocol)->mask : 0;
    }
    void GetCommand(int camera, int command, _tagPTZCommand& r) override
    {
        if (!cams.count(camera))
            return;
        const Cam& c = cams[camera];
        auto bytes = panlink::Build(c.protocol, c.receiver, command);
        if (bytes.empty())
            return;
        r.value = panlink::BaudRate(c.baud);
        r.count = static_cast<uint8_t>(bytes.size());
        std::memcpy(r.bytes, bytes.data(), bytes.size());
    }
    struct Cam {
        int protocol, receiver, baud;
    };
    std::map<int, Cam> cams;
    Events& events;
};

class FakeStore : public ptz::IPtzStore {
public:
    bool Exists() override { return exists; }
    void CreateEmpty() override { exists = true, created = true; }
    bool Read(const std::string& section, ptz::PtzRecord& r) override
    {
        auto it = file.find(section);
        if (it == file.end())
            return false;
        r = it->second;
        return true;
    }
    void Write(const std::string& section, const ptz::PtzRecord& r) override
    {
        file[section] = r;
        writes.push_back(section);
    }
    bool exists = false, created = false;
    std::map<std::string, ptz::PtzRecord> file;
    std::vector<std::string> writes;
};

class FakePanel : public ptz::IPtzPanel {
public:
    explicit FakePanel(Events& e) : events(e) {}
    void SelectProtocolEntry(int entry) override { protocolEntry = entry; }
    void SelectBaudEntry(int entry) override { baudEntry = entry; }
    void ShowSettingsCamera(int number) override { settingsCamera = number; }
    void EnableProtocolLists(bool enable) override { listsEnabled = enable; }
    bool DvrMode() override { return dvrMode; }
    int SelectedProtocolEntry() override { return protocolEntry; }
    void Pause(unsigned ms) override { events.push_back("pause " + std::to_string(ms)); }
    int protocolEntry = 0, baudEntry = 0, settingsCamera = 1;
    bool listsEnabled = false, dvrMode = true;
    Events& events;
};

uint32_t Word(const std::vector<uint8_t>& p, size_t at)
{
    return uint32_t(p[at]) | uint32_t(p[at + 1]) << 8 | uint32_t(p[at + 2]) << 16 | uint32_t(p[at + 3]) << 24;
}

// Sent packets, decoded into events: "19 camera action" or "4 protocol receiver command value".
class FakeSender : public ptz::IPtzSender {
public:
    explicit FakeSender(Events& e) : events(e) {}
    void Send(uint16_t command, const uint8_t* payload, size_t length) override
    {
        std::vector<uint8_t> p(payload, payload + length);
        if (command == 19) {
            EXPECT_EQ(length, 16u);
            EXPECT_EQ(Word(p, 8), 1u);
            EXPECT_EQ(Word(p, 12), 5u);
            events.push_back("19 camera " + std::to_string(Word(p, 0)) + " action " + std::to_string(Word(p, 4)));
            return;
        }
        ASSERT_EQ(command, 4);
        ASSERT_EQ(length, 268u);
        EXPECT_EQ(Word(p, 0), 2u);
        const uint32_t n = Word(p, 4);
        ASSERT_LE(n, 256u);
        if (n == 0) {
            events.push_back("4 empty");
            return;
        }
        for (const auto& f : panlink::Parse(p.data() + 12, n)) {
            EXPECT_TRUE(f.checksumOk);
            events.push_back("4 " + std::string(f.protocol >= 0 ? panlink::ProtocolAt(f.protocol)->key : "?") +
                             " receiver " + std::to_string(f.receiver) + " " + panlink::CommandName(f.command) + " " +
                             std::to_string(Word(p, 8)));
        }
    }
    Events& events;
};

struct Rig {
    Events panlinkEvents, sent;
    FakePanlink panlink{panlinkEvents};
    FakeStore store;
    FakePanel panel{sent}; // pauses go with the packets, in order
    FakeSender sender{sent};
    ptz::PtzControl ptz{panlink, store, panel, sender};

    // Protocol list entry `entry` for camera 0-15 through the settings controls.
    void Choose(int camera, int entry)
    {
        ptz.StepSettingsCamera(camera + 1 - ptz.SettingsCamera());
        ptz.OnProtocolSelected(entry);
    }
};

TEST(PtzPending, WaitsForAFrameAndKeepsOnlyTheNewest)
{
    Rig r;
    r.ptz.SetCurrentCamera(5);
    EXPECT_FALSE(r.ptz.OnPressed(3)) << "a channel button is not a PTZ press";

    // No video, nothing sent; a press and release before the frame send only the release.
    r.ptz.OnPressed(ptz::kBtnUp);
    r.ptz.OnReleased(ptz::kBtnUp);
    EXPECT_TRUE(r.sent.empty());
    r.ptz.SendPending();
    r.ptz.SendPending();
    EXPECT_EQ(r.sent, Events({"19 camera 5 action 22"}));

    // UP held for a second: renewed every 100 ms, sent after each frame, then the release.
    r.sent.clear();
    r.ptz.OnPressed(ptz::kBtnUp);
    for (int tick = 0; tick < 10; ++tick) {
        r.ptz.OnRepeat(ptz::kBtnUp);
        r.ptz.SendPending();
        r.ptz.SendPending(); // a second frame within the tick: nothing pending
    }
    r.ptz.OnReleased(ptz::kBtnUp);
    r.ptz.SendPending();
    Events expected(10, "19 camera 5 action 0");
    expected.push_back("19 camera 5 action 22");
    EXPECT_EQ(r.sent, expected);

    r.sent.clear();
    r.ptz.OnPressed(ptz::kBtnFocusDown);
    r.ptz.SendPending();
    EXPECT_EQ(r.sent, Events({"19 camera 5 action 11"}));
}

TEST(PtzProtocolMode, DiagonalsReachTheWatchedCamera)
{
    Rig r;
    r.ptz.LoadAtStartup();
    r.panel.dvrMode = false;
    r.Choose(2, 1); // Pelco-D: has diagonals
    r.Choose(5, 6); // Canon VC-C: no diagonals
    r.Choose(7, 8); // AD RS-422: entry 8, no diagonals
    r.Choose(0, 0); // settings camera 1 shows "-----------"

    // A diagonal the protocol has: one packet, at the camera's line speed (9600 chosen with it).
    r.ptz.SetCurrentCamera(2);
    r.ptz.OnPressed(ptz::kBtnLeftUp);
    r.ptz.SendPending();
    EXPECT_EQ(r.sent, Events({"4 pelco-d receiver 3 up-left 9600"}));

    // Two steps 100 ms apart, addressed to camera 5 that is watched, not the settings camera 1.
    r.sent.clear();
    r.ptz.SetCurrentCamera(5);
    r.ptz.OnPressed(ptz::kBtnRightDown);
    r.ptz.SendPending();
    EXPECT_EQ(r.sent, Events({"4 canon-vcc receiver 6 right 9600", "pause 100", "4 canon-vcc receiver 6 down 9600"}));

    // With entry 8 in the list: pan step, pan stop, tilt step, tilt stop, without waits.
    r.sent.clear();
    r.Choose(7, 8);
    r.ptz.SetCurrentCamera(7);
    r.ptz.OnPressed(ptz::kBtnLeftDown);
    r.ptz.SendPending();
    EXPECT_EQ(r.sent,
              Events({"4 ad-rs422 receiver 8 left 9600", "4 ad-rs422 receiver 8 pan-stop 9600",
                      "4 ad-rs422 receiver 8 down 9600", "4 ad-rs422 receiver 8 tilt-stop 9600"}));

    // The release stops; a command the protocol lacks and cannot compose sends nothing.
    r.sent.clear();
    r.ptz.OnReleased(ptz::kBtnLeftDown);
    r.ptz.SendPending();
    r.ptz.OnPressed(ptz::kBtnZoomUp);
    r.ptz.SendPending();
    EXPECT_EQ(r.sent, Events({"4 ad-rs422 receiver 8 pan-stop 9600", "4 ad-rs422 receiver 8 tilt-stop 9600"}));

    // The settings camera showing another protocol leaves the watched camera's way of moving.
    r.Choose(0, 0);
    r.sent.clear();
    r.ptz.OnPressed(ptz::kBtnLeftUp);
    r.ptz.SendPending();
    EXPECT_EQ(r.sent,
              Events({"4 ad-rs422 receiver 8 left 9600", "4 ad-rs422 receiver 8 pan-stop 9600",
                      "4 ad-rs422 receiver 8 up 9600", "4 ad-rs422 receiver 8 tilt-stop 9600"}));
}

TEST(PtzSettings, RecordsFileAndProtocolObjects)
{
    Rig r;
    r.ptz.LoadAtStartup(); // no file yet: created, sixteen empty records, no objects
    EXPECT_TRUE(r.store.created);
    ASSERT_EQ(r.store.writes.size(), 16u);
    EXPECT_EQ(r.store.writes.front(), "Camera01");
    EXPECT_EQ(r.store.writes.back(), "Camera16");
    EXPECT_TRUE(r.panlinkEvents.empty());

    // A first protocol for camera 3 (the fourth): 9600 bps chosen with it, stored under section 04.
    r.store.writes.clear();
    r.Choose(3, 1);
    EXPECT_EQ(r.panel.settingsCamera, 4);
    EXPECT_EQ(r.panel.baudEntry, 4);
    EXPECT_EQ(r.store.writes, std::vector<std::string>({"Camera04"}));
    EXPECT_EQ(r.store.file["Camera04"].protocolEntry, 1);
    EXPECT_EQ(r.store.file["Camera04"].baudEntry, 4);
    EXPECT_EQ(r.panlinkEvents, Events({"destroy 3", "create 3 0 3", "baud 3 3"}));

    r.panlinkEvents.clear();
    r.ptz.OnBaudSelected(6);
    EXPECT_EQ(r.store.file["Camera04"].baudEntry, 6);
    // "-----------" destroys the camera's object and creates none; the baud rate stays.
    r.ptz.OnProtocolSelected(0);
    EXPECT_EQ(r.panlinkEvents, Events({"baud 3 5", "destroy 3"}));
    EXPECT_EQ(r.store.file["Camera04"].protocolEntry, 0);
    EXPECT_EQ(r.store.file["Camera04"].baudEntry, 6);

    r.panel.dvrMode = false;
    r.ptz.OnDvrModeClicked();
    EXPECT_TRUE(r.panel.listsEnabled);
    r.ptz.StepSettingsCamera(-10); // stays within 1-16
    EXPECT_EQ(r.ptz.SettingsCamera(), 4);
}

TEST(PtzSettings, StartupReadsTheFileDistrustingIt)
{
    Rig r;
    r.store.exists = true;
    r.store.file["Camera01"] = {2, 5, {0, 0}};
    r.store.file["Camera02"] = {200, 1, {0, 0}}; // no such protocol
    r.store.file["Camera03"] = {1, 9, {0, 0}}; // no such rate
    r.ptz.LoadAtStartup();
    EXPECT_FALSE(r.store.created);
    EXPECT_TRUE(r.store.writes.empty());
    EXPECT_EQ(r.panel.protocolEntry, 2);
    EXPECT_EQ(r.panel.baudEntry, 5);
    EXPECT_EQ(r.panlinkEvents, Events({"create 0 1 0", "baud 0 4"}));
    EXPECT_EQ(r.ptz.Record(2).protocolEntry, 0);

    // The section name comes from the language library; a text that is not a plain "%02d" is not
    // used as a format.
    EXPECT_EQ(ptz::PtzSection("Kamera%02d", 3), "Kamera04");
    EXPECT_EQ(ptz::PtzSection("%s%02d", 3), "Camera04");
    EXPECT_EQ(ptz::PtzSection("Camera", 15), "Camera16");
}

} // namespace
