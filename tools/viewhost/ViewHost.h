#pragma once
// A top-level window that holds one DVRScreenView as its child and hands it view commands, as the
// control does. The view's end-to-end tests drive the view through it, without the control.
#include "DVRScreenView.h"
#include "foundation/MessageLoop.h"
#include <string>

namespace view {

class ViewHost {
public:
    // Creates the window and the view, and runs the view's start-up. Null on failure.
    static ViewHost* Create(const ViewSkin& skin, const wchar_t* title = L"DVR Web Viewer",
                            const ViewPartsConfig& parts = {});
    ~ViewHost(); // destroys the window (and with it the view) if it still exists
    ViewHost(const ViewHost&) = delete;
    ViewHost& operator=(const ViewHost&) = delete;

    HWND Window() const { return wnd_; }
    // Null once the window is gone.
    DVRScreenView* View() const { return wnd_ ? view_ : nullptr; }
    bool Closed() const { return wnd_ == nullptr; }

    void SetAddress(const std::wstring& address, const std::wstring& port, const std::wstring& user,
                    const std::wstring& password);
    // Posts WM_VIEW_COMMAND, as a panel button does.
    void Command(int command);

private:
    ViewHost() = default;
    static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

    HWND wnd_ = nullptr; // ours
    DVRScreenView* view_ = nullptr; // not ours: deletes itself with its window
    win::ScopedMessageFilter keys_;
};

} // namespace view
