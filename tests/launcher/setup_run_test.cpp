#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "launcher/launcher_services.h"
#include "launcher/settings_file.h"
#include "launcher/setup.h"
#include "launcher/setup_settings.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

class FakeSettingsContext : public SettingsContext {
 public:
  bool AdministratorsEnabled() override { return true; }
  void DetectInstances(SetupSettings&) override {}
  void ResolveLanguage(SetupSettings& s) override { s.ChosenLanguage = s.DefaultLanguage; }
};

// Records every call of the run, in order, and answers as configured.
class FakeServices : public LauncherServices {
 public:
  std::vector<std::wstring> calls;
  bool payload = false;
  bool instance_free = true;
  HMODULE engine = reinterpret_cast<HMODULE>(GetModuleHandleW(nullptr));
  HRESULT engine_result = S_OK;
  // Thrown by the engine step instead of its result, when set.
  std::function<void()> engine_throws;
  bool report_throws = false;
  // The thread's COM error description when the failure was reported.
  std::wstring reported_description;
  HRESULT copy_result = S_OK;
  HRESULT extract_result = S_OK;
  std::wstring failing_copy;
  long result_code = 0;
  int relaunch_code = 7;
  // The setup.ini that ReadSettings reads in place of the one asked for.
  std::wstring ini = L"[Startup]\r\nProduct=Test\r\n";
  testing::ScopedTempDir dir;
  std::vector<LANGID> languages;
  std::wstring relaunch_args;
  std::vector<std::wstring> messages;

  void log(const std::wstring& c) { calls.push_back(c); }

  bool PrivilegedUser() override { return true; }
  string DefaultTempFolder(const SetupSettings&) override {
    log(L"DefaultTempFolder");
    return L"C:\\Temp\\{run}";
  }
  bool HasPayload(const string&) override { return payload; }
  HRESULT ExtractPayload(CSetup&, string& command_line) override {
    log(L"ExtractPayload");
    command_line += L" -package:C:\\media\\setup.exe";
    return extract_result;
  }
  HRESULT CopyDisk1FileToTemp(CSetup&, const string& name) override {
    log(L"Copy " + name.str());
    return name == string(failing_copy) ? copy_result : S_OK;
  }
  int RelaunchFromTemp(CSetup&, const string& args) override {
    log(L"Relaunch");
    relaunch_args = args.str();
    return relaunch_code;
  }
  bool ReadSettings(SetupSettings& s, const string& command_line, const string& ini_path) override {
    log(L"ReadSettings " + ini_path.str());
    const std::wstring path = dir.file(L"setup.ini");
    std::string bytes("\xff\xfe");
    bytes.append(reinterpret_cast<const char*>(ini.data()), ini.size() * sizeof(wchar_t));
    testing::WriteBytes(path, bytes);
    FakeSettingsContext context;
    return s.ReadSettings(command_line, string(path), context);
  }
  std::vector<LANGID> MediumLanguages(const SetupSettings&) override { return languages; }
  string GetString(const SetupSettings&, UINT id) override {
    return id == 2009 ? string(L"admin text") : string();
  }
  void ReportFailure(CSetup&, HRESULT code, bool suppress) override {
    log(L"Report " + std::to_wstring(static_cast<unsigned long>(code)) +
        (suppress ? L" suppressed" : L""));
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && info) {
      BSTR text = nullptr;
      if (SUCCEEDED(info->GetDescription(&text)) && text) reported_description = text;
      SysFreeString(text);
      info->Release();
    }
    if (report_throws) throw std::bad_alloc();
  }
  int ShowMessage(CSetup&, const string& text, UINT) override {
    messages.push_back(text.str());
    return IDOK;
  }
  HMODULE LoadEngine(const string& path) override {
    log(L"LoadEngine " + path.str());
    return engine;
  }
  void ReadWebCredentials(CSetup&, const string&) override { log(L"Credentials"); }
  HRESULT RunEngine(CSetup&) override {
    log(L"RunEngine");
    if (engine_throws) engine_throws();
    return engine_result;
  }
  HRESULT ResumeEngine(CSetup&) override {
    log(L"ResumeEngine");
    return engine_result;
  }
  long EngineResultCode(CSetup&) override { return result_code; }
  void NotifyEngineAbort(CSetup&) override { log(L"EngineAbort"); }
  bool TakeInstance(const string&) override {
    log(L"TakeInstance");
    return instance_free;
  }
  void ReleaseInstance() override { log(L"ReleaseInstance"); }
  void Sleep(DWORD ms) override { log(L"Sleep " + std::to_wstring(ms)); }
  int prerequisite_result = 7;
  int RunPrerequisitePhase(CSetup&, const string& features) override {
    log(L"Prerequisites [" + features.str() + L"]");
    return prerequisite_result;
  }
};

