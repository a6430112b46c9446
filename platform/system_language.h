// The language of the system's user interface.
#pragma once

#include <windows.h>

namespace kx {

// The signature of GetSystemDefaultUILanguage.
using ui_language_function = LANGID(WINAPI*)();

// The system's user-interface language: GetSystemDefaultUILanguage when
// kernel32 has it; on older systems the locale stored for the default user
// (HKEY_USERS ".Default\Control Panel\desktop\ResourceLocale", default
// value, then ".DEFAULT\Control Panel\International" value "Locale"), whose
// hexadecimal text is an LCID; 0x0409 when neither can be read.
LANGID system_ui_language();

// system_ui_language with `query` in place of kernel32's function; null
// takes the registry route. Lets callers on new systems exercise the old
// systems' fallback.
LANGID system_ui_language_from(ui_language_function query);

// The language of a locale id stored as hexadecimal text ("00000407",
// "0x0407"); 0 when the text is not a whole hexadecimal number or names no
// language.
LANGID language_from_locale_text(const wchar_t* text);

}  // namespace kx
