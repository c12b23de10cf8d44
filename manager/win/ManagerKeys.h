#pragma once
// The manager's two keyboard rules, for a dialog's OnKey.
#include <windows.h>

namespace manager {

// The launcher windows (the main window, the module windows): Enter, Escape and Space do nothing.
inline bool SwallowLauncherKeys(const MSG& msg)
{
    return msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE || msg.wParam == VK_SPACE);
}

// The site list, the site edit and the login dialog: Enter and Escape go straight to the focused
// control, past the dialog's own keys, so they never press OK or cancel.
inline bool KeysToFocusedControl(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN || (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE))
        return false;
    MSG copy = msg;
    TranslateMessage(&copy);
    DispatchMessageW(&copy);
    return true;
}

} // namespace manager
