#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/testing/scoped_temp_dir.h"
#include "tests/ui/skin/skin_fixture.h"
#include "tools/skin_builder/skin_check.h"
#include "tools/skin_builder/skin_folder.h"
#include "tools/skin_builder/skin_ini_text.h"

namespace kx {
namespace {

using skinbuild::SkinMessage;

std::vector<SkinMessage> check(const testing::SkinFiles& files) {
  // The entries point into the bytes, which must outlive the check.
  const std::vector<std::uint8_t> plain = testing::PlainSkinPackage(files);
  const SkinPackage p = ReadSkinPackage(plain);
  EXPECT_TRUE(p.ok());
  return skinbuild::CheckSkin(p);
}

bool says(const std::vector<SkinMessage>& messages, bool error, const std::string& part) {
  for (const SkinMessage& m : messages) {
    if (m.error == error && m.text.find(part) != std::string::npos) return true;
  }
  return false;
}

TEST(SkinIniTextTest, ReadsAsTheProfileFunctionsDo) {
  skinbuild::SkinIniText ini(
      "; comment\r\n[ALL]\r\n RECTS = 0x2 \r\nIMAGE1=\"a b.bmp\"\r\n[all]\r\nRECTS=9\r\n");
  EXPECT_EQ(ini.Number("ALL", "rects", 7), 2u);  // the first section of a name counts
  EXPECT_EQ(ini.Number("ALL", "IMAGES", 7), 7u);
  EXPECT_EQ(ini.Text("all", "IMAGE1", 260), "a b.bmp");
  EXPECT_EQ(ini.Sections(3072), std::vector<std::string>{"ALL"});
}

TEST(SkinBuilderTest, ReportsWhatTheAuthorMustFix) {
  const auto m = check({{"skin.ini",
                         "[ALL]\r\nRECTS=-1\r\nIMAGES=2\r\nIMAGE1=logo.bmp\r\nIMAGE2=gone.gif\r\n"
                         "TEXTCOLOR=1,2\r\nBUTTONS=1\r\nBUTTON1UP=logo.bmp\r\n"},
                        {"logo.bmp", testing::SolidBitmap(2, 2, 0)},
                        {"spare.bmp", testing::SolidBitmap(2, 2, 0)},
                        {"broken.bmp", "BM"},
                        {"readme.txt", "x"}});
  EXPECT_TRUE(skinbuild::HasErrors(m));
  EXPECT_TRUE(says(m, true, "unknown image \"gone.gif\""));
  EXPECT_TRUE(says(m, true, "\"broken.bmp\": too short"));
  EXPECT_TRUE(says(m, false, "RECTS=-1: a negative count"));
  EXPECT_TRUE(says(m, false, "TEXTCOLOR=1,2"));
  EXPECT_TRUE(says(m, false, "BUTTON1 names no control id"));
  EXPECT_TRUE(says(m, false, "\"spare.bmp\" is not used"));
  EXPECT_TRUE(says(m, false, "\"readme.txt\" is neither"));
  EXPECT_FALSE(says(m, false, "\"logo.bmp\" is not used"));
}

TEST(SkinBuilderTest, PacksAFolderTheLauncherReads) {
  testing::ScopedTempDir dir;
  const std::filesystem::path folder(dir.path());
  std::ofstream(folder / "skin.ini") << "[ALL]\r\nIMAGES=1\r\nIMAGE1=a.bmp\r\n";
  std::ofstream(folder / "a.bmp", std::ios::binary) << testing::SolidBitmap(3, 3, 0xFF);
  std::ofstream(folder / "notes.txt") << "left out";
  const skinbuild::PackedFolder packed = skinbuild::PackSkinFolder(folder);
  EXPECT_FALSE(skinbuild::HasErrors(packed.messages));
  EXPECT_TRUE(says(packed.messages, false, "left out \"notes.txt\""));
  const SkinPackage p = ReadSkinPackage(packed.plain);
  ASSERT_TRUE(p.ok());
  ASSERT_EQ(p.entries.size(), 2u);
  EXPECT_EQ(p.entries[0].name, "skin.ini");
  EXPECT_TRUE(skinbuild::CheckSkin(p).empty());

  std::filesystem::remove(folder / "skin.ini");
  EXPECT_TRUE(skinbuild::HasErrors(skinbuild::PackSkinFolder(folder).messages));
}

}  // namespace
}  // namespace kx
