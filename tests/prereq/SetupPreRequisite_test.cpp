#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>

#include <string>
#include <vector>

#include "base/text_encoding.h"
#include "prereq/setup_prerequisite.h"
#include "tests/prereq/prereq_packages.h"
#include "tests/testing/probe_support.h"
#include "tests/testing/scoped_temp_dir.h"

namespace {

using kx::string;
using kx::prereq::run_verdict;
using kx::testing::ScopedTempDir;

std::string definition_bytes(const std::wstring& body) {
  const std::wstring text = L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<SetupPrereq>" + body +
                            L"</SetupPrereq>\r\n";
  std::string out;
  EXPECT_EQ(
      kx::encode_text(string::view(text.data(), text.size()), kx::kCodePageUtf16Le, true, out), 0u);
  return out;
}

// A fake Installer: records what it is given and plays a script of
// messages to the handler; 1602 when the handler answered IDCANCEL.
struct fake_installer {
  static fake_installer* current;
  std::vector<INSTALLUILEVEL> levels;
  std::vector<DWORD> logModes;
  std::wstring logFile;
  std::wstring package;
  std::wstring properties;
  std::vector<UINT> results;  // one per call, the last repeats
  std::vector<std::pair<UINT, std::wstring>> script;
  std::vector<int> replies;
  INSTALLUI_HANDLERW handler = nullptr;
  LPVOID context = nullptr;
  unsigned calls = 0;

  static INSTALLUILEVEL WINAPI SetInternalUI(INSTALLUILEVEL level, HWND*) {
    current->levels.push_back(level);
    return INSTALLUILEVEL_BASIC;
  }
  static INSTALLUI_HANDLERW WINAPI SetExternalUI(INSTALLUI_HANDLERW h, DWORD, LPVOID c) {
    const INSTALLUI_HANDLERW previous = current->handler;
    current->handler = h;
    current->context = c;
    return previous;
  }
  static UINT WINAPI EnableLog(DWORD mode, LPCWSTR file, DWORD) {
    current->logModes.push_back(mode);
    if (file) current->logFile = file;
    return 0;
  }
  static UINT WINAPI InstallProduct(LPCWSTR package, LPCWSTR properties) {
    fake_installer& f = *current;
    f.package = package;
    f.properties = properties;
    bool cancelled = false;
    for (const auto& [type, text] : f.script) {
      const int reply = f.handler(f.context, type, text.c_str());
      f.replies.push_back(reply);
      cancelled = cancelled || reply == IDCANCEL;
    }
    const UINT result = f.results[std::min<std::size_t>(f.calls++, f.results.size() - 1)];
    return cancelled ? 1602 : result;
  }
  kx::prereq::msi_functions table() {
    current = this;
    return {&SetInternalUI, &SetExternalUI, &EnableLog, &InstallProduct};
  }
};
fake_installer* fake_installer::current = nullptr;

class ExecutePrerequisiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.ChosenLanguage = 1033;
    settings_.LauncherPath = L"D:\\media\\setup.exe";
    settings_.SourceFolder = L"D:\\media\\";
    log_ = dir_.file(L"probe.log");
  }
  void TearDown() override { kx::testing::EndLoggedProbes(log_, {L"pkg.exe", L"kx_probe.exe"}); }

  // Loads a definition with `body` into `p`.
  void load(CSetupPreRequisite& p, const std::wstring& body) {
    const std::wstring path = dir_.file(L"pkg.prq");
    ASSERT_TRUE(kx::testing::WriteBytes(path, definition_bytes(body)));
    ASSERT_TRUE(p.Load(string(path.c_str()), true, string()));
  }
  // The probe as the package "pkg.exe" of the folder.
  void place_probe() {
    ASSERT_TRUE(CopyFileW(kx::testing::ProbePath().c_str(), dir_.file(L"pkg.exe").c_str(), FALSE));
  }
  std::wstring probe_execute(const std::wstring& arguments, const std::wstring& extra = L"") {
    return L"<execute file=\"pkg.exe\" cmdline=\"--log=" + log_ + L" " + arguments +
           L"\" cmdlinesilent=\"--log=" + log_ + L" --sleep=1 " + arguments + L"\" " + extra +
           L"/>";
  }
  string location() const { return string(dir_.path().c_str()); }

  ScopedTempDir dir_;
  kx::SetupSettings settings_;
  std::wstring log_;
  bool cancel_ = false;
};

