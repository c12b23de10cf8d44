#pragma once
// Owners of Win32 handles: one non-copyable, movable type per kind of handle. The rule is the same
// for all of them: the owner closes what it holds when it goes or is reset; Attach takes ownership
// of a raw handle (closing the one held before), Detach gives it up and returns it; Put closes what
// is held and gives the address for an out parameter.
#include <windows.h> // with the sockets of winsock.h (or of winsock2.h when that came first)
#include <oleauto.h>
#include <cstdint>
#include <string>
#include <utility>
#include "foundation/Dib.h"

namespace win {

template <class Traits> class Owner {
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
    Handle* Put()
    {
        Reset();
        return &h_;
    }

private:
    Handle h_ = Traits::Invalid();
};

// Traits of a handle kind: the function that closes it and its empty value (null unless given).
template <class H, auto CloseFn, H Empty = H{}> struct Closer {
    using Handle = H;
    static Handle Invalid() { return Empty; }
    static bool Valid(Handle h) { return h != Empty; }
    static void Close(Handle h) { CloseFn(h); }
};

struct KernelTraits : Closer<HANDLE, CloseHandle> {
    static bool Valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
};
// Events, threads, mutexes and files alike (CreateFile's INVALID_HANDLE_VALUE counts as empty).
using KernelHandle = Owner<KernelTraits>;

using Bitmap = Owner<Closer<HBITMAP, DeleteObject>>;
using Font = Owner<Closer<HFONT, DeleteObject>>;
using Pen = Owner<Closer<HPEN, DeleteObject>>;
using Brush = Owner<Closer<HBRUSH, DeleteObject>>;
using Region = Owner<Closer<HRGN, DeleteObject>>;
using Library = Owner<Closer<HMODULE, FreeLibrary>>;
using Icon = Owner<Closer<HICON, DestroyIcon>>;
using RegKey = Owner<Closer<HKEY, RegCloseKey>>;
using Socket = Owner<Closer<SOCKET, closesocket, INVALID_SOCKET>>;
// A BSTR: Bstr(SysAllocString(...)), or Put() for a [out] BSTR*.
using Bstr = Owner<Closer<BSTR, SysFreeString>>;

// A VARIANT, cleared (VariantClear) when it goes or is reset; moving leaves the source VT_EMPTY.
class Variant {
public:
    Variant() { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    // A VT_BSTR holding `text`; VT_EMPTY when the string could not be allocated.
    static Variant OfText(const std::wstring& text)
    {
        Variant v;
        if (BSTR b = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
            v.v_.vt = VT_BSTR;
            v.v_.bstrVal = b;
        }
        return v;
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& o) noexcept : v_(o.v_) { VariantInit(&o.v_); }
    Variant& operator=(Variant&& o) noexcept
    {
        if (this != &o) {
            VariantClear(&v_);
            v_ = o.v_;
            VariantInit(&o.v_);
        }
        return *this;
    }
    VARIANT* Get() { return &v_; }
    const VARIANT* Get() const { return &v_; }
    VARIANT* operator->() { return &v_; }
    const VARIANT* operator->() const { return &v_; }
    void Reset() { VariantClear(&v_); }
    // Clears and gives the address for an [out] VARIANT*.
    VARIANT* Put()
    {
        VariantClear(&v_);
        return &v_;
    }
    // Takes the value out, leaving this one VT_EMPTY (the caller then owns what it holds).
    [[nodiscard]] VARIANT Detach()
    {
        VARIANT out = v_;
        VariantInit(&v_);
        return out;
    }

private:
    VARIANT v_;
};

// A memory device context compatible with `like` (the screen when null), and the bitmap it draws
// into when it owns one. Create again (or Reset) puts the DC's first bitmap back, deletes the bitmap
// held and the DC, and starts afresh: a back buffer follows its window's size this way.
class MemoryDC {
public:
    explicit MemoryDC(HDC like = nullptr) { Create(like); }
    // Holds nothing until Create (a member that is made later, with its window).
    struct Later {};
    explicit MemoryDC(Later) {}
    ~MemoryDC() { Reset(); }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    MemoryDC(MemoryDC&& o) noexcept
        : dc_(std::exchange(o.dc_, nullptr)), bitmap_(std::exchange(o.bitmap_, nullptr)),
          firstBitmap_(std::exchange(o.firstBitmap_, nullptr))
    {}
    MemoryDC& operator=(MemoryDC&& o) noexcept
    {
        if (this != &o) {
            Reset();
            dc_ = std::exchange(o.dc_, nullptr);
            bitmap_ = std::exchange(o.bitmap_, nullptr);
            firstBitmap_ = std::exchange(o.firstBitmap_, nullptr);
        }
        return *this;
    }

    // A new DC without a bitmap of ours (1x1 monochrome, as the platform makes it).
    bool Create(HDC like = nullptr)
    {
        Reset();
        dc_ = CreateCompatibleDC(like);
        return dc_ != nullptr;
    }
    // A new DC drawing into a new bitmap compatible with `like` (the screen when null).
    bool Create(HDC like, int width, int height);
    // A new DC drawing into a new top-down 32-bit DIB section; its pixels, or null on failure (then
    // nothing is held).
    uint32_t* CreateDib(HDC like, int width, int height);
    void Reset()
    {
        if (firstBitmap_)
            SelectObject(dc_, firstBitmap_);
        if (bitmap_)
            DeleteObject(bitmap_);
        if (dc_)
            DeleteDC(dc_);
        dc_ = nullptr;
        bitmap_ = nullptr;
        firstBitmap_ = nullptr;
    }

    HDC Get() const { return dc_; }
    HBITMAP BitmapHandle() const { return bitmap_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    bool Hold(HBITMAP bitmap);

    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr; // ours: selected into dc_ while both live
    HGDIOBJ firstBitmap_ = nullptr; // not ours: the DC's own, put back before the DC goes
};

inline bool MemoryDC::Hold(HBITMAP bitmap)
{
    if (!bitmap) {
        Reset();
        return false;
    }
    bitmap_ = bitmap;
    firstBitmap_ = SelectObject(dc_, bitmap);
    return true;
}

inline bool MemoryDC::Create(HDC like, int width, int height)
{
    if (!Create(like) || width <= 0 || height <= 0) {
        Reset();
        return false;
    }
    HDC screen = like ? nullptr : GetDC(nullptr);
    HBITMAP b = CreateCompatibleBitmap(like ? like : screen, width, height);
    if (screen)
        ReleaseDC(nullptr, screen);
    return Hold(b);
}

inline uint32_t* MemoryDC::CreateDib(HDC like, int width, int height)
{
    if (!Create(like) || width <= 0 || height <= 0) {
        Reset();
        return nullptr;
    }
    BITMAPINFO bi = TopDownDib(width, height, 32);
    void* bits = nullptr;
    return Hold(CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0)) ? static_cast<uint32_t*>(bits) : nullptr;
}

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
