#pragma once
// Panlink's commands, baud rates and command record, shared by Panlink.dll, the viewer, the
// simulator and dvrtool. No windows.h: the record and the enumerations are plain data.
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The actions Panlink can build. A protocol's function mask has bit n set when it builds command n
// with a frame of its own (PTZ_CMD_PAN_STOP and PTZ_CMD_TILT_STOP stop one axis and leave the other
// running; the viewer sends them between the steps of a diagonal on a protocol without diagonals).
typedef enum _SupportPTZCommand {
    PTZ_CMD_STOP = 0,
    PTZ_CMD_LEFT = 1,
    PTZ_CMD_RIGHT = 2,
    PTZ_CMD_PAN_STOP = 3,
    PTZ_CMD_UP = 4,
    PTZ_CMD_DOWN = 5,
    PTZ_CMD_TILT_STOP = 6,
    PTZ_CMD_LEFT_UP = 7,
    PTZ_CMD_LEFT_DOWN = 8,
    PTZ_CMD_RIGHT_UP = 9,
    PTZ_CMD_RIGHT_DOWN = 10,
    PTZ_CMD_ZOOM_IN = 11,
    PTZ_CMD_ZOOM_OUT = 12,
    PTZ_CMD_FOCUS_NEAR = 13,
    PTZ_CMD_FOCUS_FAR = 14,
    PTZ_CMD_COUNT = 15
} _SupportPTZCommand;

typedef enum _PTZBaudRates {
    PTZ_BAUD_1200 = 0,
    PTZ_BAUD_2400 = 1,
    PTZ_BAUD_4800 = 2,
    PTZ_BAUD_9600 = 3,
    PTZ_BAUD_19200 = 4,
    PTZ_BAUD_38400 = 5,
    PTZ_BAUD_57600 = 6,
    PTZ_BAUD_115200 = 7,
    PTZ_BAUD_COUNT = 8
} _PTZBaudRates;

#define PTZ_NAME_BUFFER 260 // PTZAPI_GetSupportPTZName writes at most this many bytes, NUL included
#define PTZ_COMMAND_BYTES 259 // room for protocol bytes in the record; the count field caps a command at 255
#define PTZ_MAX_CAMERAS 16

// One command as Panlink hands it out. `value` is the camera's serial line speed in bits per second
// (the DVR opens the camera's port with it); `count` protocol bytes follow from offset 5. A record
// may hold several frames back to back (a stop that stops each axis, a diagonal as two axis
// commands).
#pragma pack(push, 1)
typedef struct _tagPTZCommand {
    uint32_t value;
    uint8_t count;
    uint8_t bytes[PTZ_COMMAND_BYTES];
} _tagPTZCommand;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(_tagPTZCommand) == 264, "the viewer reads a 264-byte record");
static_assert(offsetof(_tagPTZCommand, count) == 4 && offsetof(_tagPTZCommand, bytes) == 5, "record layout");
}
#endif
