#include "tests/launcher/payload_fixture.h"

namespace kx::testing {

namespace {

constexpr std::uint32_t kPeAt = 0x80;
constexpr std::uint32_t kVirtualBase = 0x1000;

void put16(std::string& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint32_t optional_size(const FakeImage& image) {
  return image.pe32plus ? 240 : 224;
}
std::uint32_t directories_at(const FakeImage& image) {
  return kPeAt + 24 + (image.pe32plus ? 112 : 96);
}

}  // namespace

std::uint32_t SectionsEnd(const FakeImage& image) {
  std::uint32_t end = image.size_of_headers;
  for (std::uint32_t s : image.section_raw_sizes) end += s;
  return end;
}

std::uint32_t SecurityEntryOffset(const FakeImage& image) {
  return directories_at(image) + 4 * 8;
}

std::string BuildImage(const FakeImage& image) {
  std::string b(SectionsEnd(image), '\0');
  b[0] = 'M';
  b[1] = 'Z';
  put32(b, 0x3c, kPeAt);
  b.replace(kPeAt, 4, std::string("PE\0\0", 4));
  const std::size_t coff = kPeAt + 4;
  put16(b, coff, image.pe32plus ? 0x8664 : 0x14c);
  put16(b, coff + 2, static_cast<std::uint32_t>(image.section_raw_sizes.size()));
  put16(b, coff + 16, optional_size(image));
  const std::size_t opt = kPeAt + 24;
  put16(b, opt, image.pe32plus ? 0x20b : 0x10b);
  put32(b, opt + 60, image.size_of_headers);
  put32(b, opt + 64, image.checksum);
  put32(b, opt + (image.pe32plus ? 108 : 92), 16);

  // Section table and contents.
  std::uint32_t raw = image.size_of_headers;
  for (std::size_t i = 0; i < image.section_raw_sizes.size(); ++i) {
    const std::size_t h = opt + optional_size(image) + i * 40;
    b.replace(h, 5, ".sec" + std::to_string(i));
    put32(b, h + 8, image.section_raw_sizes[i]);
    put32(b, h + 12, kVirtualBase * static_cast<std::uint32_t>(i + 1));
    put32(b, h + 16, image.section_raw_sizes[i]);
    put32(b, h + 20, raw);
    for (std::uint32_t k = 0; k < image.section_raw_sizes[i]; ++k)
      b[raw + k] = static_cast<char>(0x40 + i);
    raw += image.section_raw_sizes[i];
  }

  if (!image.debug.empty()) {
    const std::uint32_t dir = image.size_of_headers;
    put32(b, directories_at(image) + 6 * 8, kVirtualBase);
    put32(b, directories_at(image) + 6 * 8 + 4,
          static_cast<std::uint32_t>(image.debug.size() * 28));
    for (std::size_t i = 0; i < image.debug.size(); ++i) {
      const std::size_t e = dir + i * 28;
      put32(b, e + 12, 2);  // CodeView
      put32(b, e + 16, image.debug[i].second);
      put32(b, e + 24, image.debug[i].first);
      if (image.debug[i].first >= b.size())
        b.append(image.debug[i].first + image.debug[i].second - b.size(), 'D');
    }
  }
  if (image.symbol_table_size != 0) {
    put32(b, coff + 8, static_cast<std::uint32_t>(b.size()));
    put32(b, coff + 12, image.symbol_table_size / 18);
    b.append(image.symbol_table_size, 'S');
  }
  return b;
}

std::uint32_t AppendCertificate(std::string& file, const FakeImage& image, std::uint32_t size) {
  while (file.size() % 8) file.push_back('\0');
  const auto at = static_cast<std::uint32_t>(file.size());
  std::string table(size, 'C');
  put32(table, 0, size);
  put16(table, 4, 0x200);
  put16(table, 6, 2);
  file += table;
  put32(file, SecurityEntryOffset(image), at);
  put32(file, SecurityEntryOffset(image) + 4, size);
  return at;
}

std::string Utf16z(const std::u16string& text) {
  std::string b;
  for (char16_t c : text) {
    b.push_back(static_cast<char>(c & 0xFF));
    b.push_back(static_cast<char>(c >> 8));
  }
  b.append(2, '\0');
  return b;
}

std::string EncodeEntry(const FakeEntry& e) {
  std::u16string size = e.size_text;
  if (size.empty())
    for (char c : std::to_string(e.data.size())) size.push_back(static_cast<char16_t>(c));
  return Utf16z(e.name) + Utf16z(e.path) + Utf16z(e.version) + Utf16z(size) + e.data;
}

std::string EncodePayload(const std::vector<FakeEntry>& entries, std::uint32_t padding,
                          long long count) {
  const auto n = static_cast<std::uint32_t>(count < 0 ? entries.size() : count);
  std::string b(4, '\0');
  put32(b, 0, n);
  for (const FakeEntry& e : entries) b += EncodeEntry(e);
  b.append(padding, '\0');
  return b;
}

}  // namespace kx::testing
