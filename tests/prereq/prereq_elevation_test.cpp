#include "prereq/prereq_elevation.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/registry.h"
#include "prereq/KxPreReqDlg.h"
#include "prereq/prereq_resume_state.h"
#include "tests/prereq/dialog_driver.h"
#include "tests/testing/probe_support.h"
#include "tests/testing/registry_sandbox.h"
#include "tests/testing/scoped_temp_dir.h"
#include "tests/ui/ui_fixture.h"

namespace kx::prereq {
namespace {

using kx::testing::BoxAnswerer;

TEST(ElevatedArguments, QuoteByTheRuntimeRules) {
  const struct {
    const wchar_t* text;
    const wchar_t* quoted;
  } rows[] = {
      {L"", L"\"\""},           {L"A,B", L"\"A,B\""},           {L"C:\\a b\\", L"\"C:\\a b\\\\\""},
      {L"a\"b", L"\"a\\\"b\""}, {L"a\\\"b", L"\"a\\\\\\\"b\""}, {L"\\\\srv\\x", L"\"\\\\srv\\x\""},
  };
  for (const auto& r : rows) EXPECT_EQ(quoted_argument(string(r.text)).str(), r.quoted) << r.text;
  EXPECT_EQ(elevated_arguments(string(), string(), string()).str(), L" /runprerequisites\"\"");
  EXPECT_EQ(elevated_arguments(string(L"-l0x0409"), string(L"F1"), string(L"C:\\d\\")).str(),
            L"-l0x0409 /runprerequisites\"F1\" /debuglog\"C:\\d\\\\\"");
}

TEST(ElevatedArguments, OnlyZeroAndRebootPassThrough) {
  const struct {
    DWORD code;
    int result;
  } rows[] = {{0, 0}, {2, 9}, {7, 7}, {static_cast<DWORD>(-5001), 9}, {0x80042000, 9}, {1223, 9}};
  for (const auto& r : rows) EXPECT_EQ(elevated_result(r.code), r.result) << r.code;
}

// Starts kx_probe in place of the elevated copy, or refuses as told, and
// notes what it was asked and what the registry held at that moment.
class ProbeLauncher final : public elevation_launcher {
 public:
  unique_handle start(const string& program_, const string& arguments_, HWND owner_,
                      int show_) override {
    ++starts;
    program = program_.str();
    arguments = arguments_.str();
    owner = owner_;
    show = show_;
    index_at_start = registry_read_string(HKEY_CURRENT_USER,
                                          string(L"Software\\Microsoft\\Windows\\CurrentVersion"),
                                          string(L"%KX_PREREQ%-Demo"), KEY_READ, string(L"none"))
                         .str();
    if (refuse) {
      SetLastError(refuse);
      return unique_handle();
    }
    std::wstring command = L"\"" + kx::testing::ProbePath() + L"\" --sleep=400 --exit=" + exit_code;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
      return unique_handle();
    CloseHandle(pi.hThread);
    return unique_handle(pi.hProcess);
  }

  DWORD refuse = 0;
  std::wstring exit_code = L"0";
  int starts = 0;
  std::wstring program, arguments, index_at_start;
  HWND owner = nullptr;
  int show = -1;
};

// The main window's visibility, sampled while the copy runs.
HWND g_main = nullptr;
int g_hidden_samples = 0;
void CALLBACK sample(HWND, UINT, UINT_PTR, DWORD) {
  if (g_main && !IsWindowVisible(g_main)) ++g_hidden_samples;
}

class ElevationTest : public kx::testing::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    previous_ = set_elevation_launcher(&launcher_);
    CreateDirectoryW(dir_.file(L"KXSetupPrerequisites").c_str(), nullptr);
    cb_.settings.SourceFolder = string(dir_.path().c_str());
    cb_.settings.TempFolder = string(dir_.file(L"t\\").c_str());
    cb_.settings.ProductName = L"Demo";
    for (const wchar_t* name : {L"a", L"b"}) {
      const std::wstring path = dir_.file(std::wstring(L"KXSetupPrerequisites\\") + name + L".prq");
      kx::testing::WriteBytes(path, "<SetupPrereq><properties Id=\"x\"/></SetupPrereq>");
      prereq_selection_entry& e = selection_[static_cast<int>(selection_.size())];
      e.path = string(path.c_str());
    }
  }
  void TearDown() override {
    set_elevation_launcher(previous_);
    if (g_main) DestroyWindow(g_main);
    g_main = nullptr;
    UiTest::TearDown();
  }

  int show(const prereq_show_request& request) {
    kx::testing::RegistrySandbox sandbox;
    resume_state state(string(L"Demo"), string());
    state.open();
    KxPreReqDlg dialog(cb_, runner_, state, selection_);
    return dialog.Show(request);
  }
  static prereq_show_request elevated(int prompt_mode, bool hidden_only) {
    prereq_show_request r;
    r.prompt_mode = prompt_mode;
    r.hidden_only = hidden_only;
    r.needs_rights = true;
    r.needs_elevation = true;
    r.features = L"F";
    return r;
  }

  kx::testing::ScopedTempDir dir_;
  kx::testing::DialogCallback cb_;
  kx::testing::ScriptedRunner runner_;
  std::map<int, prereq_selection_entry> selection_;
  ProbeLauncher launcher_;
  elevation_launcher* previous_ = nullptr;
};

