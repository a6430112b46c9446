// What the prerequisite tests share: attribute lists written inline and a
// sink that keeps the finished trace lines.
#pragma once

#include <initializer_list>
#include <utility>
#include <vector>

#include "prereq/trace_line.h"
#include "prereq/xml/attribute_list.h"

namespace kx::prereq::testing_support {

// Attributes as written in a test table: {{L"Type", L"1"}, ...}.
using attribute_pairs = std::initializer_list<std::pair<const kx::xchar*, sax::text>>;

// An attribute list in the order written.
inline sax::AttributeList attributes(attribute_pairs list) {
  sax::AttributeList a;
  for (const auto& [name, value] : list) a.add(name, value);
  return a;
}

// Keeps every finished line as plain text.
class line_sink final : public trace_sink {
 public:
  void line(const string& finished) override { lines.push_back(finished.str()); }
  std::vector<sax::text> lines;
};

}  // namespace kx::prereq::testing_support
