#include "base/stringx.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <iterator>
#include <string>
#include <string_view>

#include "base/string_win.h"
#include "tests/base/last_error_noise.h"

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

TEST(StringxTest, TheNoiseReachesUnguardedAllocations) {
  testing::LastErrorNoise noise;
  SetLastError(1234);
  std::wstring plain(100, L'x');
  EXPECT_EQ(GetLastError(), testing::kLastErrorNoise);
  {
    const std::wstring doomed(100, L'y');
    SetLastError(1234);
  }
  EXPECT_EQ(GetLastError(), testing::kLastErrorNoise);
}

// Texts too long for the small-string buffer, so that each operation
// allocates or frees.
const wchar_t kLong[] = L"a text long enough to live on the heap";

// What an operation works on, made before the last-error value is set: the
// rule covers the string type, not the arguments a caller builds for it.
struct Operands {
  string target{kLong};
  string::base base{kLong};
  std::wstring plain{kLong};
  // Results that outlive the operation, so that only the operation is
  // measured.
  std::string narrow_result;
  string result;
};

TEST(StringxTest, EveryOperationKeepsTheLastError) {
  using Op = void (*)(Operands&);
  const struct {
    const char* what;
    Op op;
  } ops[] = {
      {"default construction", [](Operands&) { string s; }},
      {"from text", [](Operands&) { string s(kLong); }},
      {"from counted text", [](Operands&) { string s(kLong, 30); }},
      {"from repeated character", [](Operands&) { string s(50, L'r'); }},
      {"from base string", [](Operands& o) { string s(o.base); }},
      {"from moved base string", [](Operands& o) { string s(std::move(o.base)); }},
      {"from view", [](Operands&) { string s{string::view(kLong)}; }},
      {"from plain view", [](Operands&) { string s{std::wstring_view(kLong)}; }},
      {"from plain string", [](Operands& o) { string s(o.plain); }},
      {"from range", [](Operands&) { string s(std::begin(kLong), std::end(kLong) - 1); }},
      {"copy", [](Operands& o) { string s(o.target); }},
      {"move", [](Operands& o) { string s(std::move(o.target)); }},
      {"copy assignment", [](Operands& o) { o.result = o.target; }},
      {"move assignment", [](Operands& o) { o.result = std::move(o.target); }},
      {"text assignment", [](Operands& o) { o.target = kLong; }},
      {"character assignment", [](Operands& o) { o.target = L'c'; }},
      {"+= base", [](Operands& o) { o.target += o.base; }},
      {"+= text", [](Operands& o) { o.target += kLong; }},
      {"+= character", [](Operands& o) { o.target += L'c'; }},
      {"+= view", [](Operands& o) { o.target += string::view(kLong); }},
      {"assign", [](Operands& o) { o.target.assign(60, L'a'); }},
      {"append", [](Operands& o) { o.target.append(kLong); }},
      {"insert", [](Operands& o) { o.target.insert(0, kLong); }},
      {"erase", [](Operands& o) { o.target.erase(0, 5); }},
      {"replace", [](Operands& o) { o.target.replace(0, 2, kLong); }},
      {"push_back", [](Operands& o) { o.target.push_back(L'p'); }},
      {"pop_back", [](Operands& o) { o.target.pop_back(); }},
      {"clear", [](Operands& o) { o.target.clear(); }},
      {"resize", [](Operands& o) { o.target.resize(300, L'z'); }},
      {"reserve", [](Operands& o) { o.target.reserve(1000); }},
      {"swap", [](Operands& o) { o.target.swap(o.result); }},
      {"substr", [](Operands& o) { string s = o.target.substr(2, 30); }},
      {"replace_all",
       [](Operands& o) { o.target.replace_all(L"e", L"[a longer replacement text]"); }},
      {"string + string", [](Operands& o) { string s = o.target + o.target; }},
      {"string + text", [](Operands& o) { string s = o.target + kLong; }},
      {"text + string", [](Operands& o) { string s = kLong + o.target; }},
      {"string + character", [](Operands& o) { string s = o.target + L'!'; }},
      {"narrow", [](Operands& o) { o.narrow_result = narrow(o.target); }},
      {"BSTR", [](Operands& o) { unique_bstr b = make_bstr(o.target); }},
      {"format", [](Operands& o) { string s = format(L"%s-%d", o.target.c_str(), 42); }},
      {"from bytes",
       [](Operands&) { string s = from_bytes("a narrow text long enough", -1, CP_ACP); }},
  };
  testing::LastErrorNoise noise;
  for (const auto& o : ops) {
    {
      Operands operands;
      SetLastError(1234);
      o.op(operands);
      EXPECT_EQ(GetLastError(), 1234u) << o.what;
      // Only the string type's own members are left to free.
      std::wstring().swap(operands.plain);
      string::base().swap(operands.base);
      std::string().swap(operands.narrow_result);
      SetLastError(1234);
    }
    EXPECT_EQ(GetLastError(), 1234u) << o.what << ", then destruction";
  }
  EXPECT_GT(noise.events(), 0);
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
