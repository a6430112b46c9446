#include "launcher/settings_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "launcher/setup_settings.h"
#include "launcher/step_result.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

using Ids = std::vector<std::uint16_t>;

// Answers the system question as told and records the follow-up steps with
// what the settings held when each ran.
class RecordingContext : public SettingsContext {
 public:
  explicit RecordingContext(bool administrators = true) : administrators_(administrators) {}

  bool AdministratorsEnabled() override { return administrators_; }
  void DetectInstances(SetupSettings& s) override {
    calls.push_back(L"DetectInstances ig=" + s.InstallGuid.str());
  }
  void ResolveLanguage(SetupSettings& s) override {
    calls.push_back(L"ResolveLanguage l=" + std::to_wstring(s.LanguageId));
  }

  std::vector<std::wstring> calls;

 private:
  bool administrators_;
};

enum class Encoding { utf16le, ansi };

// Writes lines with CRLF ends, as the medium builder does: UTF-16LE with a
// byte-order mark, or the system's ANSI code page.
string WriteIni(const testing::ScopedTempDir& dir, const std::vector<std::wstring>& lines,
                Encoding encoding = Encoding::utf16le) {
  std::wstring text;
  for (const std::wstring& l : lines) text += l + L"\r\n";
  std::string bytes;
  if (encoding == Encoding::utf16le) {
    bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  } else {
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    bytes.resize(static_cast<size_t>(n));
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n,
                        nullptr, nullptr);
  }
  const std::wstring path = dir.file(L"setup.ini");
  EXPECT_TRUE(testing::WriteBytes(path, bytes));
  return string(path.c_str());
}

TEST(SettingsFileTest, ReadsAMediumsSetupIni) {
  testing::ScopedTempDir dir;
  const string path = WriteIni(dir, {L"[Startup]",
                                     L"Product=Quorvel Studio",
                                     L"ProductGUID={11111111-2222-3333-4444-5}",
                                     L"CompanyName=Kestrix",
                                     L"CompanyURL=https://kestrix.example",
                                     L"ErrorReportURL=https://r.example/e?c=%d&h=0x%x&t=%s",
                                     L"MediaFormat=1",
                                     L"LogMode=1",
                                     L"SmallProgress=Y",
                                     L"SplashTime=",
                                     L"CheckMD5=Y",
                                     L"CmdLine=",
                                     L"ShowPasswordDialog=N",
                                     L"ScriptDriven=4",
                                     L"Skin=blue",
                                     L"LauncherName=inst.exe",
                                     L"AllUsers=No",
                                     L"InstallGUID={GUID-FROM-INI}",
                                     L"",
                                     L"[Languages]",
                                     L"Default=0x0409",
                                     L"Supported=0x0409,0x0407,1036",
                                     L"RequireExactLangMatch=0x0404,0x0804",
                                     L"RTLLangs=0x0401,0x040d",
                                     L"",
                                     L"[0x0409]",
                                     L"0x0409=English",
                                     L"",
                                     L"[WINSERVER2019]",
                                     L"BuildMin=17763",
                                     L"BuildMax=*",
                                     L"",
                                     L"[KXSetupPrerequisites]",
                                     L"PreReq0=a.prq",
                                     L"PreReq1=b.prq"});
  SetupSettings s;
  RecordingContext context;
  ASSERT_TRUE(s.ReadSetupIni(path, context));
  EXPECT_EQ(s.SetupIniPath.str(), path.str());
  EXPECT_EQ(s.ScriptDriven, 4);
  EXPECT_EQ(s.ProductName.str(), L"Quorvel Studio");
  EXPECT_EQ(s.ProductGuid.str(), L"{11111111-2222-3333-4444-5}");
  EXPECT_EQ(s.CompanyName.str(), L"Kestrix");
  EXPECT_EQ(s.CompanyUrl.str(), L"https://kestrix.example");
  EXPECT_EQ(s.ErrorReportUrl.str(), L"https://r.example/e?c=%d&h=0x%x&t=%s");
  EXPECT_EQ(s.MediaFormat, 1);
  EXPECT_EQ(s.LogMode, 1);
  EXPECT_TRUE(s.SmallProgress);
  EXPECT_EQ(s.SplashTime, 5);  // empty counts as absent
  EXPECT_TRUE(s.CheckMD5);
  EXPECT_FALSE(s.ShowPasswordDialog);
  EXPECT_FALSE(s.AllUsers);
  EXPECT_EQ(s.SkinName.str(), L"blue");
  EXPECT_EQ(s.LauncherName.str(), L"inst.exe");
  EXPECT_EQ(s.InstallGuid.str(), L"{GUID-FROM-INI}");
  EXPECT_FALSE(s.CustomRetCode);
  EXPECT_TRUE(s.IniCommandLineArguments.empty());
  EXPECT_EQ(s.DefaultLanguage, 0x0409);
  EXPECT_FALSE(s.EnableLangDlg);
  EXPECT_EQ(s.SupportedLanguages, (Ids{0x0409, 0x0407, 1036}));
  EXPECT_EQ(s.ExactMatchLanguages, (Ids{0x0404, 0x0804}));
  EXPECT_FALSE(s.AllExactMatch);
  EXPECT_EQ(s.RtlLanguages, (Ids{0x0401, 0x040d}));
  EXPECT_TRUE(context.calls.empty());  // the follow-up steps belong to ReadSettings
}

