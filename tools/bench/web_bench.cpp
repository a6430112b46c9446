// web_bench.exe <url> <work folder>: the launcher's web copy beside a plain
// WinInet loop. Starts itself alternately as
//   web_bench.exe --plain <url> <target>     InternetOpenUrlW, then
//                                            InternetReadFile 64 KB at a time
//                                            into a file (WinInet linked here)
//   web_bench.exe --launcher <url> <target>  kx::copy_file through the
//                                            registered web source factory
// three rounds each, and prints the best throughput of each, their ratio and
// each child's peak working set. Both children pay one process start.
#include <windows.h>
// After windows.h, which they need.
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "platform/copy_file.h"
#include "platform/web_source_factory.h"

namespace {

constexpr DWORD kPlainBlock = 0x10000;
constexpr int kRounds = 3;

int plain_copy(const std::wstring& url, const std::wstring& target) {
  HINTERNET session =
      InternetOpenW(L"web_bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!session) return 1;
  HINTERNET request = InternetOpenUrlW(
      session, url.c_str(), nullptr, 0,
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_PRAGMA_NOCACHE, 0);
  if (!request) return 2;
  HANDLE out = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return 3;
  std::vector<char> block(kPlainBlock);
  DWORD got = 0, written = 0;
  int result = 0;
  for (;;) {
    if (!InternetReadFile(request, block.data(), kPlainBlock, &got)) {
      result = 4;
      break;
    }
    if (got == 0) break;
    if (!WriteFile(out, block.data(), got, &written, nullptr) || written != got) {
      result = 5;
      break;
    }
  }
  CloseHandle(out);
  InternetCloseHandle(request);
  InternetCloseHandle(session);
  return result;
}

int launcher_copy(const std::wstring& url, const std::wstring& target) {
  kx::register_web_source_factory();
  return kx::copy_file(kx::string(url), kx::string(target), false)
             ? 0
             : static_cast<int>(GetLastError());
}

// Runs this program in `mode`; the time it took, or -1.
double child(const std::wstring& self, const wchar_t* mode, const std::wstring& url,
             const std::wstring& target, SIZE_T& peak, DWORD& code) {
  return kx::bench::run_measured(
      L"\"" + self + L"\" " + mode + L" \"" + url + L"\" \"" + target + L"\"", peak, code);
}

std::uint64_t file_size(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA a{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a)) return 0;
  return (static_cast<std::uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wstring(argv[1]) == L"--plain") return plain_copy(argv[2], argv[3]);
  if (argc == 4 && std::wstring(argv[1]) == L"--launcher") return launcher_copy(argv[2], argv[3]);
  if (argc != 3) {
    std::fputs("usage: web_bench.exe <url> <work folder>\n", stderr);
    return 2;
  }
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring url = argv[1], work = argv[2];
  const std::wstring target = work + L"\\download.bin";
  double best[2] = {1e30, 1e30};
  SIZE_T peak[2] = {0, 0};
  std::uint64_t bytes[2] = {0, 0};
  const wchar_t* modes[2] = {L"--plain", L"--launcher"};
  for (int round = 0; round < kRounds; ++round) {
    for (int m = 0; m < 2; ++m) {
      SIZE_T round_peak = 0;
      DWORD code = 1;
      const double t = child(self, modes[m], url, target, round_peak, code);
      bytes[m] = file_size(target);
      DeleteFileW(target.c_str());
      if (t < 0 || code != 0) {
        std::fprintf(stderr, "%ls failed (exit %lu)\n", modes[m], static_cast<unsigned long>(code));
        return 1;
      }
      best[m] = std::min(best[m], t);
      peak[m] = std::max(peak[m], round_peak);
    }
  }
  if (bytes[0] != bytes[1]) {
    std::fprintf(stderr, "the copies differ in size: %llu and %llu bytes\n",
                 static_cast<unsigned long long>(bytes[0]),
                 static_cast<unsigned long long>(bytes[1]));
    return 1;
  }
  const double mib = static_cast<double>(bytes[0]) / (1 << 20);
  std::printf("file:                      %.1f MiB, best of %d rounds each\n", mib, kRounds);
  std::printf("plain 64 KB WinInet loop:  %.3f s  %.1f MiB/s  peak %.1f MiB\n", best[0],
              mib / best[0], static_cast<double>(peak[0]) / (1 << 20));
  std::printf("launcher copy_file (web):  %.3f s  %.1f MiB/s  peak %.1f MiB (target < 32)\n",
              best[1], mib / best[1], static_cast<double>(peak[1]) / (1 << 20));
  std::printf("throughput ratio:          %.2f (target >= 0.80)\n", best[0] / best[1]);
  return 0;
}
