#include "shell/ModulePath.h"

#include <new>

#include "common/HResult.h"

namespace quilo::shell {

namespace {

HRESULT last_error_hresult() noexcept
{
    const DWORD error = GetLastError();
    return error ? hresult_from_win32(error) : E_FAIL;
}

} // namespace

HRESULT read_module_path(HMODULE module, std::string &path) noexcept
{
    char buffer[kMaxModulePath];
    const DWORD length = GetModuleFileNameA(module, buffer, kMaxModulePath);
    if (length == 0) return last_error_hresult();
    // A full buffer means the path was truncated.
    if (length >= kMaxModulePath) return hresult_from_win32(ERROR_INSUFFICIENT_BUFFER);
    try {
        path.assign(buffer, length);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT to_wide(const std::string &text, std::wstring &out) noexcept
{
    try {
        out.clear();
        if (text.empty()) return S_OK;
        const int n = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        if (n <= 0) return last_error_hresult();
        out.resize(static_cast<size_t>(n));
        MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT to_narrow(const wchar_t *text, std::string &out) noexcept
{
    try {
        out.clear();
        if (!text || !*text) return S_OK;
        const int n = WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
        if (n <= 0) return last_error_hresult();
        out.resize(static_cast<size_t>(n));
        WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, &out[0], n, nullptr, nullptr);
        out.resize(static_cast<size_t>(n - 1));
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

} // namespace quilo::shell
