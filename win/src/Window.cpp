#include "foundation/Window.h"
#include "foundation/Module.h"
#include "Barrier.h"
#include <utility>

namespace win {

WNDCLASSEXW Window::ClassOf(const wchar_t* name, UINT style, HBRUSH background)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = Proc;
    wc.hInstance = ThisModule();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return wc;
}

Window::~Window() { detail::DestroyOwned(wnd_, GWLP_USERDATA); }

bool Window::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y,
                      int width, int height, HWND parent, UINT_PTR idOrMenu)
{
    HWND w = CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent,
                             reinterpret_cast<HMENU>(idOrMenu), ThisModule(), this);
    return w != nullptr;
}

LRESULT Window::FailureResult(UINT msg)
{
    switch (msg) {
    case WM_NCCREATE: return FALSE;
    case WM_CREATE: return -1;
    default: return 0;
    }
}

LRESULT CALLBACK Window::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    Window* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        if (self) {
            self->wnd_ = wnd;
            SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    }
    if (!self)
        return DefWindowProcW(wnd, msg, wp, lp);
    const LRESULT result =
        detail::Barrier(L"the window procedure", msg, FailureResult(msg), [&] { return self->OnMessage(msg, wp, lp); });
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
        self->wnd_ = nullptr;
        detail::FinalBarrier(L"the last message", [&] { self->OnFinalMessage(); });
    }
    return result;
}

bool Subclass::Attach(HWND wnd)
{
    Detach();
    if (!wnd || !SetWindowSubclass(wnd, Proc, reinterpret_cast<UINT_PTR>(this), reinterpret_cast<DWORD_PTR>(this)))
        return false;
    wnd_ = wnd;
    chainProc_ = GetWindowLongPtrW(wnd, GWLP_WNDPROC);
    return true;
}

void Subclass::Detach()
{
    if (!wnd_)
        return;
    HWND wnd = std::exchange(wnd_, nullptr);
    const auto id = reinterpret_cast<UINT_PTR>(this);
    if (GetWindowLongPtrW(wnd, GWLP_WNDPROC) == chainProc_) {
        RemoveWindowSubclass(wnd, Proc, id);
        return;
    }
    // Someone who subclassed the window before us has put their saved procedure back (a container
    // undoing its own hook while it is destroyed). Leaving the common controls' list empty now would
    // make them restore their stale saved procedure, over the one just put back, when the message in
    // progress returns. The entry stays, inert, and goes at WM_NCDESTROY if it is ever called again.
    SetWindowSubclass(wnd, Proc, id, 0);
}

LRESULT CALLBACK Subclass::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data)
{
    auto* self = reinterpret_cast<Subclass*>(data);
    if (!self) {
        if (msg == WM_NCDESTROY)
            RemoveWindowSubclass(wnd, Proc, id);
        return DefSubclassProc(wnd, msg, wp, lp);
    }
    const LRESULT result = detail::Barrier(L"a subclass procedure", msg, Window::FailureResult(msg),
                                           [&] { return self->OnMessage(msg, wp, lp); });
    if (msg == WM_NCDESTROY)
        self->Detach();
    return result;
}

} // namespace win
