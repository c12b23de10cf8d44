#pragma once
// The thread's one message loop and its chain of filters. Whatever must see a message before it is
// translated and dispatched (a modeless dialog's keyboard navigation, a hosted control's
// accelerators) registers a filter on the thread that owns its windows; every loop of the foundation
// (Run, a modal dialog's loop) passes each message through the chain, newest filter first, so a
// control hosted in a dialog sees its keys before the dialog manager does. Every live Dialog is in
// the chain of its thread by itself.
#include <windows.h>
#include <functional>

namespace win {

// True when the filter handled the message: it is then neither translated nor dispatched.
using MessageFilter = std::function<bool(MSG*)>;

class MessageLoop {
public:
    // Adds a filter to the calling thread's chain; the cookie removes it. A filter may add or remove
    // filters (itself included) while it runs.
    static UINT_PTR AddFilter(MessageFilter filter);
    static void RemoveFilter(UINT_PTR cookie);
    // Passes `msg` through the calling thread's chain. True when a filter handled it.
    static bool PreTranslate(MSG* msg);

    // Gets and dispatches the thread's messages through the chain until WM_QUIT; its exit code
    // (-1 when GetMessage failed).
    static int Run();
    // The same until `done` answers true (asked before each wait). False when WM_QUIT came first:
    // it is posted again, so the loop outside this one ends too.
    static bool RunUntil(const std::function<bool()>& done);
};

// A filter registered for as long as this object lives.
class ScopedMessageFilter {
public:
    ScopedMessageFilter() = default;
    explicit ScopedMessageFilter(MessageFilter filter) : cookie_(MessageLoop::AddFilter(std::move(filter))) {}
    ~ScopedMessageFilter() { Reset(); }
    ScopedMessageFilter(const ScopedMessageFilter&) = delete;
    ScopedMessageFilter& operator=(const ScopedMessageFilter&) = delete;
    // Registers `filter` in place of the one held.
    void Add(MessageFilter filter)
    {
        Reset();
        cookie_ = MessageLoop::AddFilter(std::move(filter));
    }
    void Reset()
    {
        if (cookie_)
            MessageLoop::RemoveFilter(cookie_);
        cookie_ = 0;
    }

private:
    UINT_PTR cookie_ = 0; // on the thread that made this object
};

} // namespace win
