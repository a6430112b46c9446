#include "launcher/language.h"

#include <algorithm>

#include "base/path.h"
#include "launcher/command_line.h"

namespace kx {

namespace {

using LanguageList = std::vector<std::uint16_t>;

constexpr std::uint16_t kPrimaryMask = 0x3FF;
constexpr std::uint16_t kDefaultSubLanguage = 0x400;

bool Contains(const LanguageList& list, std::uint16_t language) {
  return std::find(list.begin(), list.end(), language) != list.end();
}

// A variant of the asked language may stand in for it unless the medium
// wants that variant only when it is asked for by its own id.
bool MayStandIn(const SetupSettings& s, std::uint16_t variant) {
  return !s.AllExactMatch && !Contains(s.ExactMatchLanguages, variant);
}

std::uint16_t PrimaryWithDefaultSub(std::uint16_t language) {
  return static_cast<std::uint16_t>((language & kPrimaryMask) | kDefaultSubLanguage);
}

}  // namespace

bool LanguageSupported(const SetupSettings& s, std::uint16_t& language) {
  // 0 means "not given" (no "l" switch, no installed product), never a
  // language to match against a "0" that a medium may list by mistake.
  if (language == 0) return false;
  const LanguageList& supported = s.SupportedLanguages;
  if (Contains(supported, language)) return true;

  const std::uint16_t primary = language & kPrimaryMask;
  const std::uint16_t preferred = PrimaryWithDefaultSub(language);
  if (Contains(supported, preferred) && MayStandIn(s, preferred)) {
    language = preferred;
    return true;
  }
  for (std::uint16_t candidate : supported) {
    if ((candidate & kPrimaryMask) == primary && MayStandIn(s, candidate)) {
      language = candidate;
      return true;
    }
  }
  return false;
}

void ResolveLanguage(SetupSettings& s, const LanguageFacts& facts) {
  s.LanguageFromCommandLine = false;
  s.LanguageFromInstalledProduct = false;

  std::uint16_t language = s.LanguageId;
  if (LanguageSupported(s, language)) {
    s.ChosenLanguage = language;
    s.LanguageFromCommandLine = true;
    return;
  }
  language = s.ScriptDriven == 4 ? facts.installed_product : 0;
  if (LanguageSupported(s, language)) {
    s.ChosenLanguage = language;
    s.LanguageFromInstalledProduct = true;
    return;
  }
  for (std::uint16_t system : {facts.user_default, facts.system_default, facts.ui_language}) {
    if (LanguageSupported(s, system)) {
      s.ChosenLanguage = system;
      return;
    }
  }
  s.ChosenLanguage = s.DefaultLanguage;
}

bool LanguageDialogWanted(const SetupSettings& s) {
  return !s.Silent && !s.Auto && s.EnableLangDlg && !s.LanguageFromCommandLine &&
         !s.LanguageFromInstalledProduct && s.SupportedLanguages.size() != 1;
}

std::uint16_t LanguageFromUninstallString(const string& uninstall_string) {
  if (uninstall_string.empty()) return 0;
  CommandLine line(uninstall_string);
  string value;
  if (!line.FindSwitch(KXT("l"), &value)) return 0;
  return ParseLanguageId(value.as_view());
}

string LanguageKey(std::uint16_t language) {
  constexpr char kDigits[] = "0123456789abcdef";
  string key = KXT("0x");
  for (int shift = 12; shift >= 0; shift -= 4) key += xchar(kDigits[(language >> shift) & 0xF]);
  return key;
}

string LanguageFilePath(const SetupSettings& s, std::uint16_t language) {
  const string folder = path_directory(s.SetupIniPath);
  if (!is_full_path(folder.as_view())) return string();
  return path_join(folder, LanguageKey(language) + KXT(".ini"));
}

std::vector<std::uint16_t> BuiltInLanguageOrder(std::uint16_t chosen) {
  // The second entry keeps the primary language: adding the default
  // sub-language bit to a variant such as 0x0807 would name a third
  // language (0x0c07) instead of the primary one (0x0407).
  LanguageList order;
  for (std::uint16_t language :
       {chosen, PrimaryWithDefaultSub(chosen), kDefaultSubLanguage, std::uint16_t{0}}) {
    if (!Contains(order, language)) order.push_back(language);
  }
  return order;
}

std::vector<std::uint16_t> MediumLanguages(const SetupSettings& s) {
  return s.SupportedLanguages;
}

}  // namespace kx
