#include "prereq/setup_prereq_mgr.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/reboot.h"
#include "platform/registry.h"
#include "prereq/prereq_resume_state.h"
#include "prereq/prereq_run_loop.h"
#include "tests/testing/registry_sandbox.h"
#include "tests/testing/scoped_temp_dir.h"

namespace {

using kx::package_outcome;
using kx::string;
using kx::prereq::reboot_reaction;
using kx::testing::RegistrySandbox;
using kx::testing::ScopedTempDir;

// Every restart request the code under test makes; never the real one.
int g_restarts = 0;
BOOL record_restart(UINT, DWORD) {
  ++g_restarts;
  return TRUE;
}

class fake_callback final : public kx::CSetupPrereqMgrCallback {
 public:
  kx::SetupSettings& Settings() override { return settings; }
  void ReportWorkingFolder(const string& path) override { folders.push_back(path.str()); }
  string RewriteCommandLine(const string&) override { return string(L"C:\\m\\setup.exe /s"); }
  string GetString(UINT id) override { return string(std::to_wstring(id).c_str()) + L" %s"; }
  int ShowMessage(const string& text, UINT) override {
    asked.push_back(text.str());
    return answer;
  }
  kx::SetupSettings settings;
  std::vector<std::wstring> folders, asked;
  int answer = IDYES;
};

class fake_runner final : public kx::prereq_package_runner {
 public:
  kx::package_run Run(CSetupPreRequisite&, const string& location, bool) override {
    ran.push_back(location.str());
    return next;
  }
  kx::package_run next{package_outcome::ran, false};
  std::vector<std::wstring> ran;
};

class SetupPrereqMgrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = kx::set_exit_windows(record_restart);
    g_restarts = 0;
    CreateDirectoryW(dir_.file(L"KXSetupPrerequisites").c_str(), nullptr);
    cb_.settings.SourceFolder = string(dir_.path().c_str());
    cb_.settings.TempFolder = string(dir_.file(L"t\\").c_str());
    cb_.settings.SetupIniPath = string(dir_.file(L"setup.ini").c_str());
    cb_.settings.Silent = true;
  }
  void TearDown() override { kx::set_exit_windows(previous_); }

  // A definition with package file "p.exe" beside it on the medium.
  void definition(const std::wstring& name, const std::wstring& body) {
    const std::wstring id = name.substr(0, name.find(L'.'));
    const std::wstring folder = dir_.file(L"KXSetupPrerequisites\\" + id);
    CreateDirectoryW(folder.c_str(), nullptr);
    kx::testing::WriteBytes(folder + L"\\p.exe", "MZ");
    std::string xml = "<SetupPrereq><properties Id=\"" + narrow(id) +
                      "\"/><files><file LocalFile=\"p.exe\"/></files>" + narrow(body) +
                      "</SetupPrereq>";
    kx::testing::WriteBytes(dir_.file(L"KXSetupPrerequisites\\" + name), xml);
  }
  void ini(const std::string& text) { kx::testing::WriteBytes(dir_.file(L"setup.ini"), text); }
  static std::string narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

  ScopedTempDir dir_;
  fake_callback cb_;
  fake_runner runner_;
  kx::exit_windows_function previous_ = nullptr;
};

constexpr const wchar_t* kKey = L"Software\\Microsoft\\Windows\\CurrentVersion";

TEST(RebootReaction, FollowsTheRebootValue) {
  struct row {
    std::uint32_t behavior;
    reboot_reaction required, not_required;
  } rows[] = {
      {1, reboot_reaction::stop, reboot_reaction::go_on},
      {2, reboot_reaction::ask_and_stop, reboot_reaction::go_on},
      {4, reboot_reaction::go_on, reboot_reaction::go_on},
      {8, reboot_reaction::ask_and_stop, reboot_reaction::ask_and_stop},
      {16, reboot_reaction::restart_stop, reboot_reaction::ask_and_stop},
      {32, reboot_reaction::at_end, reboot_reaction::go_on},
      {64, reboot_reaction::go_on, reboot_reaction::go_on},
  };
  for (const row& r : rows) {
    EXPECT_EQ(kx::prereq::reboot_reaction_for(r.behavior, true), r.required) << r.behavior;
    EXPECT_EQ(kx::prereq::reboot_reaction_for(r.behavior, false), r.not_required) << r.behavior;
  }
}

