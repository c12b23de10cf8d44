#include "SimpleSetupDlg.h"
#include "SetupDialogIds.h"
#include <commctrl.h>
#include "skin/LanguageLibrary.h"
#include "skin/ViewerStrings.h"
#include "foundation/Messages.h"
#include "foundation/Module.h"

namespace settings {

namespace {

using namespace viewer_strings;

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// The label of a resolution class; class 3 has none and leaves the row's label as it was.
int TypeTextId(int resolutionClass)
{
    switch (resolutionClass) {
    case kClassCif: return kStrResolutionCif;
    case kClassHalfD1: return kStrResolutionHalfD1;
    case kClassD1: return kStrResolutionD1;
    default: return kStrResolutionUnknown;
    }
}

constexpr int kLastItem = IDC_SETUP_TOTAL_LABEL; // 222 to 477: the manual table
constexpr int kEasyFirst = IDC_SETUP_EASY_QUALITY, kEasyLast = IDC_SETUP_REFRESH_LABEL;

} // namespace

CSimpleSetupDlg::CSimpleSetupDlg(int channelCount, HWND parentView) : view_(parentView), channelCount_(channelCount) {}

bool CSimpleSetupDlg::Create(HINSTANCE module)
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    return CreateModeless(view_, IDD_SIMPLE_SETUP, module);
}

std::wstring CSimpleSetupDlg::Text(int id) const
{
    wchar_t text[2000];
    int n = LoadViewerString(language_.Get(), id, text, 2000);
    return std::wstring(text, static_cast<size_t>(n > 0 ? n : 0));
}

bool CSimpleSetupDlg::OnInit()
{
    language_.Attach(LoadLanguageLibrary(win::ThisModule()));
    SetTexts();
    FillLists();
    SetAudioBox(false);
    return true;
}

void CSimpleSetupDlg::SetTexts()
{
    struct Caption {
        int item, text;
    };
    static constexpr Caption kCaptions[] = {
        {IDC_SETUP_MANUAL, kStrManualSetup},
        {IDC_SETUP_HEAD_CHANNEL, kStrHeadChannel},
        {IDC_SETUP_HEAD_QUALITY, kStrHeadQuality},
        {IDC_SETUP_HEAD_REFRESH, kStrHeadRefreshRate},
        {IDC_SETUP_HEAD_FPS, kStrHeadFramesPerSec},
        {IDC_SETUP_HEAD_TYPE, kStrHeadType},
        {IDC_SETUP_HEAD_ENABLE, kStrHeadEnable},
        {IDC_SETUP_EASY, kStrEasySetup},
        {IDC_SETUP_REFRESH_LABEL, kStrEasyRefreshRate},
        {IDC_SETUP_EASY_SPLIT, kStrEasySplit},
        {IDC_SETUP_EASY_QUALITY, kStrHeadQuality},
        {IDC_SETUP_AUDIO, kStrEnableAudio},
        {IDC_SETUP_TOTAL_LABEL, kStrTotalFramesPerSec},
        {IDOK, kStrOk},
        {IDCANCEL, kStrCancel},
    };
    for (const Caption& c : kCaptions)
        SetItemText(c.item, Text(c.text));
}

void CSimpleSetupDlg::FillLists()
{
    auto fill = [&](int item, const int* ids, int count) {
        HWND list = Item(item);
        SendMessageW(list, CB_RESETCONTENT, 0, 0);
        for (int i = 0; i < count; ++i)
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Text(ids[i]).c_str()));
    };
    for (int c = 0; c < kChannels; ++c)
        fill(IDC_SETUP_QUALITY_FIRST + c, kQualityStrings, 5);
    for (int i = 0; i < 4; ++i)
        fill(IDC_SETUP_LEVEL_FIRST + i, kQualityStrings, 5);
    fill(IDC_SETUP_REFRESH, kRefreshStrings, 8);
}

void CSimpleSetupDlg::ShowSettings(const EasySetupBlock& block)
{
    block_ = block;
    for (int i = 0; i < 4; ++i)
        Select(IDC_SETUP_LEVEL_FIRST + i, block.layoutLevel[i], 5);
    Select(IDC_SETUP_REFRESH, block.refresh, 8);
    EnableRange(IDC_SETUP_QUALITY_FIRST, kLastItem, false);
    EnableRange(kEasyFirst, kEasyLast, true);
    SetChecked(IDC_SETUP_EASY, true);
    if (block.easyOn)
        EasyMode();
    else
        ManualMode();
}

