#include "ui/image/gif_lzw.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/ui/image/gif_writer.h"
#include "ui/image/gif_raster.h"

namespace kx {
namespace {

using testing::Bytes;
using testing::GifCodeWriter;

constexpr std::uint8_t kGuard = 0xA5;
constexpr std::size_t kGuardBytes = 16;

struct Decoded {
  int result;
  std::vector<std::uint8_t> rows;  // top-down, width pixels each
  std::uint64_t dropped;
  bool guards_intact;
};

// Decodes `sub_blocks` into a bottom-up raster framed by guard bytes.
Decoded decode(const Bytes& sub_blocks, int min_code_size, std::uint32_t width,
               std::uint32_t height, bool interlaced = false) {
  const std::uint64_t stride = GifStride(width);
  std::vector<std::uint8_t> buffer(stride * height + 2 * kGuardBytes, kGuard);
  std::span<std::uint8_t> image(buffer.data() + kGuardBytes, stride * height);
  for (auto& b : image) b = 0;
  GifRaster raster(image, width, height, stride, interlaced);
  GifCursor cursor(sub_blocks);
  GifSubBlockStream stream(cursor);
  auto decoder = std::make_unique<CGifDecoder>();
  Decoded d{decoder->Decode(stream, min_code_size, raster), {}, raster.dropped(), true};
  for (std::size_t i = 0; i < kGuardBytes; ++i) {
    d.guards_intact &= buffer[i] == kGuard && buffer[buffer.size() - 1 - i] == kGuard;
  }
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x)
      d.rows.push_back(image[(height - 1 - y) * stride + x]);
  }
  return d;
}

Bytes codes(std::initializer_list<std::pair<std::uint32_t, int>> list) {
  GifCodeWriter w;
  for (const auto& [code, bits] : list) w.Add(code, bits);
  return w.SubBlocks();
}

// Hand-made code streams, minimum code size 2 (clear 4, end 5, 3-bit codes).
TEST(GifLzw, HandMadeStreams) {
  struct Case {
    const char* name;
    Bytes data;
    int min_code_size;
    int result;
    std::vector<std::uint8_t> rows;  // 4x1
  };
  const Case cases[] = {
      // The width grows to 4 bits once entry 7 is made.
      {"plain", codes({{4, 3}, {1, 3}, {2, 3}, {3, 3}, {0, 4}, {5, 4}}), 2, kGifOk, {1, 2, 3, 0}},
      {"no clear in front", codes({{1, 3}, {1, 3}, {5, 3}}), 2, kGifOk, {1, 1, 0, 0}},
      // 1, then code 6 = "1"+"1" before the table holds it.
      {"code equal to next", codes({{4, 3}, {1, 3}, {6, 3}, {5, 3}}), 2, kGifOk, {1, 1, 1, 0}},
      {"clear twice", codes({{4, 3}, {4, 3}, {2, 3}, {5, 3}}), 2, kGifOk, {2, 0, 0, 0}},
      {"no end code", codes({{4, 3}, {3, 3}, {3, 3}}), 2, kGifOk, {3, 3, 0, 0}},
      {"first after clear not a root", codes({{4, 3}, {6, 3}, {5, 3}}), 2, kGifMalformed, {}},
      {"code above next", codes({{4, 3}, {1, 3}, {7, 3}}), 2, kGifMalformed, {}},
      {"minimum size 1", codes({{2, 2}, {1, 2}, {3, 2}}), 1, kGifMalformed, {}},
      {"minimum size 10", codes({{1024, 11}, {1, 11}}), 10, kGifMalformed, {}},
      {"data ends in a sub-block", Bytes{3, 0x8C}, 2, kGifMalformed, {}},
      {"data ends before the terminator", Bytes{1, 0x0C}, 2, kGifMalformed, {}},
      // Minimum size 9: roots up to 511 keep their low byte.
      {"root above 255",
       codes({{512, 10}, {300, 10}, {7, 10}, {513, 10}}),
       9,
       kGifOk,
       {44, 7, 0, 0}},
  };
  for (const Case& c : cases) {
    const Decoded d = decode(c.data, c.min_code_size, 4, 1);
    EXPECT_EQ(d.result, c.result) << c.name;
    EXPECT_TRUE(d.guards_intact) << c.name;
    if (c.result == kGifOk) {
      EXPECT_EQ(d.rows, c.rows) << c.name;
    }
  }
}

