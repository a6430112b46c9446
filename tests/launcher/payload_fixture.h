// Launcher files made to measure for the payload tests: a minimal PE image
// with chosen sections, debug data and symbol table, a payload in the
// launcher's format (well-formed or deliberately broken), and a certificate
// table as a signing tool appends it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kx::testing {

// The shape of a fake image. Sections follow the headers back to back.
struct FakeImage {
  bool pe32plus = false;
  std::uint32_t size_of_headers = 0x400;
  std::vector<std::uint32_t> section_raw_sizes = {0x200, 0x400};
  // Debug directory entries (PointerToRawData, SizeOfData); the directory
  // lies at the start of the first section. Data whose pointer lies at or
  // after the sections is appended to the image in the order given.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> debug;
  // A COFF symbol table of this size after the image (0: none).
  std::uint32_t symbol_table_size = 0;
  std::uint32_t checksum = 0;
};

// The image's bytes: headers, sections (filled with a pattern), debug data
// stored after them, then the symbol table.
std::string BuildImage(const FakeImage& image);

// The sum the launcher computes for P: headers plus all raw sizes.
std::uint32_t SectionsEnd(const FakeImage& image);

// The file offset of the security directory entry in BuildImage's headers.
std::uint32_t SecurityEntryOffset(const FakeImage& image);

// Appends a certificate table of `size` bytes (8-byte aligned after zero
// padding, as signing tools place it) and points the security directory
// entry at it. Returns the table's offset.
std::uint32_t AppendCertificate(std::string& file, const FakeImage& image, std::uint32_t size);

// One payload entry; `size_text` empty means the decimal size of `data`.
struct FakeEntry {
  std::u16string name;
  std::u16string path;
  std::u16string version = u"0.0.0.0";
  std::string data;
  std::u16string size_text;
};

// UTF-16LE text followed by one NUL character.
std::string Utf16z(const std::u16string& text);

// The encoded entry (texts, then data).
std::string EncodeEntry(const FakeEntry& e);

// A payload: the count (the number of entries unless given), the entries,
// then `padding` zero bytes so that the launcher sees a payload.
std::string EncodePayload(const std::vector<FakeEntry>& entries, std::uint32_t padding = 52000,
                          long long count = -1);

}  // namespace kx::testing
