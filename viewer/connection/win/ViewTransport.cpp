#include "ViewTransport.h"
#include <cstring>

namespace view {

ViewTransport::~ViewTransport()
{
    Close();
    if (initialized_)
        NSMGAPI_Uninitialize();
}

void ViewTransport::Open(HWND window)
{
    if (!initialized_)
        initialized_ = NSMGAPI_Initialize() != 0;
    if (!handle_)
        handle_ = NSMGAPI_Create(window, nullptr, nullptr);
}

void ViewTransport::Close()
{
    if (handle_) {
        NSMGAPI_Destroy(handle_);
        handle_ = nullptr;
    }
}

bool ViewTransport::Connect(std::string_view address, int port)
{
    if (!handle_)
        return false;
    _tagConnectSocketInfo info;
    std::memset(&info, 0, sizeof info);
    std::memcpy(info.address, address.data(), address.size() < 259 ? address.size() : 259);
    info.family = conduix::kFamilyIPv4;
    info.port = port;
    info.timeoutSeconds = 0;
    info.framing = conduix::kFramingV1;
    info.receiveBuffer = 3072;
    return NSMGAPI_Connect(handle_, &info) != 0;
}

bool ViewTransport::SendInit() { return handle_ && NSMGAPI_SendInitPacketData(handle_) != 0; }

bool ViewTransport::SendPacket(uint16_t command, const uint8_t* payload, size_t length)
{
    return handle_ && NSMGAPI_SendPacketData(handle_, command, payload, static_cast<int>(length)) != 0;
}

bool ViewTransport::SendStream(const uint8_t* data, size_t length)
{
    return handle_ && NSMGAPI_SendStreamData(handle_, data, static_cast<int>(length)) != 0;
}

void ViewTransport::Disconnect()
{
    if (handle_)
        NSMGAPI_Disconnect(handle_);
}

} // namespace view
