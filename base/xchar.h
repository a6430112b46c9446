// The program's wide character type and literal macro.
//
// Parsers of untrusted data (INI text, command lines, payloads, XML, GIF) are
// built twice: for Windows, where text is wchar_t, and natively on Linux for
// fuzzing, where wchar_t is 32 bits wide and char16_t stands in for it.
#pragma once

namespace kx {

#if defined(_WIN32)
using xchar = wchar_t;
#define KXT(s) L##s
#else
using xchar = char16_t;
#define KXT(s) u##s
#endif

// Folds A-Z onto a-z and leaves every other code unit alone, as the runtime's
// ordinal case-insensitive comparison does in the "C" locale.
constexpr xchar fold_ascii(xchar c) noexcept {
  return (c >= xchar('A') && c <= xchar('Z')) ? xchar(c + (xchar('a') - xchar('A'))) : c;
}

}  // namespace kx
