#include "ui/image/splash_rules.h"

#include <algorithm>
#include <initializer_list>

namespace kx {

namespace {

constexpr std::size_t kStaticColours = 10;  // at each end of the system palette
constexpr std::size_t kFreeColours = 236;

xchar hex_digit(unsigned v) {
  return static_cast<xchar>(v < 10 ? '0' + v : 'a' + (v - 10));
}

}  // namespace

std::vector<string> SplashCandidates(const string& medium, std::uint16_t language) {
  string folder = medium;
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  string language_folder = folder;
  language_folder += string(KXT("setupdir\\"));
  for (int shift = 12; shift >= 0; shift -= 4)
    language_folder += hex_digit((language >> shift) & 0xFu);
  language_folder += '\\';
  std::vector<string> r;
  for (const string* base : {&language_folder, &folder}) {
    for (const auto* name : {KXT("setup.bmp"), KXT("setup.gif")}) {
      string path = *base;
      path += string(name);
      r.push_back(std::move(path));
    }
  }
  return r;
}

SplashPalette MakeSplashPalette(int bits_per_pixel, std::span<const std::uint32_t> table,
                                std::span<const std::uint32_t> system) {
  SplashPalette r;
  if (bits_per_pixel > 8) {
    r.halftone = true;
    return r;
  }
  if (table.size() >= 256) {
    r.entries.assign(table.begin(), table.begin() + 256);
    return r;
  }
  auto system_at = [&](std::size_t i) { return i < system.size() ? system[i] : 0u; };
  for (std::size_t i = 0; i < kStaticColours; ++i) r.entries.push_back(system_at(i));
  const std::size_t own = std::min(table.size(), kFreeColours);
  r.entries.insert(r.entries.end(), table.begin(),
                   table.begin() + static_cast<std::ptrdiff_t>(own));
  for (std::size_t i = 0; i < kStaticColours; ++i)
    r.entries.push_back(system_at(kStaticColours + i));
  return r;
}

}  // namespace kx
