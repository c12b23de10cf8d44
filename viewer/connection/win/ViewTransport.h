#pragma once
// The connection controller's transport over Conduix: one connection object whose notifications go
// to the view window.
#include <windows.h>
#include "conduix/NSMGAPI.h"
#include "ViewParts.h"

namespace view {

class ViewTransport final : public connection::ITransport {
public:
    ViewTransport() = default;
    ~ViewTransport() override;
    ViewTransport(const ViewTransport&) = delete;
    ViewTransport& operator=(const ViewTransport&) = delete;

    // Initialises the library and creates the connection object that posts to `window`.
    void Open(HWND window);
    // Destroys the connection object (the library stays initialised until this object goes).
    void Close();

    bool Connect(std::string_view address, int port) override;
    bool SendInit() override;
    bool SendPacket(uint16_t command, const uint8_t* payload, size_t length) override;
    bool SendStream(const uint8_t* data, size_t length) override;
    void Disconnect() override;

private:
    NSMG_HANDLE handle_ = nullptr; // ours: NSMGAPI_Destroy
    bool initialized_ = false; // NSMGAPI_Uninitialize owed
};

} // namespace view
