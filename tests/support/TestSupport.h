// Small helpers shared by the test executables.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <string>
#include <vector>

#include "support/TestPaths.h"

namespace quilo::test {

// Wide form of an 8-bit string (ASCII paths and names).
std::wstring widen(const std::string &s);
// 8-bit form of a wide string in the given code page.
std::string narrow(const wchar_t *s, UINT codePage = CP_UTF8);

// COM initialised on this thread for the scope (apartment-threaded by default).
class ComScope
{
public:
    explicit ComScope(DWORD model = COINIT_APARTMENTTHREADED);
    ~ComScope();
    ComScope(const ComScope &) = delete;
    ComScope &operator=(const ComScope &) = delete;
    HRESULT result() const { return hr_; }

private:
    HRESULT hr_;
};

// The visible top-level windows of a window class that a process shows.
std::vector<HWND> windows_of(DWORD process, const char *className);

// Runs a program and returns its exit code; its standard output and error land in *output if
// given. A program that has not ended after `timeoutMs` is terminated: (DWORD)-2. A program
// that cannot be started: (DWORD)-1.
DWORD run_program(const std::string &commandLine, std::string *output = nullptr, DWORD timeoutMs = 60000);

} // namespace quilo::test
