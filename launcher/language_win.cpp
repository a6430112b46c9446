#include "launcher/language_win.h"

#include <string>

#include "base/inifilex.h"
#include "launcher/installed_instances.h"
#include "platform/registry.h"
#include "platform/system_language.h"

namespace kx {

namespace {

constexpr UINT kStringsPerBlock = 16;
constexpr UINT kLargestStringId = 0xFFFF;

}  // namespace

string UninstallKeyPath(const SetupSettings& s) {
  // Empty for an empty name or one with a backslash (an "ig" value such as
  // "{x}\\Sub"), which would lead into the uninstall key or a nested key.
  return UninstallEntryPath(s.InstallGuid.empty() ? s.ProductGuid : s.InstallGuid);
}

std::uint16_t InstalledProductLanguage(const SetupSettings& s) {
  const string path = UninstallKeyPath(s);
  if (path.empty()) return 0;
  const HKEY root = s.AllUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  const string command =
      registry_read_string(root, path, KXT("UninstallString"), KEY_READ, string());
  return LanguageFromUninstallString(command);
}

LanguageFacts CurrentLanguageFacts(const SetupSettings& s) {
  LanguageFacts facts;
  facts.user_default = GetUserDefaultLangID();
  facts.system_default = GetSystemDefaultLangID();
  facts.ui_language = system_ui_language();
  // Only script-driven media look at the earlier installation; the others
  // need not touch the registry.
  if (s.ScriptDriven == 4) facts.installed_product = InstalledProductLanguage(s);
  return facts;
}

void ResolveRunLanguage(SetupSettings& s) {
  ResolveLanguage(s, CurrentLanguageFacts(s));
}

string ResourceString(HMODULE module, UINT id, std::uint16_t language) {
  if (id > kLargestStringId) return string();
  // Strings live in blocks of sixteen; block n + 1 holds ids 16n to 16n + 15,
  // each as a character count followed by that many characters.
  const HRSRC found =
      FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / kStringsPerBlock + 1), language);
  if (!found) return string();
  const HGLOBAL loaded = LoadResource(module, found);
  const auto* data = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
  if (!data) return string();
  const size_t size = SizeofResource(module, found) / sizeof(WCHAR);

  // Every count is checked against the block's size: a damaged block must
  // not make the walk read past it.
  size_t at = 0;
  for (UINT skip = id % kStringsPerBlock; skip > 0; --skip) {
    if (at >= size) return string();
    at += 1 + data[at];
  }
  if (at >= size) return string();
  const size_t length = data[at];
  if (length > size - at - 1) return string();
  return string(data + at + 1, length);
}

string BuiltInString(HMODULE module, UINT id, std::uint16_t chosen) {
  for (std::uint16_t language : BuiltInLanguageOrder(chosen)) {
    string text = ResourceString(module, id, language);
    if (!text.empty()) return text;
  }
  return string();
}

string GetString(const SetupSettings& s, UINT id, HMODULE module) {
  const string path = LanguageFilePath(s, s.ChosenLanguage);
  if (!path.empty()) {
    inifilex file;
    // A file that is cut short still serves the texts read before the
    // damage; a missing one serves none.
    file.load(path, KXT("="), false);
    string text = file.get_string(LanguageKey(s.ChosenLanguage),
                                  string(std::to_wstring(id).c_str()), string());
    if (!text.empty()) return text;
  }
  return BuiltInString(module, id, s.ChosenLanguage);
}

}  // namespace kx