TEST(ResumeIndex, OnlyAPlainDecimalCounts) {
  auto sz = [](const std::wstring& t) {
    std::vector<BYTE> b(reinterpret_cast<const BYTE*>(t.c_str()),
                        reinterpret_cast<const BYTE*>(t.c_str() + t.size() + 1));
    return b;
  };
  EXPECT_EQ(kx::prereq::parse_resume_index(REG_SZ, sz(L"0")), 0);
  EXPECT_EQ(kx::prereq::parse_resume_index(REG_SZ, sz(L"-1")), -1);
  EXPECT_EQ(kx::prereq::parse_resume_index(REG_SZ, sz(L"12")), 12);
  for (const wchar_t* bad : {L"", L"abc", L" 1", L"1x", L"-2", L"99999", L"+1", L"-"})
    EXPECT_FALSE(kx::prereq::parse_resume_index(REG_SZ, sz(bad))) << bad;
  EXPECT_FALSE(kx::prereq::parse_resume_index(REG_BINARY, sz(L"1")));
  EXPECT_FALSE(kx::prereq::parse_resume_index(REG_SZ, {'1', 0, '2'}));
}

TEST(RestartCommand, QuotesTheProgramPath) {
  using kx::prereq::restart_command;
  EXPECT_EQ(restart_command(string(L"\"C:\\a b\\setup.exe\" /s"), string(L"setup.exe")).str(),
            L"\"C:\\a b\\setup.exe\" /s");
  EXPECT_EQ(restart_command(string(L"C:\\a b\\setup.exe /s"), string(L"setup.exe")).str(),
            L"\"C:\\a b\\setup.exe\" /s");
  EXPECT_EQ(restart_command(string(L"C:\\x\\other.exe /s"), string(L"setup.exe")).str(),
            L"\"C:\\x\\other.exe\" /s");
  EXPECT_EQ(restart_command(string(L"C:\\x\\run"), string()).str(), L"\"C:\\x\\run\"");
}

TEST(ResumeState, GarbageAndOtherMediaAreRemoved) {
  RegistrySandbox sandbox;
  const string name = kx::prereq::resume_index_name(string(L"P"));
  kx::prereq::resume_state mine(string(L"P"), string(L"{G}|a.prq"));
  ASSERT_TRUE(mine.open());
  EXPECT_TRUE(mine.save_index(1));
  EXPECT_EQ(mine.take_index(), 1);
  EXPECT_EQ(mine.take_index(), -1);  // taken once
  // Another medium of the same product name.
  kx::prereq::resume_state other(string(L"P"), string(L"{H}|a.prq"));
  ASSERT_TRUE(other.open());
  ASSERT_TRUE(other.save_index(3));
  EXPECT_EQ(mine.take_index(), -1);
  EXPECT_EQ(
      kx::registry_read_string(HKEY_CURRENT_USER, string(kKey), name, KEY_READ, string(L"-")).str(),
      L"-");
  // Garbage is removed as well.
  RegistrySandbox::SetString(HKEY_CURRENT_USER, kKey, name.str(), L"1x");
  EXPECT_EQ(mine.take_index(), -1);
  RegistrySandbox::SetDword(HKEY_CURRENT_USER, kKey, name.str(), 1);
  EXPECT_EQ(mine.take_index(), -1);
  DWORD type = 0;
  std::vector<BYTE> data;
  kx::registry_key key(HKEY_CURRENT_USER);
  EXPECT_NE(kx::registry_read_bytes(key.get(), string(kKey) + L"\\" + name, type, data), 0);
  key.release();
  // The attempt count grows only while the same index starts again.
  EXPECT_EQ(mine.note_attempt(2), 1);
  EXPECT_EQ(mine.note_attempt(2), 2);
  EXPECT_EQ(mine.note_attempt(3), 1);
}