TEST_F(ExecutePrerequisiteTest, ExeCodesAreJudgedByTheRebootList) {
  place_probe();
  struct Case {
    const wchar_t* exit;
    const wchar_t* list;
    run_verdict verdict;
    std::uint32_t code;
  };
  const Case table[] = {
      {L"3010", L"1641,3010", run_verdict::reboot_needed, 3010},
      {L"3010", L"", run_verdict::installed, 3010},
      {L"0xC0000005", L"", run_verdict::installed, 0xC0000005},
      {L"0", L"", run_verdict::installed, 0},
  };
  for (const Case& c : table) {
    CSetupPreRequisite p(nullptr, nullptr, settings_, &cancel_);
    load(p, probe_execute(std::wstring(L"--exit=") + c.exit,
                          std::wstring(L"returncodetoreboot=\"") + c.list + L"\" "));
    const kx::prereq::run_result r = p.ExecutePrerequisite(location(), false);
    EXPECT_EQ(r.verdict, c.verdict) << c.exit << " " << c.list;
    EXPECT_EQ(r.exitCode, c.code);
    EXPECT_TRUE(r.started);
    EXPECT_EQ(p.RebootRequired(), c.verdict == run_verdict::reboot_needed);
  }
}

TEST_F(ExecutePrerequisiteTest, RunsInItsFolderWithTheExpandedCommandLine) {
  place_probe();
  CSetupPreRequisite p(nullptr, nullptr, settings_, &cancel_);
  load(p, probe_execute(L"--cwd --wait-for=[KXPREREQDIR]") + L"<behavior Hidden=\"1\"/>");
  ASSERT_EQ(p.ExecutePrerequisite(location(), false).verdict, run_verdict::installed);
  const auto runs = kx::testing::ProbeRuns(log_);
  ASSERT_EQ(runs.size(), 1u);
  const std::wstring cmdline = runs[0].at("cmdline");
  EXPECT_NE(cmdline.find(L"--sleep=1"), std::wstring::npos) << "hidden takes cmdlinesilent";
  EXPECT_NE(cmdline.find(L"--wait-for=" + dir_.path()), std::wstring::npos) << cmdline;
  EXPECT_EQ(kx::string(runs[0].at("cwd").c_str()), kx::string(dir_.path().c_str()));
}

TEST_F(ExecutePrerequisiteTest, WaitsForTheChildrenOfThePackage) {
  place_probe();
  CSetupPreRequisite p(nullptr, nullptr, settings_, &cancel_);
  load(p, probe_execute(L"--spawn -- --log=" + log_ + L" --sleep=2000 --exit=7"));
  ASSERT_EQ(p.ExecutePrerequisite(location(), false).exitCode, 0u);
  const auto records = kx::testing::ReadProbeLog(log_);
  DWORD child = 0;
  for (const auto& r : records)
    if (r.count("child")) child = std::wcstoul(r.at("child").c_str(), nullptr, 10);
  ASSERT_NE(child, 0u);
  EXPECT_TRUE(kx::testing::ProbeExited(log_, child)) << "judged while the child still ran";
}

TEST_F(ExecutePrerequisiteTest, WhatCannotRunIsNeverInstalled) {
  struct Case {
    const wchar_t* execute;
    run_verdict verdict;
  };
  const Case table[] = {
      {L"<execute file=\"missing.exe\"/>", run_verdict::failed},
      {L"<execute file=\"..\\pkg.exe\"/>", run_verdict::failed},
      {L"<execute file=\"C:\\windows\\notepad.exe\"/>", run_verdict::failed},
      {L"<execute file=\"pkg.exe:stream\"/>", run_verdict::failed},
      // Nothing to run is judged by the conditions, never by opening the folder.
      {L"<execute cmdline=\"x\"/>", run_verdict::installed},
  };
  for (const Case& c : table) {
    CSetupPreRequisite p(nullptr, nullptr, settings_, &cancel_);
    load(p, c.execute);
    const kx::prereq::run_result r = p.ExecutePrerequisite(location(), true);
    EXPECT_EQ(r.verdict, c.verdict) << c.execute;
    EXPECT_FALSE(r.started) << c.execute;
  }
}

TEST_F(ExecutePrerequisiteTest, AVanishedDefinitionRunsNothing) {
  place_probe();
  CSetupPreRequisite p(nullptr, nullptr, settings_, &cancel_);
  load(p, probe_execute(L"--exit=0"));
  ASSERT_TRUE(DeleteFileW(dir_.file(L"pkg.prq").c_str()));
  EXPECT_EQ(p.ExecutePrerequisite(location(), false).verdict, run_verdict::not_run);
  EXPECT_TRUE(kx::testing::ProbeRuns(log_).empty());
}

