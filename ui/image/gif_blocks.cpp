#include "ui/image/gif_blocks.h"

#include <memory>
#include <new>

#include "ui/image/gif_lzw.h"
#include "ui/image/gif_raster.h"

namespace kx {

int ReadGifColourTable(GifCursor& cursor, std::uint8_t packed, GifColourTable& table) {
  table.clear();
  if ((packed & 0x80) == 0) return kGifOk;
  const std::size_t entries = std::size_t{2} << (packed & 7);
  std::span<const std::uint8_t> rgb;
  if (!cursor.Bytes(entries * 3, rgb)) return kGifMalformed;
  table.resize(entries);
  for (std::size_t i = 0; i < entries; ++i) {
    table[i].red = rgb[i * 3];
    table[i].green = rgb[i * 3 + 1];
    table[i].blue = rgb[i * 3 + 2];
  }
  return kGifOk;
}

int CGifControlData::Export(GifExport& out) const {
  out.kind = Kind();
  out.pixels.clear();
  return kGifOk;
}

int CGifImage::Read(GifCursor& cursor) {
  if (!cursor.Word(left) || !cursor.Word(top) || !cursor.Word(width) || !cursor.Word(height) ||
      !cursor.Byte(packed)) {
    return kGifMalformed;
  }
  interlaced = (packed & 0x40) != 0;
  if (const int r = ReadGifColourTable(cursor, packed, local_table); r != kGifOk) return r;
  std::uint8_t min_code_size = 0;
  if (!cursor.Byte(min_code_size)) return kGifMalformed;
  if (min_code_size < kGifMinCodeSizeLow || min_code_size > kGifMinCodeSizeHigh) {
    return kGifMalformed;
  }
  if (!decode_pixels_ || width == 0 || height == 0) return SkipGifSubBlocks(cursor);

  stride_ = GifStride(width);
  if (width > kGifMaxSide || height > kGifMaxSide || stride_ * height > kGifMaxPixelBytes) {
    return kGifOutOfMemory;
  }
  try {
    pixels_.assign(static_cast<std::size_t>(stride_ * height), 0);
  } catch (const std::bad_alloc&) {
    return kGifOutOfMemory;
  }
  GifRaster raster(pixels_, width, height, stride_, interlaced);
  GifSubBlockStream stream(cursor);
  // 16 KiB of tables: kept off the stack.
  auto decoder = std::unique_ptr<CGifDecoder>(new (std::nothrow) CGifDecoder);
  if (!decoder) return kGifOutOfMemory;
  if (const int r = decoder->Decode(stream, min_code_size, raster); r != kGifOk) return r;
  if (const int r = stream.Finish(); r != kGifOk) return r;
  decoded_ = true;
  return kGifOk;
}

int CGifImage::Export(GifExport& out) const {
  CGifControlData::Export(out);
  try {
    out.pixels = pixels_;
  } catch (const std::bad_alloc&) {
    return kGifOutOfMemory;
  }
  return kGifOk;
}

int CGifPlainText::Read(GifCursor& cursor) {
  std::uint8_t size = 0;
  if (!cursor.Byte(size)) return kGifMalformed;
  if (size == 12) {
    if (!cursor.Word(grid_left) || !cursor.Word(grid_top) || !cursor.Word(grid_width) ||
        !cursor.Word(grid_height) || !cursor.Byte(cell_width) || !cursor.Byte(cell_height) ||
        !cursor.Byte(foreground) || !cursor.Byte(background)) {
      return kGifMalformed;
    }
  } else if (!cursor.Skip(size)) {
    // Not drawn, so an odd header size is passed over rather than refused.
    return kGifMalformed;
  }
  return SkipGifSubBlocks(cursor, &text_bytes);
}

int CGifUnknownAppExt::Read(GifCursor& cursor) {
  return SkipGifSubBlocks(cursor, &data_bytes);
}

}  // namespace kx
