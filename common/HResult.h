// Early-return error handling: the HRESULT is always passed on, never dropped. Each early
// return can name its failing step: with the environment variable QUILO_TRACE set, it is
// written through OutputDebugString ("QuiloVideo.ocx: capture/DeviceGraph.cpp:57: step -> 0x...").
#pragma once

#include <windows.h>

namespace quilo {

// Writes the failing step when tracing is on (QUILO_TRACE, read once per module); else nothing.
void trace_failure(HRESULT hr, const char *step, const char *file, int line) noexcept;

} // namespace quilo

#define RETURN_IF_FAILED(expr)                                               \
    do {                                                                     \
        const HRESULT quilo_hr_ = (expr);                                    \
        if (FAILED(quilo_hr_)) {                                             \
            quilo::trace_failure(quilo_hr_, #expr, __FILE__, __LINE__);      \
            return quilo_hr_;                                                \
        }                                                                    \
    } while (0)

#define RETURN_HR_IF(hr, cond)                                               \
    do {                                                                     \
        if (cond) {                                                          \
            quilo::trace_failure((hr), #cond, __FILE__, __LINE__);           \
            return (hr);                                                     \
        }                                                                    \
    } while (0)

#define RETURN_HR_IF_NULL(hr, ptr) RETURN_HR_IF((hr), (ptr) == nullptr)

namespace quilo {

// A result deliberately not acted on. `why` says what covers for it, so that every ignored
// result in the code is found by this one name and carries its reason.
inline void ignore_result(HRESULT, const char *why) noexcept { static_cast<void>(why); }

// Win32 error code to HRESULT without the macro's double evaluation.
inline HRESULT hresult_from_win32(unsigned long err) noexcept
{
    return err == 0 ? S_OK : static_cast<HRESULT>((err & 0x0000FFFFu) | (FACILITY_WIN32 << 16) | 0x80000000u);
}

} // namespace quilo
