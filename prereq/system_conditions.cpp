#include "prereq/system_conditions.h"

#include <windows.h>

#include <cwchar>
#include <utility>

#include "platform/os_version.h"
#include "platform/system_language.h"
#include "prereq/file_condition.h"
#include "prereq/numbers.h"
#include "prereq/registry_condition.h"

namespace kx::prereq {

os_facts current_os_facts() {
  const system_facts& system = current_system_facts();
  const os_version_record record = system.version();
  os_facts facts;
  if (record.valid) {
    const OSVERSIONINFOEXW& info = record.info;
    facts.major = info.dwMajorVersion;
    facts.minor = info.dwMinorVersion;
    facts.build_field = info.dwBuildNumber;
    facts.platform_id = info.dwPlatformId;
    facts.csd_version.assign(info.szCSDVersion,
                             wcsnlen(info.szCSDVersion, std::size(info.szCSDVersion)));
    facts.service_pack_major = info.wServicePackMajor;
    facts.product_type = info.wProductType;
  }
  facts.ui_language = system_ui_language();
  facts.architecture = system.native_system_info().wProcessorArchitecture;
  return facts;
}

system_condition_evaluator::system_condition_evaluator() : facts_(current_os_facts()) {}

system_condition_evaluator::system_condition_evaluator(os_facts facts) : facts_(std::move(facts)) {}

bool system_condition_evaluator::os_condition(const sax::AttributeList& attributes,
                                              trace_line& trace) {
  return evaluate_os_condition(attributes, facts_, trace);
}

bool system_condition_evaluator::condition(const sax::AttributeList& attributes,
                                           trace_line& trace) {
  const sax::text_view type_text = attributes.getValue(KXT("Type"));
  const sax::text_view comparison_text = attributes.getValue(KXT("Comparison"));
  const sax::text_view path = attributes.getValue(KXT("Path"));
  const sax::text_view file_name = attributes.getValue(KXT("FileName"));
  const sax::text_view bits = attributes.getValue(KXT("Bits"));
  const sax::text_view expected = attributes.getValue(KXT("ReturnValue"));
  trace.append(KXT("condition,"));
  trace.append_group(type_text, comparison_text, path, file_name, bits, expected);

  const std::uint32_t type = parse_number(type_text);
  const std::uint32_t comparison = parse_number(comparison_text);
  bool holds = true;
  switch (type) {
    case condition_registry_key:
    case condition_registry_value:
    case condition_registry_version:
      holds = evaluate_registry_condition(type, comparison, path, file_name, expected,
                                          registry_view(parse_number(bits), facts_.is_64bit()));
      break;
    case condition_file_exists:
    case condition_file_date:
    case condition_file_version:
      holds = evaluate_file_condition(type, comparison, path, file_name, expected);
      break;
    default:
      break;
  }
  trace.end(holds);
  return holds;
}

}  // namespace kx::prereq
