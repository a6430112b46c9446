#include "bench_clock.h"

#include <psapi.h>

#include <algorithm>

namespace kx::bench {

double seconds_since(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, freq;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&freq);
  return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(freq.QuadPart);
}

double run_measured(std::wstring command_line, SIZE_T& peak, DWORD& code) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  peak = 0;
  code = 0;
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi))
    return -1;
  PROCESS_MEMORY_COUNTERS pmc{};
  while (WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT)
    if (GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof pmc))
      peak = std::max(peak, pmc.PeakWorkingSetSize);
  const double t = seconds_since(start);
  if (GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof pmc))
    peak = std::max(peak, pmc.PeakWorkingSetSize);
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return t;
}

}  // namespace kx::bench
