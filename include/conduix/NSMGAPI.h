#pragma once
// Conduix.dll: the TCP transport through which the viewer and the manager reach a DVR. One
// connection object per window; every event arrives as a message on that window (NsmgTypes.h).
//
// Delivery: events are queued inside the library and handed to the window on the thread that
// called NSMGAPI_Create, one at a time, with SendMessage from a hidden window of the library. A
// header, payload or descriptor stays valid until the window procedure returns from that message;
// copy what you keep. Stream blocks beyond a bounded backlog are dropped; command packets never.
// NSMGAPI_Disconnect discards everything still queued: no 1446 follows it.
// A failed connect attempt (refused, timed out, unresolvable) is reported as 1446 and then 1445
// with wParam 0; the 1445 is delivered even when the window disconnects while handling the 1446.
#include <windows.h>
#include "conduix/NsmgTypes.h"

#ifdef CONDUIX_BUILD
#define NSMGAPI_EXPORT __declspec(dllexport)
#else
#define NSMGAPI_EXPORT __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void* NSMG_HANDLE;
// Optional: when given, called on the library's I/O thread instead of messages being sent to the
// window; the pointers are valid only during the call. Both callers here pass null.
typedef void(CALLBACK* NSMGAPI_CALLBACK)(void* context, UINT message, WPARAM wParam, LPARAM lParam);

NSMGAPI_EXPORT int WINAPI NSMGAPI_Initialize(void);
NSMGAPI_EXPORT NSMG_HANDLE WINAPI NSMGAPI_Create(HWND window, NSMGAPI_CALLBACK callback, void* context);
// Nonzero: attempt started, 1445 follows. Zero: refused at once (bad arguments, no object).
NSMGAPI_EXPORT int WINAPI NSMGAPI_Connect(NSMG_HANDLE handle, const _tagConnectSocketInfo* info);
NSMGAPI_EXPORT int WINAPI NSMGAPI_SendInitPacketData(NSMG_HANDLE handle);
// Zero: not sent (not connected, length out of range, send backlog full).
NSMGAPI_EXPORT int WINAPI NSMGAPI_SendPacketData(NSMG_HANDLE handle, unsigned short command, const void* bytes,
                                                 int length);
// Raw bytes that belong to the command packet sent last (138 configuration, 99 phone audio).
NSMGAPI_EXPORT int WINAPI NSMGAPI_SendStreamData(NSMG_HANDLE handle, const void* bytes, int length);
NSMGAPI_EXPORT void WINAPI NSMGAPI_Disconnect(NSMG_HANDLE handle);
NSMGAPI_EXPORT void WINAPI NSMGAPI_Destroy(NSMG_HANDLE handle);
NSMGAPI_EXPORT void WINAPI NSMGAPI_Uninitialize(void);

#ifdef __cplusplus
}
#endif
