// Human-readable text for an HRESULT: the one text the component's sentences, the tools and the
// benchmark show, and the one way the tools report a failing call.
#pragma once

#include <windows.h>
#include <string>

namespace quilo::dshow {

// The platform's message for `hr`: the system message table first, then DirectShow's own
// texts (quartz.dll's AMGetErrorText), then texts this program carries for the codes a capture
// host meets most; led by the code's symbolic name when known, e.g.
// "(VFW_E_NO_CAPTURE_HARDWARE) No capture hardware is available". Empty when nothing knows it.
std::string error_text(HRESULT hr);

// "0x8004xxxx, <text>" (the number alone when nothing knows it), for a sentence's parenthesis.
std::wstring describe_hresult(HRESULT hr);

// "<what> failed: 0x8004xxxx <text>", the one way a failing call is shown to the user.
std::string failure_text(const std::string &what, HRESULT hr);

// "<program>: <what> failed: 0x8004xxxx <text>" on standard error.
void report_failure(const char *program, const std::string &what, HRESULT hr);

} // namespace quilo::dshow
