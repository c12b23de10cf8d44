#pragma once
// The one COM smart pointer. Its rule: Assign(p) shares p (AddRef); Attach(p) takes a reference the
// caller already owns (no AddRef); Detach() hands the reference out; Put() releases what is held
// and gives the address for an out parameter. It is movable, not copyable: a second owner is made
// with Assign, so every AddRef is visible where it happens.
#include <objbase.h>
#include <utility>

namespace win {

template <class T> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Release(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept
    {
        if (this != &o)
            Attach(o.Detach());
        return *this;
    }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    void Assign(T* p)
    {
        if (p)
            p->AddRef();
        Attach(p);
    }
    void Attach(T* p)
    {
        T* old = std::exchange(p_, p);
        if (old)
            old->Release();
    }
    [[nodiscard]] T* Detach() { return std::exchange(p_, nullptr); }
    void Release() { Attach(nullptr); }
    T** Put()
    {
        Release();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    // Hands out a new reference (AddRef) through an out parameter, as a COM getter answers; a null
    // pointer held is handed out as null with S_OK.
    HRESULT CopyTo(T** out) const
    {
        if (!out)
            return E_POINTER;
        *out = p_;
        if (p_)
            p_->AddRef();
        return S_OK;
    }

    // QueryInterface into another pointer.
    template <class U> HRESULT As(ComPtr<U>& out) const
    {
        if (!p_)
            return E_POINTER;
        return p_->QueryInterface(__uuidof(U), out.PutVoid());
    }

private:
    T* p_ = nullptr;
};

} // namespace win
