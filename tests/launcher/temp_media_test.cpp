#include "launcher/temp_media.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/web_source.h"
#include "diag/error_info.h"
#include "launcher/payload.h"
#include "launcher/setup.h"
#include "launcher/setup_settings.h"
#include "launcher/step_result.h"
#include "platform/process_launch.h"
#include "tests/launcher/payload_fixture.h"
#include "tests/testing/probe_support.h"
#include "tests/testing/scoped_temp_dir.h"
#include "tools/medium_builder/szdd.h"

namespace kx {
namespace {

using testing::ReadBytes;
using testing::ScopedTempDir;
using testing::WriteBytes;

testing::FakeEntry entry(std::u16string name, std::u16string path, std::string data) {
  testing::FakeEntry e;
  e.name = std::move(name);
  e.path = std::move(path);
  e.data = std::move(data);
  return e;
}

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool recorded(const std::vector<string>& list, const std::wstring& path) {
  return std::find(list.begin(), list.end(), string(path)) != list.end();
}

// A CSetup whose settings point at folders of the test.
class TempMediaTest : public ::testing::Test {
 protected:
  ScopedTempDir media_;
  ScopedTempDir temp_;
  CSetup setup_{DefaultLauncherServices()};
  SetupSettings& s_ = setup_.Settings();
  std::wstring t_ = temp_.path() + L"\\";

  void SetUp() override { s_.TempFolder = string(t_); }
};

TEST_F(TempMediaTest, RelaunchArgumentsNameTheMediumTheFolderAndTheFirstLauncher) {
  s_.LauncherPath = L"C:\\Users\\me\\Downloads\\Product Setup\\setup.exe";
  s_.TempFolder = L"C:\\Temp\\{guid}\\";
  EXPECT_EQ(RelaunchArguments(s_, L"/s -no_selfdeleter -KX_temp").str(),
            L"/s -no_selfdeleter -KX_temp -media_path:\"C:\\Users\\me\\Downloads\\Product Setup\""
            L" -tempdisk1folder:\"C:\\Temp\\{guid}\""
            L" -KX_OriginalLauncher:\"C:\\Users\\me\\Downloads\\Product Setup\\setup.exe\"");
  EXPECT_EQ(RelaunchArguments(s_, L"").str(),
            L" -media_path:\"C:\\Users\\me\\Downloads\\Product Setup\""
            L" -tempdisk1folder:\"C:\\Temp\\{guid}\""
            L" -KX_OriginalLauncher:\"C:\\Users\\me\\Downloads\\Product Setup\\setup.exe\"");
}

TEST_F(TempMediaTest, CopyNeverOverwritesAndRecordsWhatTheRunOwns) {
  const std::wstring source = media_.file(L"setup.ini");
  ASSERT_TRUE(WriteBytes(source, "[Startup]\r\nfresh"));

  EXPECT_EQ(CopyDisk1FileToTemp(setup_, string(source), string(t_ + L"setup.ini")), S_OK);
  EXPECT_EQ(ReadBytes(t_ + L"setup.ini"), "[Startup]\r\nfresh");
  EXPECT_TRUE(recorded(setup_.Cleanup().files, t_ + L"setup.ini"));

  ASSERT_TRUE(WriteBytes(t_ + L"0x0409.ini", "already there"));
  ASSERT_TRUE(WriteBytes(media_.file(L"0x0409.ini"), "newer"));
  EXPECT_EQ(
      CopyDisk1FileToTemp(setup_, string(media_.file(L"0x0409.ini")), string(t_ + L"0x0409.ini")),
      S_OK);
  EXPECT_EQ(ReadBytes(t_ + L"0x0409.ini"), "already there");
  // Counted as copied, but it was there before the run: not the run's to
  // delete.
  EXPECT_FALSE(recorded(setup_.Cleanup().files, t_ + L"0x0409.ini"));

  // The same file (any case): nothing to do, and the medium's file is not
  // the run's to delete.
  std::wstring upper = source;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);
  EXPECT_EQ(CopyDisk1FileToTemp(setup_, string(source), string(upper)), S_OK);
  EXPECT_FALSE(recorded(setup_.Cleanup().files, source));
  EXPECT_EQ(ReadBytes(source), "[Startup]\r\nfresh");
}

TEST_F(TempMediaTest, AFailedCopyIsAnHresultAndLeavesNothing) {
  EXPECT_EQ(
      CopyDisk1FileToTemp(setup_, string(media_.file(L"missing.ini")), string(t_ + L"missing.ini")),
      HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(exists(t_ + L"missing.ini"));
  EXPECT_TRUE(setup_.Cleanup().files.empty());

  // A web source without the internet layer is not supported here.
  EXPECT_EQ(CopyDisk1FileToTemp(setup_, L"http://example.invalid/Disk1/setup.ini",
                                string(t_ + L"web.ini")),
            HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));
  EXPECT_FALSE(exists(t_ + L"web.ini"));
}

// A web medium through a stand-in source: the first read delivers data,
// the second ends as the case says.
enum class web_end { complete, error, abort };
constexpr DWORD kTimedOut = 12002;  // the internet functions' time-out
web_end g_web_end = web_end::complete;
std::wstring g_web_url;

class scripted_source final : public web_source {
 public:
  DWORD open(const string& url, DWORD) override {
    g_web_url = url.str();
    return 0;
  }
  DWORD seek(std::uint64_t) override { return 0; }
  DWORD read(void* buffer, DWORD count, DWORD& got) override {
    got = 0;
    if (reads_++ == 0) {
      got = std::min<DWORD>(count, 1000);
      std::fill_n(static_cast<char*>(buffer), got, 'w');
      return 0;
    }
    if (g_web_end == web_end::error) return kTimedOut;
    if (g_web_end == web_end::abort) throw StepAbort(StepFailure{kCancelled, 1});
    return 0;
  }

