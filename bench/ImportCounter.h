// Counts the heap allocations one loaded module makes, by pointing its import address table
// entries for the C runtime's and the system's allocators at counting wrappers. Only calls the
// module itself makes are counted; the platform's own allocations are not.
#pragma once

#include <windows.h>

namespace quilo::bench {

class ImportCounter
{
public:
    ImportCounter() = default;
    ~ImportCounter() { uninstall(); }
    ImportCounter(const ImportCounter &) = delete;
    ImportCounter &operator=(const ImportCounter &) = delete;

    // Patches `module`'s imports of malloc, calloc, realloc, free (msvcrt), HeapAlloc,
    // HeapReAlloc, HeapFree (kernel32), CoTaskMemAlloc, CoTaskMemRealloc, CoTaskMemFree (ole32).
    // Returns how many entries were patched (0: nothing to count through).
    int install(HMODULE module);
    void uninstall();

    static void reset();
    // malloc, calloc, realloc, HeapAlloc, HeapReAlloc, CoTaskMemAlloc, CoTaskMemRealloc calls.
    static long allocations();
    static long frees();

private:
    struct Patch
    {
        void **slot;
        void *original;
    };
    Patch patches_[16] = {};
    int count_ = 0;
};

} // namespace quilo::bench
