#pragma once
// Owners of Win32 handles: one non-copyable, movable type per kind of handle. The rule is the same
// for all of them: the owner closes what it holds when it goes or is reset; Attach takes ownership
// of a raw handle (closing the one held before), Detach gives it up and returns it.
#include <windows.h>
#include <utility>

namespace win {

template <class Traits>
class Owner {
public:
    using Handle = typename Traits::Handle;

    Owner() = default;
    explicit Owner(Handle h) : h_(h) {}
    ~Owner() { Reset(); }
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;
    Owner(Owner&& o) noexcept : h_(o.Detach()) {}
    Owner& operator=(Owner&& o) noexcept
    {
        if (this != &o)
            Attach(o.Detach());
        return *this;
    }

    Handle Get() const { return h_; }
    explicit operator bool() const { return Traits::Valid(h_); }
    void Attach(Handle h)
    {
        if (Traits::Valid(h_) && h_ != h)
            Traits::Close(h_);
        h_ = h;
    }
    [[nodiscard]] Handle Detach() { return std::exchange(h_, Traits::Invalid()); }
    void Reset() { Attach(Traits::Invalid()); }

private:
    Handle h_ = Traits::Invalid();
};

struct KernelTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};
// Events, threads, mutexes and files alike (CreateFile's INVALID_HANDLE_VALUE counts as empty).
using KernelHandle = Owner<KernelTraits>;

template <class H>
struct GdiTraits {
    using Handle = H;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { DeleteObject(h); }
};
using Bitmap = Owner<GdiTraits<HBITMAP>>;
using Font = Owner<GdiTraits<HFONT>>;
using Pen = Owner<GdiTraits<HPEN>>;
using Brush = Owner<GdiTraits<HBRUSH>>;
using Region = Owner<GdiTraits<HRGN>>;

struct LibraryTraits {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { FreeLibrary(h); }
};
using Library = Owner<LibraryTraits>;

struct IconTraits {
    using Handle = HICON;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { DestroyIcon(h); }
};
using Icon = Owner<IconTraits>;

// A memory device context compatible with `like` (the screen when null).
class MemoryDC {
public:
    explicit MemoryDC(HDC like = nullptr) : dc_(CreateCompatibleDC(like)) {}
    ~MemoryDC()
    {
        if (dc_)
            DeleteDC(dc_);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    MemoryDC(MemoryDC&& o) noexcept : dc_(std::exchange(o.dc_, nullptr)) {}
    MemoryDC& operator=(MemoryDC&&) = delete;
    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HDC dc_;
};

// Selects an object into a DC and puts the previous one back when it goes.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ obj) : dc_(dc), old_(dc && obj ? SelectObject(dc, obj) : nullptr) {}
    ~ScopedSelect()
    {
        if (old_)
            SelectObject(dc_, old_);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// GetDC/ReleaseDC of a window (the screen when null).
class WindowDC {
public:
    explicit WindowDC(HWND wnd) : wnd_(wnd), dc_(GetDC(wnd)) {}
    ~WindowDC()
    {
        if (dc_)
            ReleaseDC(wnd_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND wnd_;
    HDC dc_;
};

// BeginPaint/EndPaint for WM_PAINT.
class PaintDC {
public:
    explicit PaintDC(HWND wnd) : wnd_(wnd) { BeginPaint(wnd, &ps_); }
    ~PaintDC() { EndPaint(wnd_, &ps_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC Get() const { return ps_.hdc; }
    const RECT& Dirty() const { return ps_.rcPaint; }

private:
    HWND wnd_;
    PAINTSTRUCT ps_{};
};

// A critical section and its guard.
class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&cs_); }
    ~CriticalSection() { DeleteCriticalSection(&cs_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Enter() { EnterCriticalSection(&cs_); }
    void Leave() { LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_;
};

class Lock {
public:
    explicit Lock(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
    ~Lock() { cs_.Leave(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CriticalSection& cs_;
};

} // namespace win
