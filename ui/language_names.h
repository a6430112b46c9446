// The names under which the setup's languages are offered for choice.
#pragma once

#include <cstdint>
#include <vector>

#include "base/stringx.h"

namespace kx {

// The name of `language` in the current UI language: the first non-empty
// of the UI language's file ([Languages] "0x<id>"), the section of the
// language itself in `setup_ini` (its own name), the English section
// "0x0409" there, and the system's name for the language; "0x<id>" when
// even the system knows none.
string LanguageDisplayName(std::uint16_t language, const string& setup_ini);

// `languages` in ascending id order, each once.
std::vector<std::uint16_t> SortedLanguages(std::vector<std::uint16_t> languages);

}  // namespace kx
