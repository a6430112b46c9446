#include "ui/image/gif_cursor.h"

namespace kx {

bool GifCursor::Byte(std::uint8_t& out) {
  if (remaining() < 1) return false;
  out = bytes_[position_++];
  return true;
}

bool GifCursor::Word(std::uint16_t& out) {
  if (remaining() < 2) return false;
  out = static_cast<std::uint16_t>(bytes_[position_] | (bytes_[position_ + 1] << 8));
  position_ += 2;
  return true;
}

bool GifCursor::Bytes(std::size_t count, std::span<const std::uint8_t>& out) {
  if (remaining() < count) return false;
  out = bytes_.subspan(position_, count);
  position_ += count;
  return true;
}

bool GifCursor::Skip(std::size_t count) {
  if (remaining() < count) return false;
  position_ += count;
  return true;
}

int SkipGifSubBlocks(GifCursor& cursor, std::uint64_t* data_bytes) {
  for (;;) {
    std::uint8_t size = 0;
    if (!cursor.Byte(size)) return kGifMalformed;
    if (size == 0) return kGifOk;
    if (!cursor.Skip(size)) return kGifMalformed;
    if (data_bytes != nullptr) *data_bytes += size;
  }
}

GifSubBlockStream::Next GifSubBlockStream::Read(std::uint8_t& out) {
  if (truncated_) return Next::truncated;
  while (!ended_ && left_in_block_ == 0) {
    std::uint8_t size = 0;
    if (!cursor_.Byte(size)) {
      truncated_ = true;
      return Next::truncated;
    }
    if (size == 0) ended_ = true;
    left_in_block_ = size;
  }
  if (ended_) return Next::end;
  if (!cursor_.Byte(out)) {
    truncated_ = true;
    return Next::truncated;
  }
  --left_in_block_;
  return Next::byte;
}

int GifSubBlockStream::Finish() {
  if (truncated_) return kGifMalformed;
  if (ended_) return kGifOk;
  if (!cursor_.Skip(left_in_block_)) return kGifMalformed;
  left_in_block_ = 0;
  ended_ = true;
  return SkipGifSubBlocks(cursor_);
}

}  // namespace kx
