#pragma once
// The view's PTZ control without its windows: the per-camera records and their place in the
// connection-info file, the settings lists (items 205, 206, 212, 214), the pending press of the
// PTZ buttons and what it sends, as command 19 or as camera bytes in command 4. The Win32 view
// supplies Panlink, the info file, its controls and the transport through the interfaces below;
// tests supply fakes. No windows.h.
#include "panlink/PtzTypes.h"
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ptz {

constexpr int kCameras = PTZ_MAX_CAMERAS;
constexpr int kBaudEntries = 8; // entries 1-8 of item 206
constexpr int kDefaultBaudEntry = 4; // 9600 bps, chosen with a camera's first protocol
constexpr int kCompositeProtocolEntry = 8; // item 205 entry whose diagonals run as four axis steps
constexpr unsigned kTwoStepPauseMs = 100;
constexpr int kRelease = -1; // the pending value of a released button
constexpr size_t kProtocolPayloadSize = 268; // command 4
constexpr size_t kActionPayloadSize = 16; // command 19
constexpr uint16_t kCmdProtocolBytes = 4, kCmdAction = 19;

// The view commands of the PTZ buttons, and the two that step the settings camera.
// clang-format off
enum : int {
    kBtnUp = 26, kBtnRightUp = 27, kBtnRight = 28, kBtnRightDown = 29, kBtnDown = 30, kBtnLeftDown = 31,
    kBtnLeft = 32, kBtnLeftUp = 33, kCmdSettingsCameraDown = 34, kCmdSettingsCameraUp = 35,
    kBtnZoomUp = 36, kBtnZoomDown = 37, kBtnFocusUp = 38, kBtnFocusDown = 39,
};
// clang-format on

bool IsPtzButton(int command);
// The DVR's action code (command 19) and Panlink's command for a pending value; a release and
// anything else stop (22 and PTZ_CMD_STOP).
int DvrActionCode(int pending);
int PanlinkCommand(int pending);

uint32_t BaudRateOfEntry(int entry); // 0 for entry 0 and entries out of range

// One camera's record in the info file (profile structure, 4 bytes).
#pragma pack(push, 1)
struct PtzRecord {
    uint8_t protocolEntry = 0; // item 205 entry: 0 none, n = Panlink protocol n - 1
    uint8_t baudEntry = 0; // item 206 entry: 0 none, n = rate n of the table (Panlink value n - 1)
    uint8_t zero[2] = {0, 0};
};
#pragma pack(pop)
static_assert(sizeof(PtzRecord) == 4, "the info file holds 4-byte records");

// The section of camera 0-15: `format` (the language library's text) with the camera number + 1 in
// two digits. A format that is not exactly one "%02d" amid plain text is replaced by "Camera%02d".
std::string PtzSection(std::string_view format, int camera);
constexpr const char* kDefaultSectionFormat = "Camera%02d";
constexpr const char* kPtzKey = "PTZ";

// Payload of command 4 from a Panlink record: 2, the byte count, the record's value, the bytes.
void BuildProtocolPayload(const _tagPTZCommand& record, uint8_t out[kProtocolPayloadSize]);

// Panlink's exports.
class IPanlink {
public:
    virtual ~IPanlink() = default;
    virtual int ProtocolCount() = 0;
    virtual int Create(int camera, int protocol, int address) = 0;
    virtual void Destroy(int camera) = 0;
    virtual void SetBaudRate(int camera, int baudValue) = 0;
    virtual uint32_t FunctionMask(int camera) = 0;
    virtual void GetCommand(int camera, int command, _tagPTZCommand& record) = 0;
};

// The connection-info file.
class IPtzStore {
public:
    virtual ~IPtzStore() = default;
    virtual bool Exists() = 0;
    virtual void CreateEmpty() = 0;
    // False when the record is missing or unreadable.
    virtual bool Read(const std::string& section, PtzRecord& record) = 0;
    virtual void Write(const std::string& section, const PtzRecord& record) = 0;
};

// Items 205, 206, 212 and 214 of the view, and the wait of the two-step diagonal.
class IPtzPanel {
public:
    virtual ~IPtzPanel() = default;
    virtual void SelectProtocolEntry(int entry) = 0;
    virtual void SelectBaudEntry(int entry) = 0;
    virtual void ShowSettingsCamera(int number) = 0; // 1-16
    virtual void EnableProtocolLists(bool enable) = 0;
    virtual bool DvrMode() = 0; // item 214 checked
    virtual int SelectedProtocolEntry() = 0; // item 205
    virtual void Pause(unsigned ms) = 0;
};

class IPtzSender {
public:
    virtual ~IPtzSender() = default;
    // Results are not acted on.
    virtual void Send(uint16_t command, const uint8_t* payload, size_t length) = 0;
};

class PtzControl {
public:
    PtzControl(IPanlink& panlink, IPtzStore& store, IPtzPanel& panel, IPtzSender& sender,
               std::string sectionFormat = kDefaultSectionFormat);

    // The section format of the language library, known once it is loaded.
    void SetSectionFormat(std::string format) { sectionFormat_ = std::move(format); }

    // Start-up: the records from the info file (or a new file of empty records), camera 0's record
    // in the lists, a protocol object for every camera that has a protocol.
    void LoadAtStartup();

    // View operations; camera -1 means all sixteen.
    void SavePtzRecord(int camera);
    void LoadPtzRecords(int camera);
    void CreatePtz(int camera);
    void DestroyPtz(int camera);
    void ShowPtzRecord(int camera);

    // The settings controls.
    void OnProtocolSelected(int entry);
    void OnBaudSelected(int entry);
    void OnDvrModeClicked();
    void StepSettingsCamera(int delta); // commands 34 (-1) and 35 (+1)
    int SettingsCamera() const { return settingsCamera_; }

    // The camera being watched (channel buttons 3-18).
    void SetCurrentCamera(int camera);
    int CurrentCamera() const { return current_; }

    // The PTZ buttons: pressed, each repeat tick, released. False for other commands.
    bool OnPressed(int command);
    bool OnRepeat(int command);
    bool OnReleased(int command);
    int Pending() const { return pending_; }
    // After a qualifying stream block: send the pending press, if any, and forget it.
    void SendPending();

    // View destruction and Exit.
    void Shutdown() { DestroyPtz(-1); }

    const PtzRecord& Record(int camera) const { return records_[static_cast<size_t>(camera)]; }

private:
    void ForCameras(int camera, void (PtzControl::*one)(int));
    void SaveOne(int camera);
    void LoadOne(int camera);
    void CreateOne(int camera);
    void DestroyOne(int camera);
    void RunPanlinkAction(int command, int camera);
    void GetAndSend(int camera, int command);
    bool ValidProtocolEntry(int entry);

    IPanlink& panlink_;
    IPtzStore& store_;
    IPtzPanel& panel_;
    IPtzSender& sender_;
    std::string sectionFormat_;
    std::array<PtzRecord, kCameras> records_{};
    int settingsCamera_ = 1;
    int current_ = 0;
    int pending_ = 0;
};

} // namespace ptz
