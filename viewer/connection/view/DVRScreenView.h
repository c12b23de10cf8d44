#pragma once
// DVRScreenView: the viewer's main view window. This file holds its connection side: the
// connection items 201-204, the status log 211, the timers, the transport messages and the view
// commands Connect, Disconnect and Exit. The decisions live in connection::ConnectionController;
// this class only turns window messages into its calls and does what it asks of the window.
#include <windows.h>
#include "conduix/NSMGAPI.h"
#include "connection/BasicParts.h"
#include "connection/ConnectionController.h"
#include <memory>
#include <string>
#include <vector>

class CViewAudio;

namespace view {

class CLiveVideo;

// Messages between the parts of the viewer.
enum : UINT {
    WM_VIEW_COMMAND = WM_USER + 100, // 1124: wParam view command
    WM_HOST_MOVED = WM_USER + 200,   // 1224
    WM_CLOSE_HOST = WM_USER + 201,   // 1225
    WM_STREAM_TIMER = WM_USER + 202, // 1226: sent by timer 2's procedure
    WM_PICTURE_SHOWN = WM_USER + 203, // a decode thread showed a picture (posted)
};

// View commands handled here.
enum : int { kCmdConnect = 1, kCmdDisconnect = 2, kCmdExit = 46 };

// Dialog items of the view.
enum : int {
    kItemAddress = 201,
    kItemPort = 202,
    kItemUser = 203,
    kItemPassword = 204,
    kItemStatusLog = 211,
    kItemSpeed = 213,
    kItemAutoPtz = 214,
};

// What the view asks of the viewer skin (Lumbrel's SMAPI_ calls). Null entries: a built-in panel
// layout and skin code 0.
struct ViewSkin {
    void (*getResourceRect)(unsigned short id, RECT* rect) = nullptr;
    unsigned int (*getSkinCode)() = nullptr;
    HBITMAP (*getBitmap)(unsigned short id) = nullptr; // the caller owns the bitmap
};

// The skin rectangles of the connection side.
enum : unsigned short {
    kRectPanel = 0xF000,
    kRectDisplay = 0xF001,
    kRectAddress = 0xF002,
    kRectPort = 0xF003,
    kRectUser = 0xF004,
    kRectPassword = 0xF005,
    kRectStatusLog = 0xF00C,
};

// The parts later pieces of the viewer fill in; null members get the stand-ins of BasicParts.h,
// unless `live` is set: then the view makes its own sound devices when `audio` is null, and its own
// video (display, decoder, frame queue and decode threads, as one part) when `decode`, `frames` and
// `display` are all null; pictures are timed against the view's own sound devices only. Each part
// given here must outlive the view window.
struct ViewPartsConfig {
    bool live = false;
    connection::IPanelHooks* panel = nullptr;
    connection::IAudioHooks* audio = nullptr;
    connection::IDecodeThreads* decode = nullptr;
    connection::IFrameSink* frames = nullptr;
    connection::IDisplayHooks* display = nullptr;
    connection::ILayout* layout = nullptr;
};

class DVRScreenView final : public connection::IViewWindow,
                            public connection::ITransport,
                            private connection::IAudioHooks {
public:
    static constexpr const wchar_t* kClassName = L"DVRScreenView";

    // Creates the view as a child of `parent`. The object deletes itself when its window is
    // destroyed. Null on failure.
    static DVRScreenView* Create(HWND parent, const ViewSkin& skin, const ViewPartsConfig& parts = {});

    // The panel size the skin asks for (right and bottom of rectangle 0xF000).
    static SIZE PanelSize(const ViewSkin& skin);

    HWND Window() const { return wnd_; }

    // Start-up: language library, status texts, transport. Run once after Create.
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

    // The status log's lines, oldest first.
    std::vector<std::wstring> StatusLines() const;
    const connection::ConnectionController& Controller() const { return *controller_; }
    const connection::CountingFrameSink& FrameCounts() const { return counting_; }
    // The text of a string id: the language library's, else the view's own.
    std::wstring Text(int id) const;

    // The live parts; null unless the view was made with ViewPartsConfig::live.
    CLiveVideo* Live() const { return live_.get(); }
    CViewAudio* Audio() const { return audio_.get(); }
    // The setup dialog's "Enable Audio" box and the panel's live-phone button, mirrored into the
    // values the decode threads read. SetPhoneButton is false when the switch could not be sent.
    void SetEnableAudio(bool on);
    bool SetPhoneButton(bool down);

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

    // connection::ITransport, over Conduix.
    bool Connect(std::string_view address, int port) override;
    bool SendInit() override;
    bool SendPacket(uint16_t command, const uint8_t* payload, size_t length) override;
    bool SendStream(const uint8_t* data, size_t length) override;
    void Disconnect() override;

private:
    DVRScreenView(const ViewSkin& skin, const ViewPartsConfig& parts);
    ~DVRScreenView() override;
    DVRScreenView(const DVRScreenView&) = delete;
    DVRScreenView& operator=(const DVRScreenView&) = delete;

    static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    static void CALLBACK StreamTimerProc(HWND wnd, UINT msg, UINT_PTR id, DWORD time);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    bool OnCreate();
    void OnDestroy();
    void OnViewCommand(int command);
    LRESULT OnColor(HDC dc, HWND control);
    RECT SkinRect(unsigned short id, RECT fallback) const;
    std::wstring ItemText(int item, int maxChars) const;
    void ShowStepError(const wchar_t* step, DWORD error);
    void MirrorAudioState();

    // connection::IAudioHooks, for the view's own sound devices.
    void StopPhoneCapture() override;
    void StopPlayback() override;
    void PhoneAnswer(bool allowed) override;

    HWND wnd_ = nullptr;        // ours: destroyed with the view, which then deletes itself
    bool* deletedFlag_ = nullptr; // set while Create runs: told when WM_NCDESTROY deleted the view
    HWND host_ = nullptr;       // not ours
    HMODULE language_ = nullptr; // ours: FreeLibrary
    NSMG_HANDLE transport_ = nullptr; // ours: NSMGAPI_Destroy
    bool transportInitialized_ = false;
    HBRUSH black_ = nullptr;    // ours: DeleteObject
    HBITMAP background_ = nullptr; // ours: DeleteObject
    ViewSkin skin_;

    // The live parts (see ViewPartsConfig::live). The decode threads use the sound devices, so
    // live_ is declared after them and goes first.
    struct AudioLinks;
    std::unique_ptr<AudioLinks> audioLinks_;
    std::unique_ptr<CViewAudio> audio_;
    std::unique_ptr<CLiveVideo> live_;
    bool enableAudio_ = true;
    bool phoneDown_ = false;

    connection::NoPanel noPanel_;
    connection::NoAudio noAudio_;
    connection::NoDecodeThreads noDecode_;
    connection::CountingFrameSink counting_;
    connection::NoDisplay noDisplay_;
    connection::AllChannelsLayout allChannels_;
    connection::ViewPorts ports_;
    std::unique_ptr<connection::ConnectionController> controller_;
};

} // namespace view
