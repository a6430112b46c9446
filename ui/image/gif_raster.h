// Where the decoded pixel indices of a GIF image go: rows of a bottom-up,
// 8-bit device-independent bitmap, filled in the file's row order (plain or
// the four interlace passes).
//
// Windows-free. Every write is bounded by the image: pixels beyond the last
// row are dropped, and interlace passes that start below a short image are
// skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kx {

// The bytes of one row: the width rounded up to a multiple of 4.
inline constexpr std::uint64_t GifStride(std::uint32_t width) {
  return (static_cast<std::uint64_t>(width) + 3) & ~std::uint64_t{3};
}

// A checked writer of pixel indices into `out`, `height` rows of `stride`
// bytes, the first image row stored last. Rows that do not fit into `out`
// and columns beyond the stride are never written.
class GifRaster {
 public:
  GifRaster(std::span<std::uint8_t> out, std::uint32_t width, std::uint32_t height,
            std::uint64_t stride, bool interlaced);

  // Stores the next pixel; once every row is full, counts and drops it.
  void Put(std::uint8_t index);

  // True when every pixel of the image has been written.
  bool Complete() const { return complete_; }

  // Pixels stored so far.
  std::uint64_t written() const { return written_; }

  // Pixels that arrived after the image was full.
  std::uint64_t dropped() const { return dropped_; }

 private:
  void NextRow();

  std::span<std::uint8_t> out_;
  std::uint32_t width_;
  std::uint32_t rows_;
  std::uint64_t stride_;
  bool interlaced_;
  int pass_ = 0;
  std::uint32_t row_ = 0;
  std::uint32_t column_ = 0;
  bool complete_ = false;
  std::uint64_t written_ = 0;
  std::uint64_t dropped_ = 0;
};

}  // namespace kx
