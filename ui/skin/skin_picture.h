// The images of a skin as bitmaps, and their drawing with the placement
// options: anchors, centring, scaling to the dialog units, and a colour or
// a GIF's own transparent index left out.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "ui/skin/gdi_owner.h"

namespace kx {

// The offset that centres an image on its axis.
inline constexpr int kSkinCentred = 0x4000;

class SkinPicture {
 public:
  // The picture of an image entry: ".gif" entries through the GIF reader
  // (first image, its own transparency), ".bmp" entries after the bitmap
  // check; null for any other name or an entry that does not pass.
  static std::unique_ptr<SkinPicture> FromEntry(std::string_view name,
                                                std::span<const std::uint8_t> data);

  int width() const { return width_; }
  int height() const { return height_; }
  bool has_own_transparency() const { return static_cast<bool>(mask_); }

  // Draws into `dc` at x, y with size w, h (stretched when it differs from
  // the picture's). Pixels of `transparent` are left out; a GIF's own
  // transparent pixels are always left out.
  void Draw(HDC dc, int x, int y, int w, int h, std::optional<std::uint32_t> transparent) const;

 private:
  SkinPicture() = default;
  bool Make(const BITMAPINFO* info, const void* bits, int width, int height);

  int width_ = 0;
  int height_ = 0;
  unique_bitmap bitmap_;  // 32 bits per pixel
  unique_bitmap mask_;    // monochrome, 1 where transparent (GIF only)
};

// Where and how large one image goes.
struct SkinPlacement {
  int x = 0;  // pixels, or kSkinCentred
  int y = 0;
  std::uint32_t options = 0;  // kSkinDrawOptions bits
  std::optional<std::uint32_t> transparent;
  int scale_x = 100000;  // with kSkinScale, x 100000
  int scale_y = 100000;
};

// The rectangle `picture` takes in a target of `target_w` x `target_h`
// pixels: the natural size (scaled with kSkinScale), centred on an axis
// whose offset is kSkinCentred, else placed from the anchor's corner by the
// offsets; without an anchor the offsets count from the upper left.
RECT SkinPictureRect(int width, int height, const SkinPlacement& p, int target_w, int target_h);

// Draws `picture` as placed by `p` into a target of that size.
void DrawSkinPicture(HDC dc, const SkinPicture& picture, const SkinPlacement& p, int target_w,
                     int target_h);

}  // namespace kx
