// The clocks the benchmarks read: wall time, this thread's CPU time, and the
// median of a few runs.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

#include <time.h>

// Wall-clock seconds the work takes.
inline double WallSeconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The CPU seconds this thread has used so far: unlike wall time, not
// stretched by other work on a shared machine.
inline double ThreadCpuNow()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The CPU seconds this thread spends on the work.
inline double CpuSeconds(const std::function<void()>& work)
{
    const double start = ThreadCpuNow();
    work();
    return ThreadCpuNow() - start;
}

inline double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
