// The check of a ".bmp" image entry before GDI sees it. The entry is a
// bitmap file; GDI is handed only a header made from the checked fields,
// the colour table and the pixel rows, each proven to lie inside the entry.
//
// Windows-free and pure, so that the check is table-tested and fuzzed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kx {

// The longest side a skin bitmap may have.
inline constexpr std::int32_t kSkinMaxBitmapSide = 16384;

enum class SkinBitmapProblem {
  none,
  too_short,         // shorter than the file and information headers
  not_a_bitmap,      // no "BM" signature
  bad_header,        // header size below 40 or beyond the entry
  bad_planes,        // planes other than 1
  bad_depth,         // bits per pixel other than 1, 4, 8, 16, 24, 32
  bad_compression,   // other than uncompressed, or bit fields with 1-8 or 24 bits
  bad_size,          // a side of 0 or beyond kSkinMaxBitmapSide
  bad_palette,       // more colours than the depth can index, or a table beyond the entry
  pixels_truncated,  // fewer bytes than the rows need
};

// The fields GDI is given, every one checked.
struct SkinBitmap {
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative: top row first
  std::uint16_t bits_per_pixel = 0;
  bool bit_fields = false;
  std::uint32_t masks[3] = {};            // with bit_fields
  std::span<const std::uint8_t> colours;  // colour table, 4 bytes per entry
  std::uint32_t colour_count = 0;
  std::uint64_t stride = 0;              // bytes of a row, a multiple of 4
  std::span<const std::uint8_t> pixels;  // stride * |height| bytes
};

struct SkinBitmapCheck {
  SkinBitmapProblem problem = SkinBitmapProblem::none;
  SkinBitmap bitmap;
  bool ok() const { return problem == SkinBitmapProblem::none; }
};

// Checks a whole bitmap file. The pixels start at the file header's offset
// when that lies at or after the colour table, else right after it.
SkinBitmapCheck CheckSkinBitmap(std::span<const std::uint8_t> file);

// A short English description of `problem`, for the builder's messages.
const char* DescribeSkinBitmapProblem(SkinBitmapProblem problem);

}  // namespace kx
