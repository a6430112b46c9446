#include "ui/skin/skin_package.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "tests/ui/skin/skin_fixture.h"
#include "ui/skin/skin_scramble.h"

namespace kx {
namespace {

using P = SkinPackageProblem;

std::vector<std::uint8_t> bytes(const std::string& s) {
  return std::vector<std::uint8_t>(s.begin(), s.end());
}

TEST(SkinScrambleTest, RoundTripsEveryByteAtEveryKeyPosition) {
  std::vector<std::uint8_t> plain;
  for (int position = 0; position < static_cast<int>(kSkinKeyLength); ++position) {
    for (int b = 0; b < 256; ++b) plain.push_back(static_cast<std::uint8_t>(b));
  }
  std::vector<std::uint8_t> data = plain;
  ScrambleSkin(data);
  EXPECT_NE(data, plain);
  UnscrambleSkin(data);
  EXPECT_EQ(data, plain);
}

TEST(SkinScrambleTest, FollowsTheStoredForm) {
  // Stored = swap(NOT(b) XOR key): unscrambling is NOT(swap(stored)) XOR key.
  for (std::size_t i = 0; i < 16; ++i) {
    std::uint8_t stored = static_cast<std::uint8_t>(0x3C + i);
    std::vector<std::uint8_t> one{stored};
    UnscrambleSkin(one, i);
    const std::uint8_t swapped = static_cast<std::uint8_t>((stored << 4) | (stored >> 4));
    EXPECT_EQ(one[0], static_cast<std::uint8_t>(~swapped ^ SkinKeyByte(i)));
  }
  EXPECT_EQ(SkinKeyByte(3), SkinKeyByte(3 + kSkinKeyLength));
}

TEST(SkinScrambleTest, APieceUnscramblesAtItsOwnPosition) {
  std::vector<std::uint8_t> data = bytes("entries of a skin package");
  const std::vector<std::uint8_t> plain = data;
  ScrambleSkin(data);
  std::vector<std::uint8_t> tail(data.begin() + 5, data.end());
  UnscrambleSkin(tail, 5);
  EXPECT_EQ(tail, std::vector<std::uint8_t>(plain.begin() + 5, plain.end()));
}

TEST(SkinPackageTest, ReadsEntriesAndKeepsTheFirstOfEachName) {
  const auto plain = testing::PlainSkinPackage(
      {{"skin.ini", "[ALL]\r\n"}, {"a.bmp", "12345"}, {"A.BMP", "x"}, {"empty.gif", ""}});
  const SkinPackage p = ReadSkinPackage(plain);
  ASSERT_TRUE(p.ok());
  ASSERT_EQ(p.entries.size(), 3u);
  EXPECT_EQ(p.entries[1].name, "a.bmp");
  EXPECT_EQ(std::string(p.entries[1].data.begin(), p.entries[1].data.end()), "12345");
  EXPECT_EQ(p.duplicates, std::vector<std::string>{"A.BMP"});
  ASSERT_NE(p.Find("SKIN.INI"), nullptr);
  EXPECT_TRUE(p.Find("empty.gif")->data.empty());
}

struct Hostile {
  const char* what;
  std::string plain;
  P problem;
};

class SkinPackageHostileTest : public ::testing::TestWithParam<Hostile> {};

TEST_P(SkinPackageHostileTest, IsRefusedWithoutEntries) {
  const auto plain = bytes(GetParam().plain);
  const SkinPackage p = ReadSkinPackage(plain);
  EXPECT_EQ(p.problem, GetParam().problem) << GetParam().what;
  EXPECT_TRUE(p.entries.empty());
}

const std::string kIni = std::string(
    "skin.ini\0"
    "2\0"
    "[]",
    13);

INSTANTIATE_TEST_SUITE_P(
    Shapes, SkinPackageHostileTest,
    ::testing::Values(
        Hostile{"name without NUL", "skin.ini", P::name_unterminated},
        Hostile{"empty name",
                std::string("\0"
                            "1\0"
                            "x",
                            4),
                P::name_empty},
        Hostile{"long name",
                std::string(261, 'n') + std::string("\0"
                                                    "0\0",
                                                    3),
                P::name_too_long},
        Hostile{"ends after the name", std::string("skin.ini\0", 9), P::size_unterminated},
        Hostile{"size without NUL",
                std::string("skin.ini\0"
                            "12",
                            11),
                P::size_unterminated},
        Hostile{"empty size", std::string("skin.ini\0\0", 10), P::size_not_decimal},
        Hostile{"signed size",
                std::string("skin.ini\0"
                            "-1\0",
                            12),
                P::size_not_decimal},
        Hostile{"huge size",
                std::string("skin.ini\0"
                            "99999999999\0",
                            21),
                P::size_too_large},
        Hostile{"size beyond the cap",
                std::string("skin.ini\0"
                            "16777217\0",
                            18),
                P::size_too_large},
        Hostile{"truncated data",
                std::string("skin.ini\0"
                            "10\0"
                            "[ALL]",
                            17),
                P::data_truncated},
        Hostile{"second entry cut", kIni + std::string("a.bmp", 5), P::name_unterminated},
        Hostile{"no description",
                std::string("a.bmp\0"
                            "1\0"
                            "x",
                            9),
                P::no_description},
        Hostile{"empty package", "", P::no_description}),
    [](const ::testing::TestParamInfo<Hostile>& info) {
      std::string name;
      for (const char* c = info.param.what; *c; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
      return name;
    });

TEST(SkinPackageTest, RefusesMoreEntriesThanTheCap) {
  testing::SkinFiles files{{"skin.ini", ""}};
  for (std::size_t i = 0; i < kSkinMaxEntries; ++i) files.push_back({std::to_string(i), ""});
  EXPECT_EQ(ReadSkinPackage(testing::PlainSkinPackage(files)).problem, P::too_many_entries);
  files.pop_back();
  EXPECT_TRUE(ReadSkinPackage(testing::PlainSkinPackage(files)).ok());
}

}  // namespace
}  // namespace kx
