// md5_bench.exe <file>: the speed of the checksum of downloaded
// prerequisites. Hashes <file> three times through the launcher's own file
// digest (the code a download is checked with) and a 64 MiB memory buffer
// eight times (the digest alone, without the file system), and prints the
// best throughput of each in MB/s, the digest, and the peak working set of
// the file part, so that a flat memory use can be seen beside the file's
// size.
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/md5.h"
#include "bench_clock.h"
#include "prereq/file_digest.h"

using kx::bench::seconds_since;

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: md5_bench <file>\n");
    return 2;
  }
  HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "cannot open the file: %lu\n", GetLastError());
    return 1;
  }
  LARGE_INTEGER size{};
  GetFileSizeEx(file, &size);
  const double mb = static_cast<double>(size.QuadPart) / 1e6;
  double best_file = 0;
  kx::string digest;
  for (int round = 0; round < 3; ++round) {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    DWORD error = 0;
    if (!kx::prereq::file_digest(file, kx::prereq::checksum_kind::md5, digest, error)) {
      std::fprintf(stderr, "reading failed: %lu\n", error);
      return 1;
    }
    const double rate = mb / seconds_since(start);
    if (rate > best_file) best_file = rate;
  }
  CloseHandle(file);
  // Measured before the memory test's buffer exists: what hashing a file
  // of any size costs.
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);

  std::vector<unsigned char> buffer(64u << 20);
  for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<unsigned char>(i * 7);
  double best_memory = 0;
  for (int round = 0; round < 8; ++round) {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    kx::md5 m;
    m.update(buffer.data(), buffer.size());
    volatile unsigned char keep = m.final()[0];
    (void)keep;
    const double rate = static_cast<double>(buffer.size()) / 1e6 / seconds_since(start);
    if (rate > best_memory) best_memory = rate;
  }

  std::printf("file        %.0f MB, MD5 %ls\n", mb, digest.c_str());
  std::printf("file digest %.1f MB/s (best of 3)\n", best_file);
  std::printf("memory      %.1f MB/s (64 MiB buffer, best of 8)\n", best_memory);
  std::printf("peak working set while hashing the file %.1f MiB\n",
              static_cast<double>(counters.PeakWorkingSetSize) / 1048576.0);
  return 0;
}
