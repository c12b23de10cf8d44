#include "ManagerApp.h"

#include "ManagerDlg.h"

#include <commctrl.h>
#include <ole2.h>

namespace manager {

namespace {
constexpr wchar_t kInstanceMutex[] = L"Orvex S";
constexpr wchar_t kAppTitle[] = L"Orvex";
} // namespace

bool CWebApplicationManagerApp::InitInstance()
{
    instanceMutex_.Attach(CreateMutexW(nullptr, TRUE, kInstanceMutex));
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    if (instanceMutex_)
        ReleaseMutex(instanceMutex_.Get());
    if (existed) {
        MessageBoxW(nullptr, L"Sorry!\r\nDouble Execution is not allowed.", kAppTitle, MB_OK);
        return false;
    }

    INITCOMMONCONTROLSEX controls{8, 0xFF};
    InitCommonControlsEx(&controls);
    // The module windows host ActiveX controls, which need OLE on this (the window) thread.
    const HRESULT ole = OleInitialize(nullptr);

    {
        CWebApplicationManagerDlg dialog;
        dialog.Run();
    }
    if (SUCCEEDED(ole))
        OleUninitialize();
    return false;
}

} // namespace manager