TEST(SettingsFileTest, AbsentAndEmptyValuesTakeTheDefaults) {
  for (const bool administrators : {true, false}) {
    testing::ScopedTempDir dir;
    const string path = WriteIni(dir, {L"[Startup]", L"Product=", L"AllUsers=", L"CheckMD5=",
                                       L"LauncherName=", L"ErrorReportURL=", L"InstallGUID=",
                                       L"LogMode=", L"[Languages]", L"Default=", L"Supported="});
    SetupSettings s;
    s.InstallGuid = L"{FROM-IG-SWITCH}";
    RecordingContext context(administrators);
    ASSERT_TRUE(s.ReadSetupIni(path, context));
    const SetupSettings defaults;
    EXPECT_EQ(s.AllUsers, administrators);
    EXPECT_TRUE(s.ProductName.empty());
    EXPECT_TRUE(s.ProductGuid.empty());
    EXPECT_TRUE(s.CheckMD5);
    EXPECT_EQ(s.LogMode, 1);
    EXPECT_EQ(s.MediaFormat, 0);
    EXPECT_EQ(s.SplashTime, 5);
    EXPECT_EQ(s.LauncherName.str(), L"setup.exe");
    EXPECT_EQ(s.ErrorReportUrl.str(), defaults.ErrorReportUrl.str());
    EXPECT_TRUE(s.ErrorReportUrl.ends_with_i(
        L"/kxsetup/ProErrorCentral.asp?ErrorCode=%d : 0x%x&ErrorInfo=%s"));
    EXPECT_EQ(s.InstallGuid.str(), L"{FROM-IG-SWITCH}");
    EXPECT_EQ(s.DefaultLanguage, 9);
    EXPECT_TRUE(s.SupportedLanguages.empty());
    EXPECT_EQ(s.CustomRetCodeOnFail, -1);
  }
}

TEST(SettingsFileTest, OtherThanScriptDrivenStopsAfterTheProductCode) {
  testing::ScopedTempDir dir;
  const string path = WriteIni(
      dir, {L"[Startup]", L"ScriptDriven=3", L"Product=Old", L"ProductGUID={NOT-THIS}",
            L"ProductCode=X", L"SplashTime=9", L"LogMode=4", L"MediaFormat=2", L"CheckMD5=N",
            L"AllUsers=N", L"CustomRetCode=Y", L"CustomRetCodeOnFail=5", L"cmdline=/l1031 /s",
            L"EnableLangDlg=Y", L"[Languages]", L"Supported=0x0407"});
  SetupSettings s;
  RecordingContext context(true);
  ASSERT_TRUE(s.ReadSetupIni(path, context));
  EXPECT_EQ(s.ScriptDriven, 3);
  EXPECT_EQ(s.ProductName.str(), L"Old");
  EXPECT_EQ(s.ProductGuid.str(), L"X");
  EXPECT_EQ(s.SplashTime, 5);
  EXPECT_EQ(s.LogMode, 1);
  EXPECT_EQ(s.MediaFormat, 0);
  EXPECT_TRUE(s.CheckMD5);
  EXPECT_TRUE(s.AllUsers);  // the system's default
  EXPECT_FALSE(s.CustomRetCode);
  EXPECT_EQ(s.CustomRetCodeOnFail, -1);
  EXPECT_EQ(s.LanguageId, 0);  // cmdline not read
  EXPECT_FALSE(s.Silent);
  // The language part is read all the same.
  EXPECT_TRUE(s.EnableLangDlg);
  EXPECT_EQ(s.SupportedLanguages, (Ids{0x0407}));
}

