#include "launcher/settings_file.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/inifilex.h"
#include "launcher/command_line.h"
#include "launcher/step_result.h"
#include "platform/group_member.h"

namespace kx {

namespace {

constexpr const wchar_t* kStartup = L"Startup";
constexpr const wchar_t* kLanguages = L"Languages";

// A text value; an empty one counts as absent.
string read_string(const inifilex& ini, const wchar_t* section, const wchar_t* key,
                   const string& fallback) {
  const string value = ini.get_string(section, key, fallback);
  return value.empty() ? fallback : value;
}

string::view trim_blanks(string::view text) {
  constexpr const wchar_t* kBlanks = L" \t";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == string::view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// A comma-separated list of language ids, in file order and without
// repeats. Blanks around an item are allowed; items that name no language
// (empty, or reading as 0) are left out, so that an absent "l" switch (0)
// can never count as a supported language.
std::vector<std::uint16_t> language_list(const string& text) {
  std::vector<std::uint16_t> ids;
  const string::view all = text.as_view();
  std::size_t start = 0;
  while (start <= all.size()) {
    std::size_t end = all.find(L',', start);
    if (end == string::view::npos) end = all.size();
    const std::uint16_t id = ParseLanguageId(trim_blanks(all.substr(start, end - start)));
    if (id != 0 && std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    start = end + 1;
  }
  return ids;
}

// Joins two argument texts with one blank; either may be empty.
string join_arguments(const string& first, const string& second) {
  if (first.empty()) return second;
  if (second.empty()) return first;
  return first + L' ' + second;
}

}  // namespace

bool SetupSettings::ReadSetupIni(const string& path, SettingsContext& context) {
  SetupIniPath = path;
  inifilex ini;
  if (!ini.load(path, L"=", false)) return false;

  // Used for the uninstall lookups even when [Startup] stops early.
  AllUsers = context.AdministratorsEnabled();

  ScriptDriven = ini.get_int(kStartup, L"ScriptDriven", 4);
  ProductName = read_string(ini, kStartup, L"Product", L"");
  const bool script_driven = ScriptDriven == 4;
  ProductGuid = read_string(ini, kStartup, script_driven ? L"ProductGUID" : L"ProductCode", L"");
  if (script_driven) {
    MediaFormat = ini.get_int(kStartup, L"MediaFormat", 0);
    LogMode = ini.get_int(kStartup, L"LogMode", 1);
    SplashTime = ini.get_int(kStartup, L"SplashTime", 5);
    AllUsers = ini.get_bool(kStartup, L"AllUsers", AllUsers);
    SmallProgress = ini.get_bool(kStartup, L"SmallProgress", false);
    ShowPasswordDialog = ini.get_bool(kStartup, L"ShowPasswordDialog", false);
    CheckMD5 = ini.get_bool(kStartup, L"CheckMD5", true);
    CompanyName = read_string(ini, kStartup, L"CompanyName", L"");
    CompanyUrl = read_string(ini, kStartup, L"CompanyURL", L"");
    SkinName = read_string(ini, kStartup, L"Skin", L"");
    ErrorReportUrl = read_string(ini, kStartup, L"ErrorReportURL", kDefaultErrorReportUrl);
    InstallGuid = read_string(ini, kStartup, L"InstallGUID", InstallGuid);
    LauncherName = read_string(ini, kStartup, L"LauncherName", kDefaultLauncherName);
    CustomRetCode = ini.get_bool(kStartup, L"CustomRetCode", false);
    if (CustomRetCode) {
      CustomRetCodeOnSuccess = ini.get_int(kStartup, L"CustomRetCodeOnSuccess", -1);
      CustomRetCodeOnFail = ini.get_int(kStartup, L"CustomRetCodeOnFail", -1);
      CustomRetCodeOnAbort = ini.get_int(kStartup, L"CustomRetCodeOnAbort", -1);
    }
    // Launcher switches may be given here; the real command line is parsed
    // later and so applies on top of them.
    const string switches = read_string(ini, kStartup, L"cmdline", L"");
    if (!switches.empty()) IniCommandLineArguments = ParseSwitches(switches);
  }

  EnableLangDlg = ini.get_bool(kStartup, L"EnableLangDlg", false);
  DefaultLanguage = static_cast<std::uint16_t>(ini.get_int(kLanguages, L"Default", 9));
  SupportedLanguages = language_list(ini.get_string(kLanguages, L"Supported", L""));
  const string exact = ini.get_string(kLanguages, L"RequireExactLangMatch", L"");
  AllExactMatch = string(trim_blanks(exact.as_view())) == L"ALL";
  ExactMatchLanguages = AllExactMatch ? std::vector<std::uint16_t>() : language_list(exact);
  RtlLanguages = language_list(ini.get_string(kLanguages, L"RTLLangs", L""));
  return true;
}

bool SetupSettings::ReadSettings(const string& command_line, const string& ini_path,
                                 SettingsContext& context) {
  if (!ReadSetupIni(ini_path, context)) return false;
  const string rest = join_arguments(IniCommandLineArguments, ParseSwitches(command_line));
  if (!rest.empty()) CommandLineArguments = string(L" ") + rest;
  context.DetectInstances(*this);
  context.ResolveLanguage(*this);
  return true;
}

bool SystemSettingsContext::AdministratorsEnabled() {
  return group_member(true, true);
}

HRESULT CheckPrivilegeRequirement(const SetupSettings& s, bool privileged_user) {
  if (s.ShowErrMsgInvalidIdentity) return kAdminInstalled;
  if (s.SetupIniPath.empty()) return S_OK;
  const UINT all_users = GetPrivateProfileIntW(L"Startup", L"AllUsers", 0, s.SetupIniPath.c_str());
  return all_users != 0 && !privileged_user ? kAdminInstalled : S_OK;
}

}  // namespace kx
