#include "ui/image/gif_picture.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "tests/ui/image/gif_writer.h"

namespace kx {
namespace {

using testing::Bytes;
using testing::GifFrame;
using testing::GifWriter;
using testing::Rgb;

const std::vector<Rgb> kGlobal = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};
const std::vector<Rgb> kLocal = {{10, 20, 30}, {40, 50, 60}};

GifFrame frame(std::uint16_t width, std::uint16_t height, int colours, bool interlaced = false) {
  GifFrame f;
  f.width = width;
  f.height = height;
  f.interlaced = interlaced;
  for (std::uint32_t i = 0; i < std::uint32_t{width} * height; ++i) {
    f.indices.push_back(static_cast<std::uint8_t>((i * 7 + i / width) % colours));
  }
  return f;
}

GifColour colour(const Rgb& c) {
  return GifColour{c.blue, c.green, c.red, 0};
}

// The picture's colours, top row first.
std::vector<GifColour> colours_of(const GifPicture& p) {
  std::vector<GifColour> out;
  for (std::uint32_t y = 0; y < p.height; ++y) {
    for (std::uint32_t x = 0; x < p.width; ++x) out.push_back(p.At(x, y));
  }
  return out;
}

std::vector<GifColour> expected(const GifFrame& f, const std::vector<Rgb>& table) {
  std::vector<GifColour> out;
  for (const std::uint8_t i : f.indices) out.push_back(colour(table[i]));
  return out;
}

// Fixture files and the pixels they show.
TEST(GifPicture, Fixtures) {
  GifFrame local = frame(5, 3, 2);
  local.local_table = kLocal;
  struct Case {
    const char* name;
    Bytes file;
    GifFrame shown;
    std::vector<Rgb> table;
  };
  const Case cases[] = {
      {"1x1", GifWriter(1, 1, kGlobal).Image(frame(1, 1, 4)).Trailer().bytes(), frame(1, 1, 4),
       kGlobal},
      {"5x3 global table", GifWriter(5, 3, kGlobal).Image(frame(5, 3, 4)).Trailer().bytes(),
       frame(5, 3, 4), kGlobal},
      {"local table wins", GifWriter(5, 3, kGlobal).Image(local).Trailer().bytes(), local, kLocal},
      {"interlaced 1", GifWriter(4, 1, kGlobal).Image(frame(4, 1, 4, true)).Trailer().bytes(),
       frame(4, 1, 4), kGlobal},
      {"interlaced 3", GifWriter(4, 3, kGlobal).Image(frame(4, 3, 4, true)).Trailer().bytes(),
       frame(4, 3, 4), kGlobal},
      {"interlaced 7", GifWriter(6, 7, kGlobal).Image(frame(6, 7, 4, true)).Trailer().bytes(),
       frame(6, 7, 4), kGlobal},
      {"interlaced 9", GifWriter(8, 9, kGlobal).Image(frame(8, 9, 4, true)).Trailer().bytes(),
       frame(8, 9, 4), kGlobal},
      {"loop and comment around",
       GifWriter(3, 2, kGlobal)
           .Loop(0)
           .Comment("x")
           .Image(frame(3, 2, 4))
           .Image(frame(1, 1, 4))
           .Trailer()
           .bytes(),
       frame(3, 2, 4), kGlobal},
  };
  for (const Case& c : cases) {
    const GifLoad load = LoadGifPicture(c.file);
    ASSERT_EQ(load.result, kGifOk) << c.name;
    ASSERT_TRUE(load.picture) << c.name;
    const GifPicture& p = *load.picture;
    EXPECT_EQ(p.width, c.shown.width) << c.name;
    EXPECT_EQ(p.height, c.shown.height) << c.name;
    EXPECT_EQ(p.stride % 4, 0u) << c.name;
    EXPECT_EQ(p.pixels.size(), p.stride * p.height) << c.name;
    EXPECT_EQ(colours_of(p), expected(c.shown, c.table)) << c.name;
    EXPECT_FALSE(p.transparent_index) << c.name;
    // Entries beyond the table are black.
    EXPECT_EQ(p.palette[255], GifColour{}) << c.name;
  }
}

// The transparent colour only for an index inside the table in use.
TEST(GifPicture, Transparency) {
  struct Case {
    const char* name;
    bool flag;
    std::uint8_t index;
    std::vector<Rgb> global;
    std::optional<std::uint32_t> colour;
  };
  const Case cases[] = {
      {"index inside", true, 2, kGlobal, 0x00FF0000},
      {"flag not set", false, 2, kGlobal, std::nullopt},
      {"index 255 of a 4-entry table", true, 255, kGlobal, std::nullopt},
      {"index 3, last entry", true, 3, kGlobal, 0x0000FFFF},
      {"no table: the grey ramp", true, 200, {}, 0x00C8C8C8},
  };
  for (const Case& c : cases) {
    const Bytes file = GifWriter(2, 2, c.global)
                           .GraphicControl(c.flag, c.index)
                           .Image(frame(2, 2, 4))
                           .Trailer()
                           .bytes();
    const GifLoad load = LoadGifPicture(file);
    ASSERT_TRUE(load.picture) << c.name;
    EXPECT_EQ(load.picture->TransparentColour(), c.colour) << c.name;
  }
}

// Files that read badly, or hold nothing to draw, give no picture.
TEST(GifPicture, NoPicture) {
  const Bytes good = GifWriter(4, 4, kGlobal).Image(frame(4, 4, 4)).Trailer().bytes();
  struct Case {
    const char* name;
    Bytes file;
    int result;
  };
  const Case cases[] = {
      {"no trailer", Bytes(good.begin(), good.end() - 1), kGifNoTrailer},
      {"truncated", Bytes(good.begin(), good.end() - 4), kGifMalformed},
      {"no image", GifWriter(4, 4, kGlobal).Comment("none").Trailer().bytes(), kGifOk},
      {"zero width", GifWriter(4, 4, kGlobal).RawImage(0, 4, {2, 0}).Trailer().bytes(), kGifOk},
      {"zero height first, then a real one",
       GifWriter(4, 4, kGlobal).RawImage(4, 0, {2, 0}).Image(frame(4, 4, 4)).Trailer().bytes(),
       kGifOk},
      {"too large", GifWriter(4, 4, kGlobal).RawImage(65535, 65535, {2, 0}).Trailer().bytes(),
       kGifOutOfMemory},
  };
  for (const Case& c : cases) {
    const GifLoad load = LoadGifPicture(c.file);
    EXPECT_EQ(load.result, c.result) << c.name;
    EXPECT_FALSE(load.picture) << c.name;
  }
}

}  // namespace
}  // namespace kx
