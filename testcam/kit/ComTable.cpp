#include "testcam/kit/ComTable.h"

#include <objbase.h>
#include <cstring>
#include <cwchar>

namespace quilo::kit {
namespace {
volatile LONG g_liveObjects = 0;
}

LONG live_objects() noexcept { return InterlockedCompareExchange(&g_liveObjects, 0, 0); }
void object_created() noexcept { InterlockedIncrement(&g_liveObjects); }
void object_destroyed() noexcept { InterlockedDecrement(&g_liveObjects); }

HRESULT duplicate_string(const wchar_t *text, wchar_t **out) noexcept
{
    if (!out) return E_POINTER;
    *out = nullptr;
    const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
    auto *copy = static_cast<wchar_t *>(CoTaskMemAlloc(bytes));
    if (!copy) return E_OUTOFMEMORY;
    std::memcpy(copy, text, bytes);
    *out = copy;
    return S_OK;
}

} // namespace quilo::kit
