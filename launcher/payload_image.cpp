#include "launcher/payload_image.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kx::payload {

namespace {

// Sizes and offsets of the PE format.
constexpr std::size_t kDosHeaderSize = 64;
constexpr std::size_t kLfanewAt = 0x3c;
constexpr std::size_t kSignatureAndCoffSize = 24;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kDebugEntrySize = 28;
constexpr std::size_t kMaxOptionalHeader = 240;  // PE32+ with 16 directories
constexpr std::uint32_t kSecurityDirectory = 4;
constexpr std::uint32_t kDebugDirectory = 6;
// No real image has more; a larger count is a hostile header that would
// otherwise make every start read megabytes.
constexpr std::uint64_t kMaxDebugEntries = 4096;

std::uint16_t u16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t u32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Reads exactly `n` bytes at `offset`. Data that the file does not hold is
// `missing`; a short read of data it does hold is a read failure.
image_status read_exact(byte_source& source, std::uint64_t offset, void* buffer, std::size_t n,
                        image_status missing) {
  const std::uint64_t size = source.size();
  if (offset > size || n > size - offset) return missing;
  if (n != 0 && source.read_at(offset, buffer, n) != n) return image_status::read_failed;
  return image_status::ok;
}

struct section {
  std::uint32_t virtual_address;
  std::uint32_t virtual_size;
  std::uint32_t raw_size;
  std::uint32_t raw_pointer;
};

// The file offset of `rva`, when the headers or a section's raw data hold it.
bool rva_to_offset(std::uint32_t rva, std::uint32_t size_of_headers,
                   const std::vector<section>& sections, std::uint64_t& offset) {
  if (rva < size_of_headers) {
    offset = rva;
    return true;
  }
  for (const section& s : sections) {
    if (rva >= s.virtual_address && rva - s.virtual_address < s.raw_size) {
      offset = static_cast<std::uint64_t>(s.raw_pointer) + (rva - s.virtual_address);
      return true;
    }
  }
  return false;
}

}  // namespace

std::size_t buffer_source::read_at(std::uint64_t offset, void* buffer, std::size_t n) {
  if (offset >= size_) return 0;
  const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - offset));
  std::memcpy(buffer, data_ + offset, count);
  return count;
}

