#include "platform/process_launch.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <atomic>
#include <thread>

#include "platform/error_record.h"
#include "platform/process_table.h"
#include "tests/testing/probe_support.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

using testing::ProbeExited;
using testing::ProbePath;
using testing::ProbePid;
using testing::ProbeRecord;
using testing::ProbeRuns;

constexpr DWORD kLongWait = 60000;

std::wstring Quoted(const std::wstring& s) {
  return L"\"" + s + L"\"";
}

bool Running(HANDLE process) {
  return WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

// launch with plain wide strings, hidden.
int Launch(const std::wstring& program, const std::wstring& arguments, const std::wstring& verb,
           const std::wstring& folder, unsigned flags, DWORD timeout_ms, DWORD creation = 0) {
  return launch(string(program), string(arguments), string(verb), string(folder), flags, timeout_ms,
                SW_HIDE, creation);
}

// Releases probe processes (by creating their --wait-for files) from a
// thread of its own while the test's thread is inside launch. A step waits
// until `runs` probe runs have started and run number `gone` has logged its
// exit, then
// gives a launch that wrongly stopped waiting a moment to return, and only
// then counts the release and creates the file. A launch that returns before
// a release therefore sees a count too small.
class Releaser {
 public:
  struct Step {
    size_t runs, gone;
    std::wstring file;
  };
  Releaser(std::wstring log, std::vector<Step> steps)
      : log_(std::move(log)), steps_(std::move(steps)), thread_([this] { Run(); }) {}
  ~Releaser() {
    stop_ = true;
    thread_.join();
  }
  // How many steps have released their file.
  int released() const { return released_; }

 private:
  void Run() {
    for (const Step& step : steps_) {
      for (;;) {
        if (stop_) return;
        const auto runs = ProbeRuns(log_);
        if (runs.size() >= step.runs && ProbeExited(log_, ProbePid(runs[step.gone]))) break;
        Sleep(20);
      }
      Sleep(300);
      ++released_;
      testing::WriteBytes(step.file, "go");
    }
  }

  std::wstring log_;
  std::vector<Step> steps_;
  std::atomic<bool> stop_{false};
  std::atomic<int> released_{0};
  std::thread thread_;
};

class ProcessLaunchTest : public ::testing::Test {
 protected:
  // Wine starts its desktop process (explorer.exe, which lives as long as
  // the Wine session) from whichever process first needs a desktop, such as
  // the console host of a probe started through the shell; it would then
  // count as that probe's descendant. Asking for the desktop here makes it
  // this test program's child instead.
  void SetUp() override { ASSERT_TRUE(GetDesktopWindow()); }

  // No probe may outlive its test, even a failed one.
  void TearDown() override {
    testing::EndLoggedProbes(Log(), {L"kx_probe.exe", L"kx probe.exe", L"PSTORES.EXE"});
  }

  std::wstring Log() const { return dir_.file(L"probe.log"); }
  std::wstring LogArg() const { return L"--log=" + Quoted(Log()); }

  std::vector<ProbeRecord> WaitForRuns(size_t n) const {
    return testing::WaitForProbeRuns(Log(), n);
  }

  testing::ScopedTempDir dir_;
};

TEST_F(ProcessLaunchTest, PassesWholeExitCodesOn) {
  for (DWORD code : {0ul, 1ul, 3010ul, 0xC0000005ul, 0xFFFFFFFFul}) {
    wchar_t arg[32];
    swprintf(arg, 32, L"--exit=0x%lx", code);
    const int r = Launch(ProbePath(), arg, L"", L"", wait_process, kLongWait);
    EXPECT_EQ(r, launch_ok);
    EXPECT_EQ(last_launch().exit_code, code);
    EXPECT_TRUE(last_launch().handle);
    EXPECT_NE(last_launch().id, 0u);
  }
}

TEST_F(ProcessLaunchTest, QuotesAProgramPathWithBlanksAndRunsInTheFolder) {
  const std::wstring folder = dir_.file(L"with blank");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring program = folder + L"\\kx probe.exe";
  ASSERT_TRUE(CopyFileW(ProbePath().c_str(), program.c_str(), FALSE));

  ASSERT_EQ(Launch(program, LogArg() + L" --cwd --exit=7", L"", folder, wait_process, kLongWait),
            launch_ok);
  EXPECT_EQ(last_launch().exit_code, 7u);
  const auto records = ProbeRuns(Log());
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].at("cmdline"), Quoted(program) + L" " + LogArg() + L" --cwd --exit=7");
  EXPECT_EQ(records[0].at("cwd"), folder);
  EXPECT_EQ(ProbePid(records[0]), last_launch().id);
}

