// An installed instance maintained through its own copy of the medium: the
// removal takes exactly what the installation recorded, a repair puts files
// back, and neither a planted record nor a foreign entry reaches anything
// outside the product's folder.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/engine/engine_host.h"
#include "tests/testing/registry_sandbox.h"

namespace kx::testing {
namespace {

constexpr wchar_t kSecondGuid[] = L"{9E8D7C6B-5A49-4382-9170-6F5E4D3C2B1A}";
constexpr ULONGLONG kFilesSize = 16 + 8192 + 32;

class EngineMaintenanceTest : public ::testing::Test {
 protected:
  // One whole run of the header `header` for instance `guid`.
  HRESULT RunOnce(const std::wstring& header, const std::wstring& ini,
                  const std::wstring& arguments, const std::wstring& guid = kInstallGuid) {
    HostRun run(&host_);
    HRESULT hr = run.Create();
    if (SUCCEEDED(hr)) hr = run.Open(header, guid);
    if (SUCCEEDED(hr)) hr = run.SetUp(0x0409);
    last_size_ = run.size;
    if (SUCCEEDED(hr)) hr = run.Arguments(ini, arguments);
    if (SUCCEEDED(hr)) hr = run.Runner();
    if (SUCCEEDED(hr)) hr = run.RunAndFinish();
    return hr;
  }
  HRESULT Install(const Medium& medium, const std::wstring& guid = kInstallGuid) {
    return RunOnce(medium.header(), medium.ini(), L"-s -sel_lang0409", guid);
  }
  // The removal as the uninstall entry starts it: from the maintenance copy.
  HRESULT Remove(const Medium& medium, const std::wstring& guid = kInstallGuid) {
    const std::wstring copy = Maintenance(medium, guid);
    return RunOnce(copy + L"\\data1.hdr", copy + L"\\setup.ini", L"-s -uninstall -sel_lang0409",
                   guid);
  }

