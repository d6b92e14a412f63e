// The module's lifetime exports: DllMain, DllCanUnloadNow and DllGetClassObject with the two
// class objects.
#include "shell/Module.h"

#include <objbase.h>

#include "QuiloCamera.h"
#include "QuiloVideo.h"
#include "common/ClassFactory.h"
#include "shell/Camera.h"
#include "shell/VideoProc.h"

// The linker's symbol for the image this code is part of: its own instance handle.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace quilo::shell {
namespace {

LONG g_locks = 0;
// Constant-initialised, so it is complete before any code of the module runs.
ClassFactory g_classObject(create_video_proc, lock_module, unlock_module);
ClassFactory g_cameraClassObject(create_camera, lock_module, unlock_module);

} // namespace

HINSTANCE module_instance() noexcept { return reinterpret_cast<HINSTANCE>(&__ImageBase); }
void lock_module() noexcept { InterlockedIncrement(&g_locks); }
void unlock_module() noexcept { InterlockedDecrement(&g_locks); }

} // namespace quilo::shell

// Module state is all static; the load needs nothing else.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

extern "C" HRESULT WINAPI DllCanUnloadNow()
{
    return InterlockedCompareExchange(&quilo::shell::g_locks, 0, 0) == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void **out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualCLSID(clsid, CLSID_CCQuiloVideoProc)) return quilo::shell::g_classObject.QueryInterface(iid, out);
    if (IsEqualCLSID(clsid, CLSID_Camera)) return quilo::shell::g_cameraClassObject.QueryInterface(iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}
