#include "ui/skin/skin_bitmap.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/ui/skin/skin_fixture.h"

namespace kx {
namespace {

using P = SkinBitmapProblem;

void set32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void set16(std::string& s, std::size_t at, std::uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}

SkinBitmapCheck check(const std::string& s) {
  return CheckSkinBitmap(std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
}

TEST(SkinBitmapTest, AcceptsAPlainBitmapAndPointsAtItsRows) {
  const std::string bmp = testing::SolidBitmap(3, 2, 0x123456);
  const SkinBitmapCheck c = check(bmp);
  ASSERT_TRUE(c.ok());
  EXPECT_EQ(c.bitmap.width, 3);
  EXPECT_EQ(c.bitmap.height, 2);
  EXPECT_EQ(c.bitmap.stride, 12u);
  EXPECT_EQ(c.bitmap.pixels.size(), 24u);
  EXPECT_EQ(c.bitmap.pixels.data(), reinterpret_cast<const std::uint8_t*>(bmp.data()) + 54);
}

struct Damage {
  const char* what;
  std::function<void(std::string&)> change;
  P problem;
};

TEST(SkinBitmapTest, RefusesEveryDamagedField) {
  const Damage cases[] = {
      {"cut header", [](std::string& s) { s.resize(53); }, P::too_short},
      {"no signature", [](std::string& s) { s[0] = 'X'; }, P::not_a_bitmap},
      {"small header", [](std::string& s) { set32(s, 14, 12); }, P::bad_header},
      {"header beyond", [](std::string& s) { set32(s, 14, 0x7FFFFFFF); }, P::bad_header},
      {"two planes", [](std::string& s) { set16(s, 26, 2); }, P::bad_planes},
      {"7 bits", [](std::string& s) { set16(s, 28, 7); }, P::bad_depth},
      {"run-length", [](std::string& s) { set32(s, 30, 1); }, P::bad_compression},
      {"bit fields at 24", [](std::string& s) { set32(s, 30, 3); }, P::bad_compression},
      {"zero width", [](std::string& s) { set32(s, 18, 0); }, P::bad_size},
      {"negative width", [](std::string& s) { set32(s, 18, 0xFFFFFFFF); }, P::bad_size},
      {"huge height", [](std::string& s) { set32(s, 22, 16385); }, P::bad_size},
      {"most negative height", [](std::string& s) { set32(s, 22, 0x80000000); }, P::bad_size},
      {"too many colours", [](std::string& s) { set32(s, 46, 257); }, P::bad_palette},
      {"table beyond", [](std::string& s) { set32(s, 46, 200); }, P::bad_palette},
      {"rows cut", [](std::string& s) { s.pop_back(); }, P::pixels_truncated},
      {"taller than the rows", [](std::string& s) { set32(s, 22, 3); }, P::pixels_truncated},
      {"offset far out",
       [](std::string& s) {
         set32(s, 10, 0xFFFFFFF0);
         s.resize(60);
       },
       P::pixels_truncated},
  };
  for (const Damage& d : cases) {
    std::string bmp = testing::SolidBitmap(3, 2, 0x123456);
    d.change(bmp);
    EXPECT_EQ(check(bmp).problem, d.problem) << d.what;
  }
}

TEST(SkinBitmapTest, TopDownAndPalettedBitmapsPass) {
  std::string top_down = testing::SolidBitmap(3, 2, 0);
  set32(top_down, 22, static_cast<std::uint32_t>(-2));
  EXPECT_TRUE(check(top_down).ok());

  // 2 x 2 at 1 bit: a 2-entry table, then 4-byte rows.
  std::string mono = testing::SolidBitmap(1, 1, 0);
  mono.resize(54);
  set32(mono, 18, 2);
  set32(mono, 22, 2);
  set16(mono, 28, 1);
  set32(mono, 10, 62);
  mono += std::string(8, '\x7f') + std::string(8, '\0');
  const SkinBitmapCheck c = check(mono);
  ASSERT_TRUE(c.ok());
  EXPECT_EQ(c.bitmap.colour_count, 2u);
  EXPECT_EQ(c.bitmap.stride, 4u);
}

}  // namespace
}  // namespace kx
