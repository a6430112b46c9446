#include "prereq/version_compare.h"

#include <gtest/gtest.h>

#include <string>

namespace kx::prereq {
namespace {

std::string narrow(sax::text_view text) {
  return std::string(text.begin(), text.end());
}

TEST(VersionCompare, OrdersVersionTextsAsDefinitionsWriteThem) {
  struct row {
    const kx::xchar* a;
    const kx::xchar* b;
    int order;
  };
  const row rows[] = {
      {KXT("10.0.30319"), KXT("10.0.0"), 1},
      {KXT("1.2"), KXT("1.2.0.0"), 0},
      {KXT("1..2"), KXT("1.0.2"), 0},
      {KXT("1.2.3.4.5"), KXT("1.2.3.4"), 0},
      {KXT("v1"), KXT("0"), 0},
      {KXT(" 1.0"), KXT("1"), 0},
      {KXT(""), KXT("0.0.0.0"), 0},
      {KXT("1.2.3.4"), KXT("1.2.3.5"), -1},
      {KXT("2.0"), KXT("1.65535.65535.65535"), 1},
      {KXT("12.0.3456.7"), KXT("12.0.3456.7"), 0},
      // Parts above 65535 keep their value instead of losing the high bits.
      {KXT("1.70000"), KXT("1.5000"), 1},
      {KXT("65536.0"), KXT("0.0"), 1},
      {KXT("2023.1.20230115"), KXT("2023.1.20221231"), 1},
      {KXT("1.0.0.65536"), KXT("1.0.1.0"), -1},
      {KXT("4294967295"), KXT("4294967294"), 1},
      {KXT("99999999999"), KXT("4294967295"), 0},
  };
  for (const row& r : rows) {
    EXPECT_EQ(compare_versions(r.a, r.b), r.order) << narrow(r.a) << " vs " << narrow(r.b);
    EXPECT_EQ(compare_versions(r.b, r.a), -r.order) << narrow(r.b) << " vs " << narrow(r.a);
  }
}

TEST(VersionCompare, PartsOfTextsAndFileVersions) {
  EXPECT_EQ(parse_version(KXT("12.0.3456.7")), (version_parts{12, 0, 3456, 7}));
  EXPECT_EQ(parse_version(KXT("3.x.5")), (version_parts{3, 0, 5, 0}));
  EXPECT_EQ(parse_version(KXT("...")), (version_parts{0, 0, 0, 0}));
  EXPECT_EQ(version_from_file(0x000C0000u, (3456u << 16) | 7u), (version_parts{12, 0, 3456, 7}));
  EXPECT_EQ(version_from_file(0xFFFFFFFFu, 0x00010002u), (version_parts{65535, 65535, 1, 2}));
}

}  // namespace
}  // namespace kx::prereq
