#include "platform/inet_resume.h"

#include "platform/inet_status.h"

namespace kx {

namespace {

constexpr std::uint32_t kInvalidServerResponse = 12152;  // ERROR_HTTP_INVALID_SERVER_RESPONSE
constexpr std::uint64_t kLargest = std::uint64_t{1} << 63;

bool is_digit(wchar_t c) {
  return c >= L'0' && c <= L'9';
}

// A number of digits at `at`, advancing it; at most 2^63.
bool number(std::wstring_view text, std::size_t& at, std::uint64_t& value) {
  const std::size_t start = at;
  value = 0;
  while (at < text.size() && is_digit(text[at])) {
    const std::uint64_t digit = static_cast<std::uint64_t>(text[at] - L'0');
    if (value > (kLargest - digit) / 10) return false;
    value = value * 10 + digit;
    ++at;
  }
  return at > start;
}

void skip_blanks(std::wstring_view text, std::size_t& at) {
  while (at < text.size() && (text[at] == L' ' || text[at] == L'\t')) ++at;
}

resume_plan failed(std::uint32_t error) {
  resume_plan plan;
  plan.error = error;
  return plan;
}

resume_plan reading(std::uint64_t skip, bool has_end, std::uint64_t end) {
  resume_plan plan;
  plan.kind = resume_plan::read;
  plan.skip = skip;
  plan.has_end = has_end;
  plan.end_position = end;
  return plan;
}

}  // namespace

bool parse_content_length(std::wstring_view text, std::uint64_t& value) noexcept {
  std::size_t at = 0;
  skip_blanks(text, at);
  if (!number(text, at, value)) return false;
  skip_blanks(text, at);
  return at == text.size();
}

bool parse_content_range(std::wstring_view text, content_range& out) noexcept {
  out = content_range{};
  std::size_t at = 0;
  skip_blanks(text, at);
  constexpr std::wstring_view unit = L"bytes";
  if (text.substr(at, unit.size()) != unit) return false;
  at += unit.size();
  if (at >= text.size() || (text[at] != L' ' && text[at] != L'\t')) return false;
  skip_blanks(text, at);
  if (at < text.size() && text[at] == L'*') {
    out.unsatisfied = true;
    ++at;
  } else {
    if (!number(text, at, out.first) || at >= text.size() || text[at] != L'-') return false;
    ++at;
    if (!number(text, at, out.last) || out.last < out.first) return false;
  }
  if (at >= text.size() || text[at] != L'/') return false;
  ++at;
  if (at < text.size() && text[at] == L'*') {
    if (out.unsatisfied) return false;
    ++at;
  } else {
    if (!number(text, at, out.total)) return false;
    out.total_known = true;
    if (!out.unsatisfied && out.last >= out.total) return false;
  }
  skip_blanks(text, at);
  return at == text.size();
}

std::wstring range_header(std::uint64_t offset) {
  return L"Range: bytes=" + std::to_wstring(offset) + L"-\r\n";
}

resume_plan plan_resume(const resume_response& r) noexcept {
  const bool success = r.status >= 200 && r.status <= 299;
  if (r.offset == 0) {
    if (!success) return failed(http_status_error(r.status));
    if (r.status == 206) return failed(kInvalidServerResponse);
    if (r.has_total && r.has_length && r.length != r.total) return failed(kInvalidServerResponse);
    return reading(0, r.has_length, r.length);
  }
  if (r.status == 416) {
    const bool at_end = r.has_range && r.range.unsatisfied && r.range.total_known &&
                        r.range.total <= r.offset && (!r.has_total || r.range.total == r.total);
    if (at_end) {
      resume_plan plan;
      plan.kind = resume_plan::end;
      return plan;
    }
    return failed(http_status_error(416));
  }
  if (!success) return failed(http_status_error(r.status));
  if (r.status == 206) {
    if (!r.has_range || r.range.unsatisfied || r.range.first != r.offset)
      return failed(kInvalidServerResponse);
    if (r.has_total && r.range.total_known && r.range.total != r.total)
      return failed(kInvalidServerResponse);
    if (r.has_length && r.length != r.range.last - r.range.first + 1)
      return failed(kInvalidServerResponse);
    return reading(0, true, r.range.last + 1);
  }
  if (r.status == 200) {
    // The whole file again: what was delivered already is dropped.
    if (r.has_length && r.length < r.offset) return failed(kInvalidServerResponse);
    if (r.has_total && r.has_length && r.length != r.total) return failed(kInvalidServerResponse);
    return reading(r.offset, r.has_length, r.length);
  }
  return failed(kInvalidServerResponse);
}

}  // namespace kx
