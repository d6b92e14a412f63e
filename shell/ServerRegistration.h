// What DllRegisterServer and DllUnregisterServer do: every class's registry tree and (empty)
// category list, then the module's type library.
#pragma once

#include <windows.h>

#include "shell/Module.h"

namespace quilo::shell {

// Component categories of a class. The module's classes declare none, so the platform's
// category manager is never created and no category key is written or removed.
HRESULT update_categories(const ClassEntry &entry, bool doRegister) noexcept;

HRESULT register_server(Module &m) noexcept;
// Any success is reported as S_OK.
HRESULT unregister_server(Module &m) noexcept;

} // namespace quilo::shell
