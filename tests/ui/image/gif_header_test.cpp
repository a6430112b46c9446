#include "ui/image/gif_header.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "tests/ui/image/gif_writer.h"

namespace kx {
namespace {

using testing::Bytes;
using testing::GifFrame;
using testing::GifWriter;
using testing::Rgb;

const std::vector<Rgb> kTwo = {{0, 0, 0}, {255, 255, 255}};

GifFrame dot(std::uint16_t width = 1, std::uint16_t height = 1) {
  GifFrame f;
  f.width = width;
  f.height = height;
  f.indices.assign(std::size_t{width} * height, 1);
  return f;
}

Bytes cut(Bytes bytes, std::size_t drop) {
  bytes.resize(bytes.size() - drop);
  return bytes;
}

Bytes with(Bytes bytes, std::size_t at, std::uint8_t value) {
  bytes[at] = value;
  return bytes;
}

// Result codes of whole files, good and bad.
TEST(GifHeader, ParseResults) {
  const Bytes good = GifWriter(1, 1, kTwo).Image(dot()).Trailer().bytes();
  const Bytes huge =
      GifWriter(1, 1, kTwo).RawImage(65535, 65535, {2, 2, 0x4C, 0x01, 0}).Trailer().bytes();
  struct Case {
    const char* name;
    Bytes bytes;
    int result;
  };
  const Case cases[] = {
      {"1x1", good, kGifOk},
      {"GIF87a", GifWriter(1, 1, kTwo, false).Image(dot()).Trailer().bytes(), kGifOk},
      {"empty", {}, kGifMalformed},
      {"bad signature", with(good, 4, '7' + 1), kGifMalformed},
      {"screen descriptor cut", Bytes(good.begin(), good.begin() + 9), kGifMalformed},
      {"global table cut", Bytes(good.begin(), good.begin() + 15), kGifMalformed},
      {"no trailer", cut(good, 1), kGifNoTrailer},
      {"no blocks at all", Bytes(good.begin(), good.begin() + 19), kGifNoTrailer},
      {"cut inside the image data", cut(good, 3), kGifMalformed},
      {"unknown block", GifWriter(1, 1, kTwo).Raw({0x00}).Trailer().bytes(), kGifMalformed},
      {"unknown extension", GifWriter(1, 1, kTwo).Raw({0x21, 0x02, 0}).Trailer().bytes(),
       kGifMalformed},
      {"graphic control of size 5",
       GifWriter(1, 1, kTwo).Raw({0x21, 0xF9, 5, 0, 0, 0, 0, 0, 0}).Trailer().bytes(),
       kGifMalformed},
      {"minimum code size 1",
       GifWriter(1, 1, kTwo).RawImage(1, 1, {1, 1, 0x06, 0}).Trailer().bytes(), kGifMalformed},
      {"minimum code size 10",
       GifWriter(1, 1, kTwo).RawImage(1, 1, {10, 1, 0x00, 0}).Trailer().bytes(), kGifMalformed},
      {"65535 x 65535", huge, kGifOutOfMemory},
      {"16385 wide", GifWriter(1, 1, kTwo).RawImage(16385, 1, {2, 0}).Trailer().bytes(),
       kGifOutOfMemory},
      {"16384 x 16384 beyond 64 MiB",
       GifWriter(1, 1, kTwo).RawImage(16384, 16384, {2, 0}).Trailer().bytes(), kGifOutOfMemory},
      {"huge second image is not decoded",
       GifWriter(1, 1, kTwo)
           .Image(dot())
           .RawImage(65535, 65535, {2, 2, 0x4C, 0x01, 0})
           .Trailer()
           .bytes(),
       kGifOk},
      {"zero-sized image",
       GifWriter(1, 1, kTwo).RawImage(0, 5, {2, 2, 0x4C, 0x01, 0}).Trailer().bytes(), kGifOk},
  };
  for (const Case& c : cases) {
    CGifHeader header;
    EXPECT_EQ(header.Parse(c.bytes), c.result) << c.name;
  }
}

// Every extension read into the header and its blocks, in file order.
TEST(GifHeader, BlocksAndExtensions) {
  const Bytes file = GifWriter(4, 2, kTwo)
                         .Comment("made for the tests")
                         .Loop(7)
                         .Application("XMPDataXMP ", {1, 2, 3})
                         .GraphicControl(true, 1, 25, 2)
                         .PlainText("hello")
                         .GraphicControl(false, 0, 10, 1)
                         .Image(dot(4, 2))
                         .Image(dot(2, 2))
                         .Trailer()
                         .bytes();
  CGifHeader header;
  ASSERT_EQ(header.Parse(file), kGifOk);
  EXPECT_TRUE(header.gif89a);
  EXPECT_EQ(header.screen_width, 4);
  EXPECT_EQ(header.screen_height, 2);
  EXPECT_EQ(header.global_table.size(), 2u);
  EXPECT_EQ(header.global_table[1], (GifColour{255, 255, 255, 0}));
  EXPECT_TRUE(header.looping);
  EXPECT_EQ(header.loop_count, 7);
  ASSERT_EQ(header.blocks.size(), 4u);

  const std::vector<GifBlockKind> kinds = {GifBlockKind::application, GifBlockKind::plain_text,
                                           GifBlockKind::image, GifBlockKind::image};
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    GifExport out;
    EXPECT_EQ(header.blocks[i]->Export(out), kGifOk);
    EXPECT_EQ(out.kind, kinds[i]) << i;
  }
  const auto& app = static_cast<const CGifUnknownAppExt&>(*header.blocks[0]);
  EXPECT_EQ(app.identifier, "XMPDataXMP ");
  EXPECT_EQ(app.data_bytes, 3u);

