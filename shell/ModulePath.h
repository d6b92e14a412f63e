// The module's file path and the 8-bit/16-bit text conversions that registration uses.
#pragma once

#include <windows.h>
#include <string>

namespace quilo::shell {

// Registration's paths are limited to MAX_PATH (260) characters with the terminator.
constexpr DWORD kMaxModulePath = MAX_PATH;

// The full path of `module` in 8-bit characters. A path of 260 characters or more fails with
// ERROR_INSUFFICIENT_BUFFER as HRESULT (0x8007007A) rather than being cut short.
HRESULT read_module_path(HMODULE module, std::string &path) noexcept;

// Conversions in the thread's ANSI code page.
HRESULT to_wide(const std::string &text, std::wstring &out) noexcept;
HRESULT to_narrow(const wchar_t *text, std::string &out) noexcept;

} // namespace quilo::shell
