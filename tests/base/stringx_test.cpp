#include "base/stringx.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "base/string_win.h"

namespace kx {
namespace {

TEST(StringxTest, ComparesAndSearchesIgnoringAsciiCase) {
  const string s = L"Setup.INI";
  EXPECT_EQ(s, L"setup.ini");
  EXPECT_EQ(s.find(L"INI"), 6u);
  EXPECT_EQ(s.find(L'i'), 6u);
  EXPECT_TRUE(s.starts_with_i(L"SETUP"));
  EXPECT_TRUE(s.ends_with_i(L".ini"));
  // Only A-Z fold: accented letters and the characters between 'Z' and 'a'
  // keep their identity and their order.
  EXPECT_NE(string(L"\u00c4"), string(L"\u00e4"));
  EXPECT_LT(string(L"_"), string(L"A"));  // as a lower-case fold orders them
  EXPECT_LT(string(L"abc"), string(L"ABD"));
  EXPECT_EQ(compare_i(L"abc", 3, L"ABC", 3), 0);
  EXPECT_LT(compare_i(L"ab", 2, L"ABC", 3), 0);
}

TEST(StringxTest, EveryOperationKeepsTheLastError) {
  SetLastError(1234);
  {
    string a(L"first");
    string b = a;
    b += L" second";
    b.append(L"x", 1).insert(0, L"y").erase(0, 1).replace(0, 1, L"F");
    b.resize(200, L'z');
    string c = std::move(b);
    c = a + L"!" + c;
    c.replace_all(L"z", L"Zz");
    string d = c.substr(3, 4);
    d.clear();
    std::string narrow_text = narrow(c);
    unique_bstr bs = make_bstr(c);
    string f = format(L"%s-%d", c.c_str(), 42);
    string g = from_bytes("abc", 3, CP_ACP);
  }
  EXPECT_EQ(GetLastError(), 1234u);
}

TEST(StringxTest, FormatNeverTruncates) {
  const string big(5000, L'q');
  const string f = format(L"<%s>%d", big.c_str(), -7);
  EXPECT_EQ(f.size(), 5004u);
  EXPECT_EQ(f.substr(5001), L">-7");
}

TEST(StringxTest, BstrAndNarrowViews) {
  string s(L"a\0b", 3);
  unique_bstr b = make_bstr(s);
  ASSERT_NE(b.get(), nullptr);
  EXPECT_EQ(b.length(), 3u);
  EXPECT_EQ(b.get()[3], L'\0');
  EXPECT_EQ(narrow(string(L"Caf\u00e9"), 1252), "Caf\xe9");
}

TEST(StringxTest, FromBytesByCodePage) {
  EXPECT_EQ(from_bytes("a\0b\0", 4, 1200), L"ab");
  EXPECT_EQ(from_bytes("\0a\0b", 4, 1201), L"ab");
  EXPECT_EQ(from_bytes("x\0y\0\0\0", -1, 1200), L"xy");
  EXPECT_EQ(from_bytes("\xc3\xa9", 2, CP_UTF8).str(), L"\u00e9");
  EXPECT_EQ(from_bytes("\xe9", -1, 1252).str(), L"\u00e9");
}

}  // namespace
}  // namespace kx
