#include "ui/skin/skin_bitmap.h"

namespace kx {

namespace {

constexpr std::size_t kFileHeader = 14;
constexpr std::uint32_t kInfoHeader = 40;
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kBitFields = 3;

std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint16_t u16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

SkinBitmapCheck refused(SkinBitmapProblem problem) {
  SkinBitmapCheck c;
  c.problem = problem;
  return c;
}

}  // namespace

SkinBitmapCheck CheckSkinBitmap(std::span<const std::uint8_t> file) {
  if (file.size() < kFileHeader + kInfoHeader) return refused(SkinBitmapProblem::too_short);
  if (file[0] != 'B' || file[1] != 'M') return refused(SkinBitmapProblem::not_a_bitmap);
  const std::uint32_t offset = u32(file, 10);
  const auto info = file.subspan(kFileHeader);
  const std::uint32_t header = u32(info, 0);
  if (header < kInfoHeader || header > info.size()) return refused(SkinBitmapProblem::bad_header);

  SkinBitmapCheck c;
  SkinBitmap& b = c.bitmap;
  b.width = static_cast<std::int32_t>(u32(info, 4));
  b.height = static_cast<std::int32_t>(u32(info, 8));
  if (u16(info, 12) != 1) return refused(SkinBitmapProblem::bad_planes);
  b.bits_per_pixel = u16(info, 14);
  const std::uint32_t compression = u32(info, 16);
  const std::uint32_t used = u32(info, 32);
  switch (b.bits_per_pixel) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return refused(SkinBitmapProblem::bad_depth);
  }
  if (compression != kRgb && compression != kBitFields)
    return refused(SkinBitmapProblem::bad_compression);
  b.bit_fields = compression == kBitFields;
  if (b.bit_fields && b.bits_per_pixel != 16 && b.bits_per_pixel != 32)
    return refused(SkinBitmapProblem::bad_compression);
  if (b.width <= 0 || b.width > kSkinMaxBitmapSide || b.height == 0 ||
      b.height < -kSkinMaxBitmapSide || b.height > kSkinMaxBitmapSide)
    return refused(SkinBitmapProblem::bad_size);

  // Bit-field masks follow a 40-byte header; larger headers carry them.
  std::uint64_t at = kFileHeader + header;
  if (b.bit_fields) {
    const std::size_t masks_at = kFileHeader + kInfoHeader;
    if (header == kInfoHeader) at += 12;
    if (at > file.size()) return refused(SkinBitmapProblem::bad_header);
    for (int i = 0; i < 3; ++i) b.masks[i] = u32(file, masks_at + 4 * i);
  }
  if (b.bits_per_pixel <= 8) {
    const std::uint32_t most = 1u << b.bits_per_pixel;
    if (used > most) return refused(SkinBitmapProblem::bad_palette);
    b.colour_count = used ? used : most;
  } else {
    // A table is allowed beside true colours; GDI does not index it.
    if (used > 256) return refused(SkinBitmapProblem::bad_palette);
    b.colour_count = used;
  }
  const std::uint64_t table = std::uint64_t{b.colour_count} * 4;
  if (table > file.size() - at) return refused(SkinBitmapProblem::bad_palette);
  b.colours = file.subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(table));
  at += table;
  if (offset >= at && offset <= file.size()) at = offset;

  b.stride =
      ((std::uint64_t{static_cast<std::uint32_t>(b.width)} * b.bits_per_pixel + 31) / 32) * 4;
  const std::uint64_t rows = b.height < 0 ? -std::int64_t{b.height} : b.height;
  const std::uint64_t bytes = b.stride * rows;
  if (bytes > file.size() - at) return refused(SkinBitmapProblem::pixels_truncated);
  b.pixels = file.subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(bytes));
  return c;
}

const char* DescribeSkinBitmapProblem(SkinBitmapProblem problem) {
  switch (problem) {
    case SkinBitmapProblem::none:
      return "no problem";
    case SkinBitmapProblem::too_short:
      return "too short for a bitmap";
    case SkinBitmapProblem::not_a_bitmap:
      return "not a bitmap file";
    case SkinBitmapProblem::bad_header:
      return "the bitmap header is damaged";
    case SkinBitmapProblem::bad_planes:
      return "the bitmap has more than one plane";
    case SkinBitmapProblem::bad_depth:
      return "the bitmap's bits per pixel are not 1, 4, 8, 16, 24 or 32";
    case SkinBitmapProblem::bad_compression:
      return "the bitmap is compressed";
    case SkinBitmapProblem::bad_size:
      return "the bitmap is empty or larger than 16384 pixels on a side";
    case SkinBitmapProblem::bad_palette:
      return "the bitmap's colour table does not fit";
    case SkinBitmapProblem::pixels_truncated:
      return "the bitmap's pixels are cut short";
  }
  return "unknown problem";
}

}  // namespace kx
