// Registry conditions: a key that exists, a value compared as a number, a
// text or a version.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/stringx.h"
#include "prereq/xml/attribute_list.h"

namespace kx::prereq {

// Condition types and comparison codes of definition files.
enum condition_type : std::uint32_t {
  condition_registry_key = 1,
  condition_registry_value = 2,
  condition_file_exists = 4,
  condition_file_date = 8,
  condition_file_version = 16,
  condition_registry_version = 32,
};
enum comparison_code : std::uint32_t {
  comparison_equal = 1,  // for existence tests: exists
  comparison_less = 2,   // older; for existence tests: does not exist
  comparison_greater = 4,
  comparison_begins_with = 8,
  comparison_contains = 16,  // for a registry number: all bits set
  comparison_not_equal = 32,
};

// The predefined key of a root name: "HKEY_CLASSES_ROOT",
// "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
// "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA" (exactly
// so written) give 0x80000000 to 0x80000006; anything else null.
HKEY registry_root(sax::text_view name) noexcept;

// Splits "ROOT\key path" at its first backslash. False when the root is not
// one of the seven names or nothing follows the backslash (a lone root names
// no key of its own).
bool split_registry_path(sax::text_view path, HKEY& root, string& key);

// The registry view a condition's Bits select: on a 64-bit system bit 1 the
// 32-bit view (KEY_WOW64_32KEY), else bit 2 the 64-bit view
// (KEY_WOW64_64KEY); otherwise the default view (0).
REGSAM registry_view(std::uint32_t bits, bool system_64bit) noexcept;

// One registry condition of `type` (1, 2 or 32) with `comparison`, on
// `path`, value `value_name`, against `expected`, opened with KEY_READ plus
// `view`:
// - a key that does not open passes for comparison 2, and for 32 unless
//   `type` is 1; a malformed path fails;
// - type 1 on an open key passes for comparison 1 only;
// - types 2 and 32 query the value into four bytes: a missing value (or
//   one that cannot be queried) passes for 2 and 32; a REG_DWORD compares
//   as a number; anything else as the text of a REG_SZ or REG_EXPAND_SZ
//   (read leniently; "" for other types), by version for type 32 and
//   without regard to case for type 2. Unlisted codes pass.
bool evaluate_registry_condition(std::uint32_t type, std::uint32_t comparison, sax::text_view path,
                                 sax::text_view value_name, sax::text_view expected, REGSAM view);

}  // namespace kx::prereq
