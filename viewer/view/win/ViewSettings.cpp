#include "ViewSettings.h"
#include "DVRScreenView.h"
#include "LiveVideo.h"
#include "LiveRequests.h"
#include "foundation/Module.h"
#include "foundation/Trace.h"

namespace view {

CViewSettings::CViewSettings(std::function<void(bool)> audioMirror, std::wstring path)
    : audioMirror_(std::move(audioMirror)), path_(std::move(path)), record_(settings::DefaultViewSetup(0))
{}

CViewSettings::~CViewSettings() = default;

int CViewSettings::Load(int channelCount)
{
    // Before the first login the DVR's channel count is not known: defaults for every channel.
    if (held_)
        return settings::kLoadRead;
    const int n = channelCount > 0 ? channelCount : settings::kChannels;
    settings::LoadOutcome o = settings::LoadViewSetup(path_.c_str(), n, record_);
    if (o.result != settings::kLoadMissing && dialog_ && dialog_->Hwnd())
        dialog_->SetAudioBox(o.audioRead != 0);
    return o.result;
}

void CViewSettings::OnChannelInformation(int channelCount)
{
    if (!dialog_) {
        auto dialog = std::make_unique<settings::CSimpleSetupDlg>(channelCount, view_);
        dialog->onAudioBox = [this](bool) { MirrorAudio(); };
        if (!dialog->Create(win::ThisModule())) {
            win::Trace(L"===>>> the setup dialog could not be created: %lu\n", GetLastError());
            return;
        }
        dialog_ = std::move(dialog);
        MirrorAudio();
    }
    dialog_->SetChannelCount(channelCount);
}

void CViewSettings::OnLoginAccepted(int channelCount)
{
    Load(channelCount);
    if (dialog_ && dialog_->Hwnd())
        dialog_->SetAudioBox(record_.audioChoice != 0);
}

bool CViewSettings::OpenSetup(int channelCount, const int (&classes)[settings::kChannels], bool ntsc)
{
    if (!dialog_ || !dialog_->Hwnd())
        return false;
    Load(channelCount);
    dialog_->ShowSettings(record_.easy);
    dialog_->SetTable(record_.channels, ntsc, classes);
    ShowWindow(dialog_->Hwnd(), SW_SHOW);
    SetForegroundWindow(dialog_->Hwnd());
    return true;
}

void CViewSettings::OnResolutionClass(int channel, int resolutionClass)
{
    if (dialog_ && dialog_->Hwnd())
        dialog_->SetResolution(channel, resolutionClass);
}

void CViewSettings::OnSetupApplied(int layout)
{
    if (!dialog_)
        return;
    for (int c = 0; c < settings::kChannels; ++c)
        record_.channels[c] = dialog_->Entries()[c];
    record_.easy = dialog_->Block();
    record_.audioChoice = DialogAudioChoice();
    connection::ApplyEasyQuality(record_, layout);
    Save();
    MirrorAudio();
}

bool CViewSettings::CapStoredRate(const int (&classes)[settings::kChannels], bool ntsc)
{
    settings::SetupTable table;
    table.Load(record_.channels, ntsc, classes);
    if (!connection::CapTotalRate(table, record_.easy.easyOn != 0))
        return false;
    table.Store(record_.channels);
    if (dialog_ && dialog_->Hwnd()) {
        record_.audioChoice = DialogAudioChoice();
        if (!IsWindowVisible(dialog_->Hwnd()))
            dialog_->SetTable(record_.channels, ntsc, classes);
    }
    Save();
    return true;
}

void CViewSettings::Save()
{
    if (settings::SaveViewSetup(path_.c_str(), record_)) {
        held_ = false;
        return;
    }
    const DWORD error = GetLastError();
    win::Trace(L"===>>> the settings could not be saved: %lu\n", error);
    held_ = true;
    if (!failureTold_)
        failure_ = error ? error : ERROR_WRITE_FAULT;
}

bool CViewSettings::TakeSaveFailure(DWORD& error)
{
    if (failureTold_ || !failure_)
        return false;
    failureTold_ = true;
    error = failure_;
    return true;
}

void CViewSettings::DestroyDialog()
{
    dialog_.reset();
    MirrorAudio();
}

int32_t CViewSettings::DialogAudioChoice() const
{
    if (!dialog_ || !dialog_->Hwnd())
        return -1;
    return dialog_->AudioBoxChecked() ? 1 : 0;
}

void CViewSettings::MirrorAudio()
{
    if (audioMirror_)
        audioMirror_(!dialog_ || !dialog_->Hwnd() || dialog_->AudioBoxChecked());
}

} // namespace view

// ---- the view's hooks ----

namespace view {

void DVRScreenView::ChannelInformation(int channelCount) { settings_.OnChannelInformation(channelCount); }

void DVRScreenView::LoginAccepted()
{
    settings_.OnLoginAccepted(components_.Controller().State().channelCount);
    RecordSiteCheck();
}

void DVRScreenView::OnSetupCommand()
{
    const auto& c = components_.Controller();
    if (!c.IsAdministrator())
        return;
    const int n = c.State().channelCount;
    int classes[settings::kChannels] = {};
    bool ntsc = true;
    if (CLiveVideo* live = components_.Live()) {
        for (int ch = 0; ch < n && ch < settings::kChannels; ++ch)
            classes[ch] = live->ResolutionClass(ch);
        ntsc = live->Ntsc();
    }
    settings_.OpenSetup(n, classes, ntsc);
}

} // namespace view
