#pragma once
// What the window, subclass and dialog procedures share: the exception barrier around each call
// into an object, and letting go of the window an object owns.
#include <windows.h>
#include <utility>
#include "foundation/Trace.h"

namespace win::detail {

// `call()`, or `failure` when it throws (traced as an exception in `where`, with the message).
template <class R, class F> R Barrier(const wchar_t* where, UINT msg, R failure, F&& call)
{
    try {
        return call();
    } catch (...) {
        Trace(L"===>>> exception in %ls, message 0x%04X\n", where, msg);
        return failure;
    }
}

// OnFinalMessage's barrier: nothing may leave the procedure after the last message either.
template <class F> void FinalBarrier(const wchar_t* what, F&& call)
{
    try {
        call();
    } catch (...) {
        Trace(L"===>>> exception after %ls\n", what);
    }
}

// Destroys the window `wnd` an object owns, unhooking the object (its pointer at `slot`) first, so
// the messages of the destruction do not reach an object that is going.
inline void DestroyOwned(HWND& wnd, int slot)
{
    if (!wnd)
        return;
    HWND w = std::exchange(wnd, nullptr);
    SetWindowLongPtrW(w, slot, 0);
    DestroyWindow(w);
}

} // namespace win::detail
