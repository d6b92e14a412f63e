// Owning COM interface pointer: one counted reference, released exactly once.
#pragma once

#include <unknwn.h>
#include <utility>

namespace quilo {

template <typename T>
class ComPtr
{
public:
    ComPtr() noexcept = default;
    ComPtr(decltype(nullptr)) noexcept {}
    // Takes a new reference of its own.
    explicit ComPtr(T *p) noexcept : p_(p) { if (p_) p_->AddRef(); }
    ComPtr(const ComPtr &other) noexcept : ComPtr(other.p_) {}
    ComPtr(ComPtr &&other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ~ComPtr() { reset(); }

    ComPtr &operator=(ComPtr other) noexcept { std::swap(p_, other.p_); return *this; }
    ComPtr &operator=(decltype(nullptr)) noexcept { reset(); return *this; }

    T *get() const noexcept { return p_; }
    T *operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // Out-parameter for creation calls: the old reference is released first.
    T **put() noexcept { reset(); return &p_; }
    void **put_void() noexcept { return reinterpret_cast<void **>(put()); }

    void reset() noexcept
    {
        if (T *p = std::exchange(p_, nullptr))
            p->Release();
    }
    // Adopts a reference the caller already owns.
    void attach(T *p) noexcept { reset(); p_ = p; }
    T *detach() noexcept { return std::exchange(p_, nullptr); }

    // Hands a new reference to an out-pointer (which may be null-checked by the caller).
    void copy_to(T **out) const noexcept
    {
        if (p_) p_->AddRef();
        *out = p_;
    }

    template <typename U>
    HRESULT query(ComPtr<U> &out) const noexcept
    {
        return query(__uuidof(U), out);
    }
    // For interfaces mingw-w64 declares no __uuidof for (IMediaEvent, IAMAnalogVideoDecoder).
    template <typename U>
    HRESULT query(REFIID iid, ComPtr<U> &out) const noexcept
    {
        if (!p_) { out.reset(); return E_POINTER; }
        return p_->QueryInterface(iid, out.put_void());
    }

private:
    T *p_ = nullptr;
};

template <typename T>
bool operator==(const ComPtr<T> &a, const ComPtr<T> &b) noexcept { return a.get() == b.get(); }

} // namespace quilo
