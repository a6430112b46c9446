// Windows views of kx::string: narrow text, BSTR, printf-style formatting and
// conversion from bytes in a code page.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <oleauto.h>

#include <cstdarg>
#include <string>

#include "base/stringx.h"

namespace kx {

// Owns one BSTR (SysFreeString on destruction). A null BSTR reads as "".
class unique_bstr {
 public:
  unique_bstr() noexcept = default;
  explicit unique_bstr(BSTR b) noexcept : b_(b) {}
  unique_bstr(unique_bstr&& o) noexcept : b_(o.release()) {}
  unique_bstr& operator=(unique_bstr&& o) noexcept {
    reset(o.release());
    return *this;
  }
  ~unique_bstr() { reset(); }
  BSTR get() const noexcept { return b_; }
  BSTR* put() noexcept {
    reset();
    return &b_;
  }
  BSTR release() noexcept { return std::exchange(b_, nullptr); }
  void reset(BSTR b = nullptr) noexcept {
    keep_last_error k;
    if (b_) SysFreeString(b_);
    b_ = b;
  }
  UINT length() const noexcept { return b_ ? SysStringLen(b_) : 0; }

 private:
  BSTR b_ = nullptr;
};

// The text in the thread's ANSI code page (or `code_page`).
std::string narrow(const string& s, UINT code_page = CP_THREAD_ACP);

// A new BSTR holding the text (embedded NULs kept) followed by a NUL.
unique_bstr make_bstr(const string& s);

// Overwrites the characters of `b` with zeros (a password handed to a COM
// call); a null BSTR is left alone.
void wipe_bstr(BSTR b) noexcept;

// printf-style formatting over wide characters (msvcrt rules: %s takes a wide
// string). The length is measured first, so nothing is ever cut.
string format(const wchar_t* fmt, ...);
string format_v(const wchar_t* fmt, va_list args);

// Bytes to text: 1200 copies UTF-16LE, 1201 swaps each byte pair first
// (UTF-16BE), anything else goes through MultiByteToWideChar with flags 0.
// A length of -1 means up to the terminating NUL (two zero bytes for
// 1200/1201).
string from_bytes(const void* bytes, ptrdiff_t length, UINT code_page);

}  // namespace kx
