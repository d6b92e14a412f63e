#include "shell/ReplacementVariables.h"

#include <objbase.h>
#include <shellapi.h>
#include <cstring>
#include <new>

#include "common/HResult.h"
#include "shell/ModulePath.h"

namespace quilo::shell {

namespace {

char ascii_lower(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_name(const std::string &a, const std::string &b) noexcept
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}

HRESULT guid_text(REFGUID guid, std::string &out) noexcept
{
    LPOLESTR wide = nullptr;
    RETURN_IF_FAILED(StringFromCLSID(guid, &wide));
    const HRESULT hr = to_narrow(wide, out);
    CoTaskMemFree(wide);
    return hr;
}

} // namespace

HRESULT ReplacementVariables::add(const char *name, const std::string &text) noexcept
{
    try {
        variables_.emplace_back(name, text);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

const std::string *ReplacementVariables::find(const std::string &name) const noexcept
{
    for (const auto &v : variables_)
        if (same_name(v.first, name)) return &v.second;
    return nullptr;
}

HRESULT ReplacementVariables::expand(const char *text, std::string &out) const noexcept
{
    try {
        out.clear();
        for (const char *p = text; *p; ++p) {
            if (*p != '%') {
                out += *p;
                continue;
            }
            const char *close = std::strchr(p + 1, '%');
            if (!close) return E_FAIL;
            if (close == p + 1) {
                out += '%';
            } else {
                const size_t length = static_cast<size_t>(close - p - 1);
                if (length > kMaxNameLength) return E_FAIL;
                const std::string *value = find(std::string(p + 1, length));
                if (!value) return E_FAIL;
                out += *value;
            }
            p = close;
        }
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT make_module_variables(HMODULE module, REFGUID libid, const char *friendlyName,
                              ReplacementVariables &variables) noexcept
{
    std::string path;
    RETURN_IF_FAILED(read_module_path(module, path));
    std::string libidText;
    RETURN_IF_FAILED(guid_text(libid, libidText));

    // Only an executable's path is quoted: it is a command line for LocalServer32.
    const bool executableHandle = module == nullptr || module == GetModuleHandleA(nullptr);
    const bool executableFile = SHGetFileInfoA(path.c_str(), 0, nullptr, 0, SHGFI_EXETYPE) != 0;
    try {
        RETURN_IF_FAILED(variables.add("Module", executableHandle ? "\"" + path + "\"" : path));
        RETURN_IF_FAILED(variables.add("Module_Raw", path));
        RETURN_IF_FAILED(variables.add("MODULEGUID", libidText));
        RETURN_IF_FAILED(variables.add("MODULETYPE", executableFile ? "LocalServer32" : "InprocServer32"));
        RETURN_IF_FAILED(variables.add("APPID", ""));
        RETURN_IF_FAILED(variables.add("FriendlyName", friendlyName));
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

} // namespace quilo::shell