TEST_F(SetupPrereqMgrTest, SelectsWhatIsMissingAndHonoursTheResumeIndex) {
  RegistrySandbox sandbox;
  const std::wstring present =
      L"<conditions><condition Type=\"1\" Comparison=\"2\" "
      L"Path=\"HKEY_LOCAL_MACHINE\\SOFTWARE\\KxPresent\"/></conditions>";
  RegistrySandbox::CreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KxPresent");
  definition(L"a.prq", present);
  definition(L"b.prq", L"<behavior Lua=\"1\" Hidden=\"1\"/>");
  definition(L"c.prq", L"");
  definition(L"d.prq", L"");
  ini("[KXSetupPrerequisites]\r\nPreReq0=a.prq\r\nPreReq1=b.prq\r\nPreReq2=missing.prq\r\n"
      "PreReq3=c.prq\r\nPreReqFeatures3=A,B\r\nPreReq4=..\\x.prq\r\nPreReq5=\r\nPreReq6=d.prq\r\n");
  kx::CSetupPrereqMgr manager(cb_, runner_);
  bool rights = true, visible = true;
  ASSERT_TRUE(manager.Select(string(), rights, visible));
  // a is installed, missing.prq is not shown as done, c is bound to
  // features, ..\x.prq is no definition name, the empty PreReq5 ends the list.
  ASSERT_EQ(manager.Selection().size(), 1u);
  EXPECT_EQ(manager.Selection().count(1), 1u);
  EXPECT_FALSE(rights);
  EXPECT_FALSE(visible);
  ASSERT_TRUE(manager.Select(string(L"C,,B"), rights, visible));
  EXPECT_EQ(manager.Selection().count(3), 1u);
  EXPECT_EQ(manager.Selection().count(1), 0u);
  EXPECT_TRUE(rights);
  EXPECT_TRUE(visible);
  EXPECT_FALSE(manager.Select(string(L"C"), rights, visible));
  cb_.SetResumeIndex(1);
  EXPECT_FALSE(manager.Select(string(), rights, visible));
}

TEST_F(SetupPrereqMgrTest, ARebootStopsWithTheResumeStateAndTheNextRunFinishes) {
  RegistrySandbox sandbox;
  definition(L"a.prq", L"<behavior Reboot=\"1\"/>");
  definition(L"b.prq", L"");
  ini("[Startup]\r\nProduct=Demo\r\n[KXSetupPrerequisites]\r\nPreReq0=a.prq\r\nPreReq1=b.prq\r\n");
  {
    kx::CSetupPrereqMgr manager(cb_, runner_);
    runner_.next = {package_outcome::ran, true};
    EXPECT_EQ(manager.Run(1, string(), true, nullptr), 7);
  }
  EXPECT_EQ(runner_.ran.size(), 1u);
  EXPECT_EQ(kx::registry_read_string(HKEY_CURRENT_USER, string(kKey), string(L"%KX_PREREQ%-Demo"),
                                     KEY_READ, string())
                .str(),
            L"0");
  EXPECT_EQ(kx::registry_read_string(HKEY_CURRENT_USER, string(kKey) + L"\\RunOnce",
                                     string(L"  KXSetupPrerequisistes"), KEY_READ, string())
                .str(),
            L"\"C:\\m\\setup.exe\" /s");
  // The restarted run: a fresh launcher resumes after the first package.
  fake_callback again;
  again.settings = cb_.settings;
  fake_runner second;
  kx::CSetupPrereqMgr manager(again, second);
  EXPECT_EQ(manager.Run(1, string(), true, nullptr), 0);
  ASSERT_EQ(second.ran.size(), 1u);
  EXPECT_NE(second.ran[0].find(L"\\b"), std::wstring::npos);
  EXPECT_EQ(kx::registry_read_string(HKEY_CURRENT_USER, string(kKey), string(L"%KX_PREREQ%-Demo"),
                                     KEY_READ, string(L"gone"))
                .str(),
            L"gone");
  EXPECT_EQ(kx::registry_read_string(HKEY_CURRENT_USER, string(kKey) + L"\\RunOnce",
                                     string(L"  KXSetupPrerequisistes"), KEY_READ, string(L"gone"))
                .str(),
            L"gone");
  EXPECT_EQ(g_restarts, 0);
}

