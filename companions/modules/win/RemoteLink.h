#pragma once
// The remote-setup control's connection to its DVR: the viewer's connection controller over the
// viewer's Conduix transport, on a message-only window of its own, with the stand-in parts of a view
// that decodes and plays nothing. It sends only what the controller sends (the login, the channel
// request and the requests that follow it) and hands what arrives to DvrFigures.
//
// Lives on the control's thread. Destroying it stops the connection at once: the transport's
// disconnect does not wait for a name look-up or a connect still in progress.
#include <windows.h>
#include "BasicParts.h"
#include "ConnectionController.h"
#include "DvrFigures.h"
#include "ViewTransport.h"
#include "foundation/Window.h"
#include <cstdint>
#include <string>

class CRemoteLink final : private win::Window,
                          private connection::IViewWindow,
                          private connection::ITransport,
                          private connection::IFrameSink {
public:
    struct Site {
        std::wstring address;
        uint32_t port = 0; // 0: the DVR's default
        std::wstring user, password;
    };

    CRemoteLink();
    ~CRemoteLink() override;
    CRemoteLink(const CRemoteLink&) = delete;
    CRemoteLink& operator=(const CRemoteLink&) = delete;

    // Opens the transport and starts the first connect attempt; false when the window or the
    // transport could not be made.
    bool Start(const Site& site);

    const modules::DvrFigures& Figures() const { return figures_; }

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnPacket(const void* header, const void* payload);
    void OnStreamBlock(const void* header, const void* descriptor);
    void OnTimer(UINT_PTR id);
    // After every event: a controller that stopped for good by itself is shown as such.
    void NoteEnd();
    static uint64_t Now();

    // connection::IViewWindow
    connection::ConnectFields ReadFields() override;
    void Log(int textId, std::string_view arg) override;
    void StartTimer(connection::ViewTimer timer, unsigned periodMs) override;
    void StopTimer(connection::ViewTimer timer) override;
    void EnableConnectFields(bool) override {}
    void SaveConnectInfo() override {} // the viewer's connection-info file is the viewer's
    void Pause(unsigned ms) override;
    uint32_t SkinCode() override { return 0; } // no viewer skin here
    void FatalDecoderStart() override {} // no decode threads to start
    void UnloadLanguage() override {}
    void CloseHost() override {}

    // connection::ITransport: the viewer's, with each attempt noted.
    bool Connect(std::string_view address, int port) override;
    bool SendInit() override { return transport_.SendInit(); }
    bool SendPacket(uint16_t command, const uint8_t* payload, size_t length) override
    {
        return transport_.SendPacket(command, payload, length);
    }
    bool SendStream(const uint8_t* data, size_t length) override { return transport_.SendStream(data, length); }
    void Disconnect() override { transport_.Disconnect(); }

    // connection::IFrameSink: frames are counted, never stored.
    void StoreVideo(int channel, const uint8_t* data, size_t length) override;
    void StoreAudio(const uint8_t*, size_t) override {}
    void MarkWritePositionsForReset() override {}
    void ClearSlots() override {}

    Site site_;
    modules::DvrFigures figures_;
    bool pictureArrived_ = false; // a video frame during the current stream block
    view::ViewTransport transport_;
    connection::NoPanel panel_;
    connection::NoAudio audio_;
    connection::NoDecodeThreads decode_;
    connection::NoDisplay display_;
    connection::AllChannelsLayout layout_;
    connection::ConnectionController controller_;
};
