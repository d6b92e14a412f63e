// The exports of QuiloTestCamera.ax.
#include "testcam/Module.h"

#include <objbase.h>

#include "testcam/ClassFactory.h"
#include "testcam/kit/ComTable.h"

namespace quilo::testcam {
namespace {

HINSTANCE g_instance = nullptr;
// Outside references to the class objects and server locks.
volatile LONG g_locks = 0;

} // namespace

HINSTANCE module_instance() { return g_instance; }
void lock_module() { InterlockedIncrement(&g_locks); }
void unlock_module() { InterlockedDecrement(&g_locks); }

} // namespace quilo::testcam

using namespace quilo::testcam;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void **out)
{
    return get_class_object(clsid, iid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow()
{
    return quilo::kit::live_objects() == 0 && InterlockedCompareExchange(&g_locks, 0, 0) == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI DllRegisterServer() { return register_server(); }

extern "C" HRESULT WINAPI DllUnregisterServer() { return unregister_server(); }

// Filter, pin, enumerator and page objects of this module that are still alive, so that a
// host's leak test can prove it released the device.
extern "C" LONG WINAPI QuiloTestCameraLiveObjects() { return quilo::kit::live_objects(); }
