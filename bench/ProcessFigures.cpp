#include "bench/ProcessFigures.h"

#include <tlhelp32.h>

#include "common/Handle.h"

namespace quilo::bench {
namespace {

// Handle values are handed out lowest free first, so the open ones sit close together; a run
// of this many free values past the last open one means there are no more.
constexpr ULONG_PTR kFreeRunToStop = 4 * 4096;

long count_handles()
{
    long count = 0;
    ULONG_PTR last = 0;
    for (ULONG_PTR value = 4; value - last <= kFreeRunToStop; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++count;
            last = value;
        }
    }
    return count;
}

long long count_private_kb()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const auto *address = static_cast<const char *>(info.lpMinimumApplicationAddress);
    const auto *end = static_cast<const char *>(info.lpMaximumApplicationAddress);
    long long bytes = 0;
    MEMORY_BASIC_INFORMATION region;
    while (address < end && VirtualQuery(address, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) bytes += static_cast<long long>(region.RegionSize);
        const auto *next = static_cast<const char *>(region.BaseAddress) + region.RegionSize;
        if (next <= address) break;
        address = next;
    }
    return bytes / 1024;
}

long long count_heap_bytes_in_use()
{
    HANDLE heaps[256];
    const DWORD count = GetProcessHeaps(256, heaps);
    long long bytes = 0;
    for (DWORD i = 0; i < count && i < 256; ++i) {
        // Locked so that another thread's allocation does not move the walk under it.
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += static_cast<long long>(entry.cbData);
        HeapUnlock(heaps[i]);
    }
    return bytes;
}

long count_threads()
{
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return -1;
    const DWORD self = GetCurrentProcessId();
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    long count = 0;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID == self) ++count;
        entry.dwSize = sizeof entry;
    }
    return count;
}

} // namespace

ProcessFigures read_process_figures()
{
    ProcessFigures f;
    // Threads first: the snapshot's own handle is closed again before the handles are counted.
    f.threads = count_threads();
    f.handles = count_handles();
    f.privateKb = count_private_kb();
    f.heapBytes = count_heap_bytes_in_use();
    return f;
}

ProcessFigures read_settled_figures()
{
    // Only the thread count moves on its own; handles and memory are read once it holds still.
    long threads = count_threads();
    for (int i = 0; i < 50; ++i) {
        Sleep(10);
        const long next = count_threads();
        if (next == threads) break;
        threads = next;
    }
    return read_process_figures();
}

} // namespace quilo::bench
