// Owning kernel handle.
#pragma once

#include <windows.h>
#include <utility>

namespace quilo {

class UniqueHandle
{
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(HANDLE h) noexcept : h_(h) {}
    UniqueHandle(UniqueHandle &&o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    UniqueHandle &operator=(UniqueHandle &&o) noexcept { reset(std::exchange(o.h_, nullptr)); return *this; }
    UniqueHandle(const UniqueHandle &) = delete;
    UniqueHandle &operator=(const UniqueHandle &) = delete;
    ~UniqueHandle() { reset(); }

    HANDLE get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    // Gives up ownership without closing.
    HANDLE release() noexcept { return std::exchange(h_, nullptr); }
    void reset(HANDLE h = nullptr) noexcept
    {
        HANDLE old = std::exchange(h_, h);
        if (old && old != INVALID_HANDLE_VALUE) CloseHandle(old);
    }

private:
    HANDLE h_ = nullptr;
};

// Registry key closed when the scope ends.
class UniqueHkey
{
public:
    UniqueHkey() noexcept = default;
    UniqueHkey(UniqueHkey &&o) noexcept : k_(std::exchange(o.k_, nullptr)) {}
    UniqueHkey &operator=(UniqueHkey &&o) noexcept { reset(std::exchange(o.k_, nullptr)); return *this; }
    UniqueHkey(const UniqueHkey &) = delete;
    UniqueHkey &operator=(const UniqueHkey &) = delete;
    ~UniqueHkey() { reset(); }

    HKEY get() const noexcept { return k_; }
    HKEY *put() noexcept { reset(); return &k_; }
    explicit operator bool() const noexcept { return k_ != nullptr; }
    void reset(HKEY k = nullptr) noexcept
    {
        HKEY old = std::exchange(k_, k);
        if (old) RegCloseKey(old);
    }

private:
    HKEY k_ = nullptr;
};

} // namespace quilo
