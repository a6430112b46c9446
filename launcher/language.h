// The rules of the run's language: which of the medium's languages a
// request matches, how the run's language is chosen, when the user is asked
// to choose, and where a language's string file lies.
//
// Windows-free: the system's answers come in as LanguageFacts (gathered by
// launcher/language_win.h), so the rules are tested as tables.
#pragma once

#include <cstdint>
#include <vector>

#include "base/stringx.h"
#include "launcher/setup_settings.h"

namespace kx {

// What the system says about languages, as the choice of the run's language
// asks for it. 0 stands for "no answer".
struct LanguageFacts {
  // GetUserDefaultLangID.
  std::uint16_t user_default = 0;
  // GetSystemDefaultLangID.
  std::uint16_t system_default = 0;
  // The system's user-interface language (platform/system_language.h).
  std::uint16_t ui_language = 0;
  // The language an earlier installation of the product was run in (the
  // "l" switch of its uninstall command); only consulted for script-driven
  // media (ScriptDriven 4).
  std::uint16_t installed_product = 0;
};

// Whether the medium offers `language`, exactly or through a variant of the
// same primary language; on a match through a variant, `language` becomes
// that variant. Variants tried, in this order: the primary language with the
// default sub-language (0x0807 -> 0x0407), then the first listed language
// with the same primary language. A variant listed in ExactMatchLanguages
// (or any variant when AllExactMatch is set) is only taken when asked for
// exactly. 0 is no language and is never supported.
bool LanguageSupported(const SetupSettings& s, std::uint16_t& language);

// Chooses the run's language and records where it came from. The first
// source that LanguageSupported accepts wins: the "l" switch (LanguageId;
// sets LanguageFromCommandLine), the installed product's language when
// ScriptDriven is 4 (sets LanguageFromInstalledProduct), then the user's,
// the system's and the user-interface language. Without a match the run
// uses DefaultLanguage as it stands, listed or not. Both flags are cleared
// first.
void ResolveLanguage(SetupSettings& s, const LanguageFacts& facts);

// Whether the user is to choose the language: not silent ("s", "auto"),
// EnableLangDlg set, the language came from neither the command line nor
// the installed product, and the medium does not offer exactly one
// language.
bool LanguageDialogWanted(const SetupSettings& s);

// The language an uninstall command was given with: the value of its first
// "l" switch (prefix match, so "/l1036" and "-L0x040c" both give 0x040c),
// read as a language id (hexadecimal after "0x", else decimal). 0 without
// such a switch or without a number.
std::uint16_t LanguageFromUninstallString(const string& uninstall_string);

// The name of a language's section in its string file: "0x" and four
// lower-case hexadecimal digits ("0x040c").
string LanguageKey(std::uint16_t language);

// The string file of `language` beside s.SetupIniPath ("...\0x040c.ini");
// empty unless the folder of s.SetupIniPath is a full path (is_full_path):
// with no setup.ini path, or a relative one, the file would be looked for in
// the current folder.
string LanguageFilePath(const SetupSettings& s, std::uint16_t language);

// The languages whose string tables are tried, in order, when the medium's
// string file has no text: the chosen language, its primary language with
// the default sub-language, then the neutral languages 0x0400 and 0
// (which let the resource loader pick the best table it has). Repeats are
// left out.
std::vector<std::uint16_t> BuiltInLanguageOrder(std::uint16_t chosen);

// The languages whose string files travel with the medium into the
// temporary folder: the supported languages, in the medium's order.
std::vector<std::uint16_t> MediumLanguages(const SetupSettings& s);

}  // namespace kx
