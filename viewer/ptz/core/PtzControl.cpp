#include "PtzControl.h"
#include <cstdio>
#include <cstring>

namespace ptz {
namespace {

struct ButtonCodes {
    int button, dvrAction, panlinkCommand;
};
const ButtonCodes kButtons[] = {
    {kBtnUp, 0, PTZ_CMD_UP},
    {kBtnRightUp, 1, PTZ_CMD_RIGHT_UP},
    {kBtnRight, 2, PTZ_CMD_RIGHT},
    {kBtnRightDown, 3, PTZ_CMD_RIGHT_DOWN},
    {kBtnDown, 4, PTZ_CMD_DOWN},
    {kBtnLeftDown, 5, PTZ_CMD_LEFT_DOWN},
    {kBtnLeft, 6, PTZ_CMD_LEFT},
    {kBtnLeftUp, 7, PTZ_CMD_LEFT_UP},
    {kBtnZoomUp, 12, PTZ_CMD_ZOOM_IN},
    {kBtnZoomDown, 13, PTZ_CMD_ZOOM_OUT},
    {kBtnFocusUp, 10, PTZ_CMD_FOCUS_NEAR},
    {kBtnFocusDown, 11, PTZ_CMD_FOCUS_FAR},
};
constexpr int kStopAction = 22;

const ButtonCodes* Find(int command)
{
    for (const auto& b : kButtons)
        if (b.button == command)
            return &b;
    return nullptr;
}

void Store32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool ValidCamera(int camera) { return camera >= 0 && camera < kCameras; }

} // namespace

bool IsPtzButton(int command) { return Find(command) != nullptr; }

int DvrActionCode(int pending)
{
    const ButtonCodes* b = Find(pending);
    return b ? b->dvrAction : kStopAction;
}

int PanlinkCommand(int pending)
{
    const ButtonCodes* b = Find(pending);
    return b ? b->panlinkCommand : PTZ_CMD_STOP;
}

uint32_t BaudRateOfEntry(int entry)
{
    static const uint32_t rates[kBaudEntries] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return entry >= 1 && entry <= kBaudEntries ? rates[entry - 1] : 0;
}

std::string PtzSection(std::string_view format, int camera)
{
    const size_t at = format.find("%02d");
    const bool usable = at != std::string_view::npos && format.find('%', at + 4) == std::string_view::npos &&
        format.substr(0, at).find('%') == std::string_view::npos;
    if (!usable)
        format = kDefaultSectionFormat;
    const size_t spot = format.find("%02d");
    char number[12];
    std::snprintf(number, sizeof number, "%02d", camera + 1);
    return std::string(format.substr(0, spot)) + number + std::string(format.substr(spot + 4));
}

void BuildProtocolPayload(const _tagPTZCommand& record, uint8_t out[kProtocolPayloadSize])
{
    std::memset(out, 0, kProtocolPayloadSize);
    Store32(out, 2);
    Store32(out + 4, record.count);
    Store32(out + 8, record.value);
    std::memcpy(out + 12, record.bytes, record.count); // count <= 255 < 256 bytes of room
}

PtzControl::PtzControl(IPanlink& panlink, IPtzStore& store, IPtzPanel& panel, IPtzSender& sender,
                       std::string sectionFormat)
    : panlink_(panlink), store_(store), panel_(panel), sender_(sender), sectionFormat_(std::move(sectionFormat))
{}

void PtzControl::LoadAtStartup()
{
    if (store_.Exists()) {
        LoadPtzRecords(-1);
    } else {
        store_.CreateEmpty();
        records_.fill(PtzRecord{});
        SavePtzRecord(-1);
    }
    ShowPtzRecord(0);
    CreatePtz(-1);
}

void PtzControl::ForCameras(int camera, void (PtzControl::*one)(int))
{
    if (camera == -1) {
        for (int c = 0; c < kCameras; ++c)
            (this->*one)(c);
    } else if (ValidCamera(camera)) {
        (this->*one)(camera);
    }
}

void PtzControl::SavePtzRecord(int camera) { ForCameras(camera, &PtzControl::SaveOne); }
void PtzControl::LoadPtzRecords(int camera) { ForCameras(camera, &PtzControl::LoadOne); }
void PtzControl::CreatePtz(int camera) { ForCameras(camera, &PtzControl::CreateOne); }
void PtzControl::DestroyPtz(int camera) { ForCameras(camera, &PtzControl::DestroyOne); }

void PtzControl::SaveOne(int camera) { store_.Write(PtzSection(sectionFormat_, camera), records_[camera]); }

bool PtzControl::ValidProtocolEntry(int entry) { return entry >= 0 && entry <= panlink_.ProtocolCount(); }

void PtzControl::LoadOne(int camera)
{
    // The file is anyone's to edit: entries beyond the lists count as none.
    PtzRecord r;
    if (!store_.Read(PtzSection(sectionFormat_, camera), r) || !ValidProtocolEntry(r.protocolEntry) ||
        r.baudEntry > kBaudEntries)
        r = PtzRecord{};
    records_[camera] = r;
}

void PtzControl::CreateOne(int camera)
{
    const PtzRecord& r = records_[camera];
    if (r.protocolEntry == 0)
        return;
    if (!panlink_.Create(camera, r.protocolEntry - 1, camera)) {
        panlink_.Destroy(camera);
        panlink_.Create(camera, r.protocolEntry - 1, camera);
    }
    if (r.baudEntry >= 1)
        panlink_.SetBaudRate(camera, r.baudEntry - 1);
}

void PtzControl::DestroyOne(int camera) { panlink_.Destroy(camera); }

void PtzControl::ShowPtzRecord(int camera)
{
    if (!ValidCamera(camera))
        return;
    panel_.SelectProtocolEntry(records_[camera].protocolEntry);
    panel_.SelectBaudEntry(records_[camera].baudEntry);
}

void PtzControl::OnProtocolSelected(int entry)
{
    if (!ValidProtocolEntry(entry))
        return;
    const int camera = settingsCamera_ - 1;
    PtzRecord& r = records_[camera];
    r.protocolEntry = static_cast<uint8_t>(entry);
    if (r.baudEntry == 0) {
        r.baudEntry = kDefaultBaudEntry;
        panel_.SelectBaudEntry(kDefaultBaudEntry);
    }
    SavePtzRecord(camera);
    DestroyPtz(camera);
    CreatePtz(camera);
}

void PtzControl::OnBaudSelected(int entry)
{
    if (entry < 0 || entry > kBaudEntries)
        return;
    const int camera = settingsCamera_ - 1;
    records_[camera].baudEntry = static_cast<uint8_t>(entry);
    SavePtzRecord(camera);
    if (entry >= 1)
        panlink_.SetBaudRate(camera, entry - 1);
}

void PtzControl::OnDvrModeClicked() { panel_.EnableProtocolLists(!panel_.DvrMode()); }

void PtzControl::StepSettingsCamera(int delta)
{
    const int next = settingsCamera_ + delta;
    if (next < 1 || next > kCameras)
        return;
    settingsCamera_ = next;
    panel_.ShowSettingsCamera(next);
    ShowPtzRecord(next - 1);
}

void PtzControl::SetCurrentCamera(int camera)
{
    if (ValidCamera(camera))
        current_ = camera;
}

bool PtzControl::OnPressed(int command)
{
    if (!IsPtzButton(command))
        return false;
    pending_ = command;
    return true;
}

bool PtzControl::OnRepeat(int command) { return OnPressed(command); }

bool PtzControl::OnReleased(int command)
{
    if (!IsPtzButton(command))
        return false;
    pending_ = kRelease;
    return true;
}

void PtzControl::SendPending()
{
    if (pending_ == 0)
        return;
    const int pending = pending_;
    pending_ = 0;
    if (panel_.DvrMode()) {
        uint8_t payload[kActionPayloadSize];
        Store32(payload, static_cast<uint32_t>(current_));
        Store32(payload + 4, static_cast<uint32_t>(DvrActionCode(pending)));
        Store32(payload + 8, 1);
        Store32(payload + 12, 5);
        sender_.Send(kCmdAction, payload, sizeof payload);
    } else {
        RunPanlinkAction(PanlinkCommand(pending), current_);
    }
}

void PtzControl::RunPanlinkAction(int command, int camera)
{
    if ((panlink_.FunctionMask(camera) >> command) & 1u) {
        GetAndSend(camera, command);
        return;
    }
    if (command < PTZ_CMD_LEFT_UP || command > PTZ_CMD_RIGHT_DOWN)
        return;
    const bool left = command == PTZ_CMD_LEFT_UP || command == PTZ_CMD_LEFT_DOWN;
    const bool up = command == PTZ_CMD_LEFT_UP || command == PTZ_CMD_RIGHT_UP;
    const int pan = left ? PTZ_CMD_LEFT : PTZ_CMD_RIGHT;
    const int tilt = up ? PTZ_CMD_UP : PTZ_CMD_DOWN;
    // Both ways address the camera being watched, and so does the choice between them: its own
    // protocol, not item 205's, which shows the settings camera's (item 212 may name another).
    if (Record(camera).protocolEntry != kCompositeProtocolEntry) {
        GetAndSend(camera, pan);
        panel_.Pause(kTwoStepPauseMs);
        GetAndSend(camera, tilt);
    } else {
        GetAndSend(camera, pan);
        GetAndSend(camera, PTZ_CMD_PAN_STOP);
        GetAndSend(camera, tilt);
        GetAndSend(camera, PTZ_CMD_TILT_STOP);
    }
}

void PtzControl::GetAndSend(int camera, int command)
{
    _tagPTZCommand record;
    std::memset(&record, 0, sizeof record);
    panlink_.GetCommand(camera, command, record);
    uint8_t payload[kProtocolPayloadSize];
    BuildProtocolPayload(record, payload);
    sender_.Send(kCmdProtocolBytes, payload, sizeof payload);
}

} // namespace ptz
