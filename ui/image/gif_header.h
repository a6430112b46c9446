// A GIF file read block by block: header, logical screen, global colour
// table, extensions and images up to the trailer. Only the first image's
// pixels are decoded; the animation data is read and kept, not played.
//
// Windows-free: the input is untrusted bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "ui/image/gif_blocks.h"

namespace kx {

class CGifHeader {
 public:
  virtual ~CGifHeader() = default;

  // Reads `bytes` from the start, replacing what an earlier call read:
  // kGifOk at the trailer; kGifNoTrailer when the data ends between blocks;
  // kGifMalformed for a bad signature, an unknown block or extension, a
  // graphic control of a size other than 4, a bad image or data that ends
  // inside a block; kGifOutOfMemory when the first image is too large to
  // hold. The blocks read before a failure are kept.
  int Parse(std::span<const std::uint8_t> bytes);

  // The first image block, or null.
  const CGifImage* FirstImage() const;

  bool gif89a = false;
  std::uint16_t screen_width = 0, screen_height = 0;
  std::uint8_t packed = 0;
  std::uint8_t background_index = 0;
  std::uint8_t aspect = 0;
  GifColourTable global_table;
  std::vector<std::unique_ptr<CGifControlData>> blocks;
  bool looping = false;
  std::uint16_t loop_count = 0;
  bool control_pending = false;
  GifGraphicControl pending_control;

 private:
  int ReadBlocks(GifCursor& cursor);
  int ReadExtension(GifCursor& cursor);
  int ReadApplication(GifCursor& cursor);
  int ReadImage(GifCursor& cursor);
  // Hands the pending graphic control data to `block` and forgets it.
  void TakeControl(CGifControlData& block);
};

}  // namespace kx
