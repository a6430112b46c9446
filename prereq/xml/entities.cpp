#include "prereq/xml/entities.h"

#include <cstddef>
#include <cstdint>

namespace sax {
namespace {

using kx::xchar;

// How far after its '&' a reference may end.
constexpr std::size_t kReferenceReach = 9;

struct named_reference {
  const xchar* name;
  xchar value;
};

constexpr named_reference kNamed[] = {
    {KXT("amp"), xchar('&')},  {KXT("lt"), xchar('<')},    {KXT("gt"), xchar('>')},
    {KXT("quot"), xchar('"')}, {KXT("apos"), xchar('\'')},
};

int digit_value(xchar c, unsigned base) noexcept {
  if (c >= xchar('0') && c <= xchar('9')) return int(c - xchar('0'));
  if (base == 16 && c >= xchar('a') && c <= xchar('f')) return int(c - xchar('a')) + 10;
  if (base == 16 && c >= xchar('A') && c <= xchar('F')) return int(c - xchar('A')) + 10;
  return -1;
}

// The code point of a numeric reference body ("#65", "#x41", "# 65"), or
// 0 when it is not one this reader decodes.
std::uint32_t numeric_value(text_view body) noexcept {
  if (body.empty() || body[0] != xchar('#')) return 0;
  std::size_t i = 1;
  unsigned base = 10;
  if (i < body.size() && body[i] == xchar('x')) {
    base = 16;
    ++i;
  }
  while (i < body.size() &&
         (body[i] == xchar(' ') || body[i] == xchar('\t') || body[i] == xchar('\n')))
    ++i;
  bool negative = false;
  if (i < body.size() && body[i] == xchar('-')) {
    negative = true;
    ++i;
  }
  bool digits = false;
  std::uint32_t value = 0;
  for (; i < body.size(); ++i) {
    const int d = digit_value(body[i], base);
    if (d < 0) break;
    digits = true;
    // Anything past the last code point is out of range; stop growing there
    // so that no number overflows.
    if (value <= 0x10FFFF) value = value * base + std::uint32_t(d);
  }
  if (!digits || negative) return 0;
  if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return value;
}

void append_code_point(text& out, std::uint32_t cp) {
  if (cp < 0x10000) {
    out.push_back(xchar(cp));
    return;
  }
  cp -= 0x10000;
  out.push_back(xchar(0xD800 + (cp >> 10)));
  out.push_back(xchar(0xDC00 + (cp & 0x3FF)));
}

}  // namespace

text decode_entities(text_view raw) {
  text out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != xchar('&')) {
      out.push_back(raw[i]);
      continue;
    }
    const std::size_t reach =
        raw.size() - (i + 1) < kReferenceReach ? raw.size() - (i + 1) : kReferenceReach;
    const std::size_t semicolon = raw.substr(i + 1, reach).find(xchar(';'));
    if (semicolon == text_view::npos) {
      out.push_back(raw[i]);
      continue;
    }
    const text_view body = raw.substr(i + 1, semicolon);
    bool decoded = false;
    for (const named_reference& named : kNamed) {
      if (body == text_view(named.name)) {
        out.push_back(named.value);
        decoded = true;
        break;
      }
    }
    if (!decoded) {
      if (const std::uint32_t cp = numeric_value(body)) {
        append_code_point(out, cp);
        decoded = true;
      }
    }
    if (decoded)
      i += 1 + semicolon;  // the loop steps past the ';'
    else
      out.push_back(raw[i]);
  }
  return out;
}

}  // namespace sax
