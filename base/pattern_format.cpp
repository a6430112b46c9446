#include "base/pattern_format.h"

#include <cstddef>
#include <cstdint>

namespace kx {

namespace {

// Widths and precisions above this are refused, so that a pattern cannot
// ask for an arbitrarily large result.
constexpr unsigned kMaxField = 100;

// One printf conversion: "%" flags width "." precision modifier type.
struct conversion {
  bool left = false, plus = false, space = false, alternate = false, zero = false;
  unsigned width = 0;
  bool has_precision = false;
  unsigned precision = 0;
  xchar type = 0;
  std::size_t end = 0;  // index just past the type character
};

// Reads the conversion that starts at pattern[at] == '%'. False when it
// is incomplete, has a field that is too wide, or uses a modifier other
// than 'l' or 'w'.
bool parse_conversion(string::view p, std::size_t at, conversion& c) {
  std::size_t i = at + 1;
  for (; i < p.size(); ++i) {
    const xchar f = p[i];
    if (f == '-')
      c.left = true;
    else if (f == '+')
      c.plus = true;
    else if (f == ' ')
      c.space = true;
    else if (f == '#')
      c.alternate = true;
    else if (f == '0')
      c.zero = true;
    else
      break;
  }
  const auto number = [&p, &i](unsigned& out) {
    out = 0;
    for (; i < p.size() && p[i] >= '0' && p[i] <= '9'; ++i) {
      out = out * 10 + static_cast<unsigned>(p[i] - '0');
      if (out > kMaxField) return false;
    }
    return true;
  };
  if (!number(c.width)) return false;
  if (i < p.size() && p[i] == '.') {
    ++i;
    c.has_precision = true;
    if (!number(c.precision)) return false;
  }
  if (i < p.size() && (p[i] == 'l' || p[i] == 'w')) ++i;
  if (i >= p.size()) return false;
  c.type = p[i];
  c.end = i + 1;
  return true;
}

void pad(string& out, std::size_t length, unsigned width, xchar fill) {
  for (std::size_t n = length; n < width; ++n) out += fill;
}

void put_int(string& out, const conversion& c, int value) {
  const bool is_signed = c.type == 'd' || c.type == 'i';
  const unsigned base = (c.type == 'x' || c.type == 'X') ? 16 : (c.type == 'o' ? 8 : 10);
  const xchar* digit_chars = c.type == 'X' ? KXT("0123456789ABCDEF") : KXT("0123456789abcdef");
  std::uint64_t magnitude = static_cast<std::uint32_t>(value);
  string prefix;
  if (is_signed) {
    magnitude = value < 0 ? std::uint64_t(0) - static_cast<std::uint64_t>(std::int64_t{value})
                          : static_cast<std::uint64_t>(value);
    if (value < 0)
      prefix = KXT("-");
    else if (c.plus)
      prefix = KXT("+");
    else if (c.space)
      prefix = KXT(" ");
  } else if (c.alternate && base == 16 && magnitude != 0) {
    prefix = c.type == 'X' ? KXT("0X") : KXT("0x");
  }
  string digits;
  for (std::uint64_t m = magnitude; m != 0; m /= base) digits.insert(0, 1, digit_chars[m % base]);
  const unsigned min_digits = c.has_precision ? c.precision : 1;
  while (digits.size() < min_digits) digits.insert(0, 1, xchar('0'));
  if (c.alternate && base == 8 && (digits.empty() || digits[0] != '0'))
    digits.insert(0, 1, xchar('0'));
  const std::size_t length = prefix.size() + digits.size();
  if (c.left) {
    out += prefix;
    out += digits;
    pad(out, length, c.width, ' ');
  } else if (c.zero && !c.has_precision) {
    out += prefix;
    pad(out, length, c.width, '0');
    out += digits;
  } else {
    pad(out, length, c.width, ' ');
    out += prefix;
    out += digits;
  }
}

void put_text(string& out, const conversion& c, string::view text) {
  if (c.has_precision && text.size() > c.precision) text = text.substr(0, c.precision);
  if (!c.left) pad(out, text.size(), c.width, ' ');
  out += text;
  if (c.left) pad(out, text.size(), c.width, ' ');
}

// Copies `pattern`, giving the first conversion accepted by `fits` to
// `put` and leaving every other conversion as written.
template <class Fits, class Put>
string format_one(string::view pattern, Fits fits, Put put) {
  string out;
  bool used = false;
  std::size_t i = 0;
  while (i < pattern.size()) {
    if (pattern[i] != '%') {
      out += pattern[i++];
      continue;
    }
    if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
      out += xchar('%');
      i += 2;
      continue;
    }
    conversion c;
    if (!used && parse_conversion(pattern, i, c) && fits(c.type)) {
      put(out, c);
      used = true;
      i = c.end;
      continue;
    }
    out += pattern[i++];
  }
  return out;
}

}  // namespace

string format_with_int(string::view pattern, int value) {
  keep_last_error keep;
  const auto fits = [](xchar t) {
    return t == 'd' || t == 'i' || t == 'u' || t == 'x' || t == 'X' || t == 'o';
  };
  return format_one(pattern, fits,
                    [value](string& out, const conversion& c) { put_int(out, c, value); });
}

string format_with_text(string::view pattern, string::view text) {
  keep_last_error keep;
  return format_one(
      pattern, [](xchar t) { return t == 's'; },
      [text](string& out, const conversion& c) { put_text(out, c, text); });
}

}  // namespace kx
