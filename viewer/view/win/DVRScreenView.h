#pragma once
// DVRScreenView: the viewer's main view window. This file holds the window and its message
// handlers: the panel's messages, the connection items 201-204, the status log 211, the timers,
// the transport's messages and the view commands. The decisions live in
// connection::ConnectionController; the panel (ViewPanel), the transport adapter (ViewTransport)
// and the parts the controller drives (ViewComponents) sit beside it.
#include <windows.h>
#include "ViewComponents.h"
#include "ViewPanel.h"
#include "ViewPtz.h"
#include "ViewSettings.h"
#include "ViewTransport.h"
#include "foundation/Handles.h"
#include "foundation/Messages.h"
#include "foundation/Window.h"
#include <memory>
#include <string>

namespace view {

class DVRScreenView final : public win::Window, public connection::IViewWindow, private connection::ILiveViewHost {
public:
    static constexpr const wchar_t* kClassName = L"DVRScreenView";

    // Creates the view as a child of `parent`. The object deletes itself when its window is
    // destroyed. Null on failure.
    static DVRScreenView* Create(HWND parent, const ViewSkin& skin, const ViewPartsConfig& parts = {});

    // The panel size the skin asks for (right and bottom of rectangle 0xF000).
    static SIZE PanelSize(const ViewSkin& skin);

    HWND Window() const { return Hwnd(); }

    // Start-up: language library, status texts, sound devices, transport. Run once after Create.
    void InitialUpdate();
    // The four connection values into items 201-204, then saved to the connection-info file.
    void ApplyAddress(const std::wstring& address, const std::wstring& port, const std::wstring& user,
                      const std::wstring& password);
    // The top-level window that WM_CLOSE_HOST goes to.
    void SetHostWindow(HWND host) { host_ = host; }
    // Items 201-204 and the "DVR PTZ" box from the connection-info file (ConnectInfo.cpp).
    void LoadConnectInfo();
    // Keyboard navigation among the view's fields, for the control's message pre-translation
    // (ConnectInfo.cpp). True when the message was handled and must not be dispatched.
    bool PreTranslate(MSG* msg);
    // The text of a string id: the language library's, else the view's own.
    std::wstring Text(int id) const;

    void SetEnableAudio(bool on) { components_.SetEnableAudio(on); }
    bool SetPhoneButton(bool down) { return components_.SetPhoneButton(down); }

    // connection::IViewWindow
    connection::ConnectFields ReadFields() override;
    void Log(int textId, std::string_view arg) override;
    void StartTimer(connection::ViewTimer timer, unsigned periodMs) override;
    void StopTimer(connection::ViewTimer timer) override;
    void EnableConnectFields(bool enable) override;
    void SaveConnectInfo() override;
    void Pause(unsigned ms) override;
    uint32_t SkinCode() override;
    void FatalDecoderStart() override;
    void UnloadLanguage() override;
    void CloseHost() override;
    void ChannelInformation(int channelCount) override;
    void LoginAccepted() override;

private:
    friend class ViewReadout;
    // Timer 10101: the channel configuration 2000 ms after the last resolution change.
    static constexpr UINT_PTR kConfigurationTimer = 10101;
    static constexpr unsigned kConfigurationDelayMs = 2000;

    // connection::ILiveViewHost (ViewLive.cpp)
    void ShowPage(int displayMode, const connection::Page& page) override;
    void RefreshDisplay() override;
    settings::ViewSetupRecord ReadSettings() override;
    settings::ViewSetupRecord StoredSettings() override;
    int32_t AudioChoice() override { return settings_.DialogAudioChoice(); }
    void ShowLayoutButtons(int channelCount, int layout) override;
    void ShowSelectedAudio() override;
    void ViewCommand(int command) override { OnViewCommand(command, 0); }
    void ReadResolution(int (&classes)[settings::kChannels], bool& ntsc) override;
    // The live view's commands and messages (ViewLive.cpp).
    bool OnLiveCommand(int command);
    void OnDoubleClick(int x, int y);
    void OnResolutionClass(int channel, int resolutionClass);
    void OnConfigurationTimer();
    void OnSetupApplied();

    DVRScreenView(const ViewSkin& skin, const ViewPartsConfig& parts);
    ~DVRScreenView() override = default;

    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnFinalMessage() override
    {
        if (!creating_)
            delete this;
    }
    static void CALLBACK StreamTimerProc(HWND wnd, UINT msg, UINT_PTR id, DWORD time);

    bool OnCreate();
    void OnDestroy();
    void OnPaint();
    void OnTimer(UINT_PTR id);
    void OnViewCommand(int command, LPARAM lp);
    void OnPhoneButton(bool down);
    void OnSetupCommand(); // ViewSettings.cpp
    LRESULT OnColor(UINT msg, HDC dc, HWND control);
    void OnAudioCaptured();
    void OnParentNotify(WPARAM wp, LPARAM lp);
    // Timer 10102 and the wheel over the display (ViewWatch.cpp).
    static constexpr UINT_PTR kAgeTimer = 10102;
    static constexpr unsigned kPictureAgeAfterMs = 2000;
    void OnAgeTimer();
    bool OnWheel(WPARAM wp, LPARAM lp);
    static std::u16string ToU16(const std::wstring& text);
    static std::wstring ToWide(const std::u16string& text);
    // Ctrl+S: the camera under the pointer saved as a still, its file chosen in the save dialog
    // (ViewStill.cpp). True for the view's own keys.
    bool OnViewKey(const MSG& msg);
    void SaveStill();
    void LogLine(const std::wstring& line);
    // Ctrl+T: cameras in turn on timer 10103 (ViewCycle.cpp); a panel button restarts the wait.
    static constexpr UINT_PTR kCycleTimer = 10103;
    void ToggleCycle();
    void OnCycleTimer();
    void OnPanelPressed();
    unsigned cycleMs_ = 0; // 0: not cycling
    // Ctrl+R and Ctrl+Shift+R: recording and its folder (ViewRecord.cpp); WM_RECORDING its news.
    void ToggleRecording();
    void ChooseRecordFolder();
    std::wstring RecordFolder() const;
    void ShowRecordMarks();
    void OnRecording();
    void RecordSiteCheck();
    std::string recordAddress_; // the site being recorded
    int recordPort_ = 0;

    RECT SkinRect(unsigned short id) const { return panel_.Rect(id); }
    std::wstring ItemText(int item, int maxChars) const;
    std::wstring InfoFilePath() const; // "" when the Windows folder cannot be read
    void ShowStepError(const wchar_t* step, DWORD error);

    bool creating_ = false;
    int selectedAudio_ = 0; // the audio-channel button chosen last (64-67), 0 none
    HWND host_ = nullptr; // not ours
    win::Library language_; // lingua_res, loaded as a data file
    win::Brush black_;
    ViewSkin skin_;
    ViewTransport transport_;
    ViewPanel panel_;
    ViewPtz ptz_;
    ViewComponents components_; // after transport_, panel_ and ptz_: the controller uses them to the end
    CViewSettings settings_; // after components_: the setup dialog mirrors "Enable Audio" into them
};

} // namespace view
