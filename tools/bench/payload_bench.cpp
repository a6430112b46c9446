// payload_bench.exe <setup.exe> <work folder>: unpacking speed beside a plain
// copy. Copies the payload bytes of <setup.exe> with ReadFile/WriteFile in
// 16 KB blocks, then runs "<setup.exe> /s -extract_all:<work>\unpacked",
// alternately, three rounds each, and prints the throughputs, their ratio and
// the unpacking process's peak working set. Given a launcher with a tiny
// payload as well, it also prints the time a start of the launcher takes and
// the ratio without it.
#include <windows.h>
// After windows.h, which it needs.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "launcher/payload_format.h"
#include "launcher/payload_image.h"

using kx::bench::seconds_since;

namespace {

constexpr DWORD kBlock = 0x4000;
constexpr int kRounds = 3;

class handle_source final : public kx::payload::byte_source {
 public:
  explicit handle_source(HANDLE h) : h_(h) {
    LARGE_INTEGER s{};
    GetFileSizeEx(h, &s);
    size_ = static_cast<std::uint64_t>(s.QuadPart);
  }
  std::uint64_t size() const override { return size_; }
  std::size_t read_at(std::uint64_t offset, void* buffer, std::size_t n) override {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    if (!SetFilePointerEx(h_, at, nullptr, FILE_BEGIN) ||
        !ReadFile(h_, buffer, static_cast<DWORD>(n), &got, nullptr))
      return 0;
    return got;
  }

 private:
  HANDLE h_;
  std::uint64_t size_ = 0;
};

// The plain copy: the payload region into one file, 16 KB at a time.
double plain_copy(const std::wstring& exe, const std::wstring& target, std::uint64_t& bytes) {
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  HANDLE in = CreateFileW(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE out = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  handle_source source(in);
  kx::payload::image_layout layout;
  kx::payload::read_image_layout(source, layout);
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(layout.payload_offset);
  SetFilePointerEx(in, at, nullptr, FILE_BEGIN);
  std::vector<char> block(kBlock);
  bytes = 0;
  DWORD got = 0, written = 0;
  while (ReadFile(in, block.data(), kBlock, &got, nullptr) && got) {
    WriteFile(out, block.data(), got, &written, nullptr);
    bytes += written;
  }
  CloseHandle(out);
  CloseHandle(in);
  return seconds_since(start);
}

double unpack(const std::wstring& exe, const std::wstring& folder, SIZE_T& peak, DWORD& code) {
  return kx::bench::run_measured(L"\"" + exe + L"\" /s -extract_all:\"" + folder + L"\"", peak,
                                 code);
}

void remove_tree(const std::wstring& path) {
  WIN32_FIND_DATAW fd;
  HANDLE f = FindFirstFileW((path + L"\\*").c_str(), &fd);
  if (f != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        remove_tree(child);
      else
        DeleteFileW(child.c_str());
    } while (FindNextFileW(f, &fd));
    FindClose(f);
  }
  RemoveDirectoryW(path.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3 && argc != 4) {
    std::fputs("usage: payload_bench.exe <setup.exe> <work folder> [<tiny setup.exe>]\n", stderr);
    return 2;
  }
  const std::wstring exe = argv[1], work = argv[2];
  const std::wstring copy = work + L"\\plain.bin", folder = work + L"\\unpacked";
  double best_plain = 1e30, best_unpack = 1e30;
  SIZE_T peak = 0;
  std::uint64_t bytes = 0;
  for (int round = 0; round < kRounds; ++round) {
    best_plain = std::min(best_plain, plain_copy(exe, copy, bytes));
    DeleteFileW(copy.c_str());
    SIZE_T round_peak = 0;
    DWORD code = 1;
    const double t = unpack(exe, folder, round_peak, code);
    remove_tree(folder);
    if (t < 0 || code != 0) {
      std::fprintf(stderr, "unpacking failed (exit %ld)\n", static_cast<long>(code));
      return 1;
    }
    best_unpack = std::min(best_unpack, t);
    peak = std::max(peak, round_peak);
  }
  // A launcher with a tiny payload shows what starting a process costs
  // here, which the unpacking time includes and the plain copy does not.
  double best_start = -1;
  if (argc == 4) {
    const std::wstring tiny = argv[3];
    for (int round = 0; round < kRounds; ++round) {
      SIZE_T tiny_peak = 0;
      DWORD code = 1;
      const double t = unpack(tiny, folder, tiny_peak, code);
      remove_tree(folder);
      if (t >= 0 && code == 0) best_start = best_start < 0 ? t : std::min(best_start, t);
    }
  }
  const double mib = static_cast<double>(bytes) / (1 << 20);
  std::printf("payload bytes:           %.1f MiB\n", mib);
  std::printf("plain 16 KB copy:        %.3f s  %.1f MiB/s\n", best_plain, mib / best_plain);
  std::printf("setup.exe -extract_all:  %.3f s  %.1f MiB/s (includes process start)\n", best_unpack,
              mib / best_unpack);
  std::printf("throughput ratio:        %.2f (target >= 0.80)\n", best_plain / best_unpack);
  if (best_start >= 0 && best_start < best_unpack)
    std::printf("process start (tiny):    %.3f s; ratio without it: %.2f\n", best_start,
                best_plain / (best_unpack - best_start));
  std::printf("peak working set:        %.1f MiB (target < 32)\n",
              static_cast<double>(peak) / (1 << 20));
  return 0;
}
