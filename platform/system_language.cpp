#include "platform/system_language.h"

#include <cwchar>
#include <cwctype>

#include "platform/module_function.h"
#include "platform/registry.h"

namespace kx {

LANGID language_from_locale_text(const wchar_t* text) {
  if (!text) return 0;
  while (*text == L' ' || *text == L'\t') ++text;
  if (text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) text += 2;
  // Each character is checked here: wcstoul would accept a sign and skip
  // blanks after the prefix.
  const wchar_t* end = text;
  while (iswxdigit(*end)) ++end;
  if (end == text || end - text > 8) return 0;
  while (*end == L' ' || *end == L'\t') ++end;
  if (*end) return 0;
  const unsigned long lcid = std::wcstoul(text, nullptr, 16);
  return LANGIDFROMLCID(static_cast<LCID>(lcid));
}

LANGID system_ui_language_from(ui_language_function query) {
  if (query) return query();
  struct locale_value {
    const wchar_t* key;
    const wchar_t* name;
  };
  static constexpr locale_value kValues[] = {
      {L".Default\\Control Panel\\desktop\\ResourceLocale", L""},
      {L".DEFAULT\\Control Panel\\International", L"Locale"},
  };
  for (const locale_value& v : kValues) {
    const string text = registry_read_string(HKEY_USERS, v.key, v.name, KEY_READ, string());
    if (const LANGID language = language_from_locale_text(text.c_str())) return language;
  }
  return MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

LANGID system_ui_language() {
  return system_ui_language_from(
      module_function<ui_language_function>(L"kernel32.dll", "GetSystemDefaultUILanguage"));
}

}  // namespace kx
