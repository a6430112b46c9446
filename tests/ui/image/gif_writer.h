// A small GIF writer for the tests: a real LZW encoder and every block the
// reader knows, plus the means to write codes by hand for hostile shapes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kx::testing {

using Bytes = std::vector<std::uint8_t>;

struct Rgb {
  std::uint8_t red = 0, green = 0, blue = 0;
};

// Codes of chosen widths packed from the lowest bit up, cut into data
// sub-blocks of at most 255 bytes and closed with the terminator.
class GifCodeWriter {
 public:
  void Add(std::uint32_t code, int bits);
  Bytes SubBlocks() const;

 private:
  Bytes bytes_;
  std::uint32_t pending_ = 0;
  int pending_bits_ = 0;
};

struct LzwOptions {
  // At a full table: true sends a clear code and starts again; false keeps
  // coding with the full table and adds nothing (a valid, rarer stream).
  bool clear_when_full = true;
  bool end_code = true;
};

// The LZW data of `indices` (values below 2^min_code_size) as sub-blocks.
Bytes LzwEncode(const std::vector<std::uint8_t>& indices, int min_code_size,
                const LzwOptions& options = {});

// The rows of `rows_top_down` (width pixels each) in the order an
// interlaced image stores them.
std::vector<std::uint8_t> InterlaceRows(const std::vector<std::uint8_t>& rows_top_down,
                                        std::uint32_t width, std::uint32_t height);

struct GifFrame {
  std::uint16_t left = 0, top = 0, width = 1, height = 1;
  bool interlaced = false;
  std::vector<Rgb> local_table;       // 2, 4, ... 256 entries, or none
  std::vector<std::uint8_t> indices;  // top-down, row after row
  int min_code_size = 2;
  LzwOptions lzw;
};

// Writes a GIF file block by block; bytes() is the file so far.
class GifWriter {
 public:
  GifWriter(std::uint16_t width, std::uint16_t height, const std::vector<Rgb>& global_table,
            bool gif89a = true);

  GifWriter& GraphicControl(bool transparent, std::uint8_t index, std::uint16_t delay = 0,
                            std::uint8_t disposal = 0);
  GifWriter& Comment(const std::string& text);
  GifWriter& PlainText(const std::string& text);
  GifWriter& Loop(std::uint16_t count);
  GifWriter& Application(const std::string& identifier, const Bytes& data);
  // An image descriptor with its table and data; the frame's indices are
  // stored in the order its interlace flag asks for.
  GifWriter& Image(const GifFrame& frame);
  // An image descriptor followed by `data` as written (minimum code size
  // byte and sub-blocks), for hand-made streams.
  GifWriter& RawImage(std::uint16_t width, std::uint16_t height, const Bytes& data,
                      bool interlaced = false);
  GifWriter& Raw(const Bytes& bytes);
  GifWriter& Trailer();

  const Bytes& bytes() const { return bytes_; }

 private:
  void Word(std::uint16_t v);
  void Table(const std::vector<Rgb>& table);
  void Descriptor(const GifFrame& frame);

  Bytes bytes_;
};

// The packed-field bits of a table: bit 7 and the size exponent.
std::uint8_t TableFlags(std::size_t entries);

}  // namespace kx::testing
