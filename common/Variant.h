// VARIANT and BSTR cleared when the scope ends.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <utility>

namespace quilo {

class UniqueVariant
{
public:
    UniqueVariant() noexcept { VariantInit(&v_); }
    ~UniqueVariant() { VariantClear(&v_); }
    UniqueVariant(const UniqueVariant &) = delete;
    UniqueVariant &operator=(const UniqueVariant &) = delete;

    VARIANT *get() noexcept { return &v_; }
    const VARIANT *get() const noexcept { return &v_; }
    VARIANT *put() noexcept { VariantClear(&v_); return &v_; }

private:
    VARIANT v_;
};

class UniqueBstr
{
public:
    UniqueBstr() noexcept = default;
    explicit UniqueBstr(const wchar_t *s) : b_(SysAllocString(s)) {}
    ~UniqueBstr() { SysFreeString(b_); }
    UniqueBstr(const UniqueBstr &) = delete;
    UniqueBstr &operator=(const UniqueBstr &) = delete;

    BSTR get() const noexcept { return b_; }
    BSTR *put() noexcept { SysFreeString(std::exchange(b_, nullptr)); return &b_; }
    BSTR detach() noexcept { return std::exchange(b_, nullptr); }

private:
    BSTR b_ = nullptr;
};

} // namespace quilo