 private:
  int reads_ = 0;
};

std::unique_ptr<web_source> make_scripted(const web_source_options&, DWORD& error) {
  error = 0;
  return std::make_unique<scripted_source>();
}

// Only a whole download counts: a failed or cancelled one leaves no target
// and records nothing; the cancel ends the copy, not the caller.
TEST_F(TempMediaTest, AWebCopyEndsWholeOrLeavesNothing) {
  const web_source_factory previous = set_web_source_factory(&make_scripted);
  s_.SourceFolder = L"http://example.invalid/medium/Disk1";
  const struct {
    web_end end;
    HRESULT result;
  } cases[] = {
      {web_end::error, static_cast<HRESULT>(0x80070000u + kTimedOut)},
      {web_end::abort, kCancelled},
      {web_end::complete, S_OK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.end));
    g_web_end = c.end;
    EXPECT_EQ(CopyDisk1FileToTemp(setup_, L"setup.ini"), c.result);
    EXPECT_EQ(g_web_url, L"http://example.invalid/medium/Disk1/setup.ini");
    EXPECT_EQ(exists(t_ + L"setup.ini"), c.result == S_OK);
    EXPECT_EQ(recorded(setup_.Cleanup().files, t_ + L"setup.ini"), c.result == S_OK);
    // A failed download names the address and its code; a cancel explains
    // nothing, and the message of an earlier failure is not repeated.
    const std::wstring message = setup_.FailureMessage.str();
    if (c.end == web_end::error) {
      EXPECT_EQ(message,
                L"The setup could not download its file "
                L"http://example.invalid/medium/Disk1/setup.ini. Please check the address "
                L"of the medium, the network connection and the server, and try again. "
                L"(0x80072EE2)");
      ErrorInfoFacts facts;
      CollectMachineFacts(facts, L"");
      EXPECT_EQ(facts.com_description.str(), message);
    } else {
      EXPECT_TRUE(message.empty()) << message;
    }
    setup_.FailureMessage.clear();
  }
  EXPECT_EQ(ReadBytes(t_ + L"setup.ini"), std::string(1000, 'w'));
  set_web_source_factory(previous);
}

