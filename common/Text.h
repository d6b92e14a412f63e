// Text between the 8-bit strings of command lines and the Windows "A" functions (the ANSI code
// page) and the wide strings of COM and the "W" functions.
#pragma once

#include <windows.h>
#include <string>

namespace quilo {

// `text` read in the ANSI code page; a byte sequence that is not text there gives "".
std::wstring widen(const std::string &text);
// `text` written in the ANSI code page (a character it lacks becomes its best fit or '?').
std::string narrow(const wchar_t *text);

} // namespace quilo
