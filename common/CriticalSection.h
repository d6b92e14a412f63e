// Critical section and its scoped lock.
#pragma once

#include <windows.h>

namespace quilo {

class CriticalSection
{
public:
    CriticalSection() noexcept { InitializeCriticalSection(&cs_); }
    ~CriticalSection() { DeleteCriticalSection(&cs_); }
    CriticalSection(const CriticalSection &) = delete;
    CriticalSection &operator=(const CriticalSection &) = delete;

    void enter() noexcept { EnterCriticalSection(&cs_); }
    void leave() noexcept { LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_;
};

// Holds any section with enter()/leave() for the scope.
template <typename Section>
class Lock
{
public:
    explicit Lock(Section &cs) noexcept : cs_(cs) { cs_.enter(); }
    ~Lock() { cs_.leave(); }
    Lock(const Lock &) = delete;
    Lock &operator=(const Lock &) = delete;

private:
    Section &cs_;
};

} // namespace quilo
