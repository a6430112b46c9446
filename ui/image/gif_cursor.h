// Bounded reading of a GIF file's bytes and of its data sub-blocks.
//
// Windows-free: pictures come from the medium, which anyone can replace, so
// every read checks what is left before it takes anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kx {

// Result codes of the GIF reader.
inline constexpr int kGifOk = 0;
inline constexpr int kGifNoTrailer = 5;     // the data ended between blocks, before the trailer
inline constexpr int kGifMalformed = 13;    // malformed, or truncated inside a block
inline constexpr int kGifOutOfMemory = 14;  // too large to hold, or no memory

// A read position in a byte range. Every read either takes all it asks for
// and advances, or takes nothing and returns false.
class GifCursor {
 public:
  explicit GifCursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  // The bytes not yet read.
  std::size_t remaining() const { return bytes_.size() - position_; }

  // One byte.
  bool Byte(std::uint8_t& out);

  // A little-endian 16-bit number.
  bool Word(std::uint16_t& out);

  // The next `count` bytes, as a view into the data.
  bool Bytes(std::size_t count, std::span<const std::uint8_t>& out);

  // Passes over `count` bytes.
  bool Skip(std::size_t count);

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

// Passes over a chain of data sub-blocks up to and including its empty
// terminator; adds the bytes of data passed over to `*data_bytes` when given.
// kGifMalformed when the data ends first.
int SkipGifSubBlocks(GifCursor& cursor, std::uint64_t* data_bytes = nullptr);

// The bytes of a sub-block chain as one stream, for the LZW decoder.
class GifSubBlockStream {
 public:
  explicit GifSubBlockStream(GifCursor& cursor) : cursor_(cursor) {}

  enum class Next { byte, end, truncated };

  // The next data byte; `end` once the terminator has been read, `truncated`
  // when the data runs out first. Both last.
  Next Read(std::uint8_t& out);

  // Reads on to the terminator; kGifOk, or kGifMalformed when the data ends.
  int Finish();

 private:
  GifCursor& cursor_;
  std::size_t left_in_block_ = 0;
  bool ended_ = false;
  bool truncated_ = false;
};

}  // namespace kx
