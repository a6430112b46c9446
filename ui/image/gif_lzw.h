// The LZW decoder of GIF image data: variable-length codes of 3 to 12 bits,
// packed from the lowest bit up, in a chain of data sub-blocks.
//
// Windows-free. A table that is full takes no new entries until a clear
// code comes; the first code after a clear must be a root; a code beyond the
// next free one is refused. Work is bounded by the data and the image size.
#pragma once

#include <array>
#include <cstdint>

#include "ui/image/gif_cursor.h"
#include "ui/image/gif_raster.h"

namespace kx {

// The smallest and largest LZW minimum code size a GIF image may give.
inline constexpr int kGifMinCodeSizeLow = 2;
inline constexpr int kGifMinCodeSizeHigh = 9;

class CGifDecoder {
 public:
  // Decodes the codes of `stream` with `min_code_size` (2 to 9) into
  // `raster`, until the end code, the end of the sub-blocks (a stream
  // without end code keeps what it gave), or the moment the raster is full.
  // Roots above 255 (minimum code size 9) keep their low byte. kGifOk;
  // kGifMalformed for a bad code, a minimum size out of range or data that
  // ends inside the sub-blocks. Leaves the stream where it stopped.
  int Decode(GifSubBlockStream& stream, int min_code_size, GifRaster& raster);

 private:
  static constexpr std::uint32_t kTableSize = 4096;

  std::array<std::uint16_t, kTableSize> prefix_{};
  std::array<std::uint8_t, kTableSize> suffix_{};
  std::array<std::uint8_t, kTableSize + 1> stack_{};
};

}  // namespace kx
