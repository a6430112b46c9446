// The picture a GIF file shows: its first image as an 8-bit bottom-up
// device-independent bitmap with a 256-entry palette and, optionally, the
// colour left out when drawing.
//
// Windows-free; the drawing code turns the result into a bitmap.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ui/image/gif_blocks.h"

namespace kx {

struct GifPicture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint64_t stride = 0;          // bytes of a row, a multiple of 4
  std::vector<std::uint8_t> pixels;  // height rows of stride bytes, the top row last
  // The image's local table, else the global one, else a grey ramp; entries
  // beyond the table are black, so every pixel value has a colour.
  std::array<GifColour, 256> palette{};
  // The index left out when drawing: only when the graphic control asks
  // for it and the index lies inside the table the image uses.
  std::optional<std::uint8_t> transparent_index;

  // The colour of the pixel at column x of row y (row 0 at the top).
  // Requires x < width and y < height.
  GifColour At(std::uint32_t x, std::uint32_t y) const;

  // The transparent colour as a COLORREF (0x00BBGGRR), when there is one.
  std::optional<std::uint32_t> TransparentColour() const;
};

// What reading a GIF file gave: the reader's result code and, only when it
// is kGifOk and the first image has pixels, the picture.
struct GifLoad {
  int result = kGifMalformed;
  std::optional<GifPicture> picture;
};

// Reads `bytes` and makes the picture of its first image. A file that does
// not read to its trailer, has no image or an image of zero size gives no
// picture.
GifLoad LoadGifPicture(std::span<const std::uint8_t> bytes);

}  // namespace kx
