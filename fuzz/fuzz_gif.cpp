// Fuzzes the GIF reader twice over. The input as a whole file: parse it and
// make the first image's picture, then check the picture's promises (sides
// within the caps, rows of a multiple of 4 bytes, every pixel readable, a
// transparent index only inside the palette). The input as raw image data:
// the first 3 bytes choose width, height, interlace and the minimum code
// size, the rest is the sub-block chain, decoded into a buffer framed by
// guard bytes that must come out untouched, with no more pixels written
// than the image has.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "ui/image/gif_lzw.h"
#include "ui/image/gif_picture.h"
#include "ui/image/gif_raster.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

void check_picture(std::span<const std::uint8_t> bytes) {
  const kx::GifLoad load = kx::LoadGifPicture(bytes);
  if (!load.picture) return;
  require(load.result == kx::kGifOk);
  const kx::GifPicture& p = *load.picture;
  require(p.width > 0 && p.height > 0);
  require(p.width <= kx::kGifMaxSide && p.height <= kx::kGifMaxSide);
  require(p.stride % 4 == 0 && p.stride >= p.width && p.stride < p.width + 4u);
  require(p.pixels.size() == p.stride * p.height);
  require(p.pixels.size() <= kx::kGifMaxPixelBytes);
  unsigned sum = 0;
  for (std::uint32_t y = 0; y < p.height; ++y) {
    for (std::uint32_t x = 0; x < p.width; ++x) sum += p.At(x, y).red;
  }
  require(sum <= 255u * p.width * p.height);
  require(p.transparent_index.has_value() == p.TransparentColour().has_value());
}

void check_decoder(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return;
  const std::uint32_t width = 1 + data[0] % 64;
  const std::uint32_t height = 1 + data[1] % 64;
  const bool interlaced = (data[2] & 1) != 0;
  const int min_code_size = 1 + (data[2] >> 1) % 10;  // 1 to 10: both refusals too
  constexpr std::size_t kGuard = 32;
  constexpr std::uint8_t kMark = 0xA5;
  const std::uint64_t stride = kx::GifStride(width);
  std::vector<std::uint8_t> buffer(stride * height + 2 * kGuard, kMark);
  std::span<std::uint8_t> image(buffer.data() + kGuard, stride * height);
  kx::GifRaster raster(image, width, height, stride, interlaced);
  kx::GifCursor cursor(std::span(data + 3, size - 3));
  kx::GifSubBlockStream stream(cursor);
  auto decoder = std::make_unique<kx::CGifDecoder>();
  const int result = decoder->Decode(stream, min_code_size, raster);
  require(result == kx::kGifOk || result == kx::kGifMalformed);
  if (min_code_size < 2 || min_code_size > 9) require(result == kx::kGifMalformed);
  require(raster.written() <= std::uint64_t{width} * height);
  for (std::size_t i = 0; i < kGuard; ++i) {
    require(buffer[i] == kMark && buffer[buffer.size() - 1 - i] == kMark);
  }
  // Row padding lies inside the buffer but outside the image.
  for (std::uint32_t row = 0; row < height; ++row) {
    for (std::uint64_t x = width; x < stride; ++x) require(image[row * stride + x] == kMark);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  check_picture(std::span(data, size));
  check_decoder(data, size);
  return 0;
}
