// How the benchmarks measure: a side of a comparison runs its work again and again until it
// has taken at least two seconds of its clock (CPU time comes in ticks of 10 ms or more, so
// a tick is at most half a percent of it), the comparison is repeated a few times, and each
// figure prints its median with its spread: "<name> <median> <unit> (<min> to <max> over N
// repeats)". Quick mode (CI) runs each side once on a fraction of the work and marks every
// line "(quick: not a measurement)".
#pragma once
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

inline bool QuickBench()
{
    return std::getenv("KORVALIN_BENCH_QUICK") != nullptr;
}

// Wall-clock seconds, for work done partly by other processes (the X server).
inline double WallSeconds()
{
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency;
}

const double SIDE_SECONDS = 2.0;
const int REPEATS = 3;

inline int Repeats()
{
    return QuickBench() ? 1 : REPEATS;
}

// The mean of the seconds that `run` reports for one run of its work, over as many runs as
// make at least SIDE_SECONDS together (one run in quick mode).
template <class Run> double SecondsPerRun(Run run)
{
    double total = 0;
    int runs = 0;
    do {
        total += run();
        ++runs;
    } while (!QuickBench() && total < SIDE_SECONDS);
    return total / runs;
}

// Prints one figure from its values over the repeats.
inline void PrintFigure(const char* name, std::vector<double> values, const char* unit, int decimals = 2)
{
    std::sort(values.begin(), values.end());
    const double median = values.size() % 2 ? values[values.size() / 2]
                                            : (values[values.size() / 2 - 1] + values[values.size() / 2]) / 2;
    if (QuickBench())
        std::printf("%s %.*f %s (quick: not a measurement)\n", name, decimals, median, unit);
    else
        std::printf("%s %.*f %s (%.*f to %.*f over %zu repeats)\n", name, decimals, median, unit, decimals,
                    values.front(), decimals, values.back(), values.size());
    std::fflush(stdout);
}
