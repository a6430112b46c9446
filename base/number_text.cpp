#include "base/number_text.h"

namespace kx {

namespace {

// The white space that the runtime's number readers skip.
constexpr bool is_number_space(xchar c) {
  return c == xchar(' ') || (c >= xchar('\t') && c <= xchar('\r'));
}

// The value of a digit in any base up to 36; 99 for every other character.
int digit_value(xchar c) {
  if (c >= xchar('0') && c <= xchar('9')) return c - xchar('0');
  const xchar f = fold_ascii(c);
  if (f >= xchar('a') && f <= xchar('z')) return f - xchar('a') + 10;
  return 99;
}

}  // namespace

std::int32_t read_number(string::view text, int base) {
  std::size_t i = 0;
  while (i < text.size() && is_number_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == xchar('+') || text[i] == xchar('-')))
    negative = text[i++] == xchar('-');
  // wcstol takes the prefix only when a digit follows it; "0x" alone is the
  // number 0 either way.
  if (base == 16 && text.substr(i).starts_with(KXT("0x")) && i + 2 < text.size() &&
      digit_value(text[i + 2]) < 16)
    i += 2;
  constexpr std::int64_t kLimit = std::int64_t{1} << 32;
  std::int64_t magnitude = 0;
  for (; i < text.size() && digit_value(text[i]) < base; ++i)
    if (magnitude < kLimit) magnitude = magnitude * base + digit_value(text[i]);
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

std::int32_t read_hex_or_decimal(string::view text) {
  return text.starts_with(KXT("0x")) ? read_number(text.substr(2), 16) : read_number(text, 10);
}

}  // namespace kx