// Runs a fresh CSetup; the last one is kept for the test to inspect.
int RunWith(FakeServices& f, const std::wstring& command_line, CSetup** keep = nullptr) {
  static std::unique_ptr<CSetup> last;
  last = std::make_unique<CSetup>(f);
  if (keep) *keep = last.get();
  return last->Run(nullptr, string(L"C:\\media\\setup.exe"), string(command_line));
}

const std::wstring kCopy = L" -tempdisk1folder:\"C:\\Temp\\{run}\" -media_path:\"C:\\media\\\"";

TEST(SetupRunTest, InstallPathWalksEveryStepInOrder) {
  FakeServices f;
  f.languages = {0x409, 0x407};
  f.result_code = 3010;
  EXPECT_EQ(RunWith(f, kCopy), 3010);
  const std::vector<std::wstring> expected = {L"Copy setup.ini",
                                              L"ReadSettings C:\\Temp\\{run}\\setup.ini",
                                              L"Copy 0x0409.ini",
                                              L"Copy 0x0407.ini",
                                              L"TakeInstance",
                                              L"Copy KXSetup.dll",
                                              L"LoadEngine C:\\Temp\\{run}\\KXSetup.dll",
                                              L"Credentials",
                                              L"RunEngine",
                                              L"ReleaseInstance"};
  EXPECT_EQ(f.calls, expected);
}

TEST(SetupRunTest, RelaunchPathAddsTheInternalSwitchesOnce) {
  FakeServices f;
  EXPECT_EQ(RunWith(f, L"/s"), 7);
  EXPECT_EQ(f.relaunch_args, L"/s -no_selfdeleter -KX_temp");
  EXPECT_EQ(f.calls.front(), L"DefaultTempFolder");
  EXPECT_EQ(f.calls.back(), L"Relaunch");

  FakeServices g;
  RunWith(g, L"/s -NO_SELFDELETER");
  EXPECT_EQ(g.relaunch_args, L"/s -NO_SELFDELETER");
}

TEST(SetupRunTest, TheRelaunchedCopyDoesNotWaitAgain) {
  FakeServices f;
  EXPECT_EQ(RunWith(f, L"/s -delayedstart:30 /v\"A=1  B=2\""), 7);
  EXPECT_EQ(f.calls.front(), L"Sleep 30000");
  EXPECT_EQ(f.relaunch_args, L"/s /v\"A=1  B=2\" -no_selfdeleter -KX_temp");

  // The copy, started with those arguments plus the relaunch switches,
  // goes straight to work.
  FakeServices copy;
  RunWith(copy, f.relaunch_args + kCopy);
  EXPECT_EQ(std::count_if(copy.calls.begin(), copy.calls.end(),
                          [](const std::wstring& c) { return c.starts_with(L"Sleep"); }),
            0);
}

TEST(SetupRunTest, ExtractAllKeepsTheFilesAndEndsWithZero) {
  FakeServices f;
  f.payload = true;
  CSetup* setup = nullptr;
  EXPECT_EQ(RunWith(f, L"-extract_all:C:\\out", &setup), 0);
  EXPECT_TRUE(setup->Cleanup().KeepFiles);
  EXPECT_EQ(f.calls.back(), L"ExtractPayload");
}

