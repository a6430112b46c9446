// How the checker puts each condition into words, as the launcher reads it.
#include <cstdint>
#include <string>

#include "prereq/numbers.h"
#include "tools/prq_checker/prq_lint.h"

namespace kx::prqcheck {
namespace {

std::string value_of(const sax::AttributeList& a, const xchar* name) {
  return utf8(a.getValue(name));
}

std::string comparison_words(std::uint32_t type, std::uint32_t comparison) {
  const bool file = type == 4 || type == 8 || type == 16;
  switch (comparison) {
    case 1:
      return type == 1 || type == 4 ? "exists" : "equal to";
    case 2:
      if (type == 1 || type == 4) return "does not exist";
      return type == 8 ? "not later than (or missing)"
             : file    ? "older than (or missing)"
                       : "less than (or missing)";
    case 4:
      return file ? "newer than" : "greater than";
    case 8:
      return "begins with";
    case 16:
      return "contains (for a number: has all bits of)";
    case 32:
      return "not equal to (or missing)";
    default:
      return "comparison " + std::to_string(comparison) + " (unknown)";
  }
}

}  // namespace

std::string describe_condition(const sax::AttributeList& a) {
  const std::uint32_t type = prereq::parse_number(a.getValue(KXT("Type")));
  const std::uint32_t comparison = prereq::parse_number(a.getValue(KXT("Comparison")));
  const std::uint32_t bits = prereq::parse_number(a.getValue(KXT("Bits")));
  const std::string path = value_of(a, KXT("Path"));
  const std::string name = value_of(a, KXT("FileName"));
  const std::string expected = value_of(a, KXT("ReturnValue"));
  const std::string view = (bits & 1)   ? ", 32-bit registry view"
                           : (bits & 2) ? ", 64-bit registry view"
                                        : "";
  const std::string file = path.empty() ? name : name.empty() ? path : path + "\\" + name;
  switch (type) {
    case 1:
      return "registry key " + path + view + ": " + comparison_words(type, comparison);
    case 2:
    case 32:
      return "registry value " + path + "\\" + (name.empty() ? "(default)" : name) + view +
             (type == 32 ? ", compared as a version: " : ": ") +
             comparison_words(type, comparison) +
             (comparison == 2 && expected.empty() ? "" : " \"" + expected + "\"");
    case 4:
      return "file " + file + ": " + comparison_words(type, comparison);
    case 8:
      return "date of file " + file + ": " + comparison_words(type, comparison) + " " + expected;
    case 16:
      return "version of file " + file + ": " + comparison_words(type, comparison) + " " + expected;
    default:
      return "type " + std::to_string(type) + ": always holds";
  }
}

std::string describe_os_condition(const sax::AttributeList& a) {
  std::string out = "Windows";
  const auto add = [&out, &a](const xchar* attribute, const char* words) {
    const std::string v = value_of(a, attribute);
    if (v.empty()) return;
    out += out == "Windows" ? " " : ", ";
    out += words;
    out += v;
  };
  add(KXT("MajorVersion"), "major version ");
  add(KXT("MinorVersion"), "minor version ");
  add(KXT("PlatformId"), "platform ");
  add(KXT("BuildNumber"), "build at least ");
  add(KXT("ServicePackMajorMin"), "service pack at least ");
  add(KXT("ServicePackMajorMax"), "service pack at most ");
  add(KXT("CSDVersion"), "service-pack text at least ");
  add(KXT("ProductType"), "product type one of ");
  add(KXT("Language"), "UI language ");
  const std::uint32_t bits = prereq::parse_number(a.getValue(KXT("Bits")));
  if (bits & 1) {
    out += ", not 64-bit";
  } else if (bits & 2) {
    out += ", 64-bit";
  } else if (bits & 4) {
    out += ", x64";
  } else if (bits & 8) {
    out += ", Itanium";
  }
  return out == "Windows" ? "any Windows" : out;
}

}  // namespace kx::prqcheck
