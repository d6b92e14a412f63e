// Automation types in and out of the engine's terms, for QuiloVideo.Camera: BSTRs, VARIANT
// arguments (a device or input by position or text, an optional frame rate), DATEs, the frame
// as SAFEARRAYs, and the shape of a call with one out-parameter.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <string>

#include "capture/CameraSession.h"
#include "capture/Outcome.h"
#include "shell/AutomationError.h"

namespace quilo::shell {

// All of a BSTR, embedded NULs included (null is the empty string).
std::wstring bstr_text(BSTR text);
// A new BSTR of `text` into *out; E_OUTOFMEMORY when none can be made.
HRESULT put_bstr(const std::wstring &text, BSTR *out);
inline VARIANT_BOOL variant_bool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// A position (any number) or a text (a name or a device path), by value or by reference.
capture::Outcome choice_of(const VARIANT &value, capture::Choice &choice);
// A frame rate in frames per second; left out (VT_ERROR, VT_EMPTY), 0.
capture::Outcome rate_of(const VARIANT &rate, double &frameRate);
// A UTC FILETIME as the host's local DATE.
DATE local_date(const FILETIME &utc);

// The last frame's bytes as a byte array (VT_UI1) or as Variant values (VT_VARIANT), which
// scripts index; a frame with more values than a Variant array can hold is refused on both
// builds with E_OUTOFMEMORY and a sentence.
HRESULT frame_bytes(const capture::CameraSession &session, VARTYPE type, VARIANT *out);

// A failure becomes the thread's error information with its sentence.
inline HRESULT answer(const capture::Outcome &outcome)
{
    return outcome.failed() && !outcome.sentence.empty() ? raise_error(outcome.hr, outcome.sentence) : outcome.hr;
}

// A call with one out-parameter: stale error information cleared, the pointer checked and
// emptied, then `ask` fills it.
template <class T, class Ask> HRESULT out_call(T *out, Ask ask)
{
    clear_error();
    if (!out) return E_POINTER;
    *out = T();
    return answer(ask(*out));
}

// The same for a text handed out as a BSTR.
template <class Ask> HRESULT text_call(BSTR *out, Ask ask)
{
    clear_error();
    if (!out) return E_POINTER;
    *out = nullptr;
    std::wstring text;
    const capture::Outcome outcome = ask(text);
    return outcome.failed() ? answer(outcome) : put_bstr(text, out);
}

} // namespace quilo::shell
