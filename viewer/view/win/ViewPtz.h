#pragma once
// The view's PTZ part: ptz::PtzControl joined to the view's items 205, 206, 212 and 214, to the
// per-camera records in the connection-info file (profile structures), to Panlink.dll and to the
// connection's command sending.
#include <windows.h>
#include "PtzControl.h"
#include "ViewComponents.h"
#include <functional>
#include <string>

namespace view {

class ViewPtz final : public IPendingPtz,
                      private ptz::IPanlink,
                      private ptz::IPtzStore,
                      private ptz::IPtzPanel,
                      private ptz::IPtzSender {
public:
    using SendFn = std::function<void(uint16_t command, const uint8_t* payload, size_t length)>;

    ViewPtz();
    ViewPtz(const ViewPtz&) = delete;
    ViewPtz& operator=(const ViewPtz&) = delete;

    // When the panel is built: the protocol and baud lists, "DVR PTZ" checked, settings camera 1.
    void FillLists(HWND view);
    // Start-up, once the language library is loaded: the records of `infoFile` (section format and
    // key from the language) and the protocol objects. `send` sends a command to the DVR.
    void Start(const std::wstring& infoFile, const std::wstring& sectionFormat, const std::wstring& key, SendFn send);
    // View destruction and Exit: every camera's protocol object goes.
    void Shutdown();

    // WM_COMMAND from items 205, 206 and 214; false for other items.
    bool OnControl(int item, int code);
    // A view command: a PTZ button's repeat tick, 34/35, a channel button (the camera watched).
    void OnViewCommand(int command);
    void OnPressed(int command) { control_.OnPressed(command); }
    void OnReleased(int command) { control_.OnReleased(command); }
    // After a qualifying stream block (IPendingPtz).
    void SendPendingPtz() override { control_.SendPending(); }

    ptz::PtzControl& Control() { return control_; }
    const std::wstring& InfoFile() const { return file_; }

private:
    // ptz::IPanlink: Panlink.dll's exports.
    int ProtocolCount() override;
    int Create(int camera, int protocol, int address) override;
    void Destroy(int camera) override;
    void SetBaudRate(int camera, int baudValue) override;
    uint32_t FunctionMask(int camera) override;
    void GetCommand(int camera, int command, _tagPTZCommand& record) override;
    // ptz::IPtzStore: the info file.
    bool Exists() override;
    void CreateEmpty() override;
    bool Read(const std::string& section, ptz::PtzRecord& record) override;
    void Write(const std::string& section, const ptz::PtzRecord& record) override;
    // ptz::IPtzPanel
    void SelectProtocolEntry(int entry) override;
    void SelectBaudEntry(int entry) override;
    void ShowSettingsCamera(int number) override;
    void EnableProtocolLists(bool enable) override;
    bool DvrMode() override;
    int SelectedProtocolEntry() override;
    void Pause(unsigned ms) override;
    // ptz::IPtzSender
    void Send(uint16_t command, const uint8_t* payload, size_t length) override;

    HWND view_ = nullptr; // not ours
    std::wstring file_, key_;
    SendFn send_;
    bool started_ = false;
    ptz::PtzControl control_;
};

} // namespace view
