// Numbers written as text in setup.ini, language lists and command lines.
//
// Windows-free: the INI model and the command-line readers that use it are
// fuzzed on the host.
#pragma once

#include <cstdint>

#include "base/stringx.h"

namespace kx {

// The number at the start of `text` in `base` (10 or 16), read as wcstol
// reads it into a 32-bit long: white space (blank, tab to carriage return)
// is skipped, a sign is taken, base 16 also takes a "0x" (any case) in front
// of its digits, and the digits run up to the first character that is not
// one. Text without digits gives 0; a value beyond the 32-bit range gives
// the limit on its side.
std::int32_t read_number(string::view text, int base);

// A number as setup.ini and command lines write it: hexadecimal after a
// leading "0x" (any case, nothing before it), otherwise decimal; read as
// read_number reads it.
std::int32_t read_hex_or_decimal(string::view text);

}  // namespace kx
