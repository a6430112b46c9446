// What the benchmark drivers measure alike: wall time, and a program's time
// and peak working set.
#pragma once

#include <windows.h>

#include <string>

namespace kx::bench {

// Seconds since `start` (a QueryPerformanceCounter reading).
double seconds_since(const LARGE_INTEGER& start);

// Runs `command_line` and waits for it: the seconds it took, or -1 when it
// could not be started. `peak` gets its peak working set (sampled while it
// runs too: not every system keeps the counters of an ended process),
// `code` its exit code.
double run_measured(std::wstring command_line, SIZE_T& peak, DWORD& code);

}  // namespace kx::bench
