#include "tools/medium_builder/pe_version.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace kx::medium {

namespace {

using kx::payload::byte_source;

constexpr std::uint32_t kResourceDirectory = 2;
constexpr std::uint32_t kVersionType = 16;
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::uint32_t kSubdirectoryBit = 0x80000000u;
// Every part of the walk is bounded: entries per directory are 16-bit
// counts, and a version block never needs more than this.
constexpr std::uint32_t kMaxVersionBlock = 64 * 1024;

std::uint16_t u16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t u32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool read(byte_source& s, std::uint64_t at, void* buffer, std::size_t n) {
  return at <= s.size() && n <= s.size() - at && s.read_at(at, buffer, n) == n;
}

struct image {
  std::uint32_t size_of_headers = 0;
  std::vector<std::uint8_t> sections;  // raw section headers, 40 bytes each
  std::uint32_t resource_rva = 0;

  bool to_offset(std::uint32_t rva, std::uint64_t& offset) const {
    if (rva < size_of_headers) {
      offset = rva;
      return true;
    }
    for (std::size_t i = 0; i + 40 <= sections.size(); i += 40) {
      const std::uint8_t* h = sections.data() + i;
      const std::uint32_t va = u32(h + 12), raw = u32(h + 16), ptr = u32(h + 20);
      if (rva >= va && rva - va < raw) {
        offset = static_cast<std::uint64_t>(ptr) + (rva - va);
        return true;
      }
    }
    return false;
  }
};

bool read_image(byte_source& s, image& img) {
  std::uint8_t dos[64];
  if (!read(s, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
  const std::uint32_t pe = u32(dos + 0x3c);
  std::uint8_t nt[24];
  if (!read(s, pe, nt, sizeof nt) || std::memcmp(nt, "PE\0\0", 4) != 0) return false;
  const std::uint16_t sections = u16(nt + 6), optional_size = u16(nt + 20);
  std::vector<std::uint8_t> opt(optional_size);
  if (!read(s, pe + 24ull, opt.data(), opt.size()) || opt.size() < 68) return false;
  const std::size_t dirs = u16(opt.data()) == 0x20b ? 112 : 96;
  img.size_of_headers = u32(opt.data() + 60);
  if (opt.size() >= dirs + 8 * (kResourceDirectory + 1) &&
      u32(opt.data() + dirs - 4) > kResourceDirectory)
    img.resource_rva = u32(opt.data() + dirs + 8 * kResourceDirectory);
  img.sections.resize(sections * 40u);
  return read(s, pe + 24ull + optional_size, img.sections.data(), img.sections.size());
}

// One step down the resource tree: the entry of directory `dir` (an offset
// from the resource base) with id `id`, or the first entry when `id` is 0.
bool resource_entry(byte_source& s, std::uint64_t base, std::uint32_t dir, std::uint32_t id,
                    std::uint32_t& target) {
  std::uint8_t header[16];
  if (!read(s, base + dir, header, sizeof header)) return false;
  const std::uint32_t count = u16(header + 12) + u16(header + 14);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint8_t e[8];
    if (!read(s, base + dir + 16 + i * 8ull, e, sizeof e)) return false;
    if (id == 0 || u32(e) == id) {
      target = u32(e + 4);
      return true;
    }
  }
  return false;
}

}  // namespace

std::string file_version_text(byte_source& source) {
  const std::string none = "0.0.0.0";
  image img;
  std::uint64_t base;
  if (!read_image(source, img) || img.resource_rva == 0 || !img.to_offset(img.resource_rva, base))
    return none;

  std::uint32_t type, name, language;
  if (!resource_entry(source, base, 0, kVersionType, type) || !(type & kSubdirectoryBit) ||
      !resource_entry(source, base, type & ~kSubdirectoryBit, 0, name) ||
      !(name & kSubdirectoryBit) ||
      !resource_entry(source, base, name & ~kSubdirectoryBit, 0, language) ||
      (language & kSubdirectoryBit))
    return none;

  std::uint8_t data_entry[16];
  std::uint64_t block_at;
  if (!read(source, base + language, data_entry, sizeof data_entry) ||
      !img.to_offset(u32(data_entry), block_at))
    return none;
  const std::uint32_t block_size = u32(data_entry + 4);
  if (block_size < 92 || block_size > kMaxVersionBlock) return none;

  // VS_VERSIONINFO: length, value length, type, the key "VS_VERSION_INFO"
  // and its NUL, padding to 32 bits (offset 40), then VS_FIXEDFILEINFO.
  std::vector<std::uint8_t> block(block_size);
  if (!read(source, block_at, block.data(), block.size())) return none;
  const std::uint8_t* fixed = block.data() + 40;
  if (u16(block.data() + 2) < 52 || u32(fixed) != kFixedInfoSignature) return none;
  const std::uint32_t ms = u32(fixed + 8), ls = u32(fixed + 12);
  return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
         std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF);
}

}  // namespace kx::medium