void CSimpleSetupDlg::SetTable(const ChannelEntry (&entries)[kChannels], bool ntsc, const int (&classes)[kChannels])
{
    for (int c = 0; c < kChannels; ++c)
        entries_[c] = entries[c];
    table_.Load(entries, ntsc, classes);
    for (int c = 0; c < kChannels; ++c)
        FillRow(c);
    ShowTotal();
}

void CSimpleSetupDlg::ShowTable()
{
    for (int c = 0; c < kChannels; ++c)
        FillRow(c);
    ShowTotal();
}

int CSimpleSetupDlg::SetResolution(int channel, int resolutionClass)
{
    if (!table_.SetResolution(channel, resolutionClass))
        return -1;
    ShowTypeLabel(channel);
    if (HWND label = Item(IDC_SETUP_TYPE_FIRST + channel))
        InvalidateRect(label, nullptr, TRUE);
    for (int c = 0; c < kChannels; ++c)
        ShowRowRates(c);
    ShowTotal();
    return 1;
}

void CSimpleSetupDlg::FillRow(int c)
{
    const SetupRow& row = table_.Row(c);
    Select(IDC_SETUP_QUALITY_FIRST + c, row.level, 5);
    SetChecked(IDC_SETUP_ENABLE_FIRST + c, row.enabled);
    HWND bar = Item(IDC_SETUP_RATEBAR_FIRST + c);
    SendMessageW(bar, TBM_SETRANGE, TRUE, MAKELPARAM(0, LastPosition(table_.Ntsc())));
    SendMessageW(bar, TBM_SETPOS, TRUE, row.position);
    ShowRowRates(c);
    ShowTypeLabel(c);
}

void CSimpleSetupDlg::ShowRowRates(int c)
{
    const SetupRow& row = table_.Row(c);
    const double shown = table_.Shown(c);
    SetItemText(IDC_SETUP_RATE_FIRST + c, Widen(RateText(shown)));
    SetItemText(IDC_SETUP_WEIGHTED_FIRST + c, Widen(WeightedText(shown, row.weight, row.enabled)));
}

void CSimpleSetupDlg::ShowTotal() { SetItemText(IDC_SETUP_TOTAL, Widen(table_.TotalText())); }

void CSimpleSetupDlg::ShowTypeLabel(int c)
{
    SetItemText(IDC_SETUP_TYPE_FIRST + c, Text(TypeTextId(table_.Row(c).labelClass)));
}

void CSimpleSetupDlg::ReadRows()
{
    for (int c = 0; c < kChannels; ++c) {
        SetupRow& row = table_.Row(c);
        const int level = ComboSelection(IDC_SETUP_QUALITY_FIRST + c);
        if (level >= 0 && level <= 4)
            row.level = static_cast<int>(level);
        row.enabled = IsChecked(IDC_SETUP_ENABLE_FIRST + c);
        row.position = static_cast<int>(SendMessageW(Item(IDC_SETUP_RATEBAR_FIRST + c), TBM_GETPOS, 0, 0));
    }
}

INT_PTR CSimpleSetupDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_HSCROLL:
        if (LOWORD(wp) < 8)
            OnRateMoved(reinterpret_cast<HWND>(lp));
        return TRUE;
    default: return FALSE;
    }
}

bool CSimpleSetupDlg::OnCommand(int id, int code, HWND control)
{
    if (code == BN_CLICKED) {
        if (id >= IDC_SETUP_ENABLE_FIRST && id < IDC_SETUP_ENABLE_FIRST + kChannels) {
            OnEnableClicked();
            return true;
        }
        switch (id) {
        case IDC_SETUP_MANUAL: ManualMode(); return true;
        case IDC_SETUP_EASY: EasyMode(); return true;
        case IDC_SETUP_AUDIO:
            audioFlag_ = IsChecked(IDC_SETUP_AUDIO);
            if (onAudioBox)
                onAudioBox(audioFlag_);
            return true;
        default: break;
        }
    }
    return Dialog::OnCommand(id, code, control);
}

