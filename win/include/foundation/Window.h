#pragma once
// The window base. One static procedure serves every window of every class made with it: it keeps
// the C++ object in GWLP_USERDATA from WM_NCCREATE to WM_NCDESTROY and runs each message behind an
// exception barrier. A window class is a class derived from Window; its OnMessage is a thin switch
// with one line per message calling a handler. Classes are registered with the module's own
// instance (RegisterModuleClass).
#include <windows.h>
#include <commctrl.h>

namespace win {

class Window {
public:
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    HWND Hwnd() const { return wnd_; }

    // A window class whose procedure is the base's (register it with RegisterModuleClass).
    static WNDCLASSEXW ClassOf(const wchar_t* name, UINT style = 0, HBRUSH background = nullptr);

protected:
    Window() = default;
    // Destroys the window if it still exists (its messages then no longer reach this object).
    virtual ~Window();

    // Creates the window; `this` is attached before WM_NCCREATE. False when CreateWindowEx failed.
    bool CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y, int width,
                  int height, HWND parent, UINT_PTR idOrMenu);

    virtual LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) { return Default(msg, wp, lp); }
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(wnd_, msg, wp, lp); }
    // After WM_NCDESTROY, with the window gone: a window that owns itself deletes itself here.
    virtual void OnFinalMessage() {}

public:
    // What a message answers when its handler threw: creation fails, everything else is 0.
    static LRESULT FailureResult(UINT msg);
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

private:
    HWND wnd_ = nullptr;
};

// A window of someone else's (a host, a control) whose messages pass through this object first,
// kept per window and per object with the common controls' subclassing, so two subclassers of one
// window never undo each other. Removed at WM_NCDESTROY or by Detach.
class Subclass {
public:
    Subclass() = default;
    Subclass(const Subclass&) = delete;
    Subclass& operator=(const Subclass&) = delete;
    virtual ~Subclass() { Detach(); }

    bool Attach(HWND wnd);
    void Detach();
    HWND Hwnd() const { return wnd_; }

protected:
    virtual LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) { return Default(msg, wp, lp); }
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) { return DefSubclassProc(wnd_, msg, wp, lp); }

private:
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data);
    HWND wnd_ = nullptr; // not ours: never destroyed here
    LONG_PTR chainProc_ = 0; // the window's procedure once subclassed: the common controls' own
};

} // namespace win
