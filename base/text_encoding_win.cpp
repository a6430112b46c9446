// ANSI code pages through the system's converters.
#include <windows.h>

#include <climits>
#include <stdexcept>

#include "base/text_encoding.h"

namespace kx::detail {

unsigned long platform_decode(const char* bytes, std::size_t size, int code_page, string& out) {
  out.clear();
  if (size == 0) return 0;
  if (size > INT_MAX) throw std::length_error("text too long to convert");
  const UINT cp = static_cast<UINT>(code_page);
  const int length = static_cast<int>(size);
  const int needed = MultiByteToWideChar(cp, 0, bytes, length, nullptr, 0);
  if (needed <= 0) return GetLastError();
  std::wstring text(static_cast<std::size_t>(needed), L'\0');
  if (MultiByteToWideChar(cp, 0, bytes, length, text.data(), needed) != needed)
    return GetLastError();
  out = string(text);
  return 0;
}

unsigned long platform_encode(string::view text, int code_page, std::string& out) {
  out.clear();
  if (text.empty()) return 0;
  if (text.size() > INT_MAX) throw std::length_error("text too long to convert");
  const UINT cp = static_cast<UINT>(code_page);
  const int length = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(cp, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return GetLastError();
  out.resize(static_cast<std::size_t>(needed));
  if (WideCharToMultiByte(cp, 0, text.data(), length, out.data(), needed, nullptr, nullptr) !=
      needed) {
    out.clear();
    return GetLastError();
  }
  return 0;
}

}  // namespace kx::detail
