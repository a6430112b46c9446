#include "prereq/os_condition.h"

#include "prereq/numbers.h"

namespace kx::prereq {
namespace {

// Masks of the numeric attribute test.
constexpr unsigned kEqual = 1;
constexpr unsigned kLess = 2;
constexpr unsigned kGreater = 4;

// The numeric attribute test: an absent or empty attribute passes untraced;
// otherwise its text is traced and the actual value must relate to it as
// `mask` allows.
bool numeric_test(const sax::AttributeList& attributes, const kx::xchar* name, std::uint32_t actual,
                  unsigned mask, trace_line& trace) {
  const sax::text_view text = attributes.getValue(name);
  if (text.empty()) return true;
  trace.append_field(text);
  const std::uint32_t wanted = parse_number(text);
  if (actual == wanted) return (mask & kEqual) != 0;
  return (mask & (actual < wanted ? kLess : kGreater)) != 0;
}

sax::text_view trim_blanks(sax::text_view text) noexcept {
  constexpr sax::text_view blanks = KXT("\t\n ");
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == sax::text_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool minor_version_test(const sax::AttributeList& attributes, const os_facts& facts,
                        trace_line& trace) {
  const bool nine_x = facts.platform_id == 1;
  const std::uint32_t minor_byte = (facts.build_field >> 16) & 0xFFu;
  if (!numeric_test(attributes, KXT("MinorVersion"), facts.minor, kEqual, trace)) {
    // The 9x family keeps its minor version in the build field as well.
    if (!nine_x || parse_number(attributes.getValue(KXT("MinorVersion"))) != minor_byte)
      return false;
  }
  if (nine_x && minor_byte == 90) {
    const sax::text_view wanted = attributes.getValue(KXT("MinorVersion"));
    if (!wanted.empty() && parse_number(wanted) != 90) return false;
  }
  return true;
}

bool product_type_test(const sax::AttributeList& attributes, const os_facts& facts) {
  const sax::text_view list = attributes.getValue(KXT("ProductType"));
  if (list.empty()) return true;
  for (const std::uint32_t type : parse_number_list(list, kx::xchar('|')))
    if (type == facts.product_type) return true;
  return false;
}

bool bits_test(const sax::AttributeList& attributes, const os_facts& facts) {
  const std::uint32_t bits = parse_number(attributes.getValue(KXT("Bits")));
  if (bits & 1) return !facts.is_64bit();
  if (bits & 2) return facts.is_64bit();
  if (bits & 4) return facts.architecture == kArchitectureAmd64;
  if (bits & 8) return facts.architecture == kArchitectureItanium;
  return true;
}

bool matches(const sax::AttributeList& attributes, const os_facts& facts, trace_line& trace) {
  if (!numeric_test(attributes, KXT("MajorVersion"), facts.major, kEqual, trace)) return false;
  if (!minor_version_test(attributes, facts, trace)) return false;
  if (!numeric_test(attributes, KXT("ServicePackMajorMin"), facts.service_pack_major,
                    kEqual | kGreater, trace) ||
      !numeric_test(attributes, KXT("ServicePackMajorMax"), facts.service_pack_major,
                    kEqual | kLess, trace) ||
      !numeric_test(attributes, KXT("BuildNumber"), facts.build_number(), kEqual | kGreater,
                    trace) ||
      !numeric_test(attributes, KXT("PlatformId"), facts.platform_id, kEqual, trace))
    return false;

  const sax::text_view csd = attributes.getValue(KXT("CSDVersion"));
  if (!csd.empty() && trim_blanks(csd) > trim_blanks(facts.csd_version)) return false;

  if (!product_type_test(attributes, facts)) return false;

  const sax::text_view language = attributes.getValue(KXT("Language"));
  if (!language.empty() && parse_number(language) != facts.ui_language) return false;

  return bits_test(attributes, facts);
}

}  // namespace

std::uint32_t os_facts::build_number() const noexcept {
  return platform_id == 1 ? (build_field & 0xFFFFu) : build_field;
}

bool os_facts::is_64bit() const noexcept {
  return architecture == kArchitectureAmd64 || architecture == kArchitectureItanium ||
         architecture == kArchitectureArm64;
}

bool evaluate_os_condition(const sax::AttributeList& attributes, const os_facts& facts,
                           trace_line& trace) {
  trace.append_field(KXT("operatingsystemcondition"));
  const bool result = matches(attributes, facts, trace);
  trace.end(result);
  return result;
}

}  // namespace kx::prereq
