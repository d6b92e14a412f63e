// Runs a clean-up action when the scope ends, unless dismissed.
#pragma once

#include <utility>

namespace quilo {

template <typename F>
class ScopeGuard
{
public:
    explicit ScopeGuard(F f) noexcept : f_(std::move(f)) {}
    ScopeGuard(const ScopeGuard &) = delete;
    ScopeGuard &operator=(const ScopeGuard &) = delete;
    ~ScopeGuard() { if (armed_) f_(); }
    void dismiss() noexcept { armed_ = false; }

private:
    F f_;
    bool armed_ = true;
};

template <typename F>
ScopeGuard<F> scope_exit(F f) { return ScopeGuard<F>(std::move(f)); }

} // namespace quilo
