// Damaged or hostile media: each gets a clear error, nothing is written
// outside the install folder, and an aborted run leaves nothing behind.
#include <gtest/gtest.h>

#include "tests/engine/engine_host.h"
#include "tests/testing/registry_sandbox.h"

namespace kx::testing {
namespace {

const HRESULT kBadFormat = HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
const HRESULT kInvalidName = HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
const HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class EngineInputTest : public ::testing::Test {
 protected:
  HRESULT OpenWithHeader(const Medium& medium, const std::wstring& header_text) {
    medium.WriteHeader(header_text);
    HostRun run(&host_);
    EXPECT_EQ(run.Create(), S_OK);
    const HRESULT hr = run.Open(medium.header());
    EXPECT_EQ(run.cabinet == nullptr, FAILED(hr));
    return hr;
  }

  RegistrySandbox sandbox_;
  TestHost host_;
};

TEST_F(EngineInputTest, RejectsDamagedHeaders) {
  Medium medium;
  const std::wstring dir = L"InstallDir=" + medium.install_dir() + L"\r\n";
  EXPECT_EQ(OpenWithHeader(medium, L"[Product]\r\nName=X\r\n" + dir), kBadFormat) << "no files";
  EXPECT_EQ(OpenWithHeader(medium, L"[Product]\r\n" + dir + L"[Files]\r\nFile1=a\r\n"), kBadFormat)
      << "no product name";
  EXPECT_EQ(OpenWithHeader(medium,
                           L"[Product]\r\nName=X\r\nInstallDir=relative\\dir\r\n"
                           L"[Files]\r\nFile1=a\r\n"),
            kBadFormat);
  EXPECT_EQ(OpenWithHeader(medium, L"[Product]\r\nName=X\r\n" + dir +
                                       L"[Files]\r\nFile1=a.txt\r\nFile2=A.TXT\r\n"),
            kBadFormat)
      << "the same file twice";
  WriteBytes(medium.header(), "[Product]\r\nName=X\r\n");  // no UTF-16 byte-order mark
  HostRun run(&host_);
  ASSERT_EQ(run.Create(), S_OK);
  EXPECT_EQ(run.Open(medium.header()), kBadFormat);
  EXPECT_EQ(run.Open(medium.folder() + L"\\missing.hdr"), kNotFound);
}

TEST_F(EngineInputTest, RejectsFileNamesThatLeaveTheInstallFolder) {
  Medium medium;
  const std::wstring head =
      L"[Product]\r\nName=X\r\nInstallDir=" + medium.install_dir() + L"\r\n[Files]\r\nFile1=";
  for (const wchar_t* name :
       {L"..\\escape.txt", L"bin\\..\\..\\escape.txt", L"\\root.txt", L"C:\\abs.txt", L"C:rel.txt",
        L"a.txt:stream", L"bin\\CON", L"nul.txt", L"dots.", L"bin\\\\double.txt", L"wild*.txt"}) {
    EXPECT_EQ(OpenWithHeader(medium, head + name + L"\r\n"), kInvalidName) << name;
  }
  EXPECT_EQ(OpenWithHeader(medium, head + L"fine\\name.txt\r\n"), S_OK);
}

TEST_F(EngineInputTest, RejectsUnsafeIdentifiersFromTheHost) {
  Medium medium;
  HostRun run(&host_);
  ASSERT_EQ(run.Create(), S_OK);
  EXPECT_EQ(run.Open(medium.header(), L"..\\..\\Run"), E_INVALIDARG);
  EXPECT_EQ(run.Open(medium.header(), kInstallGuid, L"", L"..\\other.exe"), E_INVALIDARG);
  EXPECT_EQ(run.Open(L""), E_INVALIDARG);
}

TEST_F(EngineInputTest, DamagedCabinetsFailBeforeAndDuringTheRun) {
  for (const wchar_t* cabinet : {L"truncated.cab", L"garbage.cab"}) {
    Medium medium(cabinet);
    HostRun run(&host_);
    ASSERT_EQ(run.Create(), S_OK);
    ASSERT_EQ(run.Open(medium.header()), S_OK);
    EXPECT_EQ(run.SetUp(0x0409), kBadFormat) << cabinet;  // Prepare reads the cabinet
    ASSERT_EQ(run.Arguments(medium.ini(), L""), S_OK);
    ASSERT_EQ(run.Runner(), S_OK);
    EXPECT_TRUE(FAILED(run.runner->Run())) << cabinet;
    EXPECT_EQ(run.Abort(), S_OK);
    EXPECT_FALSE(Exists(medium.install_dir() + L"\\readme.txt")) << cabinet;
    EXPECT_EQ(UninstallValue(HKEY_LOCAL_MACHINE, kInstallGuid, L"LogFile"), L"");
  }
}

TEST_F(EngineInputTest, AListedFileMissingFromTheCabinetFailsTheRun) {
  Medium medium;
  medium.WriteHeader(L"[Product]\r\nName=X\r\nInstallDir=" + medium.install_dir() +
                     L"\r\n[Files]\r\nFile1=readme.txt\r\nFile2=absent.txt\r\n");
  HostRun run(&host_);
  ASSERT_EQ(run.Create(), S_OK);
  ASSERT_EQ(run.Open(medium.header()), S_OK);
  ASSERT_EQ(run.SetUp(0x0409), S_OK);
  ASSERT_EQ(run.Arguments(medium.ini(), L""), S_OK);
  ASSERT_EQ(run.Runner(), S_OK);
  EXPECT_EQ(run.runner->Run(), kNotFound);
  EXPECT_EQ(UninstallValue(HKEY_LOCAL_MACHINE, kInstallGuid, L"LogFile"), L"");
}

TEST_F(EngineInputTest, CancelledRunIsRemovedByTheAbortPathButOlderFilesStay) {
  Medium medium;
  const std::wstring& dir = medium.install_dir();
  CreateDirectoryW(dir.substr(0, dir.rfind(L'\\')).c_str(), nullptr);
  CreateDirectoryW(dir.c_str(), nullptr);
  WriteBytes(medium.install_dir() + L"\\readme.txt", "older copy");
  host_.cancel_at_progress = 2;
  host_.replace_answer = KX_REPLACE_KEEP;
  HostRun run(&host_);
  ASSERT_EQ(run.Create(), S_OK);
  ASSERT_EQ(run.Open(medium.header()), S_OK);
  ASSERT_EQ(run.SetUp(0x0409), S_OK);
  ASSERT_EQ(run.Arguments(medium.ini(), L""), S_OK);
  ASSERT_EQ(run.Runner(), S_OK);
  EXPECT_EQ(run.runner->Run(), KX_E_CANCELLED);
  LONG code = 0;
  EXPECT_EQ(run.cabinet->GetResultCode(&code), S_OK);
  EXPECT_EQ(code, KX_E_CANCELLED);
  EXPECT_EQ(ReadBytes(medium.install_dir() + L"\\readme.txt"), "older copy");  // kept
  EXPECT_TRUE(Exists(medium.install_dir() + L"\\bin\\app.exe"));  // written before the cancel

  ASSERT_EQ(run.Abort(), S_OK);
  EXPECT_FALSE(Exists(medium.install_dir() + L"\\bin\\app.exe"));
  EXPECT_FALSE(Exists(medium.install_dir() + L"\\bin"));
  EXPECT_EQ(ReadBytes(medium.install_dir() + L"\\readme.txt"), "older copy");
  EXPECT_EQ(UninstallValue(HKEY_LOCAL_MACHINE, kInstallGuid, L"LogFile"), L"");
  EXPECT_EQ(run.runner->Run(), E_ABORT) << "an aborted engine does not run again";
}

}  // namespace
}  // namespace kx::testing