TEST_F(ProcessLaunchTest, StartsThroughTheShellWithParametersIntact) {
  // The probe rejects unknown arguments, so "two words" must reach it as one
  // argument after "--", where it is only echoed in the command line.
  const std::wstring shell_args = LogArg() + L" --exit=1641 -- \"two words\"";
  ASSERT_EQ(
      Launch(ProbePath(), shell_args, L"open", dir_.path(), launch_shell | wait_process, kLongWait),
      launch_ok);
  EXPECT_EQ(last_launch().exit_code, 1641u);
  EXPECT_NE(last_launch().id, 0u);
  const auto runs = ProbeRuns(Log());
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_NE(runs[0].at("cmdline").find(L" -- \"two words\""), std::wstring::npos);
  EXPECT_EQ(ProbePid(runs[0]), last_launch().id);
}

TEST_F(ProcessLaunchTest, WithoutWaitFlagsReturnsAtOnceWithTheProcessRunning) {
  const std::wstring release = dir_.file(L"release");
  ASSERT_EQ(
      Launch(ProbePath(), LogArg() + L" --wait-for=" + Quoted(release), L"", L"", 0, kLongWait),
      launch_ok);
  EXPECT_EQ(last_launch().exit_code, static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_TRUE(Running(last_launch().handle.get()));
  testing::WriteBytes(release, "go");
  EXPECT_EQ(wait_for_process(last_launch().handle.get(), kLongWait), 0u);
  EXPECT_EQ(last_launch().exit_code, 0u);
}

TEST_F(ProcessLaunchTest, TimeOutGivesMinusThreeAndTheProcessGoesOn) {
  const std::wstring release = dir_.file(L"release");
  EXPECT_EQ(Launch(ProbePath(), LogArg() + L" --wait-for=" + Quoted(release) + L" --exit=5", L"",
                   L"", wait_process, 3000),
            launch_timed_out);
  EXPECT_EQ(last_launch().exit_code, static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_TRUE(Running(last_launch().handle.get()));
  EXPECT_EQ(wait_for_process(last_launch().handle.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  testing::WriteBytes(release, "go");
  EXPECT_EQ(wait_for_process(last_launch().handle.get(), kLongWait), 0u);
  EXPECT_EQ(last_launch().exit_code, 5u);
}

TEST_F(ProcessLaunchTest, MissingProgramGivesMinusOneAndKeepsTheError) {
  const std::wstring missing = dir_.file(L"missing.exe");
  ASSERT_EQ(Launch(ProbePath(), L"--exit=4", L"", L"", wait_process, kLongWait), launch_ok);
  record_error(0);
  EXPECT_EQ(Launch(missing, L"", L"", L"", wait_process, kLongWait), launch_not_started);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(last_error_record().code, static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(last_error_record().path.str(), missing);
  EXPECT_FALSE(last_launch().handle);
  EXPECT_EQ(last_launch().id, 0u);
  EXPECT_EQ(last_launch().exit_code, 0u);

  EXPECT_EQ(Launch(missing, L"", L"open", L"", launch_shell | wait_process, kLongWait,
                   SEE_MASK_FLAG_NO_UI),
            launch_not_started);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// The launched probe starts a child that waits for a release file and ends at
// once; whether launch waits for the child depends on the flags.
class ChildWaitTest : public ProcessLaunchTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(ChildWaitTest, WaitsForTheChildOfAProgramThatEndsAtOnce) {
  const std::wstring release = dir_.file(L"release");
  const std::wstring args =
      LogArg() + L" --spawn -- " + LogArg() + L" --wait-for=" + Quoted(release) + L" --exit=3";
  Releaser releaser(Log(), {{2, 0, release}});
  EXPECT_EQ(Launch(ProbePath(), args, L"", L"", GetParam() | launch_shell, kLongWait), launch_ok);
  EXPECT_EQ(releaser.released(), 1) << "launch returned before the child was released";
  const auto runs = ProbeRuns(Log());
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_TRUE(ProbeExited(Log(), ProbePid(runs[1])));
  EXPECT_EQ(last_launch().exit_code, 0u);  // the launched program's own code
}

TEST_P(ChildWaitTest, WaitsForAGrandchildWhileItsParentIsAlive) {
  const std::wstring release_child = dir_.file(L"release_child");
  const std::wstring release_grandchild = dir_.file(L"release_grandchild");
  const std::wstring grandchild = LogArg() + L" --wait-for=" + Quoted(release_grandchild);
  const std::wstring child =
      LogArg() + L" --spawn --wait-for=" + Quoted(release_child) + L" -- " + grandchild;
  const std::wstring root = LogArg() + L" --spawn -- " + child;
  Releaser releaser(Log(), {{3, 0, release_child}, {3, 1, release_grandchild}});
  EXPECT_EQ(Launch(ProbePath(), root, L"", L"", GetParam(), kLongWait), launch_ok);
  EXPECT_EQ(releaser.released(), 2) << "launch returned before the grandchild was released";
  const auto runs = ProbeRuns(Log());
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_TRUE(ProbeExited(Log(), ProbePid(runs[2])));
}

INSTANTIATE_TEST_SUITE_P(ChildrenAndDescendants, ChildWaitTest,
                         ::testing::Values(wait_children, wait_descendants));

TEST_F(ProcessLaunchTest, FlagOneDoesNotWaitForTheChild) {
  const std::wstring release = dir_.file(L"release");
  const std::wstring args =
      LogArg() + L" --spawn -- " + LogArg() + L" --wait-for=" + Quoted(release);
  ASSERT_EQ(Launch(ProbePath(), args, L"", L"", wait_process, kLongWait), launch_ok);
  const auto runs = WaitForRuns(2);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_FALSE(ProbeExited(Log(), ProbePid(runs[1])));
  EXPECT_TRUE(testing::ProcessRunning(ProbePid(runs[1])));
}

TEST_F(ProcessLaunchTest, NeverWaitsForAChildNamedPstores) {
  const std::wstring release = dir_.file(L"release");
  const std::wstring copy = dir_.file(L"PSTORES.EXE");
  const std::wstring args = LogArg() + L" --spawn --as=" + Quoted(copy) + L" -- " + LogArg() +
                            L" --wait-for=" + Quoted(release);
  for (unsigned flags : {wait_children, wait_descendants}) {
    ASSERT_EQ(Launch(ProbePath(), args, L"", L"", flags, kLongWait), launch_ok);
    const auto runs = WaitForRuns(2);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_TRUE(runs[1].at("cmdline").find(L"PSTORES.EXE") != std::wstring::npos);
    EXPECT_FALSE(ProbeExited(Log(), ProbePid(runs[1])));
    EXPECT_TRUE(testing::ProcessRunning(ProbePid(runs[1])));
    testing::EndLoggedProbes(Log(), {L"PSTORES.EXE"});
    ASSERT_TRUE(DeleteFileW(Log().c_str()));
  }
}

TEST_F(ProcessLaunchTest, WaitsOnTheUserInterfaceThreadDispatchMessages) {
  // The probe ends only when the window procedure, run by the wait's message
  // dispatch, creates its release file; it also asks to quit, which must
  // reach the thread's own loop after the wait.
  static std::wstring release;
  release = dir_.file(L"release");
  WNDCLASSW wc{};
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_APP) {
      testing::WriteBytes(release, "go");
      PostQuitMessage(9);
      return 0;
    }
    return DefWindowProcW(h, m, w, l);
  };
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"kx_launch_test_window";
  ASSERT_TRUE(RegisterClassW(&wc));
  HWND window = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              wc.hInstance, nullptr);
  ASSERT_TRUE(window);
  std::thread poster([window] {
    Sleep(200);
    PostMessageW(window, WM_APP, 0, 0);
  });
  const int r = Launch(ProbePath(), LogArg() + L" --wait-for=" + Quoted(release), L"", L"",
                       wait_process, kLongWait);
  poster.join();
  EXPECT_EQ(r, launch_ok);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 9u);
  DestroyWindow(window);
  UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

TEST_F(ProcessLaunchTest, NoWaitWithoutFlagOneOrWithZeroTimeOut) {
  const std::wstring release = dir_.file(L"release");
  ASSERT_EQ(
      Launch(ProbePath(), LogArg() + L" --wait-for=" + Quoted(release), L"", L"", 0, kLongWait),
      launch_ok);
  HANDLE h = last_launch().handle.get();
  const DWORD id = last_launch().id;
  EXPECT_EQ(wait_for_process_tree(id, h, 0, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(wait_for_process_tree(id, h, wait_children, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(Running(h));
  EXPECT_EQ(wait_for_process_tree(id, h, wait_process, 200), static_cast<DWORD>(WAIT_TIMEOUT));
  testing::WriteBytes(release, "go");
  EXPECT_EQ(wait_for_process_tree(id, h, wait_descendants, kLongWait),
            static_cast<DWORD>(WAIT_OBJECT_0));
}

}  // namespace
}  // namespace kx
