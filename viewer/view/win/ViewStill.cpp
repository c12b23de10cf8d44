// Ctrl+S over a division: that camera's kept picture, at the size it was decoded, saved where the
// person chooses in the save dialog (StillFile.h). Nothing else chooses the path: the control is
// scriptable, and no script may write a file where it says.
#include "DVRScreenView.h"
#include "LiveVideo.h"
#include "StillFile.h"
#include "skin/ViewerStrings.h"

namespace view {

namespace {

std::wstring Filled(std::wstring text, const std::wstring& value)
{
    if (size_t p = text.find(L"%s"); p != std::wstring::npos)
        text.replace(p, 2, value);
    return text;
}

} // namespace

bool DVRScreenView::OnViewKey(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN || !(GetKeyState(VK_CONTROL) & 0x8000) || (GetKeyState(VK_MENU) & 0x8000))
        return false;
    if (msg.wParam == 'S') {
        SaveStill();
        return true;
    }
    if (msg.wParam == 'R') {
        if (GetKeyState(VK_SHIFT) & 0x8000)
            ChooseRecordFolder();
        else
            ToggleRecording();
        return true;
    }
    if (msg.wParam == 'T') {
        ToggleCycle();
        return true;
    }
    return false;
}

void DVRScreenView::SaveStill()
{
    CLiveVideo* live = components_.Live();
    if (!live)
        return;
    video::DisplayManager& display = live->Display();
    POINT pt;
    if (!display.Window() || !GetCursorPos(&pt) || !ScreenToClient(display.Window(), &pt))
        return;
    const int channel = display.ChannelAtPoint(pt);
    if (channel < 0)
        return; // not over a division
    video::DisplayManager::Still still;
    if (!display.CopyPicture(channel, still)) {
        LogLine(ToWide(video::FillNumbers(ToU16(Text(viewer_strings::kStrStillNone)), {channel + 1})));
        return;
    }

    std::wstring path;
    switch (video::SaveStillAs(Hwnd(), channel + 1, still, &path)) {
    case video::StillSaved::kSaved: LogLine(Filled(Text(viewer_strings::kStrStillSaved), path)); break;
    case video::StillSaved::kFailed: LogLine(Filled(Text(viewer_strings::kStrStillNotSaved), path)); break;
    case video::StillSaved::kCancelled: break;
    }
}

std::wstring DVRScreenView::ToWide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

} // namespace view
