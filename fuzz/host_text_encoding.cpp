// The host build has no system code pages: every ANSI code page reads and
// writes as Latin-1, which maps each byte to one character and back, so the
// parsers behind it see every possible character count and value.
#include "base/text_encoding.h"

namespace kx::detail {

unsigned long platform_decode(const char* bytes, std::size_t size, int, string& out) {
  std::basic_string<xchar, char_traitsi> text(size, xchar(0));
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<unsigned char>(bytes[i]);
  out = string(std::move(text));
  return 0;
}

unsigned long platform_encode(string::view text, int, std::string& out) {
  out.clear();
  out.reserve(text.size());
  for (const xchar c : text) out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
  return 0;
}

}  // namespace kx::detail
