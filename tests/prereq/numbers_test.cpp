#include "prereq/numbers.h"

#include <gtest/gtest.h>

#include <vector>

namespace kx::prereq {
namespace {

TEST(Numbers, ReadsAsHandWrittenFilesSpellThem) {
  struct row {
    const kx::xchar* text;
    std::uint32_t value;
    bool has;
  };
  const row rows[] = {
      {KXT("3010"), 3010, true},
      {KXT("  42x"), 42, true},
      {KXT(""), 0, false},
      {KXT("abc"), 0, false},
      {KXT("-1"), 0xFFFFFFFFu, true},
      {KXT("+7"), 7, true},
      {KXT("99999999999"), 0xFFFFFFFFu, true},
      {KXT("-99999999999"), 0x80000000u, true},
      {KXT("4294967295"), 0xFFFFFFFFu, true},
      {KXT("- 5"), 0, false},
  };
  for (const row& r : rows) {
    EXPECT_EQ(parse_number(r.text), r.value) << testing::PrintToString(sax::text(r.text).size());
    EXPECT_EQ(has_number(r.text), r.has);
  }
}

TEST(Numbers, ListsSkipEntriesWithoutDigits) {
  using list = std::vector<std::uint32_t>;
  EXPECT_EQ(parse_number_list(KXT("1641,3010"), ','), (list{1641, 3010}));
  EXPECT_EQ(parse_number_list(KXT("1641, 3010,"), ','), (list{1641, 3010}));
  EXPECT_EQ(parse_number_list(KXT("1641,,3010"), ','), (list{1641, 3010}));
  EXPECT_EQ(parse_number_list(KXT(","), ','), list{});
  EXPECT_EQ(parse_number_list(KXT("-1"), ','), list{0xFFFFFFFFu});
  EXPECT_EQ(parse_number_list(KXT("2|"), '|'), list{2});
  EXPECT_EQ(parse_number_list(KXT("abc"), ','), list{});
}

}  // namespace
}  // namespace kx::prereq