  // Each graphic control goes to the next image or text block only.
  const auto& text = static_cast<const CGifPlainText&>(*header.blocks[1]);
  EXPECT_EQ(text.text_bytes, 5u);
  EXPECT_TRUE(text.control().transparent);
  EXPECT_EQ(text.control().delay, 25);
  EXPECT_EQ(text.control().disposal, 2);
  const auto& first = static_cast<const CGifImage&>(*header.blocks[2]);
  const auto& second = static_cast<const CGifImage&>(*header.blocks[3]);
  EXPECT_EQ(&first, header.FirstImage());
  EXPECT_FALSE(first.control().transparent);
  EXPECT_EQ(first.control().delay, 10);
  EXPECT_EQ(second.control().delay, 0);

  // Only the first image keeps pixels.
  EXPECT_TRUE(first.decoded());
  EXPECT_EQ(first.pixels().size(), 8u);
  EXPECT_FALSE(second.decoded());
  EXPECT_TRUE(second.pixels().empty());

  // A second parse forgets the first.
  EXPECT_EQ(header.Parse(GifWriter(1, 1, {}, false).Trailer().bytes()), kGifOk);
  EXPECT_FALSE(header.gif89a || header.looping);
  EXPECT_TRUE(header.blocks.empty() && header.global_table.empty());
}

// Ten thousand tiny frames are read through without decoding any but the
// first (a time bound: this runs in well under a second).
TEST(GifHeader, ManyFramesDecodeOnlyTheFirst) {
  GifWriter writer(1, 1, kTwo);
  for (int i = 0; i < 10000; ++i) writer.GraphicControl(false, 0, 1).Image(dot());
  CGifHeader header;
  ASSERT_EQ(header.Parse(writer.Trailer().bytes()), kGifOk);
  ASSERT_EQ(header.blocks.size(), 10000u);
  int decoded = 0;
  for (const auto& block : header.blocks)
    decoded += static_cast<const CGifImage&>(*block).decoded();
  EXPECT_EQ(decoded, 1);
}

}  // namespace
}  // namespace kx
