// Panlink.dll: the PTZAPI_ exports over the protocol builders of core/Protocols.h. One protocol
// object per camera, kept in a process-wide table: the callers (the viewer's views) address cameras
// by number, so the objects cannot belong to any one caller.
#include "panlink/PTZAPI.h"
#include "Protocols.h"
#include "foundation/Module.h"
#include <array>
#include <cstring>
#include <mutex>

namespace {

struct CameraPtz {
    bool exists = false;
    int protocol = 0;
    int receiver = 1;
    int baud = PTZ_BAUD_9600;
};

std::mutex g_lock;
std::array<CameraPtz, PTZ_MAX_CAMERAS> g_cameras;

bool ValidCamera(int camera) { return camera >= 0 && camera < PTZ_MAX_CAMERAS; }

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(instance);
    return TRUE;
}

unsigned int WINAPI PTZAPI_GetSupportTotalPTZ(void)
{
    return win::Barrier("PTZAPI_GetSupportTotalPTZ", 0u,
                        [] { return static_cast<unsigned>(panlink::ProtocolCount()); });
}

void WINAPI PTZAPI_GetSupportPTZName(unsigned int index, char* name)
{
    win::VoidBarrier("PTZAPI_GetSupportPTZName", [&] {
        if (!name)
            return;
        name[0] = '\0';
        if (index > 0x7FFFFFFFu)
            return;
        if (const panlink::Protocol* p = panlink::ProtocolAt(static_cast<int>(index))) {
            std::strncpy(name, p->name, PTZ_NAME_BUFFER - 1);
            name[PTZ_NAME_BUFFER - 1] = '\0';
        }
    });
}

int WINAPI PTZAPI_CreatePTZ(int camera, int protocol, int address)
{
    return win::Barrier("PTZAPI_CreatePTZ", 0, [&] {
        const panlink::Protocol* p = panlink::ProtocolAt(protocol);
        if (!ValidCamera(camera) || !p || address < 0 || address + 1 < p->firstReceiver ||
            address + 1 > p->lastReceiver)
            return 0;
        std::lock_guard<std::mutex> guard(g_lock);
        g_cameras[camera] = CameraPtz{true, protocol, address + 1, p->defaultBaud};
        return 1;
    });
}

void WINAPI PTZAPI_DestroyPTZ(int camera)
{
    win::VoidBarrier("PTZAPI_DestroyPTZ", [&] {
        if (!ValidCamera(camera))
            return;
        std::lock_guard<std::mutex> guard(g_lock);
        g_cameras[camera] = CameraPtz{};
    });
}

void WINAPI PTZAPI_SetBaudRates(int camera, int baudRate)
{
    win::VoidBarrier("PTZAPI_SetBaudRates", [&] {
        if (!ValidCamera(camera) || baudRate < 0 || baudRate >= PTZ_BAUD_COUNT)
            return;
        std::lock_guard<std::mutex> guard(g_lock);
        if (g_cameras[camera].exists)
            g_cameras[camera].baud = baudRate;
    });
}

DWORD WINAPI PTZAPI_GetFunctionMask(int camera)
{
    return win::Barrier("PTZAPI_GetFunctionMask", DWORD(0), [&]() -> DWORD {
        if (!ValidCamera(camera))
            return 0;
        std::lock_guard<std::mutex> guard(g_lock);
        const CameraPtz& c = g_cameras[camera];
        return c.exists ? panlink::ProtocolAt(c.protocol)->mask : 0;
    });
}

void WINAPI PTZAPI_GetCommand(int camera, int command, _tagPTZCommand* record)
{
    win::VoidBarrier("PTZAPI_GetCommand", [&] {
        if (!record || !ValidCamera(camera))
            return;
        CameraPtz c;
        {
            std::lock_guard<std::mutex> guard(g_lock);
            c = g_cameras[camera];
        }
        if (!c.exists)
            return;
        const std::vector<uint8_t> bytes = panlink::Build(c.protocol, c.receiver, command);
        if (bytes.empty() || bytes.size() > panlink::kMaxCommandBytes)
            return;
        record->value = panlink::BaudRate(c.baud);
        record->count = static_cast<uint8_t>(bytes.size());
        std::memcpy(record->bytes, bytes.data(), bytes.size());
    });
}

} // extern "C"