// Only a folder the run made itself goes at its end: one named on the
// command line was there before (a failed "extract_all:" into a folder of the
// user's would otherwise remove it, or wait ten seconds on it when full).
TEST(SetupRunTest, OnlyTheFolderTheRunMadeIsRecorded) {
  struct Case {
    const wchar_t* command_line;
    bool payload;
    HRESULT extract_result;
    std::vector<std::wstring> folders;
  };
  const Case cases[] = {
      {L"/s", false, S_OK, {L"C:\\Temp\\{run}\\"}},
      {L"/s", true, E_FAIL, {L"C:\\Temp\\{run}\\"}},
      {kCopy.c_str(), false, S_OK, {}},
      {L"/s -extract_all:C:\\out", true, E_FAIL, {}},
      {L"/s -extract_all:C:\\out", true, S_OK, {}},
      {L"/s -tempdisk1folder:C:\\mine", true, E_FAIL, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command_line);
    FakeServices f;
    f.payload = c.payload;
    f.extract_result = c.extract_result;
    CSetup* setup = nullptr;
    RunWith(f, c.command_line, &setup);
    std::vector<std::wstring> folders;
    for (const string& folder : setup->Cleanup().folders) folders.push_back(folder.str());
    EXPECT_EQ(folders, c.folders);
  }
}

TEST(SetupRunTest, FailuresEndWithTheirCodes) {
  struct Case {
    const wchar_t* what;
    HMODULE engine;
    HRESULT engine_result;
    int expected;
  };
  const Case cases[] = {
      {L"engine DLL missing", nullptr, S_OK, kErrorEngineDll},
      {L"engine step fails", GetModuleHandleW(nullptr), E_FAIL, kErrorGeneral},
      {L"user cancels", GetModuleHandleW(nullptr), kCancelled, static_cast<int>(kCancelled)},
  };
  for (const Case& c : cases) {
    FakeServices f;
    f.engine = c.engine;
    f.engine_result = c.engine_result;
    CSetup* setup = nullptr;
    EXPECT_EQ(RunWith(f, kCopy, &setup), c.expected) << c.what;
    EXPECT_EQ(f.calls.back(), L"ReleaseInstance") << c.what;
    const bool reported = std::find_if(f.calls.begin(), f.calls.end(), [](const auto& s) {
                            return s.rfind(L"Report", 0) == 0;
                          }) != f.calls.end();
    EXPECT_EQ(reported, c.engine_result != kCancelled) << c.what;
  }
}

// A user without the rights to maintain the product: nothing is installed,
// so the run must not end as a success, and a silent run leaves setup.log.
TEST(SetupRunTest, ThePrivilegeRefusalEndsWithItsCodeAndIsReportedWhenSilent) {
  const std::wstring custom = L"CustomRetCode=Y\r\nCustomRetCodeOnFail=1603\r\n";
  struct Case {
    const wchar_t* what;
    std::wstring switches;
    std::wstring ini_extra;
    int expected;
    bool reported;
  };
  const Case cases[] = {
      {L"with windows", L"", L"", static_cast<int>(kAdminInstalled), false},
      {L"silent", L" /s", L"", static_cast<int>(kAdminInstalled), true},
      {L"custom failure code", L" /s", custom, 1603, true},
  };
  for (const Case& c : cases) {
    FakeServices f;
    f.ini += c.ini_extra;
    f.engine_result = kAdminInstalled;
    CSetup* setup = nullptr;
    EXPECT_EQ(RunWith(f, kCopy + c.switches, &setup), c.expected) << c.what;
    EXPECT_EQ(setup->ErrorCode, static_cast<int>(kAdminInstalled)) << c.what;
    EXPECT_EQ(f.messages, std::vector<std::wstring>{L"admin text"}) << c.what;
    const bool reported =
        std::count(f.calls.begin(), f.calls.end(),
                   L"Report " + std::to_wstring(0x80042002ul) + L" suppressed") == 1;
    EXPECT_EQ(reported, c.reported) << c.what;
    EXPECT_EQ(f.calls.back(), L"ReleaseInstance") << c.what;
  }
}

