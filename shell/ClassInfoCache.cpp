#include "shell/ClassInfoCache.h"

#include <oleauto.h>
#include <atomic>

#include "QuiloVideo.h"
#include "common/ComPtr.h"
#include "shell/Module.h"

namespace quilo::shell {

namespace {

constexpr LCID kLibraryLocale = 0x409; // the locale the library registers itself under

struct TypeInfoCache
{
    const CLSID &clsid;
    const GUID &libid;
    WORD major;
    WORD minor;
    std::atomic<ITypeInfo *> typeInfo;
};

TypeInfoCache g_cache{CLSID_CCQuiloVideoProc, LIBID_QuiloVideo, 1, 0, {nullptr}};

void release_cache(void *argument) noexcept
{
    auto *cache = static_cast<TypeInfoCache *>(argument);
    if (ITypeInfo *info = cache->typeInfo.exchange(nullptr)) info->Release();
}

HRESULT load_registered_library(const TypeInfoCache &cache, ComPtr<ITypeLib> &library) noexcept
{
    HRESULT hr = LoadRegTypeLib(cache.libid, cache.major, cache.minor, 0, library.put());
    // Wine does not fall back from the neutral locale to the one the library is registered
    // under; Windows does. Asking for that locale works on both.
    if (FAILED(hr) && SUCCEEDED(LoadRegTypeLib(cache.libid, cache.major, cache.minor, kLibraryLocale, library.put())))
        hr = S_OK;
    return hr;
}

HRESULT load_cache(TypeInfoCache &cache) noexcept
{
    Module &m = module();
    Lock guard(m.module_lock());
    if (cache.typeInfo.load()) return S_OK;

    ComPtr<ITypeLib> library;
    HRESULT hr = load_registered_library(cache, library);
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> info;
    hr = library->GetTypeInfoOfGuid(cache.clsid, info.put());
    if (FAILED(hr)) return hr;
    // The module lock is re-entered here; nothing is kept unless its release is scheduled.
    hr = m.add_termination(release_cache, &cache);
    if (FAILED(hr)) return hr;
    cache.typeInfo.store(info.detach());
    return S_OK;
}

} // namespace

HRESULT get_class_type_info(ITypeInfo **ppTI) noexcept
{
    if (!ppTI) return E_POINTER;
    *ppTI = nullptr;
    HRESULT hr = S_OK;
    if (!g_cache.typeInfo.load()) hr = load_cache(g_cache);
    ITypeInfo *info = g_cache.typeInfo.load();
    *ppTI = info;
    if (!info) return FAILED(hr) ? hr : E_UNEXPECTED;
    info->AddRef();
    return S_OK;
}

} // namespace quilo::shell
