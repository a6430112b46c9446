#include "prereq/checksum_rule.h"

namespace kx::prereq {

namespace {

bool is_blank(xchar c) {
  return c == xchar(' ') || c == xchar('\t');
}

string::view trimmed(string::view v) {
  while (!v.empty() && is_blank(v.front())) v.remove_prefix(1);
  while (!v.empty() && is_blank(v.back())) v.remove_suffix(1);
  return v;
}

bool is_hex(xchar c) {
  return (c >= xchar('0') && c <= xchar('9')) || (c >= xchar('a') && c <= xchar('f')) ||
         (c >= xchar('A') && c <= xchar('F'));
}

xchar upper(xchar c) {
  return (c >= xchar('a') && c <= xchar('z')) ? xchar(c - (xchar('a') - xchar('A'))) : c;
}

// A decimal number of at most `limit`; false for anything else.
bool read_decimal(string::view v, std::uint64_t limit, std::uint64_t& out) {
  if (v.empty() || v.size() > 20) return false;
  std::uint64_t n = 0;
  for (xchar c : v) {
    if (c < xchar('0') || c > xchar('9')) return false;
    const std::uint64_t digit = static_cast<std::uint64_t>(c - xchar('0'));
    if (n > (limit - digit) / 10) return false;
    n = n * 10 + digit;
  }
  out = n;
  return true;
}

}  // namespace

expected_checksum read_checksum(const string& written) {
  const string::view v = trimmed(written.as_view());
  expected_checksum out;
  if (v.empty()) return out;
  out.kind = checksum_kind::invalid;
  if (v.size() != 32 && v.size() != 64) return out;
  string digits;
  for (xchar c : v) {
    if (!is_hex(c)) return out;
    digits += upper(c);
  }
  out.kind = v.size() == 32 ? checksum_kind::md5 : checksum_kind::sha256;
  out.digits = std::move(digits);
  return out;
}

bool checksum_matches(const expected_checksum& expected, const string& actual) {
  switch (expected.kind) {
    case checksum_kind::none:
      return true;
    case checksum_kind::invalid:
      return false;
    case checksum_kind::md5:
    case checksum_kind::sha256:
      break;
  }
  const string::view a = trimmed(actual.as_view());
  if (a.size() != expected.digits.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k)
    if (!is_hex(a[k]) || upper(a[k]) != expected.digits[k]) return false;
  return true;
}

bool read_file_size(const string& written, std::uint64_t& bytes, bool& readable) {
  bytes = 0;
  readable = true;
  const string::view v = trimmed(written.as_view());
  if (v.empty()) return false;
  std::uint64_t value = 0;
  const std::size_t comma = v.find(xchar(','));
  if (comma == string::view::npos) {
    readable = read_decimal(v, ~std::uint64_t(0), value);
  } else {
    std::uint64_t high = 0, low = 0;
    readable = read_decimal(trimmed(v.substr(0, comma)), 0xFFFFFFFFu, high) &&
               read_decimal(trimmed(v.substr(comma + 1)), 0xFFFFFFFFu, low);
    value = high << 32 | low;
  }
  if (!readable || value == 0) return false;
  bytes = value;
  return true;
}

}  // namespace kx::prereq
