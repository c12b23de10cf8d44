// Ctrl+S over a division: that camera's kept picture, at the size it was decoded, saved where the
// person chooses in the save dialog. Nothing else chooses the path: the control is scriptable,
// and no script may write a file where it says.
#include "DVRScreenView.h"
#include "LiveVideo.h"
#include "StillFile.h"
#include "skin/ViewerStrings.h"
#include "foundation/Trace.h"
#include <commdlg.h>
#include <shlobj.h>
#include <cwctype>

namespace view {

namespace {

std::wstring PicturesFolder()
{
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_MYPICTURES | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path)))
        return path;
    return {};
}

std::wstring Filled(std::wstring text, const std::wstring& value)
{
    if (size_t p = text.find(L"%s"); p != std::wstring::npos)
        text.replace(p, 2, value);
    return text;
}

bool EndsWithBmp(const std::wstring& path)
{
    if (path.size() < 4)
        return false;
    std::wstring tail = path.substr(path.size() - 4);
    for (wchar_t& c : tail)
        c = static_cast<wchar_t>(std::towlower(c));
    return tail == L".bmp";
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

    const std::wstring folder = PicturesFolder();
    wchar_t file[MAX_PATH] = {};
    const std::wstring proposed = StillFileName(channel + 1, still.time);
    proposed.copy(file, MAX_PATH - 1);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Hwnd();
    ofn.lpstrFilter = L"PNG (*.png)\0*.png\0BMP (*.bmp)\0*.bmp\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrDefExt = L"png";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (GetSaveFileNameW(&ofn)) {
        const std::wstring path = file;
        const bool bmp = ofn.nFilterIndex == 2 || EndsWithBmp(path);
        const HRESULT hr = WriteStillFile(path, bmp, still.width, still.height, still.stride, still.bgr.data());
        if (SUCCEEDED(hr))
            LogLine(Filled(Text(viewer_strings::kStrStillSaved), path));
        else {
            win::Trace(L"===>>> still not written: 0x%08lX\n", static_cast<unsigned long>(hr));
            LogLine(Filled(Text(viewer_strings::kStrStillNotSaved), path));
        }
    }
    if (SUCCEEDED(com))
        CoUninitialize();
}

std::wstring DVRScreenView::ToWide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

} // namespace view
