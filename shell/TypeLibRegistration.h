// Registration of the type library the module carries (TYPELIB resource 1), with a ".tlb"
// file beside the module as the fallback source.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <string>

#include "common/ComPtr.h"

namespace quilo::shell {

// Loads the type library of the file at `modulePath`: from the file itself, else from the same
// path with the extension ".tlb". `loadedFrom` receives the path that worked.
HRESULT load_type_library(const std::string &modulePath, ComPtr<ITypeLib> &library, std::wstring &loadedFrom) noexcept;

// The help directory registered with a library: the path cut after its last separator
// (backslash, slash or colon), looking at no more than its first 259 characters.
std::wstring help_directory(const std::wstring &path);

HRESULT register_type_library(HMODULE module) noexcept;
HRESULT unregister_type_library(HMODULE module) noexcept;

} // namespace quilo::shell