TEST_F(ExecutePrerequisiteTest, ABusyInstallerIsWaitedForThenFails) {
  place_probe();
  std::uint64_t now = 0;
  unsigned pauses = 0;
  kx::prereq::busy_wait_clock clock;
  clock.now_ms = [&] { return now; };
  clock.pause = [&](std::uint32_t ms) {
    now += ms;
    return ++pauses < 3;
  };
  CSetupPreRequisite p(nullptr, nullptr, settings_, &cancel_);
  p.SetBusyWaitClockForTesting(&clock);
  load(p, probe_execute(L"--exit=1618"));
  const kx::prereq::run_result r = p.ExecutePrerequisite(location(), true);
  EXPECT_EQ(r.verdict, run_verdict::failed);
  EXPECT_EQ(r.exitCode, 1618u);
  EXPECT_TRUE(r.installerBusy);
  EXPECT_TRUE(r.userCancelled);
  EXPECT_EQ(kx::testing::ProbeRuns(log_).size(), 3u);
}

class MsiWithFakeInstallerTest : public ExecutePrerequisiteTest {
 protected:
  kx::prereq::run_result run(const std::wstring& arguments, bool silent, bool optional = false) {
    table_ = fake_.table();
    CSetupPreRequisite p(nullptr, nullptr, settings_, &cancel_);
    p.SetInstallerForTesting(&table_);
    std::uint64_t now = 0;
    kx::prereq::busy_wait_clock clock;
    clock.now_ms = [&] { return now; };
    clock.pause = [&](std::uint32_t ms) {
      now += ms;
      return true;
    };
    p.SetBusyWaitClockForTesting(&clock);
    load(p, L"<execute file=\"pkg.msi\" cmdlinesilent=\"" + arguments +
                L"\"/><behavior MsiProgress=\"1\" Optional=\"" + (optional ? L"1" : L"0") +
                L"\"/>");
    return p.ExecutePrerequisite(location(), silent);
  }
  fake_installer fake_;
  kx::prereq::msi_functions table_;
};

TEST_F(MsiWithFakeInstallerTest, SwitchesBecomeCallsAndAreUndone) {
  fake_.results = {0};
  const kx::prereq::run_result r = run(L"/qb! /l*v [KXPREREQDIR]\\m.log P=1 /norestart", true);
  EXPECT_EQ(r.verdict, run_verdict::installed);
  EXPECT_EQ(fake_.package, dir_.file(L"pkg.msi"));
  EXPECT_EQ(fake_.properties, L" P=1 REBOOT=ReallySuppress");
  EXPECT_EQ(fake_.logFile, dir_.file(L"m.log"));
  EXPECT_EQ(fake_.logModes, (std::vector<DWORD>{0x1FDF, 0}));
  EXPECT_EQ(fake_.levels,
            (std::vector<INSTALLUILEVEL>{INSTALLUILEVEL_NONE, static_cast<INSTALLUILEVEL>(3 | 0x20),
                                         INSTALLUILEVEL_BASIC}));
  EXPECT_EQ(fake_.handler, nullptr) << "the previous handler is back";
}

TEST_F(MsiWithFakeInstallerTest, ResultsAndReplies) {
  struct Case {
    std::vector<UINT> results;
    bool optional;
    bool cancel;
    run_verdict verdict;
    std::uint32_t code;
    unsigned calls;
  };
  const Case table[] = {
      {{1618, 1618, 0}, false, false, run_verdict::installed, 0, 3},
      {{1618}, false, false, run_verdict::failed, 1618, 0},
      {{3010}, false, false, run_verdict::reboot_needed, 3010, 1},
      {{1603}, false, false, run_verdict::failed, 1603, 1},
      {{0}, true, true, run_verdict::cancelled_optional, 1602, 1},
      {{0}, false, true, run_verdict::failed, 1602, 1},
  };
  for (const Case& c : table) {
    fake_ = fake_installer{};
    fake_.results = c.results;
    fake_.script = {{INSTALLMESSAGE_USER | MB_YESNO, L"A question %s%n"},
                    {INSTALLMESSAGE_ACTIONSTART, L"Action 1: Go. Going"},
                    {INSTALLMESSAGE_PROGRESS, L"1: 0 2: 100 3: 0 4: 0 "},
                    {INSTALLMESSAGE_PROGRESS, L"1: 2 2: 10 "}};
    cancel_ = c.cancel;
    const kx::prereq::run_result r = run(L"/qn", true, c.optional);
    EXPECT_EQ(r.verdict, c.verdict) << c.results[0];
    EXPECT_EQ(r.exitCode, c.code);
    if (c.calls) {
      EXPECT_EQ(fake_.calls, c.calls);
    }
    ASSERT_GE(fake_.replies.size(), 4u);
    EXPECT_EQ(fake_.replies[0], 0) << "no box in a silent run";
    EXPECT_EQ(fake_.replies[3], c.cancel ? IDCANCEL : 0);
  }
  cancel_ = false;
}

