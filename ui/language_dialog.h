// The language choice of a run without the wizard: a small dialog with a
// drop-down list of the setup's languages.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/stringx.h"

namespace kx {

// Asks for the setup language among `languages` (named as
// LanguageDisplayName does with `setup_ini`), with *language (the
// current UI language) preselected. OK: *language becomes the choice (kept
// when nothing is selected) and S_OK; Cancel, Escape or the close box:
// 0x80042000; a dialog that cannot be shown: its failure as HRESULT. In a
// silent run nothing is shown, the language stays, S_OK.
HRESULT ChooseLanguage(const std::vector<std::uint16_t>& languages, const string& setup_ini,
                       std::uint16_t* language);

}  // namespace kx
