// Per-call timings reduced to the figures the benchmark prints.
#pragma once

#include <windows.h>
#include <vector>

namespace quilo::bench {

// Milliseconds since an arbitrary start, from the performance counter.
double now_ms();

struct Summary
{
    double perSecond = 0; // calls per second over the whole run
    double medianMs = 0;
    double p99Ms = 0;     // nearest-rank 99th percentile
};

// `totalMs` is the wall time of the run, including whatever happened between calls.
Summary summarize(std::vector<double> callMs, double totalMs);

} // namespace quilo::bench
