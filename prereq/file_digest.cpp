#include "prereq/file_digest.h"

#include <vector>

#include "base/md5.h"
#include "platform/sha256.h"

namespace kx::prereq {

namespace {

// Large reads: the digest, not the system call, should set the pace.
constexpr DWORD kReadBytes = 256 * 1024;

// Feeds the file from its start to `add`; false with `error` on a failed
// read or when `add` refuses.
template <class Add>
bool read_through(HANDLE file, DWORD& error, Add add) {
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(file, zero, nullptr, FILE_BEGIN)) {
    error = GetLastError();
    return false;
  }
  std::vector<unsigned char> buffer(kReadBytes);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer.data(), kReadBytes, &got, nullptr)) {
      error = GetLastError();
      return false;
    }
    if (got == 0) return true;
    if (!add(buffer.data(), got)) return false;
  }
}

}  // namespace

bool file_digest(HANDLE file, checksum_kind kind, string& hex, DWORD& error) {
  hex.clear();
  error = 0;
  if (kind == checksum_kind::md5) {
    md5 m;
    if (!read_through(file, error, [&](const void* p, DWORD n) {
          m.update(p, n);
          return true;
        }))
      return false;
    const md5::digest d = m.final();
    hex = hex_digits(d.data(), d.size());
    return true;
  }
  if (kind == checksum_kind::sha256) {
    sha256 s;
    if (!s.ok()) {
      error = s.error();
      return false;
    }
    if (!read_through(file, error, [&](const void* p, DWORD n) {
          if (s.update(p, n)) return true;
          error = s.error();
          return false;
        }))
      return false;
    sha256::digest d;
    if (!s.final(d)) {
      error = s.error() ? s.error() : ERROR_INVALID_FUNCTION;
      return false;
    }
    hex = hex_digits(d.data(), d.size());
    return true;
  }
  error = ERROR_INVALID_PARAMETER;
  return false;
}

}  // namespace kx::prereq
