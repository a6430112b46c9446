#include "ui/image/gif_raster.h"

#include <algorithm>

namespace kx {

namespace {

// The interlace passes of the GIF format: every 8th row from 0, every 8th
// from 4, every 4th from 2, every 2nd from 1.
constexpr std::uint32_t kPassStart[4] = {0, 4, 2, 1};
constexpr std::uint32_t kPassStep[4] = {8, 8, 4, 2};

}  // namespace

GifRaster::GifRaster(std::span<std::uint8_t> out, std::uint32_t width, std::uint32_t height,
                     std::uint64_t stride, bool interlaced)
    : out_(out),
      width_(static_cast<std::uint32_t>(std::min<std::uint64_t>(width, stride))),
      rows_(stride == 0
                ? 0
                : static_cast<std::uint32_t>(std::min<std::uint64_t>(height, out.size() / stride))),
      stride_(stride),
      interlaced_(interlaced) {
  complete_ = width_ == 0 || rows_ == 0;
}

void GifRaster::Put(std::uint8_t index) {
  if (complete_) {
    ++dropped_;
    return;
  }
  const std::uint64_t offset = (rows_ - 1 - row_) * stride_ + column_;
  out_[static_cast<std::size_t>(offset)] = index;
  ++written_;
  if (++column_ == width_) {
    column_ = 0;
    NextRow();
  }
}

void GifRaster::NextRow() {
  if (!interlaced_) {
    if (++row_ >= rows_) complete_ = true;
    return;
  }
  row_ += kPassStep[pass_];
  while (row_ >= rows_) {
    if (++pass_ == 4) {
      complete_ = true;
      return;
    }
    row_ = kPassStart[pass_];
  }
}

}  // namespace kx
