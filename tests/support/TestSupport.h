// Small helpers shared by the test executables.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <ostream>
#include <string>
#include <vector>

#include "common/Text.h"
#include "support/TestPaths.h"

namespace quilo::test {

// Whether `part` occurs in `text`.
inline bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// Wide form of an 8-bit string in the ANSI code page (paths and names as programs take them).
inline std::wstring widen(const std::string &s) { return quilo::widen(s); }
// 8-bit form of a wide string, UTF-8 unless told otherwise (texts compared with literals).
inline std::string narrow(const wchar_t *s, UINT codePage = CP_UTF8) { return quilo::narrow(s, codePage); }

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

// One run of a program, as a failed assertion shows it (`<< run`): the command line, how it
// ended and all it wrote.
struct ProgramRun
{
    static constexpr DWORD kNotStarted = static_cast<DWORD>(-1);
    static constexpr DWORD kTimedOut = static_cast<DWORD>(-2);

    std::string commandLine;
    DWORD timeoutMs = 0;
    DWORD exitCode = kNotStarted; // or kTimedOut
    DWORD startError = 0;         // GetLastError of a program that could not be started
    std::string output;           // standard output and error together, also of one ended at its limit
};
std::ostream &operator<<(std::ostream &out, const ProgramRun &run);

// Runs a program to its end. One that has not ended after `timeoutMs` is terminated
// (kTimedOut); one that cannot be started gives kNotStarted.
ProgramRun run_program(const std::string &commandLine, DWORD timeoutMs = 60000);

} // namespace quilo::test
