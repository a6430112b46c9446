#include "base/text_encoding.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace kx {
namespace {

TEST(TextEncodingTest, DetectsByteOrderMarks) {
  struct row {
    std::string bytes;
    int code_page;
    std::size_t mark;
  };
  const std::vector<row> rows = {
      {"", 0, 0},
      {"\xFF", 0, 0},  // one byte is too short for a mark
      {"\xFF\xFE", 1200, 2},
      {std::string("\xFF\xFE\x00\x00", 4), 1200, 2},  // not taken for UTF-32
      {"\xFE\xFF", 1201, 2},
      {std::string("\xFE\xFF\x00[", 4), 1201, 2},
      {"\xEF\xBB", 0, 0},
      {"\xEF\xBB\xBF", 65001, 3},
      {"\xEF\xBB\xBF[a]", 65001, 3},
      {"\xBB\xBF", 0, 0},
      {"[a]\r\n", 0, 0},
      {"\xFE\xFE", 0, 0},
  };
  for (const row& r : rows) {
    const detected_encoding d = detect_encoding(r.bytes.data(), r.bytes.size());
    EXPECT_EQ(d.code_page, r.code_page) << ::testing::PrintToString(r.bytes);
    EXPECT_EQ(d.mark_length, r.mark) << ::testing::PrintToString(r.bytes);
  }
  EXPECT_EQ(detect_encoding(nullptr, 3).code_page, 0);
}

std::wstring decode(const std::string& bytes, int code_page, unsigned long* error = nullptr) {
  string out(L"stale");
  const unsigned long e = decode_text(bytes.data(), bytes.size(), code_page, out);
  if (error) *error = e;
  return out.str();
}

TEST(TextEncodingTest, DecodesEachCodePage) {
  struct row {
    std::string bytes;
    int code_page;
    std::wstring text;
  };
  const std::vector<row> rows = {
      {"", 1200, L""},
      {std::string("a\0b\0", 4), 1200, L"ab"},
      {std::string("a\0b", 3), 1200, L"a"},  // an odd last byte is dropped
      {std::string("\0a\0b", 4), 1201, L"ab"},
      {std::string("\x3D\xD8\x00\xDE", 4), 1200, L"\U0001F600"},  // a surrogate pair stays a pair
      {std::string("\xD8\x3D\xDE\x00", 4), 1201, L"\U0001F600"},
      {std::string("\x00\xD8", 2), 1200,
       std::wstring(1, wchar_t(0xD800))},  // lone surrogates are kept
      {"abc", 65001, L"abc"},
      {"\xC3\xA4\xE2\x82\xAC", 65001, L"\u00e4\u20ac"},
      {"\xF0\x9F\x98\x80", 65001, L"\U0001F600"},
      {"\xC0\x80", 65001, L"\ufffd\ufffd"},                      // overlong
      {"\xED\xA0\x80", 65001, L"\ufffd\ufffd\ufffd"},            // an encoded surrogate
      {"\xE2\x82", 65001, L"\ufffd"},                            // cut at the end
      {"\xE2\x82x", 65001, L"\ufffdx"},                          // cut before an ASCII byte
      {"\xF4\x90\x80\x80", 65001, L"\ufffd\ufffd\ufffd\ufffd"},  // above U+10FFFF
      {"\x80z", 65001, L"\ufffdz"},
      {"\xE4\x80", 1252, L"\u00e4\u20ac"},
      {std::string("a\0b", 3), 1252, std::wstring(L"a\0b", 3)},
  };
  for (const row& r : rows) {
    unsigned long error = 1;
    EXPECT_EQ(decode(r.bytes, r.code_page, &error), r.text)
        << r.code_page << " " << ::testing::PrintToString(r.bytes);
    EXPECT_EQ(error, 0u);
  }
}

TEST(TextEncodingTest, AnUnknownCodePageIsAnErrorNotEmptyText) {
  unsigned long error = 0;
  EXPECT_EQ(decode("abc", 12345, &error), L"");
  EXPECT_NE(error, 0u);
  std::string bytes = "stale";
  EXPECT_NE(encode_text(L"abc", 12345, false, bytes), 0u);
  EXPECT_TRUE(bytes.empty());
}

// The portable UTF-8 reader must agree with the system's on well-formed
// text, which is all that files written by other tools contain.
TEST(TextEncodingTest, Utf8AgreesWithTheSystemOnWellFormedText) {
  const std::wstring sample = L"x=\u00e4\u00f6\u00fc \u20ac \u4e2d\u6587 \U0001F600 \u05e9\u05dc";
  const int n = WideCharToMultiByte(CP_UTF8, 0, sample.data(), static_cast<int>(sample.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, sample.data(), static_cast<int>(sample.size()), utf8.data(), n,
                      nullptr, nullptr);
  std::string ours;
  ASSERT_EQ(encode_text(string(sample).as_view(), 65001, false, ours), 0u);
  EXPECT_EQ(ours, utf8);
  EXPECT_EQ(decode(utf8, 65001), sample);
}

TEST(TextEncodingTest, EncodesWithAndWithoutMarks) {
  struct row {
    std::wstring text;
    int code_page;
    bool mark;
    std::string bytes;
  };
  const std::vector<row> rows = {
      {L"a", 1200, true,
       std::string("\xFF\xFE"
                   "a\0",
                   4)},
      {L"a", 1200, false, std::string("a\0", 2)},
      {L"a", 1201, true, std::string("\xFE\xFF\0a", 4)},
      {L"\u20ac", 1201, false, "\x20\xAC"},
      {L"a", 65001, true,
       "\xEF\xBB\xBF"
       "a"},
      {L"\u00e4", 65001, false, "\xC3\xA4"},
      {L"\U0001F600", 65001, false, "\xF0\x9F\x98\x80"},
      {std::wstring(1, wchar_t(0xDC00)), 65001, false, "\xEF\xBF\xBD"},  // unpaired
      {L"\u00e4\u20ac", 1252, true, "\xE4\x80"},                         // ANSI has no mark
      {L"", 1200, true, "\xFF\xFE"},
      {L"", 0, true, ""},
  };
  for (const row& r : rows) {
    std::string bytes;
    EXPECT_EQ(encode_text(string(r.text).as_view(), r.code_page, r.mark, bytes), 0u);
    EXPECT_EQ(bytes, r.bytes) << r.code_page << " " << r.mark;
  }
}

TEST(TextEncodingTest, UnicodeRoundTripsKeepEveryCodeUnit) {
  std::wstring all;
  for (wchar_t c = 1; c < 0xD800; c += 7) all += c;
  all += L"\U0001F600\uFFFD\uFEFF";
  for (const int cp : {1200, 1201, 65001}) {
    std::string bytes;
    ASSERT_EQ(encode_text(string(all).as_view(), cp, true, bytes), 0u);
    const detected_encoding d = detect_encoding(bytes.data(), bytes.size());
    EXPECT_EQ(d.code_page, cp);
    EXPECT_EQ(d.mark_length, mark_length(cp));
    EXPECT_EQ(decode(bytes.substr(d.mark_length), cp), all) << cp;
  }
  EXPECT_TRUE(is_unicode_code_page(65001));
  EXPECT_FALSE(is_unicode_code_page(1252));
  EXPECT_EQ(mark_length(0), 0u);
}

}  // namespace
}  // namespace kx
