// Placeholder exports until the shell lands.
#include <windows.h>
#include <objbase.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
extern "C" HRESULT WINAPI DllCanUnloadNow() { return S_OK; }
extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID, void **ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}
extern "C" HRESULT WINAPI DllRegisterServer() { return E_NOTIMPL; }
extern "C" HRESULT WINAPI DllUnregisterServer() { return E_NOTIMPL; }
