#include "ui/image/gif_lzw.h"

namespace kx {

namespace {

constexpr std::uint32_t kNoCode = 0xFFFFFFFF;
constexpr int kLargestCodeSize = 12;

}  // namespace

int CGifDecoder::Decode(GifSubBlockStream& stream, int min_code_size, GifRaster& raster) {
  if (min_code_size < kGifMinCodeSizeLow || min_code_size > kGifMinCodeSizeHigh) {
    return kGifMalformed;
  }
  const std::uint32_t clear = 1u << min_code_size;
  const std::uint32_t end = clear + 1;
  int size = min_code_size + 1;
  std::uint32_t next = clear + 2;
  std::uint32_t previous = kNoCode;
  std::uint8_t first = 0;
  std::uint32_t bits = 0;
  int bit_count = 0;

  while (!raster.Complete()) {
    while (bit_count < size) {
      std::uint8_t byte = 0;
      const GifSubBlockStream::Next got = stream.Read(byte);
      if (got == GifSubBlockStream::Next::truncated) return kGifMalformed;
      if (got == GifSubBlockStream::Next::end) return kGifOk;
      bits |= static_cast<std::uint32_t>(byte) << bit_count;
      bit_count += 8;
    }
    const std::uint32_t code = bits & ((1u << size) - 1);
    bits >>= size;
    bit_count -= size;

    if (code == clear) {
      size = min_code_size + 1;
      next = clear + 2;
      previous = kNoCode;
      continue;
    }
    if (code == end) return kGifOk;
    if (previous == kNoCode) {
      // Nothing precedes it to extend: only a root can stand here.
      if (code > clear) return kGifMalformed;
      first = static_cast<std::uint8_t>(code);
      raster.Put(first);
      previous = code;
      continue;
    }
    if (code > next) return kGifMalformed;

    std::uint32_t depth = 0;
    std::uint32_t walk = code;
    if (code == next) {
      // The string of the previous code plus its own first byte, which the
      // table does not hold yet.
      stack_[depth++] = first;
      walk = previous;
    }
    while (walk > clear) {
      stack_[depth++] = suffix_[walk];
      walk = prefix_[walk];
    }
    first = static_cast<std::uint8_t>(walk);
    stack_[depth++] = first;
    while (depth > 0 && !raster.Complete()) raster.Put(stack_[--depth]);

    if (next < kTableSize) {
      prefix_[next] = static_cast<std::uint16_t>(previous);
      suffix_[next] = first;
      ++next;
      if (next == (1u << size) && size < kLargestCodeSize) ++size;
    }
    previous = code;
  }
  return kGifOk;
}

}  // namespace kx
