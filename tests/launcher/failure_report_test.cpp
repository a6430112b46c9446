#include "launcher/failure_report.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "launcher/launcher_services.h"
#include "launcher/setup.h"
#include "tests/testing/scoped_temp_dir.h"
#include "ui/ui_environment.h"

namespace kx {
namespace {

// Answers every step with success; texts are "text <id>".
class QuietServices : public LauncherServices {
 public:
  bool PrivilegedUser() override { return true; }
  string DefaultTempFolder(const SetupSettings&) override { return L"C:\\Temp\\"; }
  bool HasPayload(const string&) override { return false; }
  HRESULT ExtractPayload(CSetup&, string&) override { return S_OK; }
  HRESULT CopyDisk1FileToTemp(CSetup&, const string&) override { return S_OK; }
  int RelaunchFromTemp(CSetup&, const string&) override { return 0; }
  bool ReadSettings(SetupSettings&, const string&, const string&) override { return true; }
  std::vector<LANGID> MediumLanguages(const SetupSettings&) override { return {}; }
  string GetString(const SetupSettings& s, UINT id) override {
    return string(
        (L"text " + std::to_wstring(id) + L" " + std::to_wstring(s.ChosenLanguage)).c_str());
  }
  void ReportFailure(CSetup&, HRESULT, bool) override {}
  int ShowMessage(CSetup&, const string&, UINT) override { return IDOK; }
  HMODULE LoadEngine(const string&) override { return nullptr; }
  void ReadWebCredentials(CSetup&, const string&) override {}
  HRESULT RunEngine(CSetup&) override { return S_OK; }
  HRESULT ResumeEngine(CSetup&) override { return S_OK; }
  long EngineResultCode(CSetup&) override { return 0; }
  void NotifyEngineAbort(CSetup&) override {}
  bool TakeInstance(const string&) override { return true; }
  void ReleaseInstance() override {}
  void Sleep(DWORD) override {}
};

class FailureReportTest : public ::testing::Test {
 protected:
  FailureReportTest() : saved_(ui_environment()), setup(services) {}
  ~FailureReportTest() override { ui_environment() = saved_; }

  UiEnvironment saved_;
  QuietServices services;
  CSetup setup;
};

TEST_F(FailureReportTest, TheUsersLauncherIsThePackageThenTheOriginalThenTheRunningFile) {
  struct Row {
    bool package;
    const wchar_t* arguments;
    const wchar_t* first;
    const wchar_t* user_launcher;
  } rows[] = {
      {true, L" /s -package:\"C:\\Down loads\\setup.exe\" -f2x", L"C:\\Temp\\t\\setup.exe",
       L"C:\\Down loads\\setup.exe"},
      {true, L" -package:C:\\media\\setup.exe", L"", L"C:\\media\\setup.exe"},
      {true, L" /s", L"C:\\media\\setup.exe", L"C:\\media\\setup.exe"},
      {false, L" -package:C:\\ignored\\setup.exe", L"C:\\media\\setup.exe",
       L"C:\\media\\setup.exe"},
      {false, L"", L"", L"C:\\Temp\\t\\setup.exe"},
  };
  for (const Row& row : rows) {
    SetupSettings s;
    s.Package = row.package;
    s.CommandLineArguments = row.arguments;
    s.FirstLauncher = row.first;
    s.LauncherPath = L"C:\\Temp\\t\\setup.exe";
    EXPECT_EQ(UserLauncherPath(s).str(), row.user_launcher) << row.arguments;
  }
}

TEST_F(FailureReportTest, TheReportCarriesTheRecordedFailureAndTheRunsFacts) {
  SetupSettings& s = setup.Settings();
  s.ProductName = L"Foo";
  s.CompanyName = L"Acme";
  s.ProductGuid = L"{G}";
  s.LauncherPath = L"C:\\Temp\\t\\setup.exe";
  s.FirstLauncher = L"C:\\media\\setup.exe";
  s.InstallFromWeb = true;
  s.Auto = true;
  s.ResultFilePath = L"D:\\r.log";
  s.ErrorReportUrl = L"";
  setup.ErrorCode = -5005;
  setup.FailureMessage = L"The cabinet header is damaged.";
  EXPECT_THROW(setup.CheckStep(E_FAIL, 312, "/src/kx/launcher/engine.cpp", 88), StepAbort);

  const FailureReport r = FailureReportOf(setup, E_ACCESSDENIED);
  EXPECT_EQ(r.result_code, -5005);
  EXPECT_EQ(r.extended_code, E_ACCESSDENIED);
  EXPECT_EQ(r.source_file.str(), L"/src/kx/launcher/engine.cpp");
  EXPECT_EQ(r.line, 312);
  EXPECT_EQ(r.step_message.str(), L"The cabinet header is damaged.");
  EXPECT_EQ(r.vendor_name.str(), L"Acme");
  EXPECT_EQ(r.user_launcher.str(), L"C:\\media\\setup.exe");
  EXPECT_TRUE(r.web);
  EXPECT_TRUE(r.silent);
  EXPECT_EQ(r.result_file_option.str(), L"D:\\r.log");
  EXPECT_EQ(r.report_url_template.str(), kDefaultErrorReportUrl);

  // Without a recorded step the launcher's own module is named.
  CSetup fresh(services);
  const FailureReport plain = FailureReportOf(fresh, E_UNEXPECTED);
  EXPECT_EQ(plain.source_file.str(), CSetup::kSourceModule);
  EXPECT_EQ(plain.line, 0);
}

TEST_F(FailureReportTest, TheWindowsLearnTheRunsFacts) {
  SetupSettings& s = setup.Settings();
  s.Silent = true;
  s.ChosenLanguage = 0x040d;
  s.SetupIniPath = L"C:\\Temp\\t\\setup.ini";
  s.RtlLanguages = {0x040d};
  s.ProductName = L"Foo";
  ShareUiEnvironment(setup);
  const UiEnvironment& e = ui_environment();
  EXPECT_TRUE(e.silent);
  EXPECT_EQ(e.language, 0x040d);
  EXPECT_EQ(ui_language_file(0x040d).str(), L"C:\\Temp\\t\\0x040d.ini");
  EXPECT_EQ(e.rtl_languages, std::vector<std::uint16_t>{0x040d});
  EXPECT_EQ(e.product_name.str(), L"Foo");
  EXPECT_EQ(ui_string(2004).str(), L"text 2004 1037");
  // The lookups read the run's settings as they are when asked.
  s.SetupIniPath.clear();
  EXPECT_TRUE(ui_language_file(0x040d).empty());
}

TEST_F(FailureReportTest, ASilentRunsReportGoesBesideTheStartedLauncher) {
  testing::ScopedTempDir dir;
  SetupSettings& s = setup.Settings();
  s.Silent = true;
  s.LauncherPath = string(dir.file(L"temp\\setup.exe"));
  s.FirstLauncher = string(dir.file(L"setup.exe"));
  ReportRunFailure(setup, E_UNEXPECTED, false);
  EXPECT_EQ(setup.ErrorCode, -5001);
  const std::string log = testing::ReadBytes(dir.file(L"setup.log"));
  EXPECT_NE(log.find("[ResponseResult]\r\nResultCode=-5001\r\n"), std::string::npos) << log;
}

}  // namespace
}  // namespace kx
