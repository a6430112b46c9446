#include "ui/image/image_placement.h"

#include <algorithm>

namespace kx {

namespace {

int clamp_side(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, 0, kImageMaxSide));
}

// a * b / c rounded to the nearest, as MulDiv does for positive values;
// `c` must be positive.
std::int64_t mul_div(std::int64_t a, std::int64_t b, std::int64_t c) {
  return (a * b + c / 2) / c;
}

// A coordinate far outside any target still fits an int.
int clamp_coordinate(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, -4 * std::int64_t{kImageMaxSide},
                                                   4 * std::int64_t{kImageMaxSide}));
}

}  // namespace

DpiSizing DpiAdjustedSize(ImageSize natural, int design_percent, int display_percent) {
  DpiSizing r{natural, false};
  if (design_percent <= 0 || display_percent <= 0 || design_percent == display_percent) return r;
  r.dpi_sized = true;
  if (design_percent > display_percent) {
    r.size.width = clamp_side(mul_div(natural.width, display_percent, design_percent));
    r.size.height = clamp_side(mul_div(natural.height, display_percent, design_percent));
  }
  return r;
}

std::optional<HeaderBandLayout> LayoutHeaderBand(ImageRect control, ImageSize natural,
                                                 ImageSize picture, bool stretch_lower) {
  const int cw = control.width();
  const int ch = control.height();
  if (picture.empty() || cw <= 0 || ch <= 0) return std::nullopt;
  HeaderBandLayout r;
  r.picture = picture;
  if (stretch_lower && picture.height < ch) {
    r.picture.width = clamp_side(mul_div(picture.width, ch, picture.height));
    r.picture.height = ch;
  }
  const int ww = std::min(cw, r.picture.width);
  const int wh = std::min(ch, r.picture.height);
  // With a picture wider than the control ww == cw, so the right-aligned
  // window starts at the control's left edge; likewise at the top.
  r.window.left = control.right - ww;
  r.window.top = control.top + (ch - wh) / 2;
  r.window.right = r.window.left + ww;
  r.window.bottom = r.window.top + wh;
  r.options = cw < r.picture.width ? kImageLowerRight : kImageCentreBoth;
  if (!(r.picture == natural)) r.options |= kImageDpiSized;
  return r;
}

std::optional<ImageRect> ImageDrawRect(const ImageDrawing& d, int target_w, int target_h) {
  ImageSize size = d.natural;
  if (d.options & kImageScale) {
    size.width = clamp_side(std::int64_t{d.natural.width} * d.scale_x / 100000);
    size.height = clamp_side(std::int64_t{d.natural.height} * d.scale_y / 100000);
  } else if (d.options & kImageDpiSized) {
    size = d.adjusted;
  }
  if (size.empty()) return std::nullopt;
  const std::int64_t w = size.width;
  const std::int64_t h = size.height;
  const std::int64_t tw = target_w;
  const std::int64_t th = target_h;
  const bool both = (d.options & kImageCentreBoth) != 0;
  const bool centre_x = both || d.offset_x == kImageCentreOffset;
  const bool centre_y = both || d.offset_y == kImageCentreOffset;
  std::int64_t x = centre_x ? (tw - w) / 2 : 0;
  std::int64_t y = centre_y ? (th - h) / 2 : 0;
  std::int64_t ax = x;
  std::int64_t ay = y;
  if (d.options & kImageLowerLeft) {
    ax = d.offset_x;
    ay = th - d.offset_y - h;
  } else if (d.options & kImageLowerRight) {
    ax = tw - d.offset_x - w;
    ay = th - d.offset_y - h;
  } else if (d.options & kImageUpperLeft) {
    ax = d.offset_x;
    ay = d.offset_y;
  } else if (d.options & kImageUpperRight) {
    ax = tw - d.offset_x - w;
    ay = d.offset_y;
  }
  if (!centre_x) x = ax;
  if (!centre_y) y = ay;
  ImageRect r;
  r.left = clamp_coordinate(x);
  r.top = clamp_coordinate(y);
  r.right = r.left + size.width;
  r.bottom = r.top + size.height;
  return r;
}

int ChooseBitmapName(bool has_first, bool has_second, int bits_per_pixel, bool header) {
  if (!has_first && !has_second) return -1;
  if (!has_first) return 1;
  if (!has_second) return 0;
  if (bits_per_pixel <= 8) return 0;
  if (!header && bits_per_pixel <= 16) return 0;
  return 1;
}

}  // namespace kx