TEST(SettingsFileTest, CustomReturnCodesAreReadOnlyWhenSwitchedOn) {
  struct Case {
    const wchar_t* custom;
    bool on;
    int success, fail, abort;
  };
  const Case cases[] = {
      {L"CustomRetCode=N", false, -1, -1, -1},
      {L"CustomRetCode=", false, -1, -1, -1},
      {L"CustomRetCode=yes", true, 0x10, 5, -1},
      {L"CustomRetCode=True", true, 0x10, 5, -1},
  };
  for (const Case& c : cases) {
    testing::ScopedTempDir dir;
    const string path = WriteIni(dir, {L"[Startup]", c.custom, L"CustomRetCodeOnSuccess=0x10",
                                       L"CustomRetCodeOnFail=5", L"CustomRetCodeOnAbort="});
    SetupSettings s;
    RecordingContext context;
    ASSERT_TRUE(s.ReadSetupIni(path, context)) << c.custom;
    EXPECT_EQ(s.CustomRetCode, c.on) << c.custom;
    EXPECT_EQ(s.CustomRetCodeOnSuccess, c.success) << c.custom;
    EXPECT_EQ(s.CustomRetCodeOnFail, c.fail) << c.custom;
    EXPECT_EQ(s.CustomRetCodeOnAbort, c.abort) << c.custom;
  }
}

TEST(SettingsFileTest, LanguageLists) {
  struct Case {
    const wchar_t* supported;
    const wchar_t* exact;
    Ids supported_ids;
    Ids exact_ids;
    bool all;
  };
  const Case cases[] = {
      {L"Supported=0x0409", L"RequireExactLangMatch=all", {0x0409}, {}, true},
      {L"Supported=0x0409", L"RequireExactLangMatch=ALL", {0x0409}, {}, true},
      {L"Supported=", L"RequireExactLangMatch=", {}, {}, false},
      {L"Supported=0x0409, 0x0407,,0X0409,abc,1031",
       L"RequireExactLangMatch= 0x0804 ",
       {0x0409, 0x0407},
       {0x0804},
       false},
      {L"Supported=1033,", L"RequireExactLangMatch=allx", {1033}, {}, false},
  };
  for (const Case& c : cases) {
    testing::ScopedTempDir dir;
    const string path = WriteIni(dir, {L"[Startup]", L"[Languages]", c.supported, c.exact});
    SetupSettings s;
    RecordingContext context;
    ASSERT_TRUE(s.ReadSetupIni(path, context));
    EXPECT_EQ(s.SupportedLanguages, c.supported_ids) << c.supported;
    EXPECT_EQ(s.ExactMatchLanguages, c.exact_ids) << c.exact;
    EXPECT_EQ(s.AllExactMatch, c.all) << c.exact;
  }
}

TEST(SettingsFileTest, ReadsAnAnsiFile) {
  testing::ScopedTempDir dir;
  const string path = WriteIni(
      dir, {L"[Startup]", L"Product=M\u00fcller Werkzeug", L"SmallProgress=1", L"MediaFormat=0x3"},
      Encoding::ansi);
  SetupSettings s;
  RecordingContext context;
  ASSERT_TRUE(s.ReadSetupIni(path, context));
  EXPECT_EQ(s.ProductName.str(), L"M\u00fcller Werkzeug");
  EXPECT_TRUE(s.SmallProgress);
  EXPECT_EQ(s.MediaFormat, 3);
}

