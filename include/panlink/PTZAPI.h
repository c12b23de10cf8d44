#pragma once
// Panlink.dll: camera protocol bytes for the viewer's PTZ buttons. One protocol object per camera
// (0-15) with its protocol, address and line speed; PTZAPI_GetCommand fills a command record with
// the bytes the DVR passes through to that camera.
//
// Addresses: PTZAPI_CreatePTZ takes a 0-based address (the viewer passes the camera index); the
// camera answering to it is the one set to receiver number address + 1, written in whatever way
// the protocol numbers its receivers.
#include <windows.h>
#include "panlink/PtzTypes.h"

#ifdef PANLINK_BUILD
#define PTZAPI_EXPORT __declspec(dllexport)
#else
#define PTZAPI_EXPORT __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

PTZAPI_EXPORT unsigned int WINAPI PTZAPI_GetSupportTotalPTZ(void);
// Writes the NUL-terminated name of protocol `index` into `name` (PTZ_NAME_BUFFER bytes); an
// empty string for an index out of range.
PTZAPI_EXPORT void WINAPI PTZAPI_GetSupportPTZName(unsigned int index, char* name);
// Nonzero when the camera now has a protocol object (any earlier one is replaced). Zero for a
// camera outside 0-15, an unknown protocol or an address the protocol cannot reach.
PTZAPI_EXPORT int WINAPI PTZAPI_CreatePTZ(int camera, int protocol, int address);
PTZAPI_EXPORT void WINAPI PTZAPI_DestroyPTZ(int camera);
// A _PTZBaudRates value; others are ignored.
PTZAPI_EXPORT void WINAPI PTZAPI_SetBaudRates(int camera, int baudRate);
// Bit n set when the camera's protocol builds _SupportPTZCommand n; 0 without a protocol object.
PTZAPI_EXPORT DWORD WINAPI PTZAPI_GetFunctionMask(int camera);
// Fills `record` for the command: the line speed at offset 0, the byte count at 4, the bytes from
// 5. Without a protocol object, or for a command the protocol does not build, the record is left
// as the caller gave it.
PTZAPI_EXPORT void WINAPI PTZAPI_GetCommand(int camera, int command, _tagPTZCommand* record);

#ifdef __cplusplus
}
#endif
