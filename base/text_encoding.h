// Text encodings of files: detection from the first bytes, bytes to text and
// text to bytes in a code page.
//
// UTF-16 and UTF-8 are converted here, the same on every platform; other
// (ANSI) code pages go through the platform's converter (the system's on
// Windows, a Latin-1 stand-in in the host build of the parsers).
#pragma once

#include <cstddef>
#include <string>

#include "base/stringx.h"

namespace kx {

// Code pages that have a meaning of their own in text files.
inline constexpr int kCodePageAnsi = 0;  // the system ANSI code page (CP_ACP)
inline constexpr int kCodePageUtf16Le = 1200;
inline constexpr int kCodePageUtf16Be = 1201;
inline constexpr int kCodePageUtf8 = 65001;

// What the first bytes of a file say about its encoding.
struct detected_encoding {
  int code_page = kCodePageAnsi;  // 1200, 1201, 65001, or 0 without a mark
  std::size_t mark_length = 0;    // bytes of byte-order mark to skip (0, 2 or 3)
};

// Looks for a byte-order mark: FF FE is UTF-16LE, FE FF UTF-16BE (both need
// at least 2 bytes), EF BB BF UTF-8 (3 bytes); anything else is the ANSI
// code page without a mark.
detected_encoding detect_encoding(const void* bytes, std::size_t size) noexcept;

// The length of the byte-order mark of `code_page` (0 when it has none).
std::size_t mark_length(int code_page) noexcept;

// True for the code pages that have a byte-order mark (1200, 1201, 65001).
bool is_unicode_code_page(int code_page) noexcept;

// Converts `size` bytes in `code_page` to text into `out`. 1200 reads
// UTF-16LE and 1201 UTF-16BE code units as they are (an odd last byte is
// dropped); 65001 reads UTF-8, each malformed sequence becoming U+FFFD; any
// other code page goes to the platform's converter. Returns 0, or a Win32
// error code when the platform cannot convert (an unknown code page): `out`
// is then empty.
unsigned long decode_text(const void* bytes, std::size_t size, int code_page, string& out);

// Converts text to bytes in `code_page`, preceded by the code page's
// byte-order mark when `with_mark` is set and the code page has one. An
// unpaired surrogate becomes U+FFFD in UTF-8; characters that an ANSI code
// page lacks become its default character. Returns 0, or a Win32 error code
// (`out` is then empty).
unsigned long encode_text(string::view text, int code_page, bool with_mark, std::string& out);

namespace detail {

// The platform's converters for code pages other than 1200, 1201 and 65001;
// the same contracts as decode_text and encode_text, without marks.
unsigned long platform_decode(const char* bytes, std::size_t size, int code_page, string& out);
unsigned long platform_encode(string::view text, int code_page, std::string& out);

}  // namespace detail

}  // namespace kx
