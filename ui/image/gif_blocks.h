// The blocks of a GIF file after its header: images, plain-text blocks and
// application extensions, each with the graphic control data that preceded
// it, and the colour tables they use.
//
// Windows-free. Only the first image of a file is drawn, so only an image
// told to decode keeps pixels; the others are read past without allocating.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ui/image/gif_cursor.h"

namespace kx {

// The largest side, and the largest pixel buffer, a decoded image may have;
// beyond them the image is refused with kGifOutOfMemory before anything is
// allocated.
inline constexpr std::uint32_t kGifMaxSide = 16384;
inline constexpr std::uint64_t kGifMaxPixelBytes = std::uint64_t{64} << 20;

// A colour table entry in the order of a bitmap's colour table.
struct GifColour {
  std::uint8_t blue = 0;
  std::uint8_t green = 0;
  std::uint8_t red = 0;
  std::uint8_t reserved = 0;
  bool operator==(const GifColour&) const = default;
};
using GifColourTable = std::vector<GifColour>;

// Reads the colour table announced by `packed` (bit 7 set: 2^((packed AND
// 7) + 1) RGB triples follow); leaves `table` empty without bit 7.
int ReadGifColourTable(GifCursor& cursor, std::uint8_t packed, GifColourTable& table);

// The graphic control extension's data, kept for the block after it.
struct GifGraphicControl {
  std::uint16_t delay = 0;  // hundredths of a second
  bool transparent = false;
  std::uint8_t transparent_index = 0;
  std::uint8_t disposal = 0;  // 0 to 7
  bool user_input = false;
};

enum class GifBlockKind { image = 1, plain_text = 2, application = 3 };

// What Export hands out: the kind of the block and, for an image that was
// decoded, a copy of its pixel rows.
struct GifExport {
  GifBlockKind kind = GifBlockKind::image;
  std::vector<std::uint8_t> pixels;
};

// A block of the file in file order.
class CGifControlData {
 public:
  virtual ~CGifControlData() = default;

  // Forgets the graphic control data.
  virtual void ClearControl() { control_ = {}; }

  // Reads the block from just after its introducer (and label); a result
  // code of the reader.
  virtual int Read(GifCursor& cursor) = 0;

  virtual GifBlockKind Kind() const = 0;

  // Fills `out` with the block's kind; kGifOk.
  virtual int Export(GifExport& out) const;

  void SetControl(const GifGraphicControl& control) { control_ = control; }
  const GifGraphicControl& control() const { return control_; }

 protected:
  GifGraphicControl control_;
};

// An image descriptor, its local colour table and, when decoded, its pixel
// indices as bottom-up rows of `stride` bytes.
class CGifImage final : public CGifControlData {
 public:
  explicit CGifImage(bool decode_pixels) : decode_pixels_(decode_pixels) {}

  // Reads descriptor, table and image data. The data of an image not told
  // to decode, or of zero size, is passed over. kGifOutOfMemory for sides
  // beyond kGifMaxSide or pixels beyond kGifMaxPixelBytes.
  int Read(GifCursor& cursor) override;
  GifBlockKind Kind() const override { return GifBlockKind::image; }

  // Also copies the pixel rows; kGifOutOfMemory when there is no memory.
  int Export(GifExport& out) const override;

  std::uint16_t left = 0, top = 0, width = 0, height = 0;
  std::uint8_t packed = 0;
  bool interlaced = false;
  GifColourTable local_table;

  bool decoded() const { return decoded_; }
  std::uint64_t stride() const { return stride_; }
  const std::vector<std::uint8_t>& pixels() const { return pixels_; }

 private:
  bool decode_pixels_;
  bool decoded_ = false;
  std::uint64_t stride_ = 0;
  std::vector<std::uint8_t> pixels_;
};

// A plain-text extension: kept, not drawn.
class CGifPlainText final : public CGifControlData {
 public:
  int Read(GifCursor& cursor) override;
  GifBlockKind Kind() const override { return GifBlockKind::plain_text; }

  std::uint16_t grid_left = 0, grid_top = 0, grid_width = 0, grid_height = 0;
  std::uint8_t cell_width = 0, cell_height = 0, foreground = 0, background = 0;
  std::uint64_t text_bytes = 0;
};

// An application extension other than the loop count: kept, not
// interpreted. The reader has already taken its identifier block.
class CGifUnknownAppExt final : public CGifControlData {
 public:
  explicit CGifUnknownAppExt(std::string identifier) : identifier(std::move(identifier)) {}

  // Passes over the data sub-blocks, counting their bytes.
  int Read(GifCursor& cursor) override;
  GifBlockKind Kind() const override { return GifBlockKind::application; }

  std::string identifier;
  std::uint64_t data_bytes = 0;
};

}  // namespace kx
