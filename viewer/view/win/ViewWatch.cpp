// What the view adds to watching pictures: the age of a picture that stopped (timer 10102, each
// second) and the wheel's digital zoom over the display.
#include "DVRScreenView.h"
#include "LiveVideo.h"
#include "skin/ViewerStrings.h"
#include <windowsx.h>

namespace view {

void DVRScreenView::OnAgeTimer()
{
    CLiveVideo* live = components_.Live();
    if (!live)
        return;
    const auto& s = components_.Controller().State();
    const std::u16string age = ToU16(Text(viewer_strings::kStrNoPictureFor));
    std::u16string attempt;
    if (s.connectionDropped && s.reconnectPending && s.reconnectCount > 0)
        attempt = ToU16(Text(viewer_strings::kStrReconnectAttempt));
    const int attempts = connection::ConnectionController::kMaxReconnects;
    live->Display().AgePictures(GetTickCount64(), kPictureAgeAfterMs, [&](int, long long seconds) {
        std::u16string text = video::FillNumbers(age, {seconds});
        if (!attempt.empty())
            text += u"\n" + video::FillNumbers(attempt, {s.reconnectCount, attempts});
        return text;
    });
}

bool DVRScreenView::OnWheel(WPARAM wp, LPARAM lp)
{
    CLiveVideo* live = components_.Live();
    if (!live)
        return false;
    POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    HWND display = live->Display().Window();
    RECT client;
    if (!display || !ScreenToClient(display, &pt) || !GetClientRect(display, &client) || !PtInRect(&client, pt))
        return false;
    return live->Display().WheelZoom(pt, GET_WHEEL_DELTA_WPARAM(wp));
}

std::u16string DVRScreenView::ToU16(const std::wstring& text)
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide characters are UTF-16 here");
    return std::u16string(text.begin(), text.end());
}

} // namespace view
