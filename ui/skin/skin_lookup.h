// Which skin section dresses a window: the page name with the language
// suffix, then the fallbacks from the primary language to the default
// skin.
//
// Windows-free and pure, so that the chain is table-tested.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

// The section a window looks up: `page`, plus "-%04x" of `language` unless
// the language is English (0x0409).
std::string SkinSectionName(std::string_view page, std::uint16_t language);

// The names FindSkin tries for `name`, in order. A name with a language
// suffix ("-" and hexadecimal digits) and a base other than "ALL" tries
// itself, base-"%04x" of the primary language (suffix AND 0x3FF), "ALL"
// with the suffix, the base, then "ALL"; any other name tries itself, then
// "ALL".
std::vector<std::string> SkinLookupChain(std::string_view name);

}  // namespace kx
