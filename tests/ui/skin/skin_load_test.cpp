#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/testing/scoped_temp_dir.h"
#include "tests/ui/image/gif_writer.h"
#include "tests/ui/skin/skin_fixture.h"
#include "ui/skin/skin.h"

namespace kx {
namespace {

using testing::SkinPackageFile;

std::string gif_file() {
  testing::GifFrame frame;
  frame.width = 2;
  frame.height = 2;
  frame.indices = {0, 1, 1, 0};
  const auto bytes = testing::GifWriter(2, 2, {{255, 0, 0}, {0, 0, 255}})
                         .GraphicControl(true, 1)
                         .Image(frame)
                         .Trailer()
                         .bytes();
  return std::string(bytes.begin(), bytes.end());
}

class SkinLoadTest : public ::testing::Test {
 protected:
  void TearDown() override { UnloadSkin(); }

  bool Load(const std::string& file_bytes) {
    testing::WriteBytes(package(), file_bytes);
    return LoadSkin(string(package().c_str()), string(work.path().c_str()));
  }
  std::wstring package() const { return files.file(L"blue.skn"); }
  int RraFiles() const {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(work.file(L"*.rra").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do ++n;
    while (FindNextFileW(h, &data));
    FindClose(h);
    return n;
  }

  testing::ScopedTempDir files;
  testing::ScopedTempDir work;
};

TEST_F(SkinLoadTest, LoadsRecordsAndPicturesAndLeavesNoFiles) {
  const std::string file = SkinPackageFile({
      {"skin.ini", "[SKINS]\r\nVERSION=2\r\n[ALL]\r\nTEXTCOLOR=1,2,3\r\n[language-0407]\r\n"},
      {"red.bmp", testing::SolidBitmap(4, 3, 0x0000FF)},
      {"mark.gif", gif_file()},
      {"photo.png", "\x89PNG"},
  });
  ASSERT_TRUE(Load(file));
  const SkinSet* set = LoadedSkin();
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set->description.version, 2u);
  ASSERT_NE(FindSkin("ALL"), nullptr);
  EXPECT_EQ(FindSkin("ALL")->text_colour, 0x030201u);
  EXPECT_EQ(FindSkin("language-0407")->name, "language-0407");
  EXPECT_EQ(FindSkin("progress-0407")->name, "ALL");
  ASSERT_NE(set->Picture("RED.BMP"), nullptr);
  EXPECT_EQ(set->Picture("red.bmp")->width(), 4);
  EXPECT_EQ(set->Picture("red.bmp")->height(), 3);
  ASSERT_NE(set->Picture("mark.gif"), nullptr);
  EXPECT_TRUE(set->Picture("mark.gif")->has_own_transparency());
  EXPECT_EQ(set->Picture("photo.png"), nullptr);
  EXPECT_EQ(RraFiles(), 0);
  EXPECT_EQ(testing::ReadBytes(package()), file);  // mapped as a private copy
}

TEST_F(SkinLoadTest, TakesTheFirstFreeNameAndLeavesOthersAlone) {
  testing::WriteBytes(work.file(L"0.rra"), "someone else's");
  ASSERT_TRUE(Load(SkinPackageFile({{"skin.ini", "[ALL]\r\n"}})));
  EXPECT_EQ(std::wstring(LoadedSkin()->ini_path.c_str()), work.file(L"1.rra"));
  EXPECT_EQ(testing::ReadBytes(work.file(L"0.rra")), "someone else's");
  EXPECT_EQ(RraFiles(), 1);
}

TEST_F(SkinLoadTest, HostilePackagesLeaveNoSkin) {
  const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"empty file", ""},
      {"truncated", SkinPackageFile({{"skin.ini", "[ALL]\r\nRECTS=1\r\n"}}).substr(0, 12)},
      {"huge size", testing::ScrambledBytes(std::string("skin.ini\0"
                                                        "99999999999\0"
                                                        "x",
                                                        22))},
      {"name without NUL", testing::ScrambledBytes("skin.ini")},
      {"size beyond the data", testing::ScrambledBytes(std::string("skin.ini\0"
                                                                   "4000\0"
                                                                   "[ALL]",
                                                                   19))},
      {"not scrambled", std::string("skin.ini\0"
                                    "7\0"
                                    "[ALL]\r\n",
                                    16)},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(Load(c.file)) << c.what;
    EXPECT_EQ(LoadedSkin(), nullptr) << c.what;
    EXPECT_TRUE(SkinRequested()) << c.what;  // the large layout stays
    EXPECT_EQ(RraFiles(), 0) << c.what;
  }
  EXPECT_FALSE(LoadSkin(string(files.file(L"missing.skn").c_str()), string(work.path().c_str())));
}

TEST_F(SkinLoadTest, HostileValuesAndImagesGiveAPartialSkin) {
  std::string huge_bmp = testing::SolidBitmap(2, 2, 0);
  huge_bmp[22] = huge_bmp[23] = huge_bmp[24] = '\x7f';  // height of millions
  // A minimum code size of 12 is beyond LZW.
  const auto bad = testing::GifWriter(2, 2, {{0, 0, 0}, {1, 1, 1}})
                       .RawImage(2, 2, {12, 1, 0, 0})
                       .Trailer()
                       .bytes();
  const std::string gif(bad.begin(), bad.end());
  ASSERT_TRUE(Load(SkinPackageFile({
      {"skin.ini", "[ALL]\r\nRECTS=-1\r\nIMAGES=2147483647\r\nIMAGE1=huge.bmp\r\nBUTTONS=-1\r\n"},
      {"huge.bmp", huge_bmp},
      {"bad.gif", gif},
  })));
  const SkinRecord* all = FindSkin("ALL");
  ASSERT_NE(all, nullptr);
  EXPECT_TRUE(all->rects.empty());
  EXPECT_TRUE(all->buttons.empty());
  EXPECT_EQ(all->images.size(), 256u);
  EXPECT_EQ(LoadedSkin()->Picture("huge.bmp"), nullptr);
  EXPECT_EQ(LoadedSkin()->Picture("bad.gif"), nullptr);
}

}  // namespace
}  // namespace kx
