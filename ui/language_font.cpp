#include "ui/language_font.h"

#include <algorithm>

#include "base/inifilex.h"
#include "ui/ui_environment.h"

namespace kx {

string LanguageFontName(std::uint16_t language) {
  return read_ini_string(ui_language_file(language), L"Properties", L"FontName", kTemplateFace);
}

WORD LanguageFontSize(std::uint16_t language) {
  return static_cast<WORD>(
      read_ini_int(ui_language_file(language), L"Properties", L"FontSize", kTemplateFontSize));
}

bool LanguageIsRtl(std::uint16_t language) {
  const std::vector<std::uint16_t>& rtl = ui_environment().rtl_languages;
  return std::find(rtl.begin(), rtl.end(), language) != rtl.end();
}

}  // namespace kx
