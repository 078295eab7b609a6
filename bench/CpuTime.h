// CpuSeconds: the CPU time this process has used, user and kernel, the benchmarks' clock: it
// does not count the time other programs take from a busy machine.
#pragma once
#include <windows.h>

inline double CpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}