TEST_F(SetupPrereqMgrTest, SilentRunsAnswerNoButRebootSixteenRestarts) {
  RegistrySandbox sandbox;
  struct row {
    const wchar_t* behavior;
    bool required, silent;
    int answer, result, restarts, questions;
  } rows[] = {
      {L"2", true, true, IDYES, 7, 0, 0},   {L"2", true, false, IDYES, 7, 1, 1},
      {L"2", true, false, IDNO, 7, 0, 1},   {L"8", false, true, IDYES, 7, 0, 0},
      {L"8", false, false, IDYES, 7, 1, 1}, {L"16", true, true, IDYES, 7, 1, 0},
      {L"4", true, true, IDYES, 0, 0, 0},   {L"32", true, true, IDYES, 0, 0, 0},
  };
  for (const row& r : rows) {
    // Hidden: an interactive run asks its questions without the dialog.
    definition(L"a.prq",
               std::wstring(L"<behavior Hidden=\"1\" Lua=\"1\" Reboot=\"") + r.behavior + L"\"/>");
    ini("[KXSetupPrerequisites]\r\nPreReq0=a.prq\r\n");
    // Each row starts without the state the row before left for a reboot.
    kx::prereq::resume_state left(kx::resume_product_id(cb_), string());
    left.open();
    left.remove(true);
    cb_.SetResumeIndex(-1);
    g_restarts = 0;
    cb_.asked.clear();
    cb_.settings.Silent = r.silent;
    cb_.answer = r.answer;
    runner_.next = {package_outcome::ran, r.required};
    kx::CSetupPrereqMgr manager(cb_, runner_);
    EXPECT_EQ(manager.Run(1, string(), false, nullptr), r.result) << r.behavior;
    EXPECT_EQ(g_restarts, r.restarts) << r.behavior << r.silent;
    EXPECT_EQ(static_cast<int>(cb_.asked.size()), r.questions) << r.behavior << r.silent;
  }
}

TEST_F(SetupPrereqMgrTest, AFailedPackageStopsSilentRuns) {
  RegistrySandbox sandbox;
  definition(L"a.prq", L"<behavior Failure=\"1\"/>");
  definition(L"b.prq", L"<behavior Failure=\"3\"/>");
  ini("[KXSetupPrerequisites]\r\nPreReq0=b.prq\r\nPreReq1=a.prq\r\n");
  runner_.next = {package_outcome::failed, false};
  kx::CSetupPrereqMgr manager(cb_, runner_);
  // b's failure counts as success by its own rule; a's asks 1656: No.
  EXPECT_EQ(manager.Run(1, string(), false, nullptr), 2);
  EXPECT_EQ(runner_.ran.size(), 2u);
  // Told not to execute, nothing runs and setup goes on.
  cb_.settings.CommandLineArguments = string(L" executemode=none");
  EXPECT_EQ(manager.Run(1, string(), false, nullptr), 0);
  EXPECT_EQ(runner_.ran.size(), 2u);
}

TEST_F(SetupPrereqMgrTest, MissingFilesAndRepeatedStartsStopWithoutRunning) {
  RegistrySandbox sandbox;
  definition(L"a.prq", L"");
  // The package named is not beside the definition.
  kx::testing::WriteBytes(dir_.file(L"KXSetupPrerequisites\\b.prq"),
                          "<SetupPrereq><properties Id=\"b\"/><files><file LocalFile=\"x\\q.exe\"/>"
                          "</files></SetupPrereq>");
  ini("[KXSetupPrerequisites]\r\nPreReq0=b.prq\r\n");
  kx::CSetupPrereqMgr manager(cb_, runner_);
  EXPECT_EQ(manager.Run(1, string(), false, nullptr), 2);
  EXPECT_TRUE(runner_.ran.empty());
  ASSERT_EQ(cb_.asked.size(), 1u);
  EXPECT_EQ(cb_.asked[0].rfind(L"1655 ", 0), 0u);
  // Its folder lies inside the run's temporary folder and is cleaned up.
  ASSERT_EQ(cb_.folders.size(), 2u);
  EXPECT_EQ(cb_.folders[1], dir_.file(L"t\\KXPrereq\\b"));
  // A package started three times in a row at the same place is not
  // started a fourth time.
  ini("[KXSetupPrerequisites]\r\nPreReq0=a.prq\r\n");
  cb_.asked.clear();
  RegistrySandbox::SetString(HKEY_CURRENT_USER, kKey, L"%KX_PREREQN%-", L"0:3");
  EXPECT_EQ(manager.Run(1, string(), false, nullptr), 2);
  EXPECT_TRUE(runner_.ran.empty());
  EXPECT_EQ(cb_.asked.size(), 1u);
  EXPECT_EQ(manager.Run(1, string(), false, nullptr), 0);  // the count went with the run
  EXPECT_EQ(runner_.ran.size(), 1u);
}

}  // namespace
