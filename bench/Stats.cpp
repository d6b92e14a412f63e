#include "bench/Stats.h"

#include <algorithm>
#include <cmath>

namespace quilo::bench {

double now_ms()
{
    static const double ticksPerMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / ticksPerMs;
}

Summary summarize(std::vector<double> callMs, double totalMs)
{
    Summary s;
    if (callMs.empty()) return s;
    std::sort(callMs.begin(), callMs.end());
    const size_t n = callMs.size();
    s.medianMs = n % 2 ? callMs[n / 2] : (callMs[n / 2 - 1] + callMs[n / 2]) / 2.0;
    const size_t rank = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(n)));
    s.p99Ms = callMs[std::min(n, std::max<size_t>(rank, 1)) - 1];
    s.perSecond = totalMs > 0 ? 1000.0 * static_cast<double>(n) / totalMs : 0;
    return s;
}

} // namespace quilo::bench
