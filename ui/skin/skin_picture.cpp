#include "ui/skin/skin_picture.h"

#include <cstring>
#include <vector>

#include "ui/image/gif_picture.h"
#include "ui/skin/skin_bitmap.h"
#include "ui/skin/skin_package.h"
#include "ui/skin/skin_values.h"

namespace kx {

namespace {

// A ternary raster operation that leaves the destination as it is.
constexpr DWORD kKeepDestination = 0x00AA0029;

bool has_extension(std::string_view name, std::string_view extension) {
  return name.size() > extension.size() &&
         SkinNamesEqual(name.substr(name.size() - extension.size()), extension);
}

// A BITMAPINFO with room for 256 colours or three masks.
struct BitmapInfo {
  BITMAPINFOHEADER header{};
  RGBQUAD colours[256]{};
  BITMAPINFO* get() { return reinterpret_cast<BITMAPINFO*>(this); }
};

// A monochrome bitmap, 1 where the GIF's pixel is the transparent index.
HBITMAP gif_mask(const GifPicture& gif, std::uint8_t index) {
  const std::size_t row = ((gif.width + 15) / 16) * 2;
  std::vector<std::uint8_t> bits(row * gif.height, 0);
  for (std::uint32_t y = 0; y < gif.height; ++y) {
    // The picture's rows are stored bottom-up.
    const std::uint8_t* source = gif.pixels.data() + (gif.height - 1 - y) * gif.stride;
    for (std::uint32_t x = 0; x < gif.width; ++x) {
      if (source[x] == index) bits[y * row + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
  }
  return CreateBitmap(static_cast<int>(gif.width), static_cast<int>(gif.height), 1, 1, bits.data());
}

}  // namespace

bool SkinPicture::Make(const BITMAPINFO* info, const void* bits, int width, int height) {
  BITMAPINFOHEADER h{};
  h.biSize = sizeof h;
  h.biWidth = width;
  h.biHeight = -height;
  h.biPlanes = 1;
  h.biBitCount = 32;
  h.biCompression = BI_RGB;
  void* pixels = nullptr;
  HDC screen = GetDC(nullptr);
  bitmap_.reset(CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&h), DIB_RGB_COLORS, &pixels,
                                 nullptr, 0));
  if (screen) ReleaseDC(nullptr, screen);
  if (!bitmap_) return false;
  memory_dc dc(nullptr);
  dc.select(bitmap_.get());
  width_ = width;
  height_ = height;
  return dc &&
         SetDIBitsToDevice(dc.get(), 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0,
                           0, 0, static_cast<UINT>(height), bits, info, DIB_RGB_COLORS) > 0;
}

std::unique_ptr<SkinPicture> SkinPicture::FromEntry(std::string_view name,
                                                    std::span<const std::uint8_t> data) {
  std::unique_ptr<SkinPicture> picture(new SkinPicture);
  BitmapInfo info;
  info.header.biSize = sizeof info.header;
  info.header.biPlanes = 1;
  if (has_extension(name, ".gif")) {
    const GifLoad load = LoadGifPicture(data);
    if (!load.picture) return nullptr;
    const GifPicture& gif = *load.picture;
    info.header.biWidth = static_cast<LONG>(gif.width);
    info.header.biHeight = static_cast<LONG>(gif.height);
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = 256;
    for (int i = 0; i < 256; ++i) {
      const GifColour& c = gif.palette[static_cast<std::size_t>(i)];
      info.colours[i] = RGBQUAD{c.blue, c.green, c.red, 0};
    }
    if (!picture->Make(info.get(), gif.pixels.data(), static_cast<int>(gif.width),
                       static_cast<int>(gif.height)))
      return nullptr;
    if (gif.transparent_index) picture->mask_.reset(gif_mask(gif, *gif.transparent_index));
    return picture;
  }
  if (has_extension(name, ".bmp")) {
    const SkinBitmapCheck check = CheckSkinBitmap(data);
    if (!check.ok()) return nullptr;
    const SkinBitmap& b = check.bitmap;
    info.header.biWidth = b.width;
    info.header.biHeight = b.height;
    info.header.biBitCount = b.bits_per_pixel;
    info.header.biCompression = b.bit_fields ? BI_BITFIELDS : BI_RGB;
    if (b.bit_fields) {
      static_assert(sizeof info.colours >= sizeof b.masks);
      std::memcpy(info.colours, b.masks, sizeof b.masks);
    } else {
      info.header.biClrUsed = b.colour_count;
      if (!b.colours.empty()) std::memcpy(info.colours, b.colours.data(), b.colours.size());
    }
    const int height = b.height < 0 ? -b.height : b.height;
    if (!picture->Make(info.get(), b.pixels.data(), b.width, height)) return nullptr;
    return picture;
  }
  return nullptr;
}

void SkinPicture::Draw(HDC dc, int x, int y, int w, int h,
                       std::optional<std::uint32_t> transparent) const {
  if (!bitmap_ || w <= 0 || h <= 0) return;
  memory_dc source(dc);
  source.select(bitmap_.get());
  if (!source) return;
  // The picture at its drawn size, so that the mask matches it pixel for
  // pixel; COLORONCOLOR keeps the colours exact for the colour key.
  unique_bitmap sized_bitmap(CreateCompatibleBitmap(dc, w, h));
  memory_dc sized(dc);
  sized.select(sized_bitmap.get());
  if (!sized) return;
  SetStretchBltMode(sized.get(), COLORONCOLOR);
  StretchBlt(sized.get(), 0, 0, w, h, source.get(), 0, 0, width_, height_, SRCCOPY);
  if (!mask_ && !transparent) {
    BitBlt(dc, x, y, w, h, sized.get(), 0, 0, SRCCOPY);
    return;
  }
  unique_bitmap mask_bitmap(CreateBitmap(w, h, 1, 1, nullptr));
  memory_dc mask(dc);
  mask.select(mask_bitmap.get());
  if (!mask) return;
  if (mask_) {
    memory_dc own(dc);
    own.select(mask_.get());
    SetStretchBltMode(mask.get(), COLORONCOLOR);
    StretchBlt(mask.get(), 0, 0, w, h, own.get(), 0, 0, width_, height_, SRCCOPY);
  } else {
    // Colour to monochrome: the background colour becomes 1.
    SetBkColor(sized.get(), *transparent);
    BitBlt(mask.get(), 0, 0, w, h, sized.get(), 0, 0, SRCCOPY);
  }
  MaskBlt(dc, x, y, w, h, sized.get(), 0, 0, mask_bitmap.get(), 0, 0,
          MAKEROP4(kKeepDestination, SRCCOPY));
}

RECT SkinPictureRect(int width, int height, const SkinPlacement& p, int target_w, int target_h) {
  int w = width;
  int h = height;
  if (p.options & kSkinScale) {
    w = MulDiv(width, p.scale_x, 100000);
    h = MulDiv(height, p.scale_y, 100000);
  }
  const bool centre_x = p.x == kSkinCentred;
  const bool centre_y = p.y == kSkinCentred;
  int x = centre_x ? (target_w - w) / 2 : p.x;
  int y = centre_y ? (target_h - h) / 2 : p.y;
  if (!centre_x && (p.options & (kSkinUpperRight | kSkinLowerRight))) x = target_w - p.x - w;
  if (!centre_y && (p.options & (kSkinLowerLeft | kSkinLowerRight))) y = target_h - p.y - h;
  return RECT{x, y, x + w, y + h};
}

void DrawSkinPicture(HDC dc, const SkinPicture& picture, const SkinPlacement& p, int target_w,
                     int target_h) {
  const RECT r = SkinPictureRect(picture.width(), picture.height(), p, target_w, target_h);
  const auto transparent = (p.options & kSkinTransparent) ? p.transparent : std::nullopt;
  picture.Draw(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, transparent);
}

}  // namespace kx
