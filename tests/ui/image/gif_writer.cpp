#include "tests/ui/image/gif_writer.h"

#include <map>
#include <utility>

namespace kx::testing {

void GifCodeWriter::Add(std::uint32_t code, int bits) {
  pending_ |= code << pending_bits_;
  pending_bits_ += bits;
  while (pending_bits_ >= 8) {
    bytes_.push_back(static_cast<std::uint8_t>(pending_));
    pending_ >>= 8;
    pending_bits_ -= 8;
  }
}

Bytes GifCodeWriter::SubBlocks() const {
  Bytes all = bytes_;
  if (pending_bits_ > 0) all.push_back(static_cast<std::uint8_t>(pending_));
  Bytes out;
  for (std::size_t at = 0; at < all.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, all.size() - at);
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), all.begin() + static_cast<std::ptrdiff_t>(at),
               all.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  out.push_back(0);
  return out;
}

Bytes LzwEncode(const std::vector<std::uint8_t>& indices, int min_code_size,
                const LzwOptions& options) {
  const std::uint32_t clear = 1u << min_code_size;
  GifCodeWriter codes;
  std::map<std::pair<std::uint32_t, std::uint8_t>, std::uint32_t> table;
  int size = min_code_size + 1;
  std::uint32_t next = clear + 2;
  codes.Add(clear, size);
  std::size_t since_clear = 0;
  if (!indices.empty()) {
    std::uint32_t current = indices[0];
    for (std::size_t i = 1; i < indices.size(); ++i) {
      const auto key = std::make_pair(current, indices[i]);
      if (const auto it = table.find(key); it != table.end()) {
        current = it->second;
        continue;
      }
      codes.Add(current, size);
      ++since_clear;
      // The decoder learns each entry one code later, so the width grows
      // one entry later here.
      if (next < 4096) {
        table[key] = next++;
        if (next - 1 == (1u << size) && size < 12) ++size;
      } else if (options.clear_when_full) {
        codes.Add(clear, size);
        table.clear();
        size = min_code_size + 1;
        next = clear + 2;
        since_clear = 0;
      }
      current = indices[i];
    }
    codes.Add(current, size);
    // Reading the last code, the decoder learns its lagging entry and may
    // widen before the end code.
    if (++since_clear >= 2 && next == (1u << size) && size < 12) ++size;
  }
  if (options.end_code) codes.Add(clear + 1, size);
  return codes.SubBlocks();
}

std::vector<std::uint8_t> InterlaceRows(const std::vector<std::uint8_t>& rows_top_down,
                                        std::uint32_t width, std::uint32_t height) {
  static constexpr std::uint32_t start[4] = {0, 4, 2, 1};
  static constexpr std::uint32_t step[4] = {8, 8, 4, 2};
  std::vector<std::uint8_t> out;
  for (int pass = 0; pass < 4; ++pass) {
    for (std::uint32_t row = start[pass]; row < height; row += step[pass]) {
      out.insert(out.end(), rows_top_down.begin() + row * width,
                 rows_top_down.begin() + (row + 1) * width);
    }
  }
  return out;
}

std::uint8_t TableFlags(std::size_t entries) {
  if (entries == 0) return 0;
  std::uint8_t exponent = 0;
  while ((std::size_t{2} << exponent) < entries) ++exponent;
  return static_cast<std::uint8_t>(0x80 | exponent);
}

GifWriter::GifWriter(std::uint16_t width, std::uint16_t height,
                     const std::vector<Rgb>& global_table, bool gif89a) {
  const char* signature = gif89a ? "GIF89a" : "GIF87a";
  bytes_.assign(signature, signature + 6);
  Word(width);
  Word(height);
  bytes_.push_back(TableFlags(global_table.size()));
  bytes_.push_back(0);
  bytes_.push_back(0);
  Table(global_table);
}

GifWriter& GifWriter::GraphicControl(bool transparent, std::uint8_t index, std::uint16_t delay,
                                     std::uint8_t disposal) {
  Raw({0x21, 0xF9, 4, static_cast<std::uint8_t>((disposal << 2) | (transparent ? 1 : 0))});
  Word(delay);
  return Raw({index, 0});
}

GifWriter& GifWriter::Comment(const std::string& text) {
  Raw({0x21, 0xFE, static_cast<std::uint8_t>(text.size())});
  bytes_.insert(bytes_.end(), text.begin(), text.end());
  return Raw({0});
}

GifWriter& GifWriter::PlainText(const std::string& text) {
  Raw({0x21, 0x01, 12, 0, 0, 0, 0, 40, 0, 8, 0, 8, 8, 1, 0});
  bytes_.push_back(static_cast<std::uint8_t>(text.size()));
  bytes_.insert(bytes_.end(), text.begin(), text.end());
  return Raw({0});
}

GifWriter& GifWriter::Loop(std::uint16_t count) {
  const std::string id = "NETSCAPE2.0";
  Raw({0x21, 0xFF, 11});
  bytes_.insert(bytes_.end(), id.begin(), id.end());
  Raw({3, 1});
  Word(count);
  return Raw({0});
}

GifWriter& GifWriter::Application(const std::string& identifier, const Bytes& data) {
  Raw({0x21, 0xFF, static_cast<std::uint8_t>(identifier.size())});
  bytes_.insert(bytes_.end(), identifier.begin(), identifier.end());
  bytes_.push_back(static_cast<std::uint8_t>(data.size()));
  Raw(data);
  return Raw({0});
}

GifWriter& GifWriter::Image(const GifFrame& frame) {
  Descriptor(frame);
  bytes_.push_back(static_cast<std::uint8_t>(frame.min_code_size));
  const auto order =
      frame.interlaced ? InterlaceRows(frame.indices, frame.width, frame.height) : frame.indices;
  return Raw(LzwEncode(order, frame.min_code_size, frame.lzw));
}

GifWriter& GifWriter::RawImage(std::uint16_t width, std::uint16_t height, const Bytes& data,
                               bool interlaced) {
  GifFrame frame;
  frame.width = width;
  frame.height = height;
  frame.interlaced = interlaced;
  Descriptor(frame);
  return Raw(data);
}

GifWriter& GifWriter::Raw(const Bytes& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

GifWriter& GifWriter::Trailer() {
  return Raw({0x3B});
}

void GifWriter::Word(std::uint16_t v) {
  bytes_.push_back(static_cast<std::uint8_t>(v));
  bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
}

void GifWriter::Table(const std::vector<Rgb>& table) {
  for (const Rgb& c : table) Raw({c.red, c.green, c.blue});
}

void GifWriter::Descriptor(const GifFrame& frame) {
  bytes_.push_back(0x2C);
  Word(frame.left);
  Word(frame.top);
  Word(frame.width);
  Word(frame.height);
  bytes_.push_back(static_cast<std::uint8_t>(TableFlags(frame.local_table.size()) |
                                             (frame.interlaced ? 0x40 : 0)));
  Table(frame.local_table);
}

}  // namespace kx::testing
