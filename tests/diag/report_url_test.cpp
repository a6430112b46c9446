#include "diag/report_url.h"

#include <gtest/gtest.h>

#include <string>

namespace kx {
namespace {

constexpr HRESULT kUnexpected = static_cast<HRESULT>(0x8000FFFF);

TEST(FormatReportUrl, FillsTheThreeValuesInTurnAndEncodesThem) {
  struct Row {
    const wchar_t* pattern;
    const wchar_t* url;
  } rows[] = {
      {L"https://h.example/e.asp?ErrorCode=%d : 0x%x&ErrorInfo=%s",
       L"https://h.example/e.asp?ErrorCode=-5001 : 0x8000ffff&ErrorInfo=a%20%26%20b%0D%0A%23c%25"},
      {L"https://h.example/?c=%ld&x=%08lX&i=%.3s",
       L"https://h.example/?c=-5001&x=8000FFFF&i=a%20%26"},
      // Conversions out of turn stay as written and read nothing.
      {L"https://h.example/?i=%s&c=%d&n=%n&x=%x&p=%p&rest=%d%s",
       L"https://h.example/?i=%s&c=-5001&n=%n&x=8000ffff&p=%p&rest=%da%20%26%20b%0D%0A%23c%25"},
      {L"https://h.example/?w=%*d&v=%1000d&c=%d", L"https://h.example/?w=%*d&v=%1000d&c=-5001"},
      {L"https://h.example/%2Fpath?c=%d%%", L"https://h.example/%2Fpath?c=-5001%"},
      {L"https://h.example/?end=%", L"https://h.example/?end=%"},
      {L"https://h.example/plain", L"https://h.example/plain"},
      // Length modifiers are accepted and change nothing: no value is cut.
      {L"https://h.example/?c=%hd&x=%llX&i=%hs",
       L"https://h.example/?c=-5001&x=8000FFFF&i=a%20%26%20b%0D%0A%23c%25"},
      {L"https://h.example/?i=%ws&c=%lhd", L"https://h.example/?i=%ws&c=-5001"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(FormatReportUrl(row.pattern, -5001, kUnexpected, L"a & b\r\n#c%").str(), row.url)
        << row.pattern;
}

TEST(PercentEncode, KeepsUnreservedCharactersAndEncodesUtf8) {
  EXPECT_EQ(PercentEncode(L"AZaz09-_.~").str(), L"AZaz09-_.~");
  EXPECT_EQ(PercentEncode(L"a b/?=\u00e4\u05d0").str(), L"a%20b%2F%3F%3D%C3%A4%D7%90");
  EXPECT_EQ(PercentEncode(L"").str(), L"");
}

}  // namespace
}  // namespace kx