TEST_F(TempMediaTest, LargeFilesAreCopiedWholeByName) {
  std::string big(3 * 0x8000 + 123, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  ASSERT_TRUE(WriteBytes(media_.file(L"KXSetup.dll"), big));
  // By name: from the source folder into the temporary folder.
  s_.SourceFolder = string(media_.path());
  EXPECT_EQ(CopyDisk1FileToTemp(setup_, L"KXSetup.dll"), S_OK);
  EXPECT_EQ(ReadBytes(t_ + L"KXSetup.dll"), big);
}

class ExtractPayloadTest : public TempMediaTest {
 protected:
  void write_launcher(const std::wstring& name, const std::vector<testing::FakeEntry>& entries) {
    launcher_ = media_.file(name);
    ASSERT_TRUE(WriteBytes(
        launcher_, testing::BuildImage(testing::FakeImage{}) + testing::EncodePayload(entries)));
    s_.LauncherPath = string(launcher_);
  }
  std::wstring launcher_;
};

TEST_F(ExtractPayloadTest, UnpacksRepointsAndRenamesTheLauncher) {
  write_launcher(L"install.exe", {entry(u"setup.ini", u"Disk1\\setup.ini", "ini"),
                                  entry(u"setup.exe", u"Disk1\\setup.exe", "launcher"),
                                  entry(u"data2.cab", u"Disk1\\data2.cab", "later")});
  string command_line = L"/s";
  ASSERT_EQ(ExtractPayload(setup_, command_line), S_OK);

  EXPECT_EQ(command_line.str(), L"/s -package:\"" + launcher_ + L"\"");
  EXPECT_EQ(s_.SourceFolder.str(), t_ + L"Disk1");
  EXPECT_EQ(s_.LauncherPath.str(), t_ + L"Disk1\\install.exe");
  EXPECT_EQ(ReadBytes(t_ + L"Disk1\\install.exe"), "launcher");
  EXPECT_FALSE(exists(t_ + L"Disk1\\setup.exe"));
  EXPECT_FALSE(exists(t_ + L"Disk1\\data2.cab"));
  const CleanupList& c = setup_.Cleanup();
  EXPECT_TRUE(recorded(c.files, t_ + L"Disk1\\setup.ini"));
  EXPECT_TRUE(recorded(c.files, t_ + L"Disk1\\install.exe"));
  EXPECT_TRUE(recorded(c.folders, t_ + L"Disk1\\"));
}

// Unpacking into a folder named by "tempdisk1folder:" that already holds
// files of the medium's names: they are overwritten, but only what the run
// created is removed at its end.
TEST_F(ExtractPayloadTest, FilesThatWereThereBeforeAreNotRecorded) {
  ASSERT_TRUE(CreateDirectoryW((t_ + L"Disk1").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(t_ + L"Disk1\\setup.ini", "the user's"));
  ASSERT_TRUE(WriteBytes(t_ + L"Disk1\\setup.exe", "the user's launcher"));
  write_launcher(L"install.exe", {entry(u"setup.ini", u"Disk1\\setup.ini", "ini"),
                                  entry(u"setup.exe", u"Disk1\\setup.exe", "launcher"),
                                  entry(u"new.txt", u"Disk1\\sub\\new.txt", "new")});
  string command_line;
  ASSERT_EQ(ExtractPayload(setup_, command_line), S_OK);
  EXPECT_EQ(ReadBytes(t_ + L"Disk1\\setup.ini"), "ini");
  EXPECT_EQ(ReadBytes(t_ + L"Disk1\\install.exe"), "launcher");
  const CleanupList& c = setup_.Cleanup();
  EXPECT_FALSE(recorded(c.files, t_ + L"Disk1\\setup.ini"));
  EXPECT_FALSE(recorded(c.files, t_ + L"Disk1\\setup.exe"));
  EXPECT_FALSE(recorded(c.files, t_ + L"Disk1\\install.exe"));
  EXPECT_FALSE(recorded(c.folders, t_ + L"Disk1\\"));
  EXPECT_TRUE(recorded(c.files, t_ + L"Disk1\\sub\\new.txt"));
  EXPECT_TRUE(recorded(c.folders, t_ + L"Disk1\\sub\\"));
}

TEST_F(ExtractPayloadTest, AMediumWithoutDisk1IsTheTemporaryFolderItself) {
  write_launcher(L"setup.exe", {entry(u"setup.ini", u"setup.ini", "ini"),
                                entry(u"setup.exe", u"setup.exe", "launcher")});
  string command_line;
  ASSERT_EQ(ExtractPayload(setup_, command_line), S_OK);
  EXPECT_EQ(s_.SourceFolder.str(), temp_.path());
  EXPECT_EQ(s_.LauncherPath.str(), t_ + L"setup.exe");
  EXPECT_EQ(ReadBytes(t_ + L"setup.exe"), "launcher");
}

TEST_F(ExtractPayloadTest, ExtractAllUnpacksEverythingAndRecordsNothing) {
  write_launcher(L"setup.exe", {entry(u"data2.cab", u"Disk1\\data2.cab", "later")});
  s_.ExtractAll = true;
  string command_line;
  ASSERT_EQ(ExtractPayload(setup_, command_line), S_OK);
  EXPECT_EQ(ReadBytes(t_ + L"Disk1\\data2.cab"), "later");
  EXPECT_TRUE(setup_.Cleanup().files.empty());
  EXPECT_TRUE(setup_.Cleanup().folders.empty());
}

TEST_F(ExtractPayloadTest, ABrokenPayloadFailsAndChangesNothingElse) {
  write_launcher(L"setup.exe",
                 {entry(u"setup.ini", u"Disk1\\setup.ini", "ini"), entry(u"x", u"..\\..\\x", "x")});
  string command_line = L"/s";
  const string before = s_.SourceFolder;
  EXPECT_EQ(ExtractPayload(setup_, command_line), static_cast<HRESULT>(overlay_unsafe_entry));
  EXPECT_EQ(command_line.str(), L"/s");
  EXPECT_EQ(s_.SourceFolder, before);
  EXPECT_EQ(s_.LauncherPath.str(), launcher_);
  // What was unpacked is still removed at the end of the run.
  EXPECT_TRUE(recorded(setup_.Cleanup().files, t_ + L"Disk1\\setup.ini"));

  s_.ExtractAll = true;
  EXPECT_EQ(ExtractPayload(setup_, command_line), static_cast<HRESULT>(overlay_unsafe_entry));

  s_.TempFolder.clear();
  EXPECT_NE(ExtractPayload(setup_, command_line), S_OK);
}

TEST_F(ExtractPayloadTest, AFileThatCannotBeExpandedFailsWithAMessageNamingIt) {
  const std::vector<std::uint8_t> packed = medium::szdd_compress({'M', 'Z', 0, 1}, 'e');
  write_launcher(L"setup.exe", {entry(u"setup.ini", u"Disk1\\setup.ini", "ini"),
                                entry(u"setup.ex_", u"Disk1\\setup.exe",
                                      std::string(packed.begin(), packed.end()))});
  // Deeper than LZ32 can open.
  const std::wstring deep = t_ + std::wstring(130, L'd') + L"\\";
  s_.TempFolder = string(deep);
  string command_line = L"/s";
  EXPECT_EQ(ExtractPayload(setup_, command_line), static_cast<HRESULT>(overlay_expand_failed));
  EXPECT_EQ(command_line.str(), L"/s");
  const std::wstring message = setup_.FailureMessage.str();
  EXPECT_EQ(
      message.rfind(
          L"The setup could not expand its compressed file " + deep + L"Disk1\\setup.exe.", 0),
      0u)
      << message;
  EXPECT_FALSE(exists(deep + L"Disk1\\setup.ex_"));
  EXPECT_TRUE(recorded(setup_.Cleanup().files, deep + L"Disk1\\setup.ini"));
  // A silent run shows no dialog; the report's error information has it.
  ErrorInfoFacts facts;
  CollectMachineFacts(facts, L"");
  EXPECT_EQ(facts.com_description.str(), message);

  // The same medium in a folder of ordinary depth unpacks without a word.
  setup_.FailureMessage.clear();
  s_.TempFolder = string(t_);
  EXPECT_EQ(ExtractPayload(setup_, command_line), S_OK);
  EXPECT_EQ(ReadBytes(t_ + L"Disk1\\setup.exe"), std::string("MZ\0\1", 4));
  EXPECT_TRUE(setup_.FailureMessage.empty());
}

TEST(DefaultTempFolderTest, ASecuredGuidFolderForAnAdministrator) {
  const string folder = DefaultTempFolder();
  ASSERT_FALSE(folder.empty());
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring f = folder.str();
  EXPECT_EQ(f.back(), L'\\');
  EXPECT_EQ(f.rfind(temp, 0), 0u) << f;
  // The Wine user is an administrator: "{" GUID "}".
  const std::wstring name = f.substr(wcslen(temp), f.size() - wcslen(temp) - 1);
  EXPECT_EQ(name.size(), 38u) << name;
  EXPECT_EQ(name.front(), L'{');
  EXPECT_EQ(name.back(), L'}');
  EXPECT_TRUE(exists(f));
  EXPECT_NE(DefaultTempFolder(), folder);
  testing::RemoveTree(f);
}

// Wine's user is always an administrator, so the other branch is taken by
// asking for it: a folder named by a bare GUID, two never alike.
TEST(DefaultTempFolderTest, AnUnguessableFolderForAnyOtherUser) {
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring first = DefaultTempFolder(false).str();
  const std::wstring second = DefaultTempFolder(false).str();
  for (const std::wstring& f : {first, second}) {
    ASSERT_FALSE(f.empty());
    EXPECT_EQ(f.back(), L'\\');
    EXPECT_EQ(f.rfind(temp, 0), 0u) << f;
    const std::wstring name = f.substr(wcslen(temp), f.size() - wcslen(temp) - 1);
    EXPECT_EQ(name.size(), 36u) << name;
    EXPECT_EQ(name.find_first_not_of(L"0123456789abcdef-"), std::wstring::npos) << name;
    EXPECT_TRUE(exists(f));
  }
  EXPECT_NE(first, second);
  testing::RemoveTree(first);
  testing::RemoveTree(second);
}

class RelaunchTest : public TempMediaTest {
 protected:
  void SetUp() override {
    TempMediaTest::SetUp();
    launcher_ = media_.file(L"setup.exe");
    ASSERT_TRUE(CopyFileW(testing::ProbePath().c_str(), launcher_.c_str(), FALSE));
    s_.LauncherPath = string(launcher_);
    log_ = media_.file(L"probe.log");
  }
  // Probe switches; "--" makes it ignore the switches the relaunch adds.
  string arguments(const std::wstring& exit) const {
    return string(L"--log=" + log_ + L" --exit=" + exit + L" --");
  }
  std::wstring launcher_, log_;
};

TEST_F(RelaunchTest, StartsTheCopyInTheTemporaryFolderAndReturnsItsExitCode) {
  s_.CloneWait = true;
  EXPECT_EQ(RelaunchFromTemp(setup_, arguments(L"0xC0000005")), static_cast<int>(0xC0000005));
  EXPECT_TRUE(recorded(setup_.Cleanup().files, t_ + L"setup.exe"));
  const auto records = testing::ProbeRuns(log_);
  ASSERT_EQ(records.size(), 1u);
  const std::wstring cmdline = records[0].at("cmdline");
  const std::wstring expected_tail =
      (string(L" ") + RelaunchArguments(s_, arguments(L"0xC0000005"))).str();
  EXPECT_NE(cmdline.find(t_ + L"setup.exe"), std::wstring::npos) << cmdline;
  ASSERT_GE(cmdline.size(), expected_tail.size());
  EXPECT_EQ(cmdline.substr(cmdline.size() - expected_tail.size()), expected_tail);
}

TEST_F(RelaunchTest, WithoutCloneWaitItDoesNotWait) {
  s_.CloneWait = false;
  EXPECT_EQ(RelaunchFromTemp(setup_, arguments(L"5")), 0);
  s_.CustomRetCode = true;
  s_.CustomRetCodeOnSuccess = 1641;
  EXPECT_EQ(RelaunchFromTemp(setup_, arguments(L"6")), 1641);
  // Both copies ran; let them end before their folders go.
  const std::vector<testing::ProbeRecord> records = testing::WaitForProbeRuns(log_, 2);
  ASSERT_EQ(records.size(), 2u);
  for (const testing::ProbeRecord& r : records) {
    const DWORD pid = static_cast<DWORD>(std::stoul(r.at("pid")));
    for (int i = 0; i < 200 && testing::ProcessRunning(pid); ++i) Sleep(50);
  }
}

TEST_F(RelaunchTest, FailuresEndWith5017OrTheCustomCode) {
  s_.CloneWait = true;
  s_.LauncherPath = string(media_.file(L"missing.exe"));
  EXPECT_EQ(RelaunchFromTemp(setup_, arguments(L"0")), -5017);
  s_.CustomRetCode = true;
  s_.CustomRetCodeOnFail = 1603;
  EXPECT_EQ(RelaunchFromTemp(setup_, arguments(L"0")), 1603);
  s_.CustomRetCode = false;
  // A copy that is no program cannot be started (silently: no shell error
  // box in a silent run).
  s_.Silent = true;
  ASSERT_TRUE(WriteBytes(media_.file(L"broken.exe"), "not a program"));
  s_.LauncherPath = string(media_.file(L"broken.exe"));
  EXPECT_EQ(RelaunchFromTemp(setup_, arguments(L"0")), -5017);
}

}  // namespace
}  // namespace kx
