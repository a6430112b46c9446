#include "tests/testing/registry_sandbox.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kx::testing {
namespace {

constexpr wchar_t kCurrentVersion[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

std::wstring read_string(HKEY root, const std::wstring& key, const wchar_t* name) {
  wchar_t buffer[512] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
    return L"<missing>";
  return buffer;
}

bool key_exists(HKEY root, const std::wstring& key) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

TEST(RegistrySandboxTest, RedirectsWritesThroughTheRootsIntoTheScratchKey) {
  const std::wstring real_program_files =
      read_string(HKEY_LOCAL_MACHINE, kCurrentVersion, L"ProgramFilesDir");
  ASSERT_NE(real_program_files, L"<missing>");
  std::wstring scratch;
  {
    RegistrySandbox sandbox(RegistrySandbox::kLocalMachine | RegistrySandbox::kCurrentUser |
                            RegistrySandbox::kUsers);
    scratch = sandbox.path();
    // The redirected root starts empty.
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kCurrentVersion));
    ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, L"ProgramFilesDir",
                                         L"X:\\Apps"),
              ERROR_SUCCESS);
    ASSERT_EQ(RegistrySandbox::SetDword(HKEY_CURRENT_USER, L"Software\\Kx", L"N", 7),
              ERROR_SUCCESS);
    ASSERT_EQ(RegistrySandbox::SetString(HKEY_USERS, L".Default\\X", L"", L"d"), ERROR_SUCCESS);
    EXPECT_EQ(read_string(HKEY_LOCAL_MACHINE, kCurrentVersion, L"ProgramFilesDir"), L"X:\\Apps");

    // Behind the redirection, the values sit in the scratch key.
    EXPECT_EQ(read_string(sandbox.scratch_key(), std::wstring(L"HKLM\\") + kCurrentVersion,
                          L"ProgramFilesDir"),
              L"X:\\Apps");
    EXPECT_EQ(sandbox.root_path(HKEY_LOCAL_MACHINE), scratch + L"\\HKLM");
    EXPECT_EQ(sandbox.root_path(HKEY_USERS), scratch + L"\\HKU");
    EXPECT_TRUE(key_exists(sandbox.scratch_key(), L"HKCU\\Software\\Kx"));
    EXPECT_EQ(read_string(sandbox.scratch_key(), L"HKU\\.Default\\X", nullptr), L"d");
  }
  // Restored, and the scratch key is gone.
  EXPECT_EQ(read_string(HKEY_LOCAL_MACHINE, kCurrentVersion, L"ProgramFilesDir"),
            real_program_files);
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, scratch));
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, L"Software\\Kx"));
}

TEST(RegistrySandboxTest, LeavesRootsItWasNotAskedToRedirect) {
  RegistrySandbox sandbox(RegistrySandbox::kCurrentUser);
  EXPECT_TRUE(key_exists(HKEY_LOCAL_MACHINE, kCurrentVersion));
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, L"Software\\KxTest"));
  EXPECT_THROW(sandbox.root_path(HKEY_LOCAL_MACHINE), std::invalid_argument);
}

TEST(RegistrySandboxTest, RefusesASecondSandboxAndAllowsOneAfterwards) {
  {
    RegistrySandbox first;
    EXPECT_THROW(RegistrySandbox second, std::logic_error);
  }
  RegistrySandbox again;
  EXPECT_FALSE(again.path().empty());
}

}  // namespace
}  // namespace kx::testing