// Exceptions that no step expected end like a failed step: reported as a
// general failure with their text, the engine told, the lock let go.
TEST(SetupRunTest, AnUnexpectedExceptionIsReportedAsAGeneralFailure) {
  const kx::win32_exception denied(ERROR_ACCESS_DENIED);
  struct Case {
    const wchar_t* what;
    std::function<void()> thrown;
    HRESULT code;
    std::wstring description;
  };
  const Case cases[] = {
      {L"length error", [] { throw std::length_error("basic_string::_M_create"); }, E_UNEXPECTED,
       L"basic_string::_M_create"},
      {L"no memory", [] { throw std::bad_alloc(); }, E_OUTOFMEMORY, L"std::bad_alloc"},
      {L"Win32 error", [denied] { throw denied; }, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED),
       denied.message()},
      {L"anything else", [] { throw 42; }, E_UNEXPECTED, L""},
  };
  for (const Case& c : cases) {
    FakeServices f;
    f.engine_throws = c.thrown;
    f.reported_description = L"(none)";
    CSetup* setup = nullptr;
    EXPECT_EQ(RunWith(f, kCopy, &setup), kErrorGeneral) << c.what;
    EXPECT_EQ(setup->RunFailure.code, c.code) << c.what;
    EXPECT_NE(setup->RunFailure.site, 0) << c.what;
    EXPECT_EQ(std::count(f.calls.begin(), f.calls.end(),
                         L"Report " + std::to_wstring(static_cast<unsigned long>(c.code))),
              1)
        << c.what;
    EXPECT_EQ(f.reported_description, c.description) << c.what;
    const std::vector<std::wstring> last(f.calls.end() - 3, f.calls.end());
    EXPECT_EQ(last[1], L"EngineAbort") << c.what;
    EXPECT_EQ(last[2], L"ReleaseInstance") << c.what;
  }
  EXPECT_FALSE(denied.message()[0] == L'\0') << "the system has a text for the error";

  // Also when the report itself gives out, the run ends with its failure code.
  FakeServices f;
  f.ini += L"CustomRetCode=Y\r\nCustomRetCodeOnFail=1603\r\n";
  f.engine_throws = [] { throw std::bad_alloc(); };
  f.report_throws = true;
  EXPECT_EQ(RunWith(f, kCopy), 1603);
}

TEST(SetupRunTest, CheckStepRecordsOnlyTheFirstFailure) {
  FakeServices f;
  CSetup setup(f);
  EXPECT_NO_THROW(setup.CheckStep(S_OK, 1));
  EXPECT_THROW(setup.CheckStep(5, 10, "a.cpp", 3), StepAbort);  // positive codes abort too
  EXPECT_THROW(setup.CheckStep(E_FAIL, 20), StepAbort);
  EXPECT_EQ(setup.RunFailure.code, 5);
  EXPECT_EQ(setup.RunFailure.site, 10);
  EXPECT_STREQ(setup.RunFailure.file, "a.cpp");
}

