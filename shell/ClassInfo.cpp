#include "shell/ClassInfo.h"

#include <oleauto.h>

#include "QuiloVideo.h"
#include "shell/Module.h"
#include "common/ComPtr.h"
#include "common/CriticalSection.h"
#include "common/HResult.h"

namespace quilo::shell {
namespace {

// The locale the library registers itself under.
constexpr LCID kLibraryLocale = 0x409;

CriticalSection g_lock;
// Released when the module is unloaded.
ComPtr<ITypeInfo> g_classInfo;
ComPtr<ITypeLib> g_cameraLibrary;

HRESULT load_camera_library(ComPtr<ITypeLib> &library) noexcept
{
    wchar_t path[MAX_PATH + 3];
    const DWORD length = GetModuleFileNameW(module_instance(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TYPE_E_CANTLOADLIBRARY;
    lstrcpyW(path + length, L"\\2");
    return LoadTypeLibEx(path, REGKIND_NONE, library.put());
}

HRESULT load_class_info(ComPtr<ITypeInfo> &info) noexcept
{
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadRegTypeLib(LIBID_QuiloVideo, 1, 0, 0, library.put());
    // Wine does not fall back from the neutral locale to the registered one; Windows does. Asking
    // for that locale works on both. The neutral locale's failure is the one reported.
    if (FAILED(hr) && SUCCEEDED(LoadRegTypeLib(LIBID_QuiloVideo, 1, 0, kLibraryLocale, library.put()))) hr = S_OK;
    RETURN_IF_FAILED(hr);
    return library->GetTypeInfoOfGuid(CLSID_CCQuiloVideoProc, info.put());
}

} // namespace

HRESULT get_class_info(ITypeInfo **out) noexcept
{
    if (!out) return E_POINTER;
    *out = nullptr;
    Lock guard(g_lock);
    if (!g_classInfo) RETURN_IF_FAILED(load_class_info(g_classInfo));
    g_classInfo.copy_to(out);
    return S_OK;
}

HRESULT get_camera_type_info(REFGUID guid, ITypeInfo **out) noexcept
{
    if (!out) return E_POINTER;
    *out = nullptr;
    Lock guard(g_lock);
    if (!g_cameraLibrary) RETURN_IF_FAILED(load_camera_library(g_cameraLibrary));
    return g_cameraLibrary->GetTypeInfoOfGuid(guid, out);
}

} // namespace quilo::shell
