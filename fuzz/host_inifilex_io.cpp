// The host build of the parsers reaches the INI model through parse() and
// lines(); it has no files to load or save, so both fail as unsupported.
#include "base/inifilex.h"

namespace kx::ini_io {

namespace {
constexpr unsigned long kNotSupported = 50;  // ERROR_NOT_SUPPORTED
}

unsigned long read_text(const string&, int&, bool&, string& text) {
  text.clear();
  return kNotSupported;
}

unsigned long write_lines(const string&, const std::vector<string>&, int, bool) {
  return kNotSupported;
}

}  // namespace kx::ini_io
