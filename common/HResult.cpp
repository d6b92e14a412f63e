#include "common/HResult.h"

#include <windows.h>
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace quilo {
namespace {

// The path below the source tree: what a reader looks up.
const char *source_path(const char *file) noexcept
{
    for (const char *folder : {"/capture/", "/frame/", "/shell/", "/common/", "/dshow/", "/interface/", "/testcam/",
                               "/tools/", "/bench/", "/tests/"})
        if (const char *at = std::strstr(file, folder)) return at + 1;
    return file;
}

} // namespace

void trace_failure(HRESULT hr, const char *step, const char *file, int line) noexcept
{
    // Read once: the environment of a host does not change its mind about tracing.
    static const bool enabled = GetEnvironmentVariableA("QUILO_TRACE", nullptr, 0) > 0;
    if (!enabled) return;
    // Named by the module this code is built into: the component, the test camera or a tool.
    char module[MAX_PATH] = "?";
    HMODULE self = nullptr;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&trace_failure), &self))
        GetModuleFileNameA(self, module, sizeof(module));
    const char *name = std::strrchr(module, '\\');
    char text[768];
    std::snprintf(text, sizeof(text), "%s: %s:%d: %s -> 0x%08lX\n", name ? name + 1 : module, source_path(file), line,
                  step, static_cast<unsigned long>(hr));
    OutputDebugStringA(text);
}

} // namespace quilo
