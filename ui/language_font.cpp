#include "ui/language_font.h"

#include <algorithm>

#include "base/inifilex.h"
#include "base/string_win.h"
#include "ui/ui_environment.h"

namespace kx {

string LanguageFilePath(std::uint16_t language) {
  string path = ui_environment().language_folder;
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  return path + format(L"0x%04x.ini", static_cast<unsigned>(language));
}

string LanguageFontName(std::uint16_t language) {
  return read_ini_string(LanguageFilePath(language), L"Properties", L"FontName", kTemplateFace);
}

WORD LanguageFontSize(std::uint16_t language) {
  return static_cast<WORD>(
      read_ini_int(LanguageFilePath(language), L"Properties", L"FontSize", kTemplateFontSize));
}

bool LanguageIsRtl(std::uint16_t language) {
  const std::vector<std::uint16_t>& rtl = ui_environment().rtl_languages;
  return std::find(rtl.begin(), rtl.end(), language) != rtl.end();
}

}  // namespace kx
