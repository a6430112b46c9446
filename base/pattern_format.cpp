#include "base/pattern_format.h"

#include "base/last_error.h"
#include "base/text_format.h"

namespace kx {

// The INI model formats its key patterns between system calls whose errors
// its callers read afterwards: formatting leaves the last error alone.

string format_with_int(string::view pattern, int value) {
  keep_last_error keep;
  return FormatFirst(pattern, TextArg(value));
}

string format_with_text(string::view pattern, string::view text) {
  keep_last_error keep;
  return FormatFirst(pattern, TextArg(string(text)));
}

}  // namespace kx
