// Fuzzes the version comparison with three texts (split at line feeds, one
// input byte per character) and checks that it orders like an order should,
// and like the packed pair (a<<16|b, c<<16|d) wherever no part exceeds 16 bits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "prereq/version_compare.h"

namespace {

using kx::prereq::compare_versions;
using kx::prereq::parse_version;
using kx::prereq::version_parts;

void require(bool condition) {
  if (!condition) std::abort();
}

bool fits_16_bits(const version_parts& v) {
  for (const std::uint32_t part : v)
    if (part > 0xFFFFu) return false;
  return true;
}

int packed_compare(const version_parts& a, const version_parts& b) {
  const std::uint32_t a_high = a[0] << 16 | (a[1] & 0xFFFFu),
                      b_high = b[0] << 16 | (b[1] & 0xFFFFu);
  const std::uint32_t a_low = a[2] << 16 | (a[3] & 0xFFFFu), b_low = b[2] << 16 | (b[3] & 0xFFFFu);
  if (a_high != b_high) return a_high < b_high ? -1 : 1;
  if (a_low != b_low) return a_low < b_low ? -1 : 1;
  return 0;
}

sax::text written(const version_parts& v) {
  sax::text out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (i) out += kx::xchar('.');
    for (const char c : std::to_string(v[i])) out += kx::xchar(c);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sax::text texts[3];
  std::size_t which = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n' && which < 2) {
      ++which;
      continue;
    }
    texts[which] += kx::xchar(data[i]);
  }
  const version_parts v[3] = {parse_version(texts[0]), parse_version(texts[1]),
                              parse_version(texts[2])};

  for (int i = 0; i < 3; ++i) {
    require(compare_versions(texts[i], texts[i]) == 0);
    // Writing the parts out and reading them back names the same version.
    require(parse_version(written(v[i])) == v[i]);
    require(compare_versions(written(v[i]), texts[i]) == 0);
    for (int j = 0; j < 3; ++j) {
      const int ij = compare_versions(texts[i], texts[j]);
      require(ij >= -1 && ij <= 1);
      require(ij == -compare_versions(texts[j], texts[i]));
      require((ij == 0) == (v[i] == v[j]));
      if (fits_16_bits(v[i]) && fits_16_bits(v[j])) require(ij == packed_compare(v[i], v[j]));
      for (int k = 0; k < 3; ++k) {
        const int jk = compare_versions(v[j], v[k]);
        const int ik = compare_versions(v[i], v[k]);
        if (ij <= 0 && jk <= 0) require(ik <= 0);
        if (ij == 0 && jk == 0) require(ik == 0);
        if (ij < 0 && jk <= 0) require(ik < 0);
      }
    }
  }
  return 0;
}
