#include "ViewPtz.h"
#include "PanelSkin.h"
#include "panlink/PTZAPI.h"
#include "foundation/Dialog.h"
#include "foundation/Utf8.h"
#include <cstring>

namespace view {
namespace {

std::wstring Wide(const std::string& s, UINT codePage)
{
    if (s.empty())
        return {};
    const int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

constexpr size_t kShownNameChars = 29;

} // namespace

ViewPtz::ViewPtz() : control_(*this, *this, *this, *this) {}

void ViewPtz::FillLists(HWND view)
{
    view_ = view;
    HWND protocols = GetDlgItem(view_, kItemPtzProtocol);
    HWND bauds = GetDlgItem(view_, kItemBaud);
    SendMessageW(protocols, CB_RESETCONTENT, 0, 0);
    SendMessageW(bauds, CB_RESETCONTENT, 0, 0);
    SendMessageW(protocols, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"-----------"));
    SendMessageW(bauds, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"-----------"));
    const int count = ProtocolCount();
    for (int i = 0; i < count; ++i) {
        char name[PTZ_NAME_BUFFER] = {};
        PTZAPI_GetSupportPTZName(static_cast<unsigned>(i), name);
        name[PTZ_NAME_BUFFER - 1] = '\0';
        std::wstring shown = Wide(name, CP_ACP).substr(0, kShownNameChars);
        SendMessageW(protocols, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
    }
    for (int entry = 1; entry <= ptz::kBaudEntries; ++entry) {
        wchar_t text[32];
        swprintf(text, 32, L" %u bps", ptz::BaudRateOfEntry(entry));
        SendMessageW(bauds, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SelectProtocolEntry(0);
    SelectBaudEntry(0);
    win::SetChecked(view_, kItemAutoPtz, true);
    EnableProtocolLists(false);
    ShowSettingsCamera(1);
}

void ViewPtz::Start(const std::wstring& infoFile, const std::wstring& sectionFormat, const std::wstring& key,
                    SendFn send)
{
    file_ = infoFile;
    key_ = key.empty() ? L"PTZ" : key;
    send_ = std::move(send);
    control_.SetSectionFormat(win::Utf8(sectionFormat));
    control_.LoadAtStartup();
    started_ = true;
}

void ViewPtz::Shutdown()
{
    if (started_)
        control_.Shutdown();
    started_ = false;
}

bool ViewPtz::OnControl(int item, int code)
{
    if (!started_)
        return false;
    if (item == kItemPtzProtocol && code == CBN_SELCHANGE) {
        control_.OnProtocolSelected(SelectedProtocolEntry());
    } else if (item == kItemBaud && code == CBN_SELCHANGE) {
        control_.OnBaudSelected(win::ComboSelection(view_, kItemBaud));
    } else if (item == kItemAutoPtz && code == BN_CLICKED) {
        control_.OnDvrModeClicked();
    } else {
        return false;
    }
    return true;
}

void ViewPtz::OnViewCommand(int command)
{
    if (command >= 3 && command <= 18)
        control_.SetCurrentCamera(command - 3);
    else if (command == ptz::kCmdSettingsCameraDown)
        control_.StepSettingsCamera(-1);
    else if (command == ptz::kCmdSettingsCameraUp)
        control_.StepSettingsCamera(+1);
    else
        control_.OnRepeat(command);
}

// ---- ptz::IPanlink ----

int ViewPtz::ProtocolCount()
{
    const unsigned n = PTZAPI_GetSupportTotalPTZ();
    return static_cast<int>(n > 254 ? 254 : n); // entries must fit the record's byte
}

int ViewPtz::Create(int camera, int protocol, int address) { return PTZAPI_CreatePTZ(camera, protocol, address); }
void ViewPtz::Destroy(int camera) { PTZAPI_DestroyPTZ(camera); }
void ViewPtz::SetBaudRate(int camera, int baudValue) { PTZAPI_SetBaudRates(camera, baudValue); }
uint32_t ViewPtz::FunctionMask(int camera) { return PTZAPI_GetFunctionMask(camera); }

void ViewPtz::GetCommand(int camera, int command, _tagPTZCommand& record)
{
    PTZAPI_GetCommand(camera, command, &record);
}

// ---- ptz::IPtzStore ----

bool ViewPtz::Exists() { return !file_.empty() && GetFileAttributesW(file_.c_str()) != INVALID_FILE_ATTRIBUTES; }

void ViewPtz::CreateEmpty()
{
    HANDLE f = CreateFileW(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE)
        CloseHandle(f);
}

bool ViewPtz::Read(const std::string& section, ptz::PtzRecord& record)
{
    ptz::PtzRecord r;
    if (!GetPrivateProfileStructW(Wide(section, CP_UTF8).c_str(), key_.c_str(), &r, sizeof r, file_.c_str()))
        return false;
    record = r;
    return true;
}

void ViewPtz::Write(const std::string& section, const ptz::PtzRecord& record)
{
    ptz::PtzRecord r = record;
    WritePrivateProfileStructW(Wide(section, CP_UTF8).c_str(), key_.c_str(), &r, sizeof r, file_.c_str());
}

// ---- ptz::IPtzPanel ----

void ViewPtz::SelectProtocolEntry(int entry) { win::SelectCombo(view_, kItemPtzProtocol, entry); }
void ViewPtz::SelectBaudEntry(int entry) { win::SelectCombo(view_, kItemBaud, entry); }
void ViewPtz::ShowSettingsCamera(int number) { SetDlgItemInt(view_, kItemPtzCamera, static_cast<UINT>(number), FALSE); }

void ViewPtz::EnableProtocolLists(bool enable)
{
    EnableWindow(GetDlgItem(view_, kItemPtzProtocol), enable);
    EnableWindow(GetDlgItem(view_, kItemBaud), enable);
}

bool ViewPtz::DvrMode() { return IsDlgButtonChecked(view_, kItemAutoPtz) == BST_CHECKED; }

int ViewPtz::SelectedProtocolEntry()
{
    return static_cast<int>(SendDlgItemMessageW(view_, kItemPtzProtocol, CB_GETCURSEL, 0, 0));
}

// The two-step diagonal waits on the user-interface thread, between the two steps it sends.
void ViewPtz::Pause(unsigned ms) { Sleep(ms); }

// ---- ptz::IPtzSender ----

void ViewPtz::Send(uint16_t command, const uint8_t* payload, size_t length)
{
    if (send_)
        send_(command, payload, length);
}

} // namespace view