// Streams from the encoder: long enough to fill the table, with and without
// a clear at the full table, and with more pixels than the image holds.
TEST(GifLzw, EncodedStreams) {
  std::vector<std::uint8_t> noise(160 * 160);
  std::uint32_t seed = 12345;
  for (auto& p : noise) {
    seed = seed * 1103515245 + 12345;
    p = static_cast<std::uint8_t>((seed >> 16) & 15);
  }
  struct Case {
    const char* name;
    bool clear_when_full;
    std::uint32_t height;  // rows of 160 kept from the 160-row stream
  };
  const Case cases[] = {
      {"clear at the full table", true, 160},
      {"full table kept without clear", false, 160},
      {"surplus pixels left out", false, 100},
  };
  for (const Case& c : cases) {
    const Bytes data = testing::LzwEncode(noise, 4, {c.clear_when_full, true});
    const Decoded d = decode(data, 4, 160, c.height);
    EXPECT_EQ(d.result, kGifOk) << c.name;
    EXPECT_TRUE(d.guards_intact) << c.name;
    EXPECT_EQ(d.rows, std::vector<std::uint8_t>(noise.begin(), noise.begin() + 160 * c.height))
        << c.name;
    // The decoder stops at a full image rather than decode the surplus.
    EXPECT_EQ(d.dropped, 0u) << c.name;
  }
}

// Interlaced rows land where the four passes put them, also in images too
// short for some passes.
TEST(GifLzw, InterlacedHeights) {
  for (const std::uint32_t height : {1u, 2u, 3u, 5u, 7u, 8u, 9u, 17u}) {
    std::vector<std::uint8_t> rows;
    for (std::uint32_t y = 0; y < height; ++y) {
      for (std::uint32_t x = 0; x < 3; ++x)
        rows.push_back(static_cast<std::uint8_t>((y * 3 + x) % 16));
    }
    const Bytes data = testing::LzwEncode(testing::InterlaceRows(rows, 3, height), 4);
    const Decoded d = decode(data, 4, 3, height, true);
    EXPECT_EQ(d.result, kGifOk) << height;
    EXPECT_TRUE(d.guards_intact) << height;
    EXPECT_EQ(d.rows, rows) << height;
    EXPECT_EQ(d.dropped, 0u) << height;
  }
}

// The raster itself drops what comes after its last row, and writes
// nothing when it has no room.
TEST(GifRaster, BoundsEveryWrite) {
  struct Case {
    const char* name;
    std::uint32_t width, height;
    std::uint64_t stride;
    std::size_t buffer;
    bool interlaced;
    std::uint64_t written;
  };
  const Case cases[] = {
      {"full image", 3, 2, 4, 8, false, 6},
      {"interlaced", 3, 2, 4, 8, true, 6},
      {"buffer shorter than the rows", 3, 2, 4, 5, false, 3},
      {"stride narrower than the width", 6, 1, 4, 4, false, 4},
      {"no stride", 3, 2, 0, 8, false, 0},
      {"zero height", 3, 0, 4, 8, false, 0},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> buffer(c.buffer + kGuardBytes, kGuard);
    GifRaster raster(std::span(buffer.data(), c.buffer), c.width, c.height, c.stride, c.interlaced);
    for (int i = 0; i < 20; ++i) raster.Put(7);
    EXPECT_TRUE(raster.Complete()) << c.name;
    EXPECT_EQ(raster.written(), c.written) << c.name;
    EXPECT_EQ(raster.dropped(), 20 - c.written) << c.name;
    for (std::size_t i = c.buffer; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], kGuard) << c.name;
  }
}

}  // namespace
}  // namespace kx
