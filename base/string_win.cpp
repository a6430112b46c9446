#include "base/string_win.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace kx {

namespace detail {
unsigned long get_last_error() noexcept {
  return GetLastError();
}
void set_last_error(unsigned long value) noexcept {
  SetLastError(value);
}
}  // namespace detail

std::string narrow(const string& s, UINT code_page) {
  keep_last_error k;
  if (s.empty()) return {};
  const int n = WideCharToMultiByte(code_page, 0, s.data(), static_cast<int>(s.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(code_page, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr,
                        nullptr);
  return out;
}

unique_bstr make_bstr(const string& s) {
  keep_last_error k;
  return unique_bstr(SysAllocStringLen(s.data(), static_cast<UINT>(s.size())));
}

void wipe_bstr(BSTR b) noexcept {
  if (b) SecureZeroMemory(b, SysStringByteLen(b));
}

string format_v(const wchar_t* fmt, va_list args) {
  keep_last_error k;
  va_list measure;
  va_copy(measure, args);
  const int n = _vscwprintf(fmt, measure);
  va_end(measure);
  if (n <= 0) return {};
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  _vsnwprintf(buf.data(), buf.size(), fmt, args);
  buf.resize(static_cast<size_t>(n));
  return string(buf);
}

string format(const wchar_t* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  string r = format_v(fmt, args);
  va_end(args);
  return r;
}

string from_bytes(const void* bytes, ptrdiff_t length, UINT code_page) {
  keep_last_error k;
  const auto* p = static_cast<const unsigned char*>(bytes);
  if (!p) return {};
  if (code_page == 1200 || code_page == 1201) {
    size_t n;
    if (length < 0) {
      n = 0;
      while (p[2 * n] || p[2 * n + 1]) ++n;
    } else {
      n = static_cast<size_t>(length) / 2;
    }
    std::wstring out(n, L'\0');
    const bool be = code_page == 1201;
    for (size_t i = 0; i < n; ++i)
      out[i] = be ? wchar_t(p[2 * i] << 8 | p[2 * i + 1]) : wchar_t(p[2 * i + 1] << 8 | p[2 * i]);
    return string(out);
  }
  const int len = length < 0 ? static_cast<int>(std::strlen(reinterpret_cast<const char*>(p)))
                             : static_cast<int>(length);
  if (len == 0) return {};
  const char* src = reinterpret_cast<const char*>(p);
  const int n = MultiByteToWideChar(code_page, 0, src, len, nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(code_page, 0, src, len, out.data(), n);
  return string(out);
}

}  // namespace kx
