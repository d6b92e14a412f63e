#include "bench/ImportCounter.h"

#include <objbase.h>
#include <cstdlib>
#include <cstring>

namespace quilo::bench {
namespace {

volatile LONG g_allocations = 0;
volatile LONG g_frees = 0;

// The real functions the wrappers forward to, taken from the import table before patching.
void *(__cdecl *real_malloc)(size_t) = nullptr;
void *(__cdecl *real_calloc)(size_t, size_t) = nullptr;
void *(__cdecl *real_realloc)(void *, size_t) = nullptr;
void(__cdecl *real_free)(void *) = nullptr;
LPVOID(WINAPI *real_HeapAlloc)(HANDLE, DWORD, SIZE_T) = nullptr;
LPVOID(WINAPI *real_HeapReAlloc)(HANDLE, DWORD, LPVOID, SIZE_T) = nullptr;
BOOL(WINAPI *real_HeapFree)(HANDLE, DWORD, LPVOID) = nullptr;
LPVOID(WINAPI *real_CoTaskMemAlloc)(SIZE_T) = nullptr;
LPVOID(WINAPI *real_CoTaskMemRealloc)(LPVOID, SIZE_T) = nullptr;
void(WINAPI *real_CoTaskMemFree)(LPVOID) = nullptr;

void *__cdecl count_malloc(size_t n) { InterlockedIncrement(&g_allocations); return real_malloc(n); }
void *__cdecl count_calloc(size_t n, size_t s) { InterlockedIncrement(&g_allocations); return real_calloc(n, s); }
void *__cdecl count_realloc(void *p, size_t n) { InterlockedIncrement(&g_allocations); return real_realloc(p, n); }
void __cdecl count_free(void *p) { if (p) InterlockedIncrement(&g_frees); real_free(p); }
LPVOID WINAPI count_HeapAlloc(HANDLE h, DWORD f, SIZE_T n) { InterlockedIncrement(&g_allocations); return real_HeapAlloc(h, f, n); }
LPVOID WINAPI count_HeapReAlloc(HANDLE h, DWORD f, LPVOID p, SIZE_T n) { InterlockedIncrement(&g_allocations); return real_HeapReAlloc(h, f, p, n); }
BOOL WINAPI count_HeapFree(HANDLE h, DWORD f, LPVOID p) { if (p) InterlockedIncrement(&g_frees); return real_HeapFree(h, f, p); }
LPVOID WINAPI count_CoTaskMemAlloc(SIZE_T n) { InterlockedIncrement(&g_allocations); return real_CoTaskMemAlloc(n); }
LPVOID WINAPI count_CoTaskMemRealloc(LPVOID p, SIZE_T n) { InterlockedIncrement(&g_allocations); return real_CoTaskMemRealloc(p, n); }
void WINAPI count_CoTaskMemFree(LPVOID p) { if (p) InterlockedIncrement(&g_frees); real_CoTaskMemFree(p); }

struct Hook
{
    const char *dll;      // matched case-insensitively
    const char *function;
    void *wrapper;
    void **real;
};

// Wrapper and original share one type, so a hook cannot forward to a function of another shape.
template <typename F>
Hook hook(const char *dll, const char *function, F wrapper, F *real)
{
    return {dll, function, reinterpret_cast<void *>(wrapper), reinterpret_cast<void **>(real)};
}

const Hook kHooks[] = {
    hook("msvcrt.dll", "malloc", &count_malloc, &real_malloc),
    hook("msvcrt.dll", "calloc", &count_calloc, &real_calloc),
    hook("msvcrt.dll", "realloc", &count_realloc, &real_realloc),
    hook("msvcrt.dll", "free", &count_free, &real_free),
    hook("kernel32.dll", "HeapAlloc", &count_HeapAlloc, &real_HeapAlloc),
    hook("kernel32.dll", "HeapReAlloc", &count_HeapReAlloc, &real_HeapReAlloc),
    hook("kernel32.dll", "HeapFree", &count_HeapFree, &real_HeapFree),
    hook("ole32.dll", "CoTaskMemAlloc", &count_CoTaskMemAlloc, &real_CoTaskMemAlloc),
    hook("ole32.dll", "CoTaskMemRealloc", &count_CoTaskMemRealloc, &real_CoTaskMemRealloc),
    hook("ole32.dll", "CoTaskMemFree", &count_CoTaskMemFree, &real_CoTaskMemFree),
};

bool write_slot(void **slot, void *value)
{
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof(void *), PAGE_READWRITE, &old)) return false;
    *slot = value;
    VirtualProtect(slot, sizeof(void *), old, &old);
    FlushInstructionCache(GetCurrentProcess(), slot, sizeof(void *));
    return true;
}

} // namespace

int ImportCounter::install(HMODULE module)
{
    uninstall();
    auto *base = reinterpret_cast<BYTE *>(module);
    if (!base) return 0;
    const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return 0;

    for (auto *desc = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress); desc->Name;
         ++desc) {
        const char *dll = reinterpret_cast<const char *>(base + desc->Name);
        // Names come from the lookup table; the address table holds the bound addresses.
        if (!desc->OriginalFirstThunk) continue;
        const auto *names = reinterpret_cast<const IMAGE_THUNK_DATA *>(base + desc->OriginalFirstThunk);
        auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + desc->FirstThunk);
        for (size_t i = 0; names[i].u1.AddressOfData; ++i) {
            if (IMAGE_SNAP_BY_ORDINAL(names[i].u1.Ordinal)) continue;
            const auto *byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(base + names[i].u1.AddressOfData);
            for (const Hook &hook : kHooks) {
                if (lstrcmpiA(hook.dll, dll) != 0 || std::strcmp(hook.function, reinterpret_cast<const char *>(byName->Name)) != 0)
                    continue;
                void **slot = reinterpret_cast<void **>(&slots[i].u1.Function);
                if (count_ >= static_cast<int>(sizeof(patches_) / sizeof(patches_[0]))) break;
                *hook.real = *slot;
                if (write_slot(slot, hook.wrapper)) patches_[count_++] = {slot, *hook.real};
            }
        }
    }
    return count_;
}

void ImportCounter::uninstall()
{
    while (count_ > 0) {
        --count_;
        write_slot(patches_[count_].slot, patches_[count_].original);
    }
}

void ImportCounter::reset()
{
    InterlockedExchange(&g_allocations, 0);
    InterlockedExchange(&g_frees, 0);
}

long ImportCounter::allocations()
{
    return InterlockedCompareExchange(&g_allocations, 0, 0);
}

long ImportCounter::frees()
{
    return InterlockedCompareExchange(&g_frees, 0, 0);
}

} // namespace quilo::bench
