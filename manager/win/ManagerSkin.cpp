#include "ManagerSkin.h"

#include "BitmapRegion.h"

namespace manager {

void CentreOnWorkArea(HWND wnd)
{
    RECT r;
    GetWindowRect(wnd, &r);
    MONITORINFO mi{sizeof mi};
    if (!GetMonitorInfoW(MonitorFromWindow(wnd, MONITOR_DEFAULTTOPRIMARY), &mi))
        return;
    const RECT& w = mi.rcWork;
    const int x = w.left + ((w.right - w.left) - (r.right - r.left)) / 2;
    const int y = w.top + ((w.bottom - w.top) - (r.bottom - r.top)) / 2;
    SetWindowPos(wnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SizeToBitmapAndCentre(HWND wnd, HBITMAP bitmap)
{
    BITMAP info{};
    if (bitmap && GetObjectW(bitmap, sizeof info, &info))
        SetWindowPos(wnd, nullptr, 0, 0, info.bmWidth, info.bmHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    CentreOnWorkArea(wnd);
}

bool EraseWithSkin(HWND dialog, HDC dc, HBITMAP bitmap, unsigned short rect)
{
    const RECT r = SkinRect(rect);
    DrawBitmap(bitmap, dc, r.left, r.top, r.right, r.bottom);
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
    return true;
}

} // namespace manager
