#include "prereq/numbers.h"

namespace kx::prereq {
namespace {

struct number_scan {
  bool negative = false;
  bool digits = false;
  std::uint64_t magnitude = 0;
};

number_scan scan(sax::text_view text) noexcept {
  number_scan s;
  std::size_t i = 0;
  while (i < text.size() && (text[i] == kx::xchar(' ') || text[i] == kx::xchar('\t'))) ++i;
  if (i < text.size() && (text[i] == kx::xchar('-') || text[i] == kx::xchar('+'))) {
    s.negative = text[i] == kx::xchar('-');
    ++i;
  }
  for (; i < text.size() && text[i] >= kx::xchar('0') && text[i] <= kx::xchar('9'); ++i) {
    s.digits = true;
    // Stop growing once past 32 bits: the result saturates anyway.
    if (s.magnitude <= 0xFFFFFFFFull) s.magnitude = s.magnitude * 10 + (text[i] - kx::xchar('0'));
  }
  return s;
}

}  // namespace

std::uint32_t parse_number(sax::text_view text) noexcept {
  const number_scan s = scan(text);
  if (!s.negative) return s.magnitude > 0xFFFFFFFFull ? 0xFFFFFFFFu : std::uint32_t(s.magnitude);
  const std::uint64_t m = s.magnitude > 0x80000000ull ? 0x80000000ull : s.magnitude;
  return std::uint32_t(0x100000000ull - m);
}

bool has_number(sax::text_view text) noexcept {
  return scan(text).digits;
}

std::vector<std::uint32_t> parse_number_list(sax::text_view text, kx::xchar separator) {
  std::vector<std::uint32_t> numbers;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(separator, start);
    if (end == sax::text_view::npos) end = text.size();
    const sax::text_view entry = text.substr(start, end - start);
    if (has_number(entry)) numbers.push_back(parse_number(entry));
    start = end + 1;
  }
  return numbers;
}

}  // namespace kx::prereq
