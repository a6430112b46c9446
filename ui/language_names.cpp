#include "ui/language_names.h"

#include <windows.h>

#include <algorithm>

#include "base/inifilex.h"
#include "base/string_win.h"
#include "ui/ui_environment.h"

namespace kx {

namespace {

constexpr DWORD kNameLength = 260;

}  // namespace

string LanguageDisplayName(std::uint16_t language, const string& setup_ini) {
  const string key = format(L"0x%04x", static_cast<unsigned>(language));
  string name =
      read_ini_string(ui_language_file(ui_environment().language), L"Languages", key, string());
  if (!name.empty()) return name;
  name = read_ini_string(setup_ini, key, key, string());
  if (!name.empty()) return name;
  name = read_ini_string(setup_ini, L"0x0409", key, string());
  if (!name.empty()) return name;
  // An unknown language may leave the buffer as it was: it starts empty,
  // and only what the call reports as written counts.
  wchar_t buffer[kNameLength] = {};
  const DWORD written = VerLanguageNameW(language, buffer, kNameLength);
  if (written > 0 && written < kNameLength && buffer[0] != L'\0') return string(buffer);
  return key;
}

std::vector<std::uint16_t> SortedLanguages(std::vector<std::uint16_t> languages) {
  std::sort(languages.begin(), languages.end());
  languages.erase(std::unique(languages.begin(), languages.end()), languages.end());
  return languages;
}

}  // namespace kx