TEST_F(ElevationTest, TheCopysExitCodeDecidesAndTheMainWindowComesBack) {
  g_main = CreateWindowExW(0, L"STATIC", L"main", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                           nullptr, nullptr, nullptr);
  cb_.main_window = g_main;
  const struct {
    const wchar_t* code;
    int result;
  } rows[] = {{L"0", 0}, {L"2", 9}, {L"7", 7}, {L"0xFFFFEC77", 9}, {L"0x80042000", 9}};
  for (const auto& r : rows) {
    launcher_.exit_code = r.code;
    g_hidden_samples = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, sample);
    EXPECT_EQ(show(elevated(1, true)), r.result) << r.code;
    KillTimer(nullptr, timer);
    EXPECT_GT(g_hidden_samples, 0) << r.code;
    EXPECT_TRUE(IsWindowVisible(g_main)) << r.code;
  }
  EXPECT_EQ(launcher_.starts, 5);
  EXPECT_EQ(launcher_.arguments, L" /runprerequisites\"F\"");
  EXPECT_EQ(launcher_.index_at_start, L"-1");  // saved before the copy starts
  EXPECT_EQ(launcher_.owner, g_main);
  EXPECT_EQ(launcher_.show, SW_SHOWNORMAL);
  EXPECT_NE(launcher_.program.find(L".exe"), std::wstring::npos);
  EXPECT_TRUE(runner_.ran.empty());  // the copy installs, not this run
  EXPECT_TRUE(cb_.asked.empty());
}

TEST_F(ElevationTest, ARefusedPromptCancelsAndAFailedStartSaysSo) {
  launcher_.refuse = ERROR_CANCELLED;
  EXPECT_EQ(show(elevated(1, true)), 9);
  EXPECT_TRUE(cb_.asked.empty());
  launcher_.refuse = ERROR_FILE_NOT_FOUND;
  EXPECT_EQ(show(elevated(1, true)), 9);
  ASSERT_EQ(cb_.asked.size(), 1u);
  EXPECT_EQ(cb_.asked[0], L"The installation of a has failed. Setup will now exit.");
}

TEST_F(ElevationTest, TheElevatedCopyNeverStartsAnother) {
  cb_.settings.RunPrerequisitesOnly = true;
  EXPECT_EQ(show(elevated(1, true)), 9);
  EXPECT_EQ(show(elevated(0, true)), 9);
  EXPECT_EQ(launcher_.starts, 0);
  // With visible prerequisites it asks 2196; Retry tests the rights again
  // (Wine's token has them, so the dialog runs without elevation).
  cb_.answers = {IDRETRY};
  EXPECT_EQ(show(elevated(0, false)), 0);
  EXPECT_EQ(launcher_.starts, 0);
  EXPECT_EQ(runner_.ran.size(), 2u);  // this run installs both itself
}

TEST_F(ElevationTest, ShowPathsDecideBeforeAnyWindow) {
  const struct {
    bool silent, hidden_only, elevation;
    int prompt;
    const wchar_t* engine_line;
    int answer;  // to 2196
    int result, starts, asked;
  } rows[] = {
      {true, true, true, 1, L"", 0, 9, 0, 0},   // silent: never asks for rights
      {false, true, true, 0, L"", 0, 9, 0, 0},  // hidden, may not ask
      {false, true, true, 1, L"", 0, 0, 1, 0},  // hidden, asks through the copy
      {false, false, true, 0, L"", IDCANCEL, 9, 0, 1},
      {true, false, false, 1, L" EXECUTEMODE=None", 0, 6, 0, 0},
      {false, true, true, 1, L" executemode=none", 0, 6, 0, 0},
      {false, false, true, 0, L"/v\"EXECUTEMODE=None\"", 0, 6, 0, 0},
  };
  for (const auto& r : rows) {
    launcher_.starts = 0;
    cb_.asked.clear();
    cb_.answers = {r.answer};
    cb_.settings.Silent = r.silent;
    env().silent = r.silent;
    cb_.settings.CommandLineArguments = r.engine_line;
    prereq_show_request request = elevated(r.prompt, r.hidden_only);
    request.needs_elevation = r.elevation;
    EXPECT_EQ(show(request), r.result) << r.silent << r.hidden_only << r.prompt;
    EXPECT_EQ(launcher_.starts, r.starts) << r.silent << r.hidden_only << r.prompt;
    EXPECT_EQ(static_cast<int>(cb_.asked.size()), r.asked) << r.silent << r.hidden_only;
  }
}

// Clicks Install once the dialog is up.
void CALLBACK click_install(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND found = FindWindowW(L"#32770", nullptr);
  if (!found || !GetDlgItem(found, 1035)) return;
  KillTimer(nullptr, timer);
  PostMessageW(found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

TEST_F(ElevationTest, TheDialogShowsTheShieldAndInstallStartsTheCopy) {
  launcher_.exit_code = L"7";
  kx::testing::RowRecorder recorder;
  // Mode 2 asks 2196 like mode 0, then waits for Install when elevating.
  cb_.answers = {IDRETRY};
  SetTimer(nullptr, 0, 50, click_install);
  EXPECT_EQ(show(elevated(2, false)), 7);
  EXPECT_EQ(recorder.shields, 1);
  EXPECT_EQ(launcher_.starts, 1);
  EXPECT_EQ(recorder.rows[0], (std::vector<std::wstring>{L"Pending", L"Succeeded"}));
  // A prompt-mode-0 run that the user lets retry goes straight to the copy.
  cb_.answers = {IDRETRY};
  EXPECT_EQ(show(elevated(0, false)), 7);
  EXPECT_EQ(launcher_.starts, 2);
  ASSERT_EQ(cb_.asked.size(), 2u);
  EXPECT_EQ(cb_.asked[1],
            L"This setup requires administrative privileges that appear to be unavailable. Would "
            L"you like to try again?");
}

}  // namespace
}  // namespace kx::prereq