TEST(SetupRunTest, FailedLanguageCopyAbortsBeforeTheLock) {
  FakeServices f;
  f.languages = {0x409};
  f.failing_copy = L"0x0409.ini";
  f.copy_result = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  CSetup* setup = nullptr;
  EXPECT_EQ(RunWith(f, kCopy, &setup), kErrorGeneral);
  EXPECT_EQ(setup->RunFailure.code, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(std::count(f.calls.begin(), f.calls.end(), L"TakeInstance"), 0);
}

TEST(SetupRunTest, AMissingEngineEndsWithTheEngineCodeAlsoWhenItsCopyFails) {
  FakeServices f;
  f.failing_copy = L"KXSetup.dll";
  f.copy_result = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  CSetup* setup = nullptr;
  EXPECT_EQ(RunWith(f, kCopy, &setup), kErrorEngineDll);
  EXPECT_EQ(setup->RunFailure.site, 239);
  EXPECT_EQ(std::count(f.calls.begin(), f.calls.end(), L"LoadEngine C:\\Temp\\{run}\\KXSetup.dll"),
            0);
}

TEST(SetupRunTest, SecondInstanceShowsTheFallbackTextAndEndsWithZero) {
  FakeServices f;
  f.instance_free = false;
  EXPECT_EQ(RunWith(f, kCopy), 0);
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_EQ(f.messages[0].rfind(L"Another instance of this setup is already running.", 0), 0u);
  EXPECT_EQ(std::count(f.calls.begin(), f.calls.end(), L"RunEngine"), 0);
}

TEST(SetupRunTest, TestSwitchesAndDelay) {
  FakeServices f;
  EXPECT_EQ(RunWith(f, kCopy + L" -show_err_dlg"), kErrorGeneral);
  EXPECT_NE(std::find(f.calls.begin(), f.calls.end(), L"Report " + std::to_wstring(0x8000FFFFul)),
            f.calls.end());

  FakeServices g;
  EXPECT_EQ(RunWith(g, kCopy + L" -show_err_msg"), 0);
  EXPECT_EQ(g.calls.back(), L"Report " + std::to_wstring(0x8000FFFFul) + L" suppressed");

  FakeServices h;
  RunWith(h, kCopy + L" -delayedstart:3");
  EXPECT_EQ(h.calls.front(), L"Sleep 3000");
}

TEST(SetupRunTest, ResumeAfterRebootUsesTheResumeStep) {
  FakeServices f;
  RunWith(f, kCopy + L" -reboot");
  EXPECT_EQ(std::count(f.calls.begin(), f.calls.end(), L"ResumeEngine"), 1);
  EXPECT_EQ(std::count(f.calls.begin(), f.calls.end(), L"RunEngine"), 0);
}

TEST(SetupRunTest, TheElevatedCopyRunsOnlyThePrerequisites) {
  // What a parent hands its elevated copy, payload or not: no lock, no
  // engine, no relaunch, and the phase's own result as the exit code.
  for (const bool payload : {false, true}) {
    for (const int result : {0, 2, 7}) {
      FakeServices f;
      f.payload = payload;
      f.languages = {0x409};
      f.prerequisite_result = result;
      CSetup* setup = nullptr;
      EXPECT_EQ(RunWith(f,
                        L"-media_path:\"C:\\m dir\\\" -package:\"C:\\u\\setup.exe\" -l0x0409 "
                        L"/runprerequisites\"A,B\" /debuglog\"C:\\log dir\\\\\"",
                        &setup),
                result);
      const std::vector<std::wstring> expected = {L"DefaultTempFolder", L"Copy setup.ini",
                                                  L"ReadSettings C:\\Temp\\{run}\\setup.ini",
                                                  L"Copy 0x0409.ini", L"Prerequisites [A,B]"};
      EXPECT_EQ(f.calls, expected);
      EXPECT_EQ(setup->Settings().SourceFolder.str(), L"C:\\m dir\\");
      EXPECT_EQ(setup->DebugLogPath().str(), L"C:\\log dir\\");
      // The engine never hears of the copy's switches.
      EXPECT_EQ(setup->Settings().CommandLineArguments.find(L"prerequisites"), string::npos);
      EXPECT_EQ(setup->Settings().CommandLineArguments.find(L"debuglog"), string::npos);
    }
  }
}

TEST(SetupRunTest, TheElevatedCopyIsToldTheMediumTheLauncherAndTheLanguage) {
  FakeServices f;
  f.languages = {0x407};
  f.ini = L"[Languages]\r\nDefault=0x0407\r\nSupported=0x0407\r\n";
  CSetup* setup = nullptr;
  RunWith(f, kCopy + L" -KX_OriginalLauncher:\"C:\\first\\setup.exe\"", &setup);
  EXPECT_EQ(setup->RelaunchArguments().str(),
            L"-media_path:\"C:\\media\\\" -package:\"C:\\first\\setup.exe\" -l0x0407");
}

}  // namespace
}  // namespace kx
