#include "shell/TypeLibRegistration.h"

#include <oleauto.h>
#include <shlwapi.h>
#include <new>

#include "common/HResult.h"
#include "common/ScopeGuard.h"
#include "shell/ModulePath.h"

namespace quilo::shell {

HRESULT load_type_library(const std::string &modulePath, ComPtr<ITypeLib> &library, std::wstring &loadedFrom) noexcept
{
    RETURN_IF_FAILED(to_wide(modulePath, loadedFrom));
    if (SUCCEEDED(LoadTypeLib(loadedFrom.c_str(), library.put()))) return S_OK;

    try {
        std::string tlbPath = modulePath;
        const char *extension = PathFindExtensionA(tlbPath.c_str());
        tlbPath.resize(static_cast<size_t>(extension - tlbPath.c_str()));
        tlbPath += ".tlb";
        if (tlbPath.size() + 1 > kMaxModulePath) return E_FAIL;
        RETURN_IF_FAILED(to_wide(tlbPath, loadedFrom));
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return LoadTypeLib(loadedFrom.c_str(), library.put());
}

std::wstring help_directory(const std::wstring &path)
{
    const std::wstring head = path.substr(0, kMaxModulePath - 1);
    const size_t separator = head.find_last_of(L"\\/:");
    return separator == std::wstring::npos ? std::wstring() : head.substr(0, separator + 1);
}

namespace {

// The type library the module carries (or its ".tlb" twin), and the path it came from.
HRESULT load_module_type_library(HMODULE module, ComPtr<ITypeLib> &library, std::wstring &path) noexcept
{
    std::string modulePath;
    RETURN_IF_FAILED(read_module_path(module, modulePath));
    return load_type_library(modulePath, library, path);
}

} // namespace

HRESULT register_type_library(HMODULE module) noexcept
{
    ComPtr<ITypeLib> library;
    std::wstring path;
    RETURN_IF_FAILED(load_module_type_library(module, library, path));
    try {
        std::wstring helpDir = help_directory(path);
        return RegisterTypeLib(library.get(), &path[0], &helpDir[0]);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

HRESULT unregister_type_library(HMODULE module) noexcept
{
    ComPtr<ITypeLib> library;
    std::wstring path;
    RETURN_IF_FAILED(load_module_type_library(module, library, path));
    TLIBATTR *attributes = nullptr;
    RETURN_IF_FAILED(library->GetLibAttr(&attributes));
    auto release = scope_exit([&] { library->ReleaseTLibAttr(attributes); });
    return UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                             attributes->syskind);
}

} // namespace quilo::shell
