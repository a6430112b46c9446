// A whole run as a launcher makes it: the files land in the install folder,
// the uninstall entry is written, the host hears of every file, and the
// journal shows each call with its arguments.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/engine/engine_host.h"
#include "tests/testing/registry_sandbox.h"

namespace kx::testing {
namespace {

constexpr ULONGLONG kFilesSize = 16 + 8192 + 32;  // readme.txt, bin\app.exe, docs\notes.txt

class EngineRunTest : public ::testing::Test {
 protected:
  // Steps from the engine's creation to the runner, as a launcher makes them.
  void Prepare(HostRun& run, const Medium& medium, LONG language = 0x0409) {
    ASSERT_EQ(run.Create(), S_OK);
    ASSERT_EQ(run.Open(medium.header()), S_OK);
    ASSERT_EQ(run.SetUp(language), S_OK);
    ASSERT_EQ(run.Arguments(medium.ini(), L"-s -sel_lang0409"), S_OK);
    ASSERT_EQ(run.Runner(), S_OK);
  }

  // A file the cabinet was made from; never empty.
  static std::string Source(const wchar_t* name) {
    const std::string bytes = ReadBytes(FixturePath(L"src\\") + name);
    EXPECT_FALSE(bytes.empty()) << "fixture file missing";
    return bytes;
  }

