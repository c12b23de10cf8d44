#include "ViewHost.h"

namespace view {

namespace {
constexpr const wchar_t* kHostClass = L"PelluxViewHost";
}

LRESULT CALLBACK ViewHost::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE)
        SetWindowLongPtrW(wnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    auto* host = reinterpret_cast<ViewHost*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    switch (msg) {
    case WM_CLOSE_HOST:
    case WM_CLOSE: DestroyWindow(wnd); return 0;
    case WM_NCDESTROY:
        if (host)
            host->wnd_ = nullptr;
        SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
        break;
    }
    return DefWindowProcW(wnd, msg, wp, lp);
}

ViewHost* ViewHost::Create(const ViewSkin& skin, const wchar_t* title, const ViewPartsConfig& parts)
{
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    if (!GetClassInfoW(inst, kHostClass, &wc)) {
        wc.lpfnWndProc = WndProc;
        wc.hInstance = inst;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = kHostClass;
        if (!RegisterClassW(&wc))
            return nullptr;
    }
    SIZE panel = DVRScreenView::PanelSize(skin);
    RECT r{0, 0, panel.cx + 2, panel.cy + 2}; // the view's border
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    AdjustWindowRect(&r, style, FALSE);
    auto* host = new ViewHost;
    host->wnd_ = CreateWindowExW(0, kHostClass, title, style, 20, 20, r.right - r.left, r.bottom - r.top, nullptr,
                                 nullptr, inst, host);
    if (!host->wnd_) {
        delete host;
        return nullptr;
    }
    host->view_ = DVRScreenView::Create(host->wnd_, skin, parts);
    if (!host->view_) {
        delete host;
        return nullptr;
    }
    host->view_->SetHostWindow(host->wnd_);
    ShowWindow(host->wnd_, SW_SHOW);
    UpdateWindow(host->wnd_);
    host->view_->InitialUpdate();
    // Keys reach the view through its pre-translation, as in the control.
    host->keys_.Add([host](MSG* m) { return host->View() && host->View()->PreTranslate(m); });
    return host;
}

ViewHost::~ViewHost()
{
    if (wnd_)
        DestroyWindow(wnd_);
}

void ViewHost::SetAddress(const std::wstring& address, const std::wstring& port, const std::wstring& user,
                          const std::wstring& password)
{
    if (DVRScreenView* v = View())
        v->ApplyAddress(address, port, user, password);
}

void ViewHost::Command(int command)
{
    if (DVRScreenView* v = View())
        PostMessageW(v->Window(), WM_VIEW_COMMAND, static_cast<WPARAM>(command), 0);
}

} // namespace view