image_status read_image_layout(byte_source& source, image_layout& layout) {
  layout = image_layout{};
  layout.file_size = source.size();

  unsigned char dos[kDosHeaderSize];
  image_status st = read_exact(source, 0, dos, sizeof dos, image_status::not_an_image);
  if (st != image_status::ok) return st;
  if (dos[0] != 'M' || dos[1] != 'Z') return image_status::not_an_image;
  const std::uint32_t pe_at = u32(dos + kLfanewAt);

  unsigned char nt[kSignatureAndCoffSize];
  st = read_exact(source, pe_at, nt, sizeof nt, image_status::not_an_image);
  if (st != image_status::ok) return st;
  if (std::memcmp(nt, "PE\0\0", 4) != 0) return image_status::not_an_image;
  const unsigned char* coff = nt + 4;
  const std::uint16_t section_count = u16(coff + 2);
  const std::uint32_t symbol_table = u32(coff + 8);
  const std::uint16_t optional_size = u16(coff + 16);

  const std::uint64_t optional_at = static_cast<std::uint64_t>(pe_at) + kSignatureAndCoffSize;
  unsigned char opt[kMaxOptionalHeader] = {};
  const std::size_t opt_read = std::min<std::size_t>(optional_size, sizeof opt);
  st = read_exact(source, optional_at, opt, opt_read, image_status::bad_headers);
  if (st != image_status::ok) return st;

  std::size_t count_at, directories_at;
  if (opt_read >= 2 && u16(opt) == 0x10b) {
    count_at = 92;
    directories_at = 96;
  } else if (opt_read >= 2 && u16(opt) == 0x20b) {
    count_at = 108;
    directories_at = 112;
    layout.pe32plus = true;
  } else {
    return image_status::not_an_image;
  }
  // SizeOfHeaders (60) and CheckSum (64) sit at the same place in both.
  if (optional_size < 68) return image_status::not_an_image;
  const std::uint32_t size_of_headers = u32(opt + 60);
  std::uint32_t directory_count = 0;
  if (opt_read >= count_at + 4 && opt_read >= directories_at) {
    directory_count = std::min<std::uint32_t>(
        {u32(opt + count_at), static_cast<std::uint32_t>((opt_read - directories_at) / 8), 16u});
  }
  auto directory = [&](std::uint32_t index, std::uint32_t& a, std::uint32_t& b) {
    if (index >= directory_count) return false;
    a = u32(opt + directories_at + index * 8);
    b = u32(opt + directories_at + index * 8 + 4);
    return a != 0 && b != 0;
  };

  std::vector<section> sections(section_count);
  if (section_count != 0) {
    std::vector<unsigned char> table(section_count * kSectionHeaderSize);
    st = read_exact(source, optional_at + optional_size, table.data(), table.size(),
                    image_status::bad_headers);
    if (st != image_status::ok) return st;
    for (std::size_t i = 0; i < section_count; ++i) {
      const unsigned char* h = table.data() + i * kSectionHeaderSize;
      sections[i] = {u32(h + 12), u32(h + 8), u32(h + 16), u32(h + 20)};
    }
  }

  std::uint64_t image_sum = size_of_headers;
  std::uint64_t image_end = size_of_headers;
  for (const section& s : sections) {
    image_sum += s.raw_size;
    if (s.raw_size != 0)
      image_end = std::max(image_end, static_cast<std::uint64_t>(s.raw_pointer) + s.raw_size);
  }

  // Debug data stored after the sections belongs to the image.
  std::uint64_t debug_after = 0;
  std::uint32_t debug_rva, debug_size;
  std::uint64_t debug_at;
  if (directory(kDebugDirectory, debug_rva, debug_size) &&
      rva_to_offset(debug_rva, size_of_headers, sections, debug_at)) {
    const std::uint64_t entries = debug_size / kDebugEntrySize;
    if (entries > kMaxDebugEntries) return image_status::bad_headers;
    std::vector<unsigned char> table(static_cast<std::size_t>(entries) * kDebugEntrySize);
    st = read_exact(source, debug_at, table.data(), table.size(), image_status::bad_headers);
    if (st != image_status::ok) return st;
    for (std::size_t i = 0; i < entries; ++i) {
      const unsigned char* e = table.data() + i * kDebugEntrySize;
      const std::uint64_t data_size = u32(e + 16);
      const std::uint64_t data_end = u32(e + 24) + data_size;
      if (data_end > image_sum) {
        debug_after += data_size;
        image_end = std::max(image_end, data_end);
      }
    }
  }

  layout.payload_offset = image_sum + debug_after;
  layout.image_end = image_end;
  layout.payload_limit = layout.file_size;
  layout.symbol_table_offset = symbol_table;
  layout.coff_header_offset = pe_at + 4;
  layout.checksum_offset = static_cast<std::uint32_t>(optional_at + 64);
  if (directory_count > kSecurityDirectory)
    layout.security_entry_offset =
        static_cast<std::uint32_t>(optional_at + directories_at + kSecurityDirectory * 8);

  // The certificate table's "address" is a file offset. It follows the
  // image; one that overlaps it or starts beyond the file is forged.
  std::uint32_t cert_at, cert_size;
  if (directory(kSecurityDirectory, cert_at, cert_size)) {
    if (cert_at < layout.payload_offset || cert_at > layout.file_size)
      return image_status::bad_headers;
    layout.certificate_offset = cert_at;
    layout.certificate_size = cert_size;
    layout.payload_limit = cert_at;
  }
  return image_status::ok;
}

bool has_payload(const image_layout& layout) noexcept {
  if (layout.file_size > 0xFFFFFFFFull) return true;
  return layout.payload_offset < layout.payload_limit &&
         layout.payload_limit - layout.payload_offset > kMinimumPayloadTail;
}

}  // namespace kx::payload
