#include "ui/skin/skin_lookup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/skin/skin_package_name.h"

namespace kx {
namespace {

using Chain = std::vector<std::string>;

TEST(SkinLookupTest, SectionNamesCarryTheLanguageUnlessEnglish) {
  EXPECT_EQ(SkinSectionName("language", 0x0409), "language");
  EXPECT_EQ(SkinSectionName("language", 0x0407), "language-0407");
  EXPECT_EQ(SkinSectionName("PrereqDialog", 0x0c0a), "PrereqDialog-0c0a");
}

TEST(SkinLookupTest, FallbackChains) {
  const struct {
    const char* name;
    Chain chain;
  } cases[] = {
      {"language-0407", {"language-0407", "language-0007", "ALL-0407", "language", "ALL"}},
      {"progress-0c0a", {"progress-0c0a", "progress-000a", "ALL-0c0a", "progress", "ALL"}},
      {"sbs-0007", {"sbs-0007", "ALL-0007", "sbs", "ALL"}},  // already primary
      {"language", {"language", "ALL"}},
      {"ALL-0407", {"ALL-0407", "ALL"}},
      {"ALL", {"ALL"}},
      {"page-zz", {"page-zz", "ALL"}},  // not hexadecimal: no suffix
      {"page-", {"page-", "ALL"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SkinLookupChain(c.name), c.chain) << c.name;
}

TEST(SkinPackageNameTest, OnlyPlainRelativePathsPass) {
  const SkinPackageName plain = CheckSkinPackageName(KXT("skins\\blue.skn"));
  ASSERT_TRUE(plain.ok());
  EXPECT_EQ(plain.medium_path, string(KXT("skins\\blue.skn")));
  EXPECT_EQ(plain.file_name, string(KXT("blue.skn")));
  EXPECT_EQ(CheckSkinPackageName(KXT("blue.skn")).file_name, string(KXT("blue.skn")));
  for (const xchar* bad : {KXT("..\\Shared\\blue.skn"), KXT("..\\..\\x"), KXT("C:\\x.skn"),
                           KXT("\\\\server\\share\\x"), KXT("\\x.skn"), KXT("a\\.\\b"),
                           KXT("nul.skn"), KXT("x.skn:stream"), KXT("")}) {
    const SkinPackageName n = CheckSkinPackageName(bad);
    EXPECT_FALSE(n.ok()) << string(bad).size();
    EXPECT_TRUE(n.file_name.empty());
  }
}

}  // namespace
}  // namespace kx
