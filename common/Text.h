// Text between 8-bit strings (command lines, the "A" functions, registry values: the ANSI code
// page unless told otherwise) and the wide strings of COM and the "W" functions: the one pair of
// conversions of the component, the test camera, the tools and the tests.
#pragma once

#include <windows.h>
#include <string>

namespace quilo {

// `text` read in `codePage`; a byte sequence that is not text there gives "".
std::wstring widen(const std::string &text, UINT codePage = CP_ACP);
// `text` (null: "") written in `codePage`, a character it lacks as its best fit or '?'.
std::string narrow(const wchar_t *text, UINT codePage = CP_ACP);

} // namespace quilo
