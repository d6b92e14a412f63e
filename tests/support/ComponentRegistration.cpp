#include "support/ComponentRegistration.h"

#include "common/HResult.h"
#include "support/TestPaths.h"

namespace quilo::test {

namespace {

HRESULT call_export(const char *name)
{
    HMODULE module = LoadLibraryA(QUILO_MODULE_PATH);
    if (!module) return hresult_from_win32(GetLastError());
    HRESULT hr;
    auto entry = reinterpret_cast<HRESULT(WINAPI *)()>(reinterpret_cast<void *>(GetProcAddress(module, name)));
    hr = entry ? entry() : hresult_from_win32(GetLastError());
    FreeLibrary(module);
    return hr;
}

} // namespace

HRESULT register_component() { return call_export("DllRegisterServer"); }
HRESULT unregister_component() { return call_export("DllUnregisterServer"); }

} // namespace quilo::test
