#include "SiteSetup.h"

#include "IPSetupDlg.h"
#include "ManagerKeys.h"
#include "ManagerSkin.h"
#include "OrvexIds.h"
#include "SiteStore.h"

#include <algorithm>

namespace manager {

namespace {

constexpr wchar_t kSection[] = L"SITE SETUP";

// A record as a dialog shows it: port 0 stands for the default.
sites::SiteRecord Shown(sites::SiteRecord site)
{
    site.port = sites::ShownPort(site);
    return site;
}

} // namespace

CSiteSetup::CSiteSetup(std::wstring path) : path_(path.empty() ? sites::SiteFilePath() : std::move(path))
{
    for (const sites::SiteRecord& site : sites::LoadSiteFile(path_))
        sites_.push_back(std::make_unique<sites::SiteRecord>(site));
}

CSiteSetup::~CSiteSetup() = default;

INT_PTR CSiteSetup::Run(HWND owner) { return DoModal(owner, IDD_SITE_SETUP); }

bool CSiteSetup::OnInit()
{
    HWND wnd = Hwnd();
    SetWindowTextW(wnd, (L"  " + SkinName(1)).c_str());
    SetSkinTexts(wnd, kSection,
                 {{IDC_SITE_NEW, L"New Site", L"REGISTERING SITE"},
                  {IDC_SITE_UPDATE, L"Update", L"UPDATE"},
                  {IDC_SITE_DELETE, L"Delete", L"DELETE"},
                  {IDC_SITE_SAVE, L"Save", L"SAVE"},
                  {IDC_SITE_SELECT, L"Select", L"OK"},
                  {IDC_SITE_CANCEL, L"Cancel", L"CANCEL"}});

    background_.Attach(SMAPI_GetResourceBitmapHandle(64));
    SizeToBitmapAndCentre(wnd, background_.Get());

    list_.Attach(Item(IDC_SITE_LIST));
    list_.SetTextColor(RGB(0, 0, 128));
    list_.SetTextBkColor(RGB(255, 251, 240));
    list_.SetBkColor(RGB(255, 251, 240));
    list_.SetSelectionColors(RGB(0, 0, 0), RGB(192, 220, 192), RGB(192, 220, 192));
    list_.List().SetRowHeight(20);

    const struct {
        const wchar_t *key, *def;
        int width;
    } columns[] = {{L"Address", L"Address", 215},
                   {L"Location", L"Location", 160},
                   {L"Port", L"Port#", 70},
                   {L"Type", L"Type", 60},
                   {L"ID", L"ID", 70}};
    for (int c = 0; c < 5; ++c)
        list_.List().InsertColumn(c, SkinText(kSection, columns[c].key, columns[c].def), columns[c].width);
    Fill();
    SetFocus(list_.List().Hwnd());
    return false; // the focus is set
}

void CSiteSetup::ShowRow(int row, const sites::SiteRecord& site)
{
    win::ListView& list = list_.List();
    list.SetText(row, 0, sites::FieldText(site.address));
    list.SetText(row, 1, sites::FieldText(site.location));
    list.SetText(row, 2, std::to_wstring(site.port));
    list.SetText(row, 3, site.type ? L"DDNS" : L"IP");
    list.SetText(row, 4, sites::FieldText(site.userId));
}

void CSiteSetup::Fill()
{
    win::ListView& list = list_.List();
    list.DeleteAllRows();
    for (const auto& site : sites_) {
        const int row = list.AddRow(L"", reinterpret_cast<LPARAM>(site.get()));
        if (row >= 0)
            ShowRow(row, *site);
    }
}

sites::SiteRecord* CSiteSetup::SelectedSite()
{
    const int row = list_.List().Selected();
    return row < 0 ? nullptr : reinterpret_cast<sites::SiteRecord*>(list_.List().Data(row));
}

void CSiteSetup::NewSite()
{
    chosen_ = sites::SiteRecord{};
    chosen_.size = sites::kSiteRecordSize;
    CIPSetupDlg edit(Shown(chosen_));
    if (edit.Run(Hwnd()) == IDOK)
        sites_.push_back(std::make_unique<sites::SiteRecord>(edit.Result()));
    Fill();
}

void CSiteSetup::UpdateSite()
{
    const int row = list_.List().Selected();
    sites::SiteRecord* site = SelectedSite();
    if (!site)
        return;
    CIPSetupDlg edit(Shown(*site));
    if (edit.Run(Hwnd()) != IDOK)
        return;
    *site = edit.Result();
    ShowRow(row, *site);
}

void CSiteSetup::DeleteSite()
{
    const int row = list_.List().Selected();
    sites::SiteRecord* site = SelectedSite();
    if (!site)
        return;
    list_.List().DeleteRow(row);
    std::erase_if(sites_, [&](const auto& s) { return s.get() == site; });
}

bool CSiteSetup::Save()
{
    std::vector<const sites::SiteRecord*> all;
    for (const auto& s : sites_)
        all.push_back(s.get());
    sites::SaveFailure failure;
    if (sites::SaveSiteFile(path_, all, failure))
        return true;
    // The list stays as edited; the file on disk stays whole.
    MessageBoxW(Hwnd(), sites::SaveFailureText(failure).c_str(), nullptr, MB_OK | MB_ICONWARNING);
    return false;
}

void CSiteSetup::Select()
{
    const sites::SiteRecord* site = SelectedSite();
    if (!site) {
        MessageBoxW(Hwnd(), SkinText(kSection, L"ErrorMsg", L"One Site Select Please.").c_str(), nullptr, MB_OK);
        return;
    }
    chosen_ = *site;
    Save();
    if (runLogin && runLogin(Hwnd(), Shown(*site)) == IDOK)
        End(IDOK);
}

bool CSiteSetup::OnCommand(int id, int code, HWND control)
{
    switch (id) {
    case IDC_SITE_NEW: NewSite(); return true;
    case IDC_SITE_UPDATE: UpdateSite(); return true;
    case IDC_SITE_DELETE: DeleteSite(); return true;
    case IDC_SITE_SAVE: Save(); return true;
    case IDC_SITE_SELECT: Select(); return true;
    case IDC_SITE_CANCEL: End(IDCANCEL); return true;
    default: return Dialog::OnCommand(id, code, control);
    }
}

LRESULT CSiteSetup::OnNotify(int id, NMHDR* header)
{
    if (id == IDC_SITE_LIST && header->code == NM_DBLCLK)
        Select();
    return 0;
}

bool CSiteSetup::OnKey(const MSG& msg) { return KeysToFocusedControl(msg); }

INT_PTR CSiteSetup::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    return msg == WM_ERASEBKGND && EraseWithSkin(Hwnd(), reinterpret_cast<HDC>(wp), background_.Get(), 64);
}

} // namespace manager
