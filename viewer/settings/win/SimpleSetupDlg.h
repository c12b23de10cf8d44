#pragma once
// CSimpleSetupDlg: the setup dialog (template 203), modeless and hidden until the view shows it.
// Per channel: quality, enable, rate position with its shown and weighted rate, and the
// resolution label; the easy-setup choices; "Enable Audio". OK refuses a manual setup whose
// weighted total is over the budget, otherwise stores the rows and sends WM_SETUP_APPLIED to the
// view; Cancel only hides the dialog.
#include <windows.h>
#include "SetupTable.h"
#include "foundation/Dialog.h"
#include "foundation/Handles.h"
#include <functional>
#include <string>

namespace settings {

class CSimpleSetupDlg final : public win::Dialog {
public:
    CSimpleSetupDlg(int channelCount, HWND parentView);

    // Creates the window from template 203 of `module`, hidden. False when it could not be created.
    bool Create(HINSTANCE module);

    void SetChannelCount(int n) { channelCount_ = n; }
    int ChannelCount() const { return channelCount_; }

    // The easy-setup block into items 509-513 and the mode it names.
    void ShowSettings(const EasySetupBlock& block);
    // The channel entries, the standard (NTSC when set) and the 16 resolution classes into the rows.
    void SetTable(const ChannelEntry (&entries)[kChannels], bool ntsc, const int (&classes)[kChannels]);
    // A channel's resolution class changed: 1, or -1 for a channel or class out of range.
    int SetResolution(int channel, int resolutionClass);

    // What OK confirmed (and what SetTable and ShowSettings gave until then).
    const ChannelEntry (&Entries() const)[kChannels] { return entries_; }
    const EasySetupBlock& Block() const { return block_; }
    bool Ntsc() const { return table_.Ntsc(); }

    // "Enable Audio": the box, and the flag that follows it.
    void SetAudioBox(bool on);
    bool AudioBoxChecked() const;
    bool AudioFlag() const { return audioFlag_; }
    // Told every time the box changes, by the user or by SetAudioBox (including the clearing at start).
    std::function<void(bool checked)> onAudioBox;

    // The total that item 407 shows.
    double TotalRate() const { return table_.Total(); }
    // For the view's total-rate cap: the table, its rows shown again, and the table kept as the
    // dialog's entries.
    SetupTable& Table() { return table_; }
    void ShowTable();
    void KeepTable() { table_.Store(entries_); }

private:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;
    void OnCancel() override;
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

    std::wstring Text(int id) const;
    void SetTexts();
    void FillLists();
    void FillRow(int channel);
    void ShowRowRates(int channel);
    void ShowTotal();
    void ShowTypeLabel(int channel);
    void ReadRows();
    void OnRateMoved(HWND bar);
    void OnEnableClicked();
    void EasyMode();
    void ManualMode();
    void EnableRange(int first, int last, bool enable);
    void Select(int id, int index, int count);
    int Selection(int id) const;
    void RefuseOverBudget();

    ChannelEntry entries_[kChannels] = {};
    EasySetupBlock block_ = {};
    SetupTable table_;
    HWND view_ = nullptr; // not ours: the view that gets WM_SETUP_APPLIED
    bool audioFlag_ = false;
    int channelCount_ = 0;
    win::Library language_; // the dialog's own handle of lingua_res
};

} // namespace settings
