// A critical section whose initialisation can be checked. The module's locks and the class
// object's lock report a failed initialisation instead of assuming success.
#pragma once

#include <windows.h>

#include "common/CriticalSection.h"

namespace quilo::shell {

class CheckedCriticalSection
{
public:
    CheckedCriticalSection() noexcept = default;
    ~CheckedCriticalSection() { term(); }
    CheckedCriticalSection(const CheckedCriticalSection &) = delete;
    CheckedCriticalSection &operator=(const CheckedCriticalSection &) = delete;

    // False when the platform could not set the section up; the section is then unusable.
    bool init() noexcept
    {
        if (!ready_) ready_ = InitializeCriticalSectionAndSpinCount(&cs_, 0) != FALSE;
        return ready_;
    }
    void term() noexcept
    {
        if (ready_) DeleteCriticalSection(&cs_);
        ready_ = false;
    }

    void enter() noexcept { EnterCriticalSection(&cs_); }
    void leave() noexcept { LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_ = {};
    bool ready_ = false;
};

} // namespace quilo::shell