TEST_F(MsiWithFakeInstallerTest, AMissingInstallerFunctionIsAFailure) {
  table_ = fake_.table();
  table_.enableLog = nullptr;
  CSetupPreRequisite p(nullptr, nullptr, settings_, &cancel_);
  p.SetInstallerForTesting(&table_);
  load(p, L"<execute file=\"pkg.msi\"/><behavior MsiProgress=\"1\"/>");
  const kx::prereq::run_result r = p.ExecutePrerequisite(location(), true);
  EXPECT_EQ(r.verdict, run_verdict::failed);
  EXPECT_EQ(r.exitCode, 1601u);
  EXPECT_TRUE(fake_.levels.empty());
}

// Real packages through the system's Installer.
class RealMsiTest : public ExecutePrerequisiteTest {
 protected:
  static std::wstring packages() { return kx::testing::BuildMachinePath(KX_PRQ_PACKAGE_DIR); }
  static bool registered(wchar_t n) {
    std::wstring key =
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{4B580000-7072-7100-0000-"
        L"00000000000";
    key += n;
    key += L"}";
    HKEY h = nullptr;
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | view, &h) == ERROR_SUCCESS) {
        RegCloseKey(h);
        return true;
      }
    }
    return false;
  }
  static void uninstall(const wchar_t* name) {
    const kx::prereq::msi_functions* msi = kx::prereq::system_msi_functions();
    ASSERT_NE(msi, nullptr);
    const INSTALLUILEVEL old = msi->setInternalUI(INSTALLUILEVEL_NONE, nullptr);
    const UINT r = msi->installProduct((packages() + L"\\" + name).c_str(), L"REMOVE=ALL");
    msi->setInternalUI(old, nullptr);
    EXPECT_TRUE(r == 0 || r == 3010) << r;
  }
  kx::prereq::run_result run(const wchar_t* name, bool progress, HWND bar = nullptr,
                             HWND status = nullptr) {
    CSetupPreRequisite p(bar, status, settings_, &cancel_);
    load(p, std::wstring(L"<execute file=\"") + name +
                L"\" cmdline=\"/q /norestart\" cmdlinesilent=\"/q /norestart\"/><behavior "
                L"MsiProgress=\"" +
                (progress ? L"1" : L"0") + L"\"/>");
    return p.ExecutePrerequisite(string(packages().c_str()), true);
  }
};

TEST_F(RealMsiTest, InstallsInProcessWithProgress) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  HWND parent =
      CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  HWND bar = CreateWindowW(PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 100, 10, parent, nullptr, nullptr,
                           nullptr);
  HWND status =
      CreateWindowW(L"STATIC", L"", WS_CHILD, 0, 20, 100, 10, parent, nullptr, nullptr, nullptr);
  const kx::prereq::run_result r = run(L"KxPrqPlain.msi", true, bar, status);
  const bool installed = registered(L'1');
  const LRESULT high = SendMessageW(bar, PBM_GETRANGE, FALSE, 0);
  const int statusLength = GetWindowTextLengthW(status);
  DestroyWindow(parent);
  if (installed) uninstall(L"KxPrqPlain.msi");
  EXPECT_EQ(r.verdict, run_verdict::installed);
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_TRUE(installed);
  EXPECT_GT(high, 0) << "progress records reached the bar";
  EXPECT_GT(statusLength, 0) << "action texts reached the status";
  EXPECT_FALSE(registered(L'1'));
}

TEST_F(RealMsiTest, AScheduledRebootIs3010) {
  const kx::prereq::run_result r = run(L"KxPrqReboot.msi", true);
  if (registered(L'2')) uninstall(L"KxPrqReboot.msi");
  EXPECT_EQ(r.exitCode, 3010u);
  EXPECT_EQ(r.verdict, run_verdict::reboot_needed);
  EXPECT_TRUE(r.rebootRequired);
  EXPECT_FALSE(registered(L'2'));
}

TEST_F(RealMsiTest, AFailingCustomActionFails) {
  for (bool progress : {true}) {
    const kx::prereq::run_result r = run(L"KxPrqFail.msi", progress);
    if (registered(L'3')) uninstall(L"KxPrqFail.msi");
    EXPECT_EQ(r.exitCode, 1603u) << progress;
    EXPECT_EQ(r.verdict, run_verdict::failed) << "no conditions to judge by";
  }
}

}  // namespace
