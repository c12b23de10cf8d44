#pragma once
// What the connection controller needs from around it, as small interfaces: the transport, the
// view window (fields, status log, timers), and the parts that the panel, the frame queue, the
// decode threads, the audio devices and the layout logic fill in. The Win32 view supplies the
// real ones; tests supply recording fakes. No windows.h.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace connection {

// Timers of the view window.
enum class ViewTimer : unsigned {
    StreamRequest = 2, // 1000 ms: repeats the stream request until the stream is open
    Reconnect = 502, // 1000 ms: one reconnect attempt per tick
    PictureWatchdog = 1084, // 2000 ms: polls for a picture, gives up after ten polls
};

// The connection items of the view (201 address, 202 port, 203 user ID, 204 password), with the
// texts already in the ANSI code page ("#" for characters without an equivalent).
struct ConnectFields {
    std::string address; // at most 259 bytes
    int port = 0;
    std::string userId;
    std::string password; // at most 20 characters were read
};

class ITransport {
public:
    virtual ~ITransport() = default;
    // True when the attempt started; its result follows as OnConnectResult.
    virtual bool Connect(std::string_view address, int port) = 0;
    virtual bool SendInit() = 0;
    virtual bool SendPacket(uint16_t command, const uint8_t* payload, size_t length) = 0;
    virtual bool SendStream(const uint8_t* data, size_t length) = 0;
    virtual void Disconnect() = 0;
};

// The view window.
class IViewWindow {
public:
    virtual ~IViewWindow() = default;
    virtual ConnectFields ReadFields() = 0;
    // Appends a status line; `arg` fills the text's "%s".
    virtual void Log(int textId, std::string_view arg = {}) = 0;
    virtual void StartTimer(ViewTimer timer, unsigned periodMs) = 0;
    virtual void StopTimer(ViewTimer timer) = 0;
    virtual void EnableConnectFields(bool enable) = 0;
    virtual void SaveConnectInfo() = 0;
    // The short waits between requests that a DVR needs.
    virtual void Pause(unsigned ms) = 0;
    // SMAPI_GetSkinCode of the viewer skin.
    virtual uint32_t SkinCode() = 0;
    // Text 121 in a message box, then the process ends.
    virtual void FatalDecoderStart() = 0;
    // Exit: unload the language library, wait, post WM_CLOSE_HOST to the host window.
    virtual void UnloadLanguage() = 0;
    virtual void CloseHost() = 0;
    // The settings' moments in a login: a reply with channel information (the count is in the
    // state), before the layout is restored; and an accepted login on a connected view, before
    // the decode threads start.
    virtual void ChannelInformation(int channelCount) {}
    virtual void LoginAccepted() {}
};

// The button panel (filled in with the panel itself).
class IPanelHooks {
public:
    virtual ~IPanelHooks() = default;
    virtual void SetConnectedState(bool connected, bool administrator) = 0;
    virtual void ReleaseLayoutAndAudioButtons() = 0;
    virtual void ReleaseLayoutButtons() = 0;
    virtual bool PhoneButtonDown() = 0;
    virtual void ReleasePhoneButton() = 0;
    // Speed level of item 213; the stream request's pace is 11 minus it.
    virtual int SpeedLevel() = 0;
};

// Audio playback and the phone capture.
class IAudioHooks {
public:
    virtual ~IAudioHooks() = default;
    virtual void StopPhoneCapture() = 0;
    virtual void StopPlayback() = 0;
    // The DVR's answer to the live-phone switch (command 100): phone audio allowed or forbidden.
    virtual void PhoneAnswer(bool allowed) = 0;
};

// The seventeen decode threads.
class IDecodeThreads {
public:
    virtual ~IDecodeThreads() = default;
    // False when a thread could not be started.
    virtual bool Start() = 0;
    // Sets the quit flag and waits at most 2000 ms for the threads to end.
    virtual void Stop() = 0;
    virtual bool Running() const = 0;
    // Mirror of "timer 1084 runs", read by the decode threads: while set, the next decoded picture
    // reports itself so that the view stops the picture watchdog.
    virtual void SetPictureWatchdog(bool running) = 0;
    // The decoder manager the threads decode with, for `channels` channels (the DVR's count, not
    // trusted), every channel starting at 720 x 480. One that exists goes first, after its threads
    // have stopped. It lives until FreeDecoder, across any number of Stop and Start.
    virtual void MakeDecoder(int channels) = 0;
    // Stops the threads and frees the decoder manager; nothing when there is none.
    virtual void FreeDecoder() = 0;
};

// The frame queue: video frames and audio blocks sorted by the stream dispatcher. `data` is the
// transport's buffer, valid only during the call.
class IFrameSink {
public:
    virtual ~IFrameSink() = default;
    virtual void StoreVideo(int channel, const uint8_t* data, size_t length) = 0;
    virtual void StoreAudio(const uint8_t* data, size_t length) = 0;
    // The next block resets the per-channel write positions.
    virtual void MarkWritePositionsForReset() = 0;
    virtual void ClearSlots() = 0;
};

// The display manager, the decoder manager and the settings, as far as a connection touches them.
class IDisplayHooks {
public:
    virtual ~IDisplayHooks() = default;
    virtual void Reset() = 0;
    virtual void RefreshEmpty() = 0;
    // A login reply with channel information: the decoder manager's option (byte 6).
    virtual void SetDecoderOption(int option) = 0;
    // The connection-dropped mark: set when the DVR ends a logged-in connection that the user did
    // not stop, cleared by the next accepted login and by every user stop (including the one that
    // ends the reconnect attempts). While it is set, the last pictures stay on screen.
    virtual void SetConnectionDropped(bool dropped) = 0;
};

class ConnectionController;

// Layout logic: what a login does to the picture layout, and the channel requests it sends.
class ILayout {
public:
    virtual ~ILayout() = default;
    // A login reply with channel information, before its result is judged.
    virtual void RestoreAfterLogin(ConnectionController& c) = 0;
    // An accepted login on a connected view, after the decode threads started.
    virtual void AfterLoginAccepted(ConnectionController& c) = 0;
    // A user teardown of a logged-in connection: back to the 16-picture layout, quietly.
    virtual void ResetAfterUserTeardown(ConnectionController& c) = 0;
    // Channels shown now (bit n = channel n), for the stream request.
    virtual uint32_t ShownChannelMask() const = 0;
    // A PTZ press waiting for the next video frame: send it and forget it.
    virtual void SendPendingPtz(ConnectionController& c) = 0;
};

} // namespace connection
