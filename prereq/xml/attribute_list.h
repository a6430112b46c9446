// The attributes of one element as the reader found them: names and values
// exactly as written (after entity decoding), in document order.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/xchar.h"

namespace sax {

// Element names, attribute names and values. Plain std strings on purpose:
// every comparison in a definition is exact (case-sensitive), unlike the
// program's case-insensitive kx::string.
using text = std::basic_string<kx::xchar>;
using text_view = std::basic_string_view<kx::xchar>;

// Ordered (name, value) pairs. Duplicates are kept; lookups find the first.
class AttributeList {
 public:
  // Appends one pair; the reader adds only pairs whose name and value are
  // both non-empty.
  void add(text name, text value);

  // The number of pairs.
  std::size_t getLength() const noexcept { return names_.size(); }
  // The name and value of pair `i` (i < getLength()).
  const text& getName(std::size_t i) const { return names_[i]; }
  const text& getValue(std::size_t i) const { return values_[i]; }

  // The value of the first pair whose name equals `name` exactly
  // (case-sensitive, code unit by code unit); empty when there is none, so
  // an absent attribute and an empty one read the same.
  text_view getValue(text_view name) const noexcept;

 private:
  std::vector<text> names_;
  std::vector<text> values_;
};

}  // namespace sax
