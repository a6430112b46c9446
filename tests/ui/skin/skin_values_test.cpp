#include "ui/skin/skin_values.h"

#include <gtest/gtest.h>

#include <optional>

namespace kx {
namespace {

struct ColourCase {
  const char* text;
  std::optional<std::uint32_t> colour;
  bool clamped;
};

TEST(SkinValuesTest, Colours) {
  const ColourCase cases[] = {
      {"255,0,0", 0x0000FF, false},
      {"1,2,3", 0x030201, false},
      {" 16 , 32 , 64 ", 0x402010, false},
      {"300,-1,0", 0x0000FF, true},         // clamped, never spilling into green
      {"0,0,99999999999", 0xFF0000, true},  // not into the COLORREF's high byte
      {"255,0", std::nullopt, false},       // one comma: the default stays
      {"", std::nullopt, false},
      {"red", std::nullopt, false},
      {"1,2,3,4", 0x040201, false},  // first and last comma
      {"a,b,c", 0x000000, false},
  };
  for (const ColourCase& c : cases) {
    EXPECT_EQ(ParseSkinColour(c.text), c.colour) << c.text;
    EXPECT_EQ(SkinColourClamped(c.text), c.clamped) << c.text;
  }
}

TEST(SkinValuesTest, Points) {
  EXPECT_EQ(ParseSkinPoint("10,20"), (SkinPoint{10, 20}));
  EXPECT_EQ(ParseSkinPoint("-5, 7"), (SkinPoint{-5, 7}));
  EXPECT_EQ(ParseSkinPoint("3,4,5"), (SkinPoint{3, 4}));
  EXPECT_EQ(ParseSkinPoint("99999,-99999"), (SkinPoint{kSkinMaxCoordinate, -kSkinMaxCoordinate}));
  EXPECT_EQ(ParseSkinPoint("12"), std::nullopt);
  EXPECT_EQ(ParseSkinPoint(""), std::nullopt);
}

TEST(SkinValuesTest, Options) {
  const struct {
    const char* text;
    std::uint32_t bits;
    const char* unknown;
  } cases[] = {
      {"TRANSPARENT", kSkinTransparent, ""},
      {"scale, hcenter", kSkinScale | kSkinHCenter, ""},
      {"UPPER_RIGHT,LOWER_LEFT", kSkinUpperRight | kSkinLowerLeft, ""},
      {"VCENTERED", kSkinVCenter, ""},  // matched at the start of the item
      {"SHINY,UPPER_LEFT", kSkinUpperLeft, "SHINY"},
      {"", 0, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseSkinOptions(c.text), c.bits) << c.text;
    EXPECT_EQ(FirstUnknownSkinOption(c.text), c.unknown) << c.text;
  }
}

TEST(SkinValuesTest, ProfileIntegersReadAsTheSystemReadsThem) {
  EXPECT_EQ(ProfileInt("12"), 12u);
  EXPECT_EQ(ProfileInt("0x10"), 16u);
  EXPECT_EQ(ProfileInt("-1"), 4294967295u);
  EXPECT_EQ(ProfileInt("4294967297"), 1u);
  EXPECT_EQ(ProfileInt("12abc"), 12u);
  EXPECT_EQ(ProfileInt("  7"), 7u);
  EXPECT_EQ(ProfileInt("abc"), 0u);
}

TEST(SkinValuesTest, CountsAreCappedAndNegativeOnesRefused) {
  EXPECT_EQ(CheckSkinCount(3).value, 3u);
  EXPECT_EQ(CheckSkinCount(3).problem, SkinCount::Problem::none);
  EXPECT_EQ(CheckSkinCount(kSkinMaxCount).problem, SkinCount::Problem::none);
  EXPECT_EQ(CheckSkinCount(ProfileInt("-1")).value, 0u);
  EXPECT_EQ(CheckSkinCount(ProfileInt("-1")).problem, SkinCount::Problem::negative);
  EXPECT_EQ(CheckSkinCount(2147483647u).value, kSkinMaxCount);
  EXPECT_EQ(CheckSkinCount(2147483647u).problem, SkinCount::Problem::capped);
}

}  // namespace
}  // namespace kx
