#pragma once
// The private window messages of the viewer and the manager, each number defined once. The
// transport's own notifications (1425, 1428, 1445, 1446, 1451, 1645, 1655, 1657) belong to its
// interface: conduix/NsmgTypes.h.
#include <windows.h>

enum : UINT {
    // Panel and image buttons to the view.
    WM_VIEW_COMMAND = WM_USER + 100, // 1124: wParam view command, lParam checked * 65536 + toggle
    WM_IMGBTN_REPEATEND = WM_USER + 101, // 1125: wParam command
    WM_IMGBTN_DRAWN = WM_USER + 102, // 1126: wParam command, lParam the button's rectangle
    WM_IMGBTN_REDRAW = WM_USER + 103, // 1127: wParam button, lParam its rectangle
    WM_IMGBTN_PRESSED = WM_USER + 104, // 1128: wParam command
    WM_IMGBTN_RELEASED = WM_USER + 105, // 1129: wParam command

    // Decoder manager to the view: a channel's resolution class changed (wParam channel, lParam class).
    WM_RESOLUTION_CLASS = WM_USER + 199, // 1223
    // Hosting window to the view, sent: the host moved.
    WM_HOST_MOVED = WM_USER + 200, // 1224
    // View to control to host (posted), and the manager to its host dialogs: close the host.
    WM_CLOSE_HOST = WM_USER + 201, // 1225
    // The stream-request timer's procedure to the view.
    WM_STREAM_TIMER = WM_USER + 202, // 1226
    // A decode thread showed a picture (posted; feeds the picture watchdog).
    WM_PICTURE_SHOWN = WM_USER + 203, // 1227

    // Manager: a closing host dialog to the main dialog (posted). The same number as the
    // transport's packet notification NSMG_WM_PACKET_A (conduix/NsmgTypes.h): both are the system's
    // own values and reach different windows (the manager's main dialog never owns a transport),
    // so both stay as they are.
    WM_MODULE_CLOSED = WM_USER + 401, // 1425

    // The view's recorder to the view (posted): it has events to collect.
    WM_RECORDING = WM_USER + 204, // 1228

    // The phone capture to the view, sent once per block (wParam block size, lParam bytes available).
    WM_AUDIO_CAPTURED = WM_USER + 1024, // 2048
    // The setup dialog to the view, sent: the settings were confirmed.
    WM_SETUP_APPLIED = WM_USER + 2048, // 3072
};
