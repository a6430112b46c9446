#include "base/number_text.h"

#include <gtest/gtest.h>

#include <climits>

namespace kx {
namespace {

TEST(ReadHexOrDecimal, ReadsLikeWcstolAfterTheChoiceOfBase) {
  struct Row {
    const wchar_t* text;
    std::int32_t value;
  };
  const Row rows[] = {
      {L"42", 42},
      {L"1031", 1031},
      {L"0x1F", 31},
      {L"0X10", 16},
      {L"0X040c", 0x040c},
      {L"12abc", 12},
      {L" \t42", 42},
      {L" 1036", 1036},
      {L"-7", -7},
      {L"+5", 5},
      {L"1 2", 1},
      {L"", 0},
      {L"abc", 0},
      {L"0x", 0},
      {L"0xG", 0},
      {L"0x-10", -16},
      {L"0x0x10", 16},  // base 16 takes its own optional prefix once more
      {L" 0x10", 0},    // the prefix counts only at the very start
      {L"2147483647", INT_MAX},
      {L"2147483648", INT_MAX},
      {L"99999999999999999999", INT_MAX},
      {L"-2147483648", INT_MIN},
      {L"-2147483649", INT_MIN},
      {L"-99999999999", INT_MIN},
      {L"0xFFFFFFFF", INT_MAX},
      {L"0xFFFFFFFFF", INT_MAX},
      {L"0x7fffffff", INT_MAX},
      {L"0x-80000000", INT_MIN},
  };
  for (const Row& r : rows) EXPECT_EQ(read_hex_or_decimal(r.text), r.value) << r.text;
}

TEST(ReadNumber, DecimalTakesNoPrefixAndSkipsEveryRuntimeSpace) {
  struct Row {
    const wchar_t* text;
    std::int32_t value;
  };
  const Row rows[] = {
      {L"3", 3},
      {L"0x10", 0},
      {L"\t\n\v\f\r 3", 3},
      {L"3s", 3},
      {L"- 3", 0},
      {L"--3", 0},
      {L"007", 7},
      {L"\x00a0"
       L"3",
       0},
      {L"4294967296", INT_MAX},
  };
  for (const Row& r : rows) EXPECT_EQ(read_number(r.text, 10), r.value) << r.text;
  // In base 16 the letters count, and so does a prefix after the sign.
  EXPECT_EQ(read_number(L"-0xff", 16), -255);
  EXPECT_EQ(read_number(L"fF", 16), 255);
}

}  // namespace
}  // namespace kx