void CSimpleSetupDlg::OnRateMoved(HWND bar)
{
    const int c = GetDlgCtrlID(bar) - IDC_SETUP_RATEBAR_FIRST;
    if (c < 0 || c >= kChannels)
        return;
    table_.Row(c).position = static_cast<int>(SendMessageW(bar, TBM_GETPOS, 0, 0));
    table_.Row(c).enabled = IsChecked(IDC_SETUP_ENABLE_FIRST + c);
    ShowRowRates(c);
    ShowTotal();
}

void CSimpleSetupDlg::OnEnableClicked()
{
    for (int c = 0; c < kChannels; ++c) {
        table_.Row(c).enabled = IsChecked(IDC_SETUP_ENABLE_FIRST + c);
        table_.Row(c).position = static_cast<int>(SendMessageW(Item(IDC_SETUP_RATEBAR_FIRST + c), TBM_GETPOS, 0, 0));
        ShowRowRates(c);
    }
    ShowTotal();
}

void CSimpleSetupDlg::EasyMode()
{
    EnableRange(IDC_SETUP_QUALITY_FIRST, kLastItem, false);
    EnableRange(kEasyFirst, kEasyLast, true);
    SetChecked(IDC_SETUP_EASY, true);
    SetChecked(IDC_SETUP_MANUAL, false);
}

void CSimpleSetupDlg::ManualMode()
{
    EnableRange(kEasyFirst, kEasyLast, false);
    for (int first : {IDC_SETUP_QUALITY_FIRST, IDC_SETUP_ENABLE_FIRST, IDC_SETUP_WEIGHTED_FIRST,
                      IDC_SETUP_RATEBAR_FIRST, IDC_SETUP_RATE_FIRST, IDC_SETUP_TYPE_FIRST, IDC_SETUP_ROW_FIRST})
        EnableRange(first, first + kChannels - 1, true);
    EnableRange(IDC_SETUP_HEAD_CHANNEL, IDC_SETUP_HEAD_ENABLE, true);
    SetChecked(IDC_SETUP_MANUAL, true);
    SetChecked(IDC_SETUP_EASY, false);
}

void CSimpleSetupDlg::EnableRange(int first, int last, bool enable)
{
    for (int id = first; id <= last; ++id)
        EnableItem(id, enable);
}

void CSimpleSetupDlg::Select(int id, int index, int count)
{
    // Values from the settings file are held to the list.
    SelectCombo(id, index < 0 ? 0 : index >= count ? count - 1 : index);
}

int CSimpleSetupDlg::Selection(int id) const
{
    const int sel = ComboSelection(id);
    return sel < 0 ? 0 : sel;
}

void CSimpleSetupDlg::SetAudioBox(bool on)
{
    audioFlag_ = on;
    SetChecked(IDC_SETUP_AUDIO, on);
    if (onAudioBox)
        onAudioBox(on);
}

bool CSimpleSetupDlg::AudioBoxChecked() const { return Hwnd() ? IsChecked(IDC_SETUP_AUDIO) : audioFlag_; }

void CSimpleSetupDlg::RefuseOverBudget()
{
    win::Library language(LoadLanguageLibrary(win::ThisModule()));
    wchar_t text[2000];
    LoadViewerString(language.Get(), kStrTooManyFps, text, 2000);
    // The budget fills the text's "%d"; the text itself is never a format.
    std::wstring message(text);
    if (size_t p = message.find(L"%d"); p != std::wstring::npos)
        message.replace(p, 2, std::to_wstring(table_.Budget()));
    wchar_t caption[256] = {};
    GetWindowTextW(Hwnd(), caption, 256);
    MessageBoxW(Hwnd(), message.c_str(), caption, MB_OK | MB_ICONWARNING);
}

void CSimpleSetupDlg::OnOK()
{
    ReadRows();
    const bool easy = IsChecked(IDC_SETUP_EASY);
    if (table_.Refuses(easy)) {
        RefuseOverBudget();
        return;
    }
    table_.Store(entries_);
    block_.easyOn = easy ? 1 : 0;
    for (int i = 0; i < 4; ++i)
        block_.layoutLevel[i] = static_cast<uint8_t>(Selection(IDC_SETUP_LEVEL_FIRST + i));
    block_.refresh = static_cast<uint8_t>(Selection(IDC_SETUP_REFRESH));
    SendMessageW(view_, WM_SETUP_APPLIED, 0, 0);
    ShowWindow(Hwnd(), SW_HIDE);
}

void CSimpleSetupDlg::OnCancel() { ShowWindow(Hwnd(), SW_HIDE); }

} // namespace settings
