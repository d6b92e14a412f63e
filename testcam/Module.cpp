// The exports of QuiloTestCamera.ax.
#include "testcam/Module.h"

#include <objbase.h>

#include "common/HResult.h"
#include "testcam/CameraFilter.h"
#include "testcam/CameraIds.h"
#include "testcam/CameraPage.h"
#include "testcam/ClassFactory.h"
#include "testcam/kit/ComTable.h"

namespace quilo::testcam {
namespace {

HINSTANCE g_instance = nullptr;
volatile LONG g_locks = 0;

ClassFactory g_filterFactory(&CameraFilter::create);
ClassFactory g_pageFactory(&CameraPage::create);

struct ClassEntry
{
    const CLSID *clsid;
    ClassFactory *factory;
};

const ClassEntry kClasses[] = {
    {&kClsidTestCamera, &g_filterFactory},
    {&kClsidTestCameraPage, &g_pageFactory},
};

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
    RETURN_HR_IF_NULL(E_POINTER, out);
    *out = nullptr;
    for (const ClassEntry &entry : kClasses)
        if (IsEqualCLSID(clsid, *entry.clsid)) return entry.factory->QueryInterface(iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
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
