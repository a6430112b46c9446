#include "platform/inet_resume.h"

#include <gtest/gtest.h>

#include "platform/inet_status.h"

namespace kx {
namespace {

TEST(InetResume, ParsesLengthsIn64Bits) {
  std::uint64_t v = 0;
  EXPECT_TRUE(parse_content_length(L"5000000000", v));
  EXPECT_EQ(v, 5000000000ull);
  EXPECT_TRUE(parse_content_length(L" 0 ", v));
  EXPECT_EQ(v, 0u);
  EXPECT_TRUE(parse_content_length(L"9223372036854775808", v));
  for (const wchar_t* bad :
       {L"", L"-1", L"12a", L"1 2", L"0x10", L"9223372036854775809", L"99999999999999999999999"})
    EXPECT_FALSE(parse_content_length(bad, v)) << bad;
}

TEST(InetResume, ParsesContentRange) {
  content_range r;
  ASSERT_TRUE(parse_content_range(L"bytes 3000000000-3999999999/4000000000", r));
  EXPECT_FALSE(r.unsatisfied);
  EXPECT_EQ(r.first, 3000000000ull);
  EXPECT_EQ(r.last, 3999999999ull);
  EXPECT_TRUE(r.total_known);
  EXPECT_EQ(r.total, 4000000000ull);
  ASSERT_TRUE(parse_content_range(L"bytes */100000", r));
  EXPECT_TRUE(r.unsatisfied);
  EXPECT_EQ(r.total, 100000u);
  ASSERT_TRUE(parse_content_range(L"bytes 5-9/*", r));
  EXPECT_FALSE(r.total_known);
  for (const wchar_t* bad : {L"", L"bytes", L"bytes 5-4/10", L"bytes 5-10/10", L"bytes */*",
                             L"items 0-1/2", L"bytes 0-1/2x", L"bytes -1/2", L"bytes 1-/2"})
    EXPECT_FALSE(parse_content_range(bad, r)) << bad;
}

TEST(InetResume, RangeHeaderIs64Bit) {
  EXPECT_EQ(range_header(3000000000ull), L"Range: bytes=3000000000-\r\n");
  EXPECT_EQ(range_header(1), L"Range: bytes=1-\r\n");
}

resume_response response(std::uint64_t offset, unsigned status, const wchar_t* length,
                         const wchar_t* range, std::int64_t total = -1) {
  resume_response r;
  r.offset = offset;
  r.status = status;
  if (length) r.has_length = parse_content_length(length, r.length);
  if (range) r.has_range = parse_content_range(range, r.range);
  if (total >= 0) {
    r.has_total = true;
    r.total = static_cast<std::uint64_t>(total);
  }
  return r;
}

TEST(InetResume, JudgesAnswersToRanges) {
  using k = resume_plan::kind_type;
  const struct {
    const char* name;
    resume_response in;
    k kind;
    std::uint64_t skip;
    bool has_end;
    std::uint64_t end;
    std::uint32_t error;
  } cases[] = {
      {"first request", response(0, 200, L"100", nullptr), k::read, 0, true, 100, 0},
      {"first, chunked", response(0, 200, nullptr, nullptr), k::read, 0, false, 0, 0},
      {"first, 404", response(0, 404, L"38", nullptr), k::fail, 0, false, 0, 0x8004D554},
      {"first, 206 unasked", response(0, 206, L"10", L"bytes 0-9/100"), k::fail, 0, false, 0,
       12152},
      {"first, length changed", response(0, 200, L"90", nullptr, 100), k::fail, 0, false, 0, 12152},
      {"206 at the offset", response(40, 206, L"60", L"bytes 40-99/100", 100), k::read, 0, true,
       100, 0},
      {"206 elsewhere", response(40, 206, L"70", L"bytes 30-99/100", 100), k::fail, 0, false, 0,
       12152},
      {"206 other file size", response(40, 206, L"60", L"bytes 40-99/200", 100), k::fail, 0, false,
       0, 12152},
      {"206 without range", response(40, 206, L"60", nullptr, 100), k::fail, 0, false, 0, 12152},
      {"206 length disagrees", response(40, 206, L"61", L"bytes 40-99/100", 100), k::fail, 0, false,
       0, 12152},
      {"200 ignores the range", response(40, 200, L"100", nullptr, 100), k::read, 40, true, 100, 0},
      {"200 shorter than delivered", response(40, 200, L"30", nullptr), k::fail, 0, false, 0,
       12152},
      {"416 at the end", response(100, 416, L"0", L"bytes */100", 100), k::end, 0, false, 0, 0},
      {"416 before the end", response(40, 416, L"0", L"bytes */100", 100), k::fail, 0, false, 0,
       0x8004D560},
      {"416 without range", response(100, 416, L"0", nullptr, 100), k::fail, 0, false, 0,
       0x8004D560},
      {"3 GB offset",
       response(3000000000ull, 206, L"1000000000", L"bytes 3000000000-3999999999/4000000000",
                4000000000ll),
       k::read, 0, true, 4000000000ull, 0},
      {"500 to a range", response(40, 500, nullptr, nullptr), k::fail, 0, false, 0, 0x8004D5B4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const resume_plan p = plan_resume(c.in);
    EXPECT_EQ(p.kind, c.kind);
    if (c.kind == k::fail) {
      EXPECT_EQ(p.error, c.error);
      continue;
    }
    EXPECT_EQ(p.skip, c.skip);
    EXPECT_EQ(p.has_end, c.has_end);
    if (c.has_end) {
      EXPECT_EQ(p.end_position, c.end);
    }
  }
}

}  // namespace
}  // namespace kx
