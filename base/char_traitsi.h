// Character traits that make every comparison and search case-insensitive.
#pragma once

#include <cstddef>
#include <string>

#include "base/xchar.h"

namespace kx {

// Case-insensitive traits over xchar. Only A-Z fold (onto a-z), so INI
// section and key names, switch names, "0x" prefixes and file names match
// regardless of case while every other character compares by code unit.
struct char_traitsi : std::char_traits<xchar> {
  static constexpr bool eq(char_type a, char_type b) noexcept {
    return fold_ascii(a) == fold_ascii(b);
  }
  static constexpr bool lt(char_type a, char_type b) noexcept {
    return fold_ascii(a) < fold_ascii(b);
  }
  static constexpr int compare(const char_type* a, const char_type* b, std::size_t n) noexcept {
    for (std::size_t i = 0; i < n; ++i) {
      const char_type x = fold_ascii(a[i]), y = fold_ascii(b[i]);
      if (x != y) return x < y ? -1 : 1;
    }
    return 0;
  }
  static constexpr const char_type* find(const char_type* s, std::size_t n,
                                         const char_type& c) noexcept {
    const char_type f = fold_ascii(c);
    for (std::size_t i = 0; i < n; ++i)
      if (fold_ascii(s[i]) == f) return s + i;
    return nullptr;
  }
};

// Case-insensitive ordering of whole strings (the index order of the
// INI model's maps).
int compare_i(const xchar* a, std::size_t na, const xchar* b, std::size_t nb) noexcept;

}  // namespace kx
