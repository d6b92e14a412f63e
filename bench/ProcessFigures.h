// The three figures a leak shows up in, read for the calling process in ways that also work
// under Wine, where GetProcessHandleCount and the private usage of GetProcessMemoryInfo always
// read 0.
#pragma once

#include <windows.h>

namespace quilo::bench {

struct ProcessFigures
{
    long handles = 0;        // open handle values of this process
    long long privateKb = 0; // committed private memory, KB
    long long heapBytes = 0; // bytes in blocks in use in every heap of the process
    long threads = 0;        // threads of this process
};

// Handles: GetHandleInformation probed over the handle values (multiples of 4) up to well past
// the highest one found. Memory: the address space walked with VirtualQuery, committed regions
// of type MEM_PRIVATE summed; heaps grow it in 64 KB steps, so the bytes in use of every heap
// (HeapWalk) are read too, to the byte. Threads: a toolhelp thread snapshot filtered by process id; -1
// when the snapshot cannot be taken.
ProcessFigures read_process_figures();

// The figures once the process has settled: threads that a torn-down graph told to end may
// still be on their way out, so the thread count is read until two readings 10 ms apart agree
// (at most half a second) before all three figures are read.
ProcessFigures read_settled_figures();

} // namespace quilo::bench
