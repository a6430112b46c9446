// The Windows side of the run's language: the languages the system
// reports, the language an earlier installation of the product was run in,
// the choice of the run's language from them, and every text the launcher
// shows, by string id, from the medium's string file of that language or
// else from the program's own string table.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/stringx.h"
#include "launcher/language.h"
#include "launcher/setup_settings.h"

namespace kx {

// --- The run's language -------------------------------------------------

// The uninstall entry of the product below HKEY_LOCAL_MACHINE (AllUsers) or
// HKEY_CURRENT_USER: "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\"
// followed by InstallGuid, or by ProductGuid when InstallGuid is empty.
// Empty when both are empty, or when the name holds a backslash.
string UninstallKeyPath(const SetupSettings& s);

// The language of the installed product: the "l" switch of the
// "UninstallString" value of its uninstall entry (see UninstallKeyPath and
// LanguageFromUninstallString); 0 when the entry, the value or the switch
// is missing.
std::uint16_t InstalledProductLanguage(const SetupSettings& s);

// The user's and the system's default languages, the user-interface
// language and, for script-driven media (ScriptDriven 4), the installed
// product's language.
LanguageFacts CurrentLanguageFacts(const SetupSettings& s);

// ResolveLanguage with the facts of this system; runs after reading the
// settings and again once the user has picked an installed instance.
void ResolveRunLanguage(SetupSettings& s);

// --- Texts by id ----------------------------------------------------------

// The text `id` of the string table of `module` in exactly `language`
// (FindResourceEx rules: the neutral languages 0 and 0x0400 let the loader
// choose among the tables the module has). Empty when that table is missing
// or holds no text under `id`, or when `id` is beyond 0xFFFF.
string ResourceString(HMODULE module, UINT id, std::uint16_t language);

// The text `id` of the program's own string tables for the run's language
// `chosen`, trying the languages of BuiltInLanguageOrder in turn; empty
// when none holds it.
string BuiltInString(HMODULE module, UINT id, std::uint16_t chosen);

// The text `id` in s.ChosenLanguage: the value of key `id` (decimal) in the
// section "0x<language>" of the string file beside s.SetupIniPath; when
// that gives nothing (no file, section, key or text), BuiltInString of
// `module`. Empty when neither has it; callers then use their own fallback.
string GetString(const SetupSettings& s, UINT id, HMODULE module);

}  // namespace kx
