#pragma once
// The manager's own window messages between its widgets and dialogs.
#include <windows.h>

enum : UINT {
    // A skinned button to its notify window (posted): the pointer came over it / went away from it.
    // wParam the button's control id, lParam 0.
    WM_BUTTON_HOVER = WM_USER + 1038, // 2062
    WM_BUTTON_LEAVE = WM_USER + 1039, // 2063
};
