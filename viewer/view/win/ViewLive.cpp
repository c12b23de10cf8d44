// The view's live requests: the layout and channel commands, the double-click in the picture, the
// speed level, the resolution changes that lead to a configuration (timer 10101), the confirmed
// setup dialog (3072), and what the layout logic needs from the view's display, buttons and settings.
#include "DVRScreenView.h"
#include "LiveVideo.h"
#include "LiveRequests.h"
#include "AnsiText.h"
#include "ViewStrings.h"
#include "foundation/Trace.h"

namespace view {

namespace {

// The first save that failed, told once in the status log: the file and the system's reason.
void TellSaveFailure(DVRScreenView& view, CViewSettings& settings)
{
    DWORD error = 0;
    if (!settings.TakeSaveFailure(error))
        return;
    wchar_t* system = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, 0, reinterpret_cast<wchar_t*>(&system), 0, nullptr);
    std::wstring reason = system ? system : L"error " + std::to_wstring(error);
    if (system)
        LocalFree(system);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' '))
        reason.pop_back();
    view.Log(connection::kTextSettingsNotSaved, protocol::ToAnsi(settings.Path() + L" (" + reason + L")", 1000));
}

} // namespace

bool DVRScreenView::OnLiveCommand(int command)
{
    connection::LiveLayout* layout = components_.Layout();
    auto& c = components_.Controller();
    if (command >= kCmdFirstChannel && command < kCmdFirstChannel + settings::kChannels) {
        if (layout)
            layout->OnChannelCommand(c, command - kCmdFirstChannel);
        return true;
    }
    if (command >= kCmdFirstLayout && command < kCmdFirstLayout + 7) {
        if (layout)
            layout->OnLayoutCommand(c, command);
        return true;
    }
    if (command == 49 || command == 50) {
        const int level = panel_.SpeedLevel();
        // The DVR's option bits are not learned: the cap is that of an unknown DVR.
        const int next =
            command == 49 ? connection::SpeedUp(level, connection::SpeedCap(-1)) : connection::SpeedDown(level);
        SetDlgItemInt(Hwnd(), kItemSpeed, static_cast<UINT>(next), FALSE);
        return true;
    }
    return false;
}

void DVRScreenView::OnDoubleClick(int x, int y)
{
    connection::LiveLayout* layout = components_.Layout();
    if (!layout)
        return;
    const RECT area = SkinRect(kRectDisplay);
    int column = 0, row = 0;
    if (!connection::GridCell(layout->Layout(), area.right - area.left, area.bottom - area.top, x, y, column, row))
        return;
    layout->OnDoubleClick(components_.Controller(), column, row);
}

void DVRScreenView::OnResolutionClass(int channel, int resolutionClass)
{
    SetTimer(Hwnd(), kConfigurationTimer, kConfigurationDelayMs, nullptr);
    settings_.OnResolutionClass(channel, resolutionClass);
}

void DVRScreenView::OnConfigurationTimer()
{
    KillTimer(Hwnd(), kConfigurationTimer);
    connection::LiveLayout* layout = components_.Layout();
    int classes[settings::kChannels] = {};
    bool ntsc = true;
    ReadResolution(classes, ntsc);
    settings_.CapStoredRate(classes, ntsc);
    TellSaveFailure(*this, settings_);
    if (layout)
        layout->SendConfiguration(components_.Controller());
}

void DVRScreenView::OnSetupApplied()
{
    connection::LiveLayout* layout = components_.Layout();
    settings::CSimpleSetupDlg* dialog = settings_.Dialog();
    if (!layout || !dialog) {
        settings_.OnSetupApplied(0);
        TellSaveFailure(*this, settings_);
        return;
    }
    auto& c = components_.Controller();
    layout->RequestEnabled(c, dialog->Entries());
    settings_.OnSetupApplied(layout->Layout());
    TellSaveFailure(*this, settings_);
    layout->OnLayoutCommand(c, connection::CommandOfLayout(layout->Layout()));
    RefreshDisplay();
}

// ---- connection::ILiveViewHost ----

void DVRScreenView::ShowPage(int displayMode, const connection::Page& page)
{
    if (CLiveVideo* live = components_.Live())
        live->ShowPage(displayMode, page);
}

void DVRScreenView::RefreshDisplay()
{
    if (CLiveVideo* live = components_.Live())
        live->Display().Redraw(0xFFFFFFFFu);
}

settings::ViewSetupRecord DVRScreenView::ReadSettings()
{
    const int n = components_.Controller().State().channelCount;
    settings_.Load(n);
    if (settings::CSimpleSetupDlg* dialog = settings_.Dialog(); dialog && dialog->Hwnd()) {
        int classes[settings::kChannels] = {};
        bool ntsc = true;
        ReadResolution(classes, ntsc);
        dialog->ShowSettings(settings_.Record().easy);
        dialog->SetTable(settings_.Record().channels, ntsc, classes);
    }
    return settings_.Record();
}

settings::ViewSetupRecord DVRScreenView::StoredSettings() { return settings_.Record(); }

void DVRScreenView::ShowLayoutButtons(int channelCount, int layout)
{
    // Of the seven layout buttons the leading 3, 4 or 7 are in use on a 4-, 8- or 16-channel DVR.
    const int inUse = channelCount == 4 ? 3 : channelCount == 8 ? 4 : 7;
    const int chosen = connection::CommandOfLayout(layout);
    for (int i = 0; i < 7; ++i) {
        const int command = kCmdFirstLayout + i;
        if (i < inUse)
            panel_.SetButton(command, true, command == chosen ? skinui::kPressed : skinui::kNormal);
    }
    if (channelCount == 4) {
        panel_.SetButton(connection::CommandOfLayout(3), false, skinui::kDisabled);
        panel_.SetButton(connection::CommandOfLayout(4), false, skinui::kDisabled);
    } else if (channelCount == 8) {
        panel_.SetButton(connection::CommandOfLayout(4), false, skinui::kDisabled);
    }
}

void DVRScreenView::ShowSelectedAudio()
{
    if (selectedAudio_)
        panel_.ShowAudioChannel(selectedAudio_);
}

void DVRScreenView::ReadResolution(int (&classes)[settings::kChannels], bool& ntsc)
{
    ntsc = true;
    for (int& c : classes)
        c = 0;
    if (CLiveVideo* live = components_.Live()) {
        const int n = components_.Controller().State().channelCount;
        for (int ch = 0; ch < n && ch < settings::kChannels; ++ch)
            classes[ch] = live->ResolutionClass(ch);
        ntsc = live->Ntsc();
    }
}

} // namespace view