TEST(SettingsFileTest, AnUnreadableFileChangesNothingButThePath) {
  testing::ScopedTempDir dir;
  const string missing(dir.file(L"setup.ini").c_str());
  const string malformed(dir.file(L"bad.ini").c_str());
  ASSERT_TRUE(testing::WriteBytes(malformed.str(), "Product=Before any section\r\n[Startup]\r\n"));
  for (const string& path : {missing, malformed}) {
    SetupSettings s;
    RecordingContext context(true);
    EXPECT_FALSE(s.ReadSettings(L"/s /l1031 /x", path, context)) << path.str();
    EXPECT_EQ(s.SetupIniPath.str(), path.str());
    EXPECT_FALSE(s.AllUsers);
    EXPECT_FALSE(s.Silent);
    EXPECT_EQ(s.LanguageId, 0);
    EXPECT_TRUE(s.CommandLineArguments.empty());
    EXPECT_TRUE(context.calls.empty());
  }
}

TEST(SettingsFileTest, CmdlineValueComesFirstAndTheRealCommandLineAppliesOnTop) {
  testing::ScopedTempDir dir;
  const string path = WriteIni(dir, {L"[Startup]", L"cmdline=/l1031 /v\"/qn\" /hide_splash"});

  SetupSettings s;
  RecordingContext context;
  ASSERT_TRUE(s.ReadSettings(L"/s /igX /v\"REBOOT=R\"", path, context));
  EXPECT_EQ(s.LanguageId, 1031);
  EXPECT_TRUE(s.HideSplash);
  EXPECT_TRUE(s.Silent);
  EXPECT_EQ(s.IniCommandLineArguments.str(), L"/v\"/qn\"");
  EXPECT_EQ(s.CommandLineArguments.str(), L" /v\"/qn\" /s /v\"REBOOT=R\"");
  // Instances first, then the language, each once, after both parses.
  const std::vector<std::wstring> expected = {L"DetectInstances ig=X", L"ResolveLanguage l=1031"};
  EXPECT_EQ(context.calls, expected);

  SetupSettings t;
  RecordingContext again;
  ASSERT_TRUE(t.ReadSettings(L"/L0x040c", path, again));
  EXPECT_EQ(t.LanguageId, 0x040c);
  EXPECT_EQ(t.CommandLineArguments.str(), L" /v\"/qn\"");

  testing::ScopedTempDir plain;
  SetupSettings u;
  RecordingContext third;
  ASSERT_TRUE(u.ReadSettings(L"  /hide_usd  ", WriteIni(plain, {L"[Startup]"}), third));
  EXPECT_TRUE(u.HideUsd);
  EXPECT_TRUE(u.CommandLineArguments.empty());
}

TEST(PrivilegeRequirementTest, AllUsersAsANumberNeedsAPrivilegedUser) {
  struct Case {
    const wchar_t* all_users;  // null: no key
    bool privileged;
    HRESULT expected;
  };
  const Case cases[] = {
      {L"AllUsers=1", false, kAdminInstalled},
      {L"AllUsers=1", true, S_OK},
      {L"AllUsers=2", false, kAdminInstalled},
      {L"AllUsers=Y", false, S_OK},
      {L"AllUsers=Yes", false, S_OK},
      {L"AllUsers=0", false, S_OK},
      {nullptr, false, S_OK},
  };
  for (const Case& c : cases) {
    testing::ScopedTempDir dir;
    std::vector<std::wstring> lines = {L"[Startup]", L"Product=P"};
    if (c.all_users) lines.push_back(c.all_users);
    SetupSettings s;
    s.SetupIniPath = WriteIni(dir, lines);
    EXPECT_EQ(CheckPrivilegeRequirement(s, c.privileged), c.expected)
        << (c.all_users ? c.all_users : L"(none)") << " privileged=" << c.privileged;
  }

  SetupSettings s;
  s.ParseSwitches(L"/show_err_msg_invalid_identity");
  EXPECT_EQ(CheckPrivilegeRequirement(s, true), kAdminInstalled);
}

}  // namespace
}  // namespace kx
