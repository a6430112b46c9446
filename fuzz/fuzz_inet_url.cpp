// Fuzzes the web address split and the response-header parsers of resuming
// with arbitrary text and checks what their rules promise.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/inet_resume.h"
#include "platform/inet_url.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

bool is_control(wchar_t c) {
  return static_cast<std::uint32_t>(c) < 0x20 || c == 0x7F;
}

void check_split(const std::wstring& input) {
  kx::inet_url u;
  if (kx::split_inet_url(input, u) != kx::inet_url_error::none) return;
  require(!u.host.empty());
  require(u.port != 0);
  require(!u.object.empty() && u.object.front() == L'/');
  // Nothing that could end a header line or the request line gets through.
  for (const std::wstring* text : {&u.host, &u.object, &u.user, &u.password})
    for (const wchar_t c : *text) require(!is_control(c));
  require(u.object.find(L'\\') == std::wstring::npos);
  require(u.object.find(L' ') == std::wstring::npos);
  require(u.object.find(L'#') == std::wstring::npos);
  if (!u.has_credentials) require(u.user.empty() && u.password.empty());
}

void check_headers(const std::wstring& input) {
  std::uint64_t length = 0;
  if (kx::parse_content_length(input, length)) require(length <= (std::uint64_t{1} << 63));
  kx::content_range r;
  if (kx::parse_content_range(input, r)) {
    if (!r.unsatisfied) require(r.first <= r.last);
    if (!r.unsatisfied && r.total_known) require(r.last < r.total);
    require(r.total_known || !r.unsatisfied);
  }
  kx::resume_response response;
  response.offset = length;
  response.status = static_cast<unsigned>(input.size() % 600);
  response.has_range = kx::parse_content_range(input, response.range);
  response.has_length = kx::parse_content_length(input, response.length);
  const kx::resume_plan plan = kx::plan_resume(response);
  if (plan.kind == kx::resume_plan::fail) require(plan.error != 0);
  if (plan.kind == kx::resume_plan::read) require(plan.skip <= response.offset);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring input;
  input.reserve(size / 2);
  for (std::size_t i = 0; i + 1 < size; i += 2)
    input += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
  check_split(input);
  check_headers(input);
  return 0;
}
