#include "prereq/registry_condition.h"

#include "platform/registry.h"
#include "prereq/numbers.h"
#include "prereq/version_compare.h"

namespace kx::prereq {
namespace {

bool compare_number(std::uint32_t comparison, DWORD actual, std::uint32_t expected) {
  switch (comparison) {
    case comparison_equal:
      return actual == expected;
    case comparison_less:
      return actual < expected;
    case comparison_greater:
      return actual > expected;
    case comparison_contains:
      return (actual & expected) == expected;
    case comparison_not_equal:
      return actual != expected;
    default:
      return true;
  }
}

bool compare_text(std::uint32_t type, std::uint32_t comparison, const string& actual,
                  sax::text_view expected_text) {
  const string expected(expected_text);
  int order = 0;
  if (type == condition_registry_version) {
    order = compare_versions(sax::text_view(actual.data(), actual.size()), expected_text);
  } else {
    const int c = actual.compare(expected);
    order = c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  switch (comparison) {
    case comparison_equal:
      return order == 0;
    case comparison_less:
      return order < 0;
    case comparison_greater:
      return order > 0;
    case comparison_begins_with:
      return actual.find(expected) == 0;
    case comparison_contains:
      return actual.find(expected) != string::npos;
    case comparison_not_equal:
      return order != 0;
    default:
      return true;
  }
}

bool value_test(std::uint32_t type, std::uint32_t comparison, HKEY key, const string& name,
                sax::text_view expected) {
  DWORD value_type = REG_NONE;
  BYTE data[4] = {};
  DWORD size = sizeof data;
  const LONG result = RegQueryValueExW(key, name.c_str(), nullptr, &value_type, data, &size);
  if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
    return comparison == comparison_less || comparison == comparison_not_equal;
  if (result == ERROR_SUCCESS && value_type == REG_DWORD && size == sizeof data) {
    const DWORD number =
        DWORD(data[0]) | DWORD(data[1]) << 8 | DWORD(data[2]) << 16 | DWORD(data[3]) << 24;
    return compare_number(comparison, number, parse_number(expected));
  }
  return compare_text(type, comparison, registry_read_text_lenient(key, name), expected);
}

}  // namespace

HKEY registry_root(sax::text_view name) noexcept {
  static constexpr const kx::xchar* kNames[] = {
      KXT("HKEY_CLASSES_ROOT"), KXT("HKEY_CURRENT_USER"),     KXT("HKEY_LOCAL_MACHINE"),
      KXT("HKEY_USERS"),        KXT("HKEY_PERFORMANCE_DATA"), KXT("HKEY_CURRENT_CONFIG"),
      KXT("HKEY_DYN_DATA")};
  for (std::size_t i = 0; i < std::size(kNames); ++i) {
    if (name == kNames[i])
      return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000000u + i)));
  }
  return nullptr;
}

bool split_registry_path(sax::text_view path, HKEY& root, string& key) {
  const std::size_t slash = path.find(kx::xchar('\\'));
  if (slash == sax::text_view::npos || slash + 1 == path.size()) return false;
  root = registry_root(path.substr(0, slash));
  if (!root) return false;
  key = string(path.substr(slash + 1));
  return true;
}

REGSAM registry_view(std::uint32_t bits, bool system_64bit) noexcept {
  if (!system_64bit) return 0;
  if (bits & 1) return KEY_WOW64_32KEY;
  if (bits & 2) return KEY_WOW64_64KEY;
  return 0;
}

bool evaluate_registry_condition(std::uint32_t type, std::uint32_t comparison, sax::text_view path,
                                 sax::text_view value_name, sax::text_view expected, REGSAM view) {
  HKEY root = nullptr;
  string key_path;
  if (!split_registry_path(path, root, key_path)) return false;
  LONG result = 0;
  const registry_key key = registry_key::open(root, key_path, KEY_READ | view, result);
  if (!key) {
    return comparison == comparison_less ||
           (comparison == comparison_not_equal && type != condition_registry_key);
  }
  if (type == condition_registry_key) return comparison == comparison_equal;
  return value_test(type, comparison, key.get(), string(value_name), expected);
}

}  // namespace kx::prereq
