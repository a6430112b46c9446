#include "ui/image/gif_picture.h"

#include <new>

#include "ui/image/gif_header.h"

namespace kx {

GifColour GifPicture::At(std::uint32_t x, std::uint32_t y) const {
  return palette[pixels[static_cast<std::size_t>((height - 1 - y) * stride + x)]];
}

std::optional<std::uint32_t> GifPicture::TransparentColour() const {
  if (!transparent_index) return std::nullopt;
  const GifColour c = palette[*transparent_index];
  return static_cast<std::uint32_t>(c.red) | (static_cast<std::uint32_t>(c.green) << 8) |
         (static_cast<std::uint32_t>(c.blue) << 16);
}

GifLoad LoadGifPicture(std::span<const std::uint8_t> bytes) {
  GifLoad load;
  CGifHeader header;
  load.result = header.Parse(bytes);
  if (load.result != kGifOk) return load;
  const CGifImage* image = header.FirstImage();
  if (image == nullptr || !image->decoded()) return load;

  GifPicture picture;
  picture.width = image->width;
  picture.height = image->height;
  picture.stride = image->stride();
  GifExport out;
  if (const int r = image->Export(out); r != kGifOk) {
    load.result = r;
    return load;
  }
  picture.pixels = std::move(out.pixels);

  const GifColourTable& table =
      !image->local_table.empty() ? image->local_table : header.global_table;
  if (table.empty()) {
    for (std::size_t i = 0; i < picture.palette.size(); ++i) {
      const auto grey = static_cast<std::uint8_t>(i);
      picture.palette[i] = GifColour{grey, grey, grey, 0};
    }
  } else {
    for (std::size_t i = 0; i < table.size() && i < picture.palette.size(); ++i) {
      picture.palette[i] = table[i];
    }
  }
  const std::size_t entries = table.empty() ? picture.palette.size() : table.size();
  const GifGraphicControl& control = image->control();
  if (control.transparent && control.transparent_index < entries) {
    picture.transparent_index = control.transparent_index;
  }
  try {
    load.picture = std::move(picture);
  } catch (const std::bad_alloc&) {
    load.result = kGifOutOfMemory;
  }
  return load;
}

}  // namespace kx
