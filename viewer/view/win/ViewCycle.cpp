// Cameras in turn: while watching one picture (or four), each interval does what the next channel
// button (or the next page of four) would do, over the cameras the DVR has. The interval is kept in
// a file of its own beside the viewer's settings, read each time the turn starts.
#include "DVRScreenView.h"
#include "ViewSetupFile.h"
#include "skin/ViewerStrings.h"
#include "DivisionOverlay.h"

namespace view {

namespace {

constexpr unsigned kDefaultCycleSeconds = 5;

std::wstring CycleFilePath()
{
    std::wstring path = settings::kViewSetupPath;
    const size_t slash = path.find_last_of(L"/\\");
    return (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + L"ViewCycle.ini";
}

// The interval in seconds, 1 to 3600; the default, written down when the file has none.
unsigned CycleSeconds()
{
    const std::wstring file = CycleFilePath();
    const UINT seconds = GetPrivateProfileIntW(L"Cameras in turn", L"Seconds", 0, file.c_str());
    if (seconds >= 1 && seconds <= 3600)
        return seconds;
    WritePrivateProfileStringW(L"Cameras in turn", L"Seconds", std::to_wstring(kDefaultCycleSeconds).c_str(),
                               file.c_str());
    return kDefaultCycleSeconds;
}

} // namespace

void DVRScreenView::ToggleCycle()
{
    if (cycleMs_) {
        cycleMs_ = 0;
        KillTimer(Hwnd(), kCycleTimer);
        Log(viewer_strings::kStrCycleOff, {});
        return;
    }
    const unsigned seconds = CycleSeconds();
    cycleMs_ = seconds * 1000;
    SetTimer(Hwnd(), kCycleTimer, cycleMs_, nullptr);
    LogLine(ToWide(video::FillNumbers(ToU16(Text(viewer_strings::kStrCycleOn)), {seconds})));
}

void DVRScreenView::OnPanelPressed()
{
    if (cycleMs_)
        SetTimer(Hwnd(), kCycleTimer, cycleMs_, nullptr); // the wait starts again
}

void DVRScreenView::OnCycleTimer()
{
    connection::LiveLayout* layout = components_.Layout();
    auto& c = components_.Controller();
    const auto& s = c.State();
    // Each step is a quiet reconnect: while the one of the last step has not logged in yet (a slow
    // DVR, an interval of a second), the state still reads logged in from the connection before,
    // and a step now would abandon that attempt and skip its camera. The turn waits for it.
    if (!layout || !s.connected || !s.loggedIn || !s.attemptLoggedIn)
        return;
    const int n =
        s.channelCount < 1 ? 1 : (s.channelCount > settings::kChannels ? settings::kChannels : s.channelCount);
    if (layout->Layout() == 1) {
        layout->OnChannelCommand(c, (layout->CurrentChannel() + 1) % n);
    } else if (layout->Layout() == 2 && n > 4) {
        const int next = layout->StartChannel() + 4;
        layout->SwitchNow(c, 2, next < n ? next : 0);
    }
}

} // namespace view
