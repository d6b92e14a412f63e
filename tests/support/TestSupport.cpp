#include "support/TestSupport.h"

#include <objbase.h>
#include <cstdio>
#include <vector>

#include "common/Handle.h"

namespace quilo::test {
namespace {

struct WindowSearch
{
    DWORD process;
    const char *className;
    std::vector<HWND> found;
};

BOOL CALLBACK collect_window(HWND window, LPARAM data)
{
    auto *search = reinterpret_cast<WindowSearch *>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    if (process == search->process && std::string(name) == search->className && IsWindowVisible(window))
        search->found.push_back(window);
    return TRUE;
}

} // namespace

std::vector<HWND> windows_of(DWORD process, const char *className)
{
    WindowSearch search = {process, className, {}};
    EnumWindows(collect_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

ComScope::ComScope(DWORD model) : hr_(CoInitializeEx(nullptr, model)) {}

ComScope::~ComScope()
{
    if (SUCCEEDED(hr_)) CoUninitialize();
}

std::ostream &operator<<(std::ostream &out, const ProgramRun &run)
{
    out << "\n[" << run.commandLine << "] ";
    if (run.exitCode == ProgramRun::kNotStarted) {
        out << "could not be started (error " << run.startError << ")";
    } else if (run.exitCode == ProgramRun::kTimedOut) {
        out << "had not ended after " << run.timeoutMs << " ms and was terminated";
    } else {
        char code[32];
        std::snprintf(code, sizeof(code), "%lu (0x%08lX)", static_cast<unsigned long>(run.exitCode),
                      static_cast<unsigned long>(run.exitCode));
        out << "exited with " << code;
    }
    if (run.exitCode == ProgramRun::kNotStarted) return out;
    if (run.output.empty()) return out << "; it wrote nothing";
    return out << "; it wrote:\n" << run.output;
}

ProgramRun run_program(const std::string &commandLine, DWORD timeoutMs)
{
    ProgramRun run;
    run.commandLine = commandLine;
    run.timeoutMs = timeoutMs;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) {
        run.startError = GetLastError();
        return run;
    }
    UniqueHandle reader(readEnd), writer(writeEnd);
    SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writer.get();
    si.hStdError = writer.get();
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi = {};
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back('\0');
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        run.startError = GetLastError();
        return run;
    }
    UniqueHandle process(pi.hProcess), thread(pi.hThread);
    writer.reset();

    // Output is read as it comes, without ever blocking on the pipe: the time limit holds
    // even for a child that hangs with its output pipe open.
    auto drain = [&] {
        char buf[4096];
        DWORD available = 0, got = 0;
        while (PeekNamedPipe(reader.get(), nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
               ReadFile(reader.get(), buf, available < sizeof(buf) ? available : sizeof(buf), &got, nullptr) && got > 0)
            run.output.append(buf, got);
    };
    const DWORD start = GetTickCount();
    for (;;) {
        drain();
        if (WaitForSingleObject(process.get(), 20) == WAIT_OBJECT_0) break;
        if (GetTickCount() - start >= timeoutMs) {
            TerminateProcess(process.get(), 259);
            WaitForSingleObject(process.get(), 5000);
            drain();
            run.exitCode = ProgramRun::kTimedOut;
            return run;
        }
    }
    drain();
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    run.exitCode = code;
    return run;
}

} // namespace quilo::test
