// The font and reading order of a setup language, as its language file
// and setup.ini's right-to-left list give them.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/stringx.h"

namespace kx {

// The face and size every template is drawn in unless a language asks for
// another font.
inline constexpr const wchar_t* kTemplateFace = L"Tahoma";
inline constexpr WORD kTemplateFontSize = 8;

// [Properties] FontName of the language file (ui_language_file); "Tahoma"
// when the file or the key is missing.
string LanguageFontName(std::uint16_t language);

// [Properties] FontSize of the language file, cut to 16 bits; 8 when the
// file or the key is missing.
WORD LanguageFontSize(std::uint16_t language);

// Whether `language` is one of the UI environment's right-to-left
// languages.
bool LanguageIsRtl(std::uint16_t language);

}  // namespace kx
