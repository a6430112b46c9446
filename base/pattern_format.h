// printf-style patterns with exactly one argument, safe for patterns that
// come from files or callers: a conversion that does not fit the argument
// is copied as written instead of reading an argument that is not there.
#pragma once

#include "base/stringx.h"

namespace kx {

// Formats `pattern` with one integer. The first conversion among %d, %i,
// %u, %x, %X and %o takes `value`; it may carry the flags "-+ #0", a width
// and a precision of up to 100 each, and the length modifiers l, ll and h. "%%"
// gives one '%'. Every other '%' sequence (%s, %n, "*" widths, a second
// integer conversion, a '%' at the end) stays in the result as written.
string format_with_int(string::view pattern, int value);

// Formats `pattern` with one text: the first %s (flags, width and a
// precision that limits the characters taken, as above; modifiers 'l' and
// 'w') takes `text`; "%%" gives '%'; everything else stays as written.
string format_with_text(string::view pattern, string::view text);

}  // namespace kx
