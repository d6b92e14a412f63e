// The five exports of the in-process server.
#include <windows.h>
#include <objbase.h>

#include "shell/Module.h"
#include "shell/ServerRegistration.h"

using quilo::shell::module;

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    // The module state is already built; a lock it could not set up refuses the load.
    return !(reason == DLL_PROCESS_ATTACH && module().init_failed());
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return module().lock_count() == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void **ppv)
{
    return module().get_class_object(rclsid, riid, ppv);
}

extern "C" HRESULT WINAPI DllRegisterServer() { return quilo::shell::register_server(module()); }

extern "C" HRESULT WINAPI DllUnregisterServer() { return quilo::shell::unregister_server(module()); }
