#include "base/pattern_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kx {
namespace {

TEST(PatternFormatTest, IntegerPatterns) {
  struct row {
    std::wstring pattern;
    int value;
    std::wstring result;
  };
  const std::vector<row> rows = {
      {L"PreReq%d", 3, L"PreReq3"},
      {L"%i-%u", 7, L"7-%u"},  // only the first conversion takes the number
      {L"%d%d", 1, L"1%d"},
      {L"%ld", 12, L"12"},
      {L"%05d", 42, L"00042"},
      {L"%-4d|", 42, L"42  |"},
      {L"%4d|", -42, L" -42|"},
      {L"%+d", 5, L"+5"},
      {L"% d", 5, L" 5"},
      {L"%.3d", 7, L"007"},
      {L"%.0d", 0, L""},
      {L"%x", 255, L"ff"},
      {L"%X", 255, L"FF"},
      {L"%#x", 255, L"0xff"},
      {L"%#x", 0, L"0"},
      {L"%o", 8, L"10"},
      {L"%#o", 8, L"010"},
      {L"%u", -1, L"4294967295"},
      {L"%d", -2147483647 - 1, L"-2147483648"},
      {L"0x%04x.ini", 0x409, L"0x0409.ini"},
      // Conversions that do not fit one integer stay as written.
      {L"%s%d", 1, L"%s1"},
      {L"Key%s", 1, L"Key%s"},
      {L"%n%d", 2, L"%n2"},
      {L"%*d", 3, L"%*d"},
      {L"%hd", 3, L"3"},
      {L"%hd", 70000, L"4464"},  // h reads the low 16 bits, as printf does
      {L"%lld", -3, L"-3"},
      {L"%101d", 3, L"%101d"},  // too wide
      {L"%.999999999d", 3, L"%.999999999d"},
      {L"%100d", 3, std::wstring(99, L' ') + L"3"},
      {L"%%d", 4, L"%d"},
      {L"100%%", 4, L"100%"},
      {L"end%", 4, L"end%"},
      {L"%", 4, L"%"},
      {L"%-", 4, L"%-"},
      {L"no conversion", 4, L"no conversion"},
      {L"", 4, L""},
  };
  for (const row& r : rows)
    EXPECT_EQ(format_with_int(string(r.pattern).as_view(), r.value).str(), r.result) << r.pattern;
}

TEST(PatternFormatTest, TextPatterns) {
  struct row {
    std::wstring pattern;
    std::wstring text;
    std::wstring result;
  };
  const std::vector<row> rows = {
      {L"Copy of %s", L"Main", L"Copy of Main"},
      {L"%s-%s", L"a", L"a-%s"},
      {L"%ls", L"a", L"a"},
      {L"%ws", L"a", L"a"},
      {L"%5s|", L"ab", L"   ab|"},
      {L"%-5s|", L"ab", L"ab   |"},
      {L"%.2s", L"abcdef", L"ab"},
      {L"%d %s", L"x", L"%d x"},
      {L"%%s %s", L"x", L"%s x"},
      {L"%s", L"50%", L"50%"},  // the text itself is never read as a pattern
  };
  for (const row& r : rows)
    EXPECT_EQ(format_with_text(string(r.pattern).as_view(), string(r.text).as_view()).str(),
              r.result)
        << r.pattern;
}

}  // namespace
}  // namespace kx