  RegistrySandbox sandbox_;
  TestHost host_;
};

TEST_F(EngineRunTest, InstallsFilesWritesTheEntryAndJournalsTheCalls) {
  Medium medium;
  {
    HostRun run(&host_);
    Prepare(run, medium, 0x0407);
    EXPECT_EQ(run.size, kFilesSize);
    EXPECT_EQ(run.support_dir, medium.install_dir());
    EXPECT_EQ(run.log_file, Maintenance(medium) + L"\\install.log");
    ASSERT_EQ(run.RunAndFinish(), S_OK);
    EXPECT_EQ(run.restart, 0);
    LONG code = -1;
    EXPECT_EQ(run.cabinet->GetResultCode(&code), S_OK);
    EXPECT_EQ(code, 0);
  }

  const std::wstring dir = medium.install_dir();
  EXPECT_EQ(ReadBytes(dir + L"\\readme.txt"), Source(L"readme.txt"));
  EXPECT_EQ(ReadBytes(dir + L"\\bin\\app.exe"), Source(L"bin\\app.exe"));
  EXPECT_EQ(ReadBytes(dir + L"\\docs\\notes.txt"), Source(L"docs\\notes.txt"));
  EXPECT_EQ(GetFileAttributesW((dir + L"\\extra.txt").c_str()), INVALID_FILE_ATTRIBUTES)
      << "a cabinet entry the header does not name stays out";
  const std::wstring maintenance = Maintenance(medium);
  EXPECT_EQ(ReadBytes(maintenance + L"\\setup.exe"), "MZ stand-in launcher");
  EXPECT_EQ(ReadBytes(maintenance + L"\\data1.hdr"), ReadBytes(medium.header()));
  EXPECT_EQ(ReadBytes(maintenance + L"\\setup.ini"), ReadBytes(medium.ini()));
  EXPECT_FALSE(PathExists(maintenance + L"\\data1.cab")) << "the copy carries no cabinet";
  EXPECT_FALSE(PathExists(dir + L"\\setup.exe"));
  EXPECT_NE(ReadBytes(maintenance + L"\\install.log").find(Utf16(L"Installed ").substr(2)),
            std::string::npos);

  // AllUsers=1: the machine's entry; none for the user.
  EXPECT_EQ(UninstallValue(HKEY_LOCAL_MACHINE, kInstallGuid, L"DisplayName"), L"Demo Application");
  EXPECT_EQ(UninstallValue(HKEY_LOCAL_MACHINE, kInstallGuid, L"InstallLocation"), dir);
  EXPECT_EQ(UninstallValue(HKEY_LOCAL_MACHINE, kInstallGuid, L"ProductGuid"), kProductGuid);
  EXPECT_EQ(
      UninstallValue(HKEY_LOCAL_MACHINE, kInstallGuid, L"UninstallString"),
      L"\"" + maintenance + L"\\setup.exe\" -ig\"" + kInstallGuid + L"\" -uninstall -l0x0407");
  EXPECT_EQ(UninstallValue(HKEY_LOCAL_MACHINE, kInstallGuid, L"LogFile"),
            maintenance + L"\\install.log");
  EXPECT_EQ(UninstallValue(HKEY_CURRENT_USER, kInstallGuid, L"DisplayName"), L"");

  // Every file is reported, and the progress adds up to the size asked for.
  EXPECT_EQ(host_.progress_total, kFilesSize);
  EXPECT_EQ(host_.events.front(), L"OnTransferBegin " + medium.folder() + L"\\data1.cab " + dir);
  EXPECT_EQ(host_.events.back(), L"OnTransferEnd " + medium.folder() + L"\\data1.cab 0x00000000");
  const auto has = [&](const std::wstring& e) {
    return std::find(host_.events.begin(), host_.events.end(), e) != host_.events.end();
  };
  EXPECT_TRUE(has(L"OnFileBegin bin\\app.exe 8192"));
  EXPECT_TRUE(has(L"OnFileEnd bin\\app.exe 0x00000000"));
  EXPECT_TRUE(has(L"OnStatus docs\\notes.txt"));
  EXPECT_TRUE(has(L"Rate"));
  EXPECT_FALSE(has(L"OnFileBegin extra.txt 26"));

  const std::vector<std::wstring> expected = {L"DllGetClassObject",
                                              L"CreateInstance",
                                              L"QueryInterface",
                                              L"OpenCabinet",
                                              L"SetLanguage",
                                              L"SetLanguage",
                                              L"QueryInterface",
                                              L"SetPlatformFlags",
                                              L"SetPlatformFlags",
                                              L"GetMedia",
                                              L"GetComponent",
                                              L"SetMode",
                                              L"Prepare",
                                              L"GetSize",
                                              L"QueryInterface",
                                              L"QueryService",
                                              L"QueryInterface",
                                              L"GetProperty",
                                              L"GetComponent",
                                              L"SetHost",
                                              L"SetMode",
                                              L"Start",
                                              L"SetMode",
                                              L"SetMode",
                                              L"SetProperty",
                                              L"MarkProperty",
                                              L"SetProperty",
                                              L"MarkProperty",
                                              L"SetProperty",
                                              L"MarkProperty",
                                              L"SetProperty",
                                              L"MarkProperty",
                                              L"SetHost",
                                              L"SetLanguage",
                                              L"ApplyFlags",
                                              L"QueryInterface",
                                              L"SetIniPath",
                                              L"SetArguments",
                                              L"GetValue",
                                              L"GetRunner",
                                              L"Run",
                                              L"GetRestartNeeded",
                                              L"Finish",
                                              L"GetResultCode"};
  EXPECT_EQ(medium.JournalCalls(), expected);
  const auto journal = medium.Journal();
  ASSERT_GE(journal.size(), 8u);
  EXPECT_EQ(journal[3], L"OpenCabinet header=" + medium.header() +
                            L" user=webuser password=*** proxyuser= proxypassword= installguid=" +
                            kInstallGuid + L" launcher=setup.exe webcache=");
  EXPECT_EQ(journal[5], L"SetLanguage scope=0 language=0x00000407");
  EXPECT_EQ(journal[8], L"SetPlatformFlags flags=0x00000800");
  EXPECT_NE(std::find(journal.begin(), journal.end(), L"SetMode component=<Support> mode=2"),
            journal.end());
  EXPECT_NE(std::find(journal.begin(), journal.end(),
                      L"ApplyFlags set=0x00000000 "
                      L"clear=0x00000000 target=-1"),
            journal.end());
  EXPECT_NE(std::find(journal.begin(), journal.end(), L"SetArguments text=-s -sel_lang0409"),
            journal.end());
}

TEST_F(EngineRunTest, PerUserMediumWritesTheUsersEntry) {
  Medium medium(L"good.cab", L"N");
  HostRun run(&host_);
  Prepare(run, medium);
  ASSERT_EQ(run.RunAndFinish(), S_OK);
  EXPECT_EQ(UninstallValue(HKEY_CURRENT_USER, kInstallGuid, L"InstallLocation"),
            medium.install_dir());
  EXPECT_EQ(UninstallValue(HKEY_LOCAL_MACHINE, kInstallGuid, L"InstallLocation"), L"");
}

TEST_F(EngineRunTest, ChosenResultRestartAndSizeAreReported) {
  Medium medium;
  ScopedEnv result(L"KX_ENGINE_RESULT", L"1603");
  ScopedEnv restart(L"KX_ENGINE_RESTART", L"1");
  ScopedEnv size(L"KX_ENGINE_SIZE", L"0x1000000000");
  HostRun run(&host_);
  Prepare(run, medium);
  EXPECT_EQ(run.size, 0x1000000000ULL);
  ASSERT_EQ(run.RunAndFinish(), S_OK);
  EXPECT_EQ(run.restart, 1);
  LONG code = 0;
  EXPECT_EQ(run.cabinet->GetResultCode(&code), S_OK);
  EXPECT_EQ(code, 1603);
}

TEST_F(EngineRunTest, ChosenFailureStopsThatCallOnly) {
  Medium medium;
  ScopedEnv fail(L"KX_ENGINE_FAIL", L"GetComponent:0x80070490,Run:0x80004005");
  HostRun run(&host_);
  ASSERT_EQ(run.Create(), S_OK);
  ASSERT_EQ(run.Open(medium.header()), S_OK);
  EXPECT_EQ(run.SetUp(0x0409), static_cast<HRESULT>(0x80070490));
  EXPECT_EQ(run.driver, nullptr);
  ASSERT_EQ(run.Runner(), S_OK);
  EXPECT_EQ(run.runner->Run(), E_FAIL);
  EXPECT_EQ(GetFileAttributesW(medium.install_dir().c_str()), INVALID_FILE_ATTRIBUTES);
  LONG code = 0;
  EXPECT_EQ(run.cabinet->GetResultCode(&code), S_OK);
  EXPECT_EQ(code, E_FAIL);
}

TEST_F(EngineRunTest, OnlyFailuresCanBeChosenAndAnUnreadableCodeIsAGeneralFailure) {
  Medium medium;
  ScopedEnv fail(L"KX_ENGINE_FAIL", L"Start:1,Run:soon");
  HostRun run(&host_);
  Prepare(run, medium);
  EXPECT_EQ(run.runner->Run(), E_FAIL);
  const auto journal = medium.Journal();
  EXPECT_NE(std::find(journal.begin(), journal.end(), L"Start flags=0"), journal.end());
  EXPECT_NE(std::find(journal.begin(), journal.end(), L"Run failed=0x80004005"), journal.end());
}

TEST_F(EngineRunTest, AfterARestartTheResumeOrderCompletesTheInstallation) {
  Medium medium;
  {
    ScopedEnv restart(L"KX_ENGINE_RESTART", L"1");
    HostRun run(&host_);
    Prepare(run, medium);
    ASSERT_EQ(run.RunAndFinish(), S_OK);
    EXPECT_EQ(run.restart, 1);
  }
  const std::wstring app = medium.install_dir() + L"\\bin\\app.exe";
  ASSERT_TRUE(DeleteFileW(app.c_str()));
  const size_t first_run = medium.Journal().size();

  // The resume path hands over the arguments before it opens the header, so
  // the log file's place comes from the header beside setup.ini, and the
  // instance is the product's own until the header names another.
  HostRun run(&host_);
  ASSERT_EQ(run.Create(), S_OK);
  ASSERT_EQ(run.Arguments(medium.ini(), L"-s"), S_OK);
  EXPECT_EQ(run.log_file, Maintenance(medium, kProductGuid) + L"\\install.log");
  ASSERT_EQ(run.Open(medium.header()), S_OK);
  ASSERT_EQ(run.SetUp(0x0409), S_OK);
  ASSERT_EQ(run.Runner(), S_OK);
  ASSERT_EQ(run.RunAndFinish(/*after_restart=*/true), S_OK);
  EXPECT_EQ(run.restart, 0);
  EXPECT_EQ(ReadBytes(app), Source(L"bin\\app.exe"));
  EXPECT_EQ(UninstallValue(HKEY_LOCAL_MACHINE, kInstallGuid, L"UninstallString"),
            L"\"" + Maintenance(medium) + L"\\setup.exe\" -ig\"" + kInstallGuid +
                L"\" -uninstall -l0x0409");

  const auto calls = medium.JournalCalls();
  const std::vector<std::wstring> resumed(calls.begin() + first_run, calls.end());
  const auto at = [&](const wchar_t* call) {
    return std::find(resumed.begin(), resumed.end(), call) - resumed.begin();
  };
  EXPECT_LT(at(L"GetValue"), at(L"OpenCabinet"));
  EXPECT_LT(at(L"OpenCabinet"), at(L"GetRunner"));
  EXPECT_LT(at(L"GetRunner"), at(L"Complete"));
  EXPECT_EQ(at(L"Run"), static_cast<ptrdiff_t>(resumed.size())) << "the resume path does not run";
}

TEST_F(EngineRunTest, ValueThreeNeedsAHeaderBesideSetupIni) {
  Medium medium;
  ASSERT_TRUE(DeleteFileW(medium.header().c_str()));
  HostRun run(&host_);
  ASSERT_EQ(run.Create(), S_OK);
  EXPECT_EQ(run.Arguments(medium.ini(), L""), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(run.log_file, L"");
}

TEST_F(EngineRunTest, WebMediumIsReadFromTheCacheFolder) {
  Medium medium;
  ScopedTempDir cache;
  for (const wchar_t* name : {L"data1.hdr", L"data1.cab"}) {
    ASSERT_TRUE(
        CopyFileW((medium.folder() + L"\\" + name).c_str(), cache.file(name).c_str(), FALSE));
  }
  ASSERT_TRUE(DeleteFileW((medium.folder() + L"\\data1.cab").c_str()));
  const std::wstring url = L"http://media.example/product/disk1/data1.hdr";
  HostRun run(&host_);
  ASSERT_EQ(run.Create(), S_OK);
  ASSERT_EQ(run.Open(url, kInstallGuid, cache.path()), S_OK);
  ASSERT_EQ(run.SetUp(0x0409), S_OK);
  ASSERT_EQ(run.Arguments(medium.ini(), L"-internet"), S_OK);
  ASSERT_EQ(run.Runner(), S_OK);
  ASSERT_EQ(run.RunAndFinish(), S_OK);
  EXPECT_EQ(ReadBytes(medium.install_dir() + L"\\readme.txt"), Source(L"readme.txt"));
  const auto journal = medium.Journal();
  EXPECT_NE(std::find(journal.begin(), journal.end(),
                      L"OpenCabinet header=" + url +
                          L" user=webuser password=*** proxyuser= proxypassword= installguid=" +
                          kInstallGuid + L" launcher=setup.exe webcache=" + cache.path()),
            journal.end());
}

}  // namespace
}  // namespace kx::testing