  RegistrySandbox sandbox_;
  TestHost host_;
  ULONGLONG last_size_ = 0;
};

TEST_F(EngineMaintenanceTest, RemovalFromTheCopyTakesTheRecordedFilesAndTheEntry) {
  Medium medium;
  ASSERT_EQ(Install(medium), S_OK);
  const std::wstring dir = medium.install_dir();
  const std::wstring copy = Maintenance(medium);
  EXPECT_FALSE(PathExists(copy + L"\\data1.cab"));
  const std::string record = ReadBytes(copy + L"\\files.lst");
  for (const wchar_t* line : {L"root=created", L"folder=bin", L"file=docs\\notes.txt"})
    EXPECT_NE(record.find(Utf16(line).substr(2)), std::string::npos) << line;
  WriteBytes(dir + L"\\bin\\user.cfg", "the user's own file");
  host_.events.clear();
  host_.progress_total = 0;

  ASSERT_EQ(Remove(medium), S_OK);
  EXPECT_GT(last_size_, kFilesSize) << "the copy without a cabinet reports the recorded files";
  EXPECT_EQ(host_.progress_total, last_size_);
  for (const wchar_t* gone :
       {L"\\readme.txt", L"\\bin\\app.exe", L"\\docs\\notes.txt", L"\\docs", L"\\_Setup"}) {
    EXPECT_FALSE(PathExists(dir + gone)) << gone;
  }
  EXPECT_EQ(ReadBytes(dir + L"\\bin\\user.cfg"), "the user's own file");
  EXPECT_EQ(UninstallValue(HKEY_LOCAL_MACHINE, kInstallGuid, L"DisplayName"), L"");
  const auto has = [&](const std::wstring& e) {
    return std::find(host_.events.begin(), host_.events.end(), e) != host_.events.end();
  };
  EXPECT_TRUE(has(L"OnFileBegin bin\\app.exe 8192"));
  EXPECT_TRUE(has(L"OnFileEnd bin\\app.exe 0x00000000"));
  EXPECT_TRUE(has(L"OnStatus readme.txt"));
  const auto journal = medium.Journal();
  EXPECT_NE(std::find(journal.begin(), journal.end(),
                      std::wstring(L"Removed installguid=") + kInstallGuid + L" left=0"),
            journal.end());

  DeleteFileW((dir + L"\\bin\\user.cfg").c_str());
  EXPECT_EQ(Remove(medium), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) << "the copy is gone";
  EXPECT_EQ(RunOnce(medium.header(), medium.ini(), L"-uninstall"),
            HRESULT_FROM_WIN32(ERROR_UNKNOWN_PRODUCT))
      << "a removed instance is no longer known to the medium either";
}

TEST_F(EngineMaintenanceTest, ARepairPutsFilesBackAndTheRemovalThenTakesTheFolder) {
  Medium medium;
  ASSERT_EQ(Install(medium), S_OK);
  const std::wstring app = medium.install_dir() + L"\\bin\\app.exe";
  ASSERT_TRUE(DeleteFileW(app.c_str()));
  ASSERT_EQ(Install(medium), S_OK);
  EXPECT_TRUE(PathExists(app));
  ASSERT_EQ(Remove(medium), S_OK);
  EXPECT_FALSE(PathExists(medium.install_dir())) << "the repair kept root=created";
}

TEST_F(EngineMaintenanceTest, APlantedRecordNeverReachesOutsideTheInstallFolder) {
  Medium medium;
  ASSERT_EQ(Install(medium), S_OK);
  const std::wstring dir = medium.install_dir();
  const std::wstring parent = dir.substr(0, dir.rfind(L'\\'));
  const std::wstring outside = parent + L"\\outside.txt";
  WriteBytes(outside, "not the product's");
  const std::wstring planted = L"file=..\\outside.txt\r\nfile=" + outside +
                               L"\r\nfile=bin\\..\\..\\outside.txt\r\nfolder=..\r\n"
                               L"file=readme.txt\r\n";
  WriteBytes(Maintenance(medium) + L"\\files.lst", Utf16(planted));

  ASSERT_EQ(Remove(medium), S_OK);
  EXPECT_EQ(ReadBytes(outside), "not the product's");
  EXPECT_TRUE(PathExists(parent));
  EXPECT_FALSE(PathExists(dir + L"\\readme.txt"));
  const auto calls = medium.JournalCalls();
  EXPECT_GE(std::count(calls.begin(), calls.end(), L"RecordRefused"), 4)
      << "each refused line is journaled";
}

TEST_F(EngineMaintenanceTest, AnEntryOfAnotherProductOrFolderRemovesNothing) {
  Medium medium;
  ASSERT_EQ(Install(medium), S_OK);
  const std::wstring key =
      std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kInstallGuid;
  const struct {
    const wchar_t* name;
    std::wstring foreign;
    std::wstring own;
  } cases[] = {
      {L"ProductGuid", L"{another product}", kProductGuid},
      {L"ProductGuid", L"", kProductGuid},
      {L"InstallLocation", L"C:\\Windows", medium.install_dir()},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, key, c.name, c.foreign),
              ERROR_SUCCESS);
    EXPECT_EQ(Remove(medium), HRESULT_FROM_WIN32(ERROR_UNKNOWN_PRODUCT)) << c.name << c.foreign;
    EXPECT_TRUE(PathExists(medium.install_dir() + L"\\readme.txt")) << c.name << c.foreign;
    EXPECT_NE(UninstallValue(HKEY_LOCAL_MACHINE, kInstallGuid, L"DisplayName"), L"");
    ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, key, c.name, c.own), ERROR_SUCCESS);
  }
  EXPECT_EQ(Remove(medium), S_OK);
}

TEST_F(EngineMaintenanceTest, TwoInstancesInOneFolderKeepEachOthersFiles) {
  Medium medium;
  ASSERT_EQ(Install(medium), S_OK);
  ASSERT_EQ(Install(medium, kSecondGuid), S_OK);
  ASSERT_EQ(Remove(medium), S_OK);
  EXPECT_TRUE(PathExists(medium.install_dir() + L"\\bin\\app.exe"));
  EXPECT_FALSE(PathExists(Maintenance(medium)));
  EXPECT_NE(UninstallValue(HKEY_LOCAL_MACHINE, kSecondGuid, L"DisplayName"), L"");
  ASSERT_EQ(Remove(medium, kSecondGuid), S_OK);
  EXPECT_FALSE(PathExists(medium.install_dir()));
}

TEST_F(EngineMaintenanceTest, ACancelledRemovalKeepsTheEntryForTheNextOne) {
  Medium medium;
  ASSERT_EQ(Install(medium), S_OK);
  host_.progress_calls = 0;
  host_.cancel_at_progress = 1;
  EXPECT_EQ(Remove(medium), KX_E_CANCELLED);
  EXPECT_NE(UninstallValue(HKEY_LOCAL_MACHINE, kInstallGuid, L"DisplayName"), L"");
  host_.cancel_at_progress = 0;
  ASSERT_EQ(Remove(medium), S_OK);
  EXPECT_FALSE(PathExists(medium.install_dir()));
}

}  // namespace
}  // namespace kx::testing
