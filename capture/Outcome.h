// An engine answer meant for a host: the HRESULT and, for a failure, the sentence that says what
// happened and what there is instead. The automation class turns it into its IErrorInfo.
#pragma once

#include <windows.h>
#include <string>
#include <utility>

namespace quilo::capture {

struct Outcome
{
    HRESULT hr = S_OK;
    std::wstring sentence;

    Outcome() = default;
    // A result whose failure, if any, needs no words beyond its code (E_POINTER and the like).
    Outcome(HRESULT result) : hr(result) {}
    Outcome(HRESULT result, std::wstring text) : hr(result), sentence(std::move(text)) {}
    bool failed() const noexcept { return FAILED(hr); }
};

// Returns `outcome` from the calling function when it failed.
#define RETURN_IF_OUTCOME_FAILED(expr)                                                                       \
    do {                                                                                                     \
        ::quilo::capture::Outcome quilo_outcome_ = (expr);                                                   \
        if (quilo_outcome_.failed()) return quilo_outcome_;                                                  \
    } while (0)

} // namespace quilo::capture
