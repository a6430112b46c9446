#include "prereq/folder_variables.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/folders.h"
#include "prereq/file_condition.h"
#include "prereq/redirection_scope.h"
#include "tests/testing/registry_sandbox.h"

namespace kx::prereq {
namespace {

using testing::RegistrySandbox;

constexpr const wchar_t* kCurrentVersion = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// Counts the calls of the redirection functions.
struct redirection_counts {
  int disabled = 0;
  int reverted = 0;
  bool version_library_loaded = false;
  bool disable_succeeds = true;
};
redirection_counts* g_counts = nullptr;

BOOL WINAPI fake_disable(PVOID* old_value) {
  ++g_counts->disabled;
  g_counts->version_library_loaded = GetModuleHandleW(L"version.dll") != nullptr;
  *old_value = &g_counts;
  return g_counts->disable_succeeds;
}

BOOL WINAPI fake_revert(PVOID old_value) {
  EXPECT_EQ(old_value, static_cast<PVOID>(&g_counts));
  ++g_counts->reverted;
  return TRUE;
}

class counted_redirection {
 public:
  counted_redirection() : functions_({fake_disable, fake_revert}) { g_counts = &counts; }
  ~counted_redirection() { g_counts = nullptr; }
  redirection_counts counts;

 private:
  scoped_redirection_functions functions_;
};

std::wstring expand(const wchar_t* path, bool* disabled = nullptr) {
  redirection_scope scope;
  const string result = expand_folder_variable(path, scope);
  if (disabled) *disabled = scope.disabled();
  return result.str();
}

TEST(FolderVariables, MachineFoldersFromTheRegistry) {
  RegistrySandbox sandbox;
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, L"ProgramFilesDir",
                                       L"X:\\Apps"),
            ERROR_SUCCESS);
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, L"CommonFilesDir",
                                       L"X:\\Shared\\"),
            ERROR_SUCCESS);
  counted_redirection redirection;
  bool off = false;
  EXPECT_EQ(expand(L"[ProgramFilesFolder]x.dll", &off), L"X:\\Apps\\x.dll");
  EXPECT_FALSE(off);
  EXPECT_EQ(expand(L"[CommonFilesFolder]\\sub\\x.dll", &off), L"X:\\Shared\\sub\\x.dll");
  EXPECT_FALSE(off);
  EXPECT_EQ(redirection.counts.disabled, 0);
  // The sandbox has one view for both; the 64-bit variables switch
  // redirection off for the rest of the test.
  EXPECT_EQ(expand(L"[ProgramFiles64Folder]x.dll", &off), L"X:\\Apps\\x.dll");
  EXPECT_TRUE(off);
  EXPECT_EQ(expand(L"[CommonFiles64Folder]x.dll", &off), L"X:\\Shared\\x.dll");
  EXPECT_TRUE(off);
  EXPECT_EQ(redirection.counts.disabled, 2);
  EXPECT_EQ(redirection.counts.reverted, 2);
}

TEST(FolderVariables, UnknownAndEmptyVariablesStayInPlace) {
  RegistrySandbox sandbox;
  const wchar_t* unchanged[] = {
      L"[ProgramFilesFolder]x.dll",  // no ProgramFilesDir in the sandbox
      L"[CommonFiles64Folder]\\x.dll",
      L"[programfilesfolder]x.dll",
      L"[SYSTEMFOLDER]kernel32.dll",
      L"[Unknown]x.dll",
      L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\KxFolders\\Missing]x.dll",
      L"[hkey_local_machine\\SOFTWARE\\KxFolders\\App]x.dll",
      L"[HKEY_LOCAL_MACHINE\\App]x.dll",
      L"[SystemFolder",
      L"x[SystemFolder]",
      L"",
  };
  for (const wchar_t* path : unchanged) EXPECT_EQ(expand(path), path);
  // Nothing to find there, rather than "\x.dll" at the root of the drive.
  EXPECT_FALSE(evaluate_file_condition(4, 1, L"[ProgramFilesFolder]", L"x.dll", L""));
  EXPECT_TRUE(evaluate_file_condition(4, 2, L"[ProgramFilesFolder]", L"x.dll", L""));
}

TEST(FolderVariables, SystemFolders) {
  counted_redirection redirection;
  bool off = false;
  EXPECT_EQ(expand(L"[WindowsFolder]Wininit.ini", &off), (windows_folder() + L"Wininit.ini").str());
  EXPECT_FALSE(off);
  EXPECT_EQ(expand(L"[SystemFolder]kernel32.dll", &off), (system_folder() + L"kernel32.dll").str());
  EXPECT_FALSE(off);
  EXPECT_EQ(redirection.counts.disabled, 0);
  EXPECT_EQ(expand(L"[System64Folder]kernel32.dll", &off),
            (system_folder() + L"kernel32.dll").str());
  EXPECT_TRUE(off);
  EXPECT_EQ(redirection.counts.disabled, 1);
  EXPECT_EQ(redirection.counts.reverted, 1);
  // The version library was bound before redirection went off.
  EXPECT_TRUE(redirection.counts.version_library_loaded);
}

TEST(FolderVariables, RegistryValues) {
  RegistrySandbox sandbox;
  const wchar_t* key = L"SOFTWARE\\KxFolders";
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, key, L"App", L"X:\\Product"),
            ERROR_SUCCESS);
  ASSERT_EQ(SetEnvironmentVariableW(L"KXT_FOLDER", L"Y:\\Expanded"), TRUE);
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, key, L"Expand", L"%KXT_FOLDER%\\sub",
                                       REG_EXPAND_SZ),
            ERROR_SUCCESS);
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, key, L"Plain", L"%KXT_FOLDER%"),
            ERROR_SUCCESS);
  ASSERT_EQ(RegistrySandbox::SetRaw(HKEY_LOCAL_MACHINE, key, L"NoNul", REG_SZ, L"X:\\Raw", 12),
            ERROR_SUCCESS);
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, key, L"Empty", L""), ERROR_SUCCESS);
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, key, L"", L"X:\\Default"),
            ERROR_SUCCESS);

  EXPECT_EQ(expand(L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\KxFolders\\App]bin\\x.exe"),
            L"X:\\Product\\bin\\x.exe");
  EXPECT_EQ(expand(L"[\tHKEY_LOCAL_MACHINE\\SOFTWARE\\KxFolders\\App\n]x.exe"),
            L"X:\\Product\\x.exe");
  EXPECT_EQ(expand(L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\KxFolders\\Expand]x.exe"),
            L"Y:\\Expanded\\sub\\x.exe");
  EXPECT_EQ(expand(L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\KxFolders\\Plain]x.exe"),
            L"%KXT_FOLDER%\\x.exe");
  EXPECT_EQ(expand(L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\KxFolders\\NoNul]x.exe"), L"X:\\Raw\\x.exe");
  EXPECT_EQ(expand(L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\KxFolders\\]x.exe"), L"X:\\Default\\x.exe");
  EXPECT_EQ(expand(L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\KxFolders\\Empty]x.exe"),
            L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\KxFolders\\Empty]x.exe");
  SetEnvironmentVariableW(L"KXT_FOLDER", nullptr);
}

TEST(RedirectionScope, RestoredOnEveryPathAndSkippedWhenItFails) {
  {
    counted_redirection redirection;
    // Found, missing, and a version read: each test restores what it switched.
    EXPECT_TRUE(evaluate_file_condition(4, 1, L"[System64Folder]", L"kernel32.dll", L""));
    EXPECT_TRUE(evaluate_file_condition(4, 2, L"[System64Folder]", L"kx-missing.dll", L""));
    EXPECT_TRUE(evaluate_file_condition(16, 4, L"[System64Folder]", L"kernel32.dll", L"0.0.0.1"));
    EXPECT_EQ(redirection.counts.disabled, 3);
    EXPECT_EQ(redirection.counts.reverted, 3);
  }
  {
    counted_redirection redirection;
    redirection.counts.disable_succeeds = false;
    redirection_scope scope;
    EXPECT_FALSE(scope.disable());
    EXPECT_FALSE(scope.disable());
    EXPECT_EQ(redirection.counts.disabled, 1);
    // The test goes on with redirection on.
    EXPECT_TRUE(evaluate_file_condition(4, 1, L"[System64Folder]", L"kernel32.dll", L""));
    EXPECT_EQ(redirection.counts.reverted, 0);
  }
  {
    // A system without the functions.
    const scoped_redirection_functions missing({nullptr, nullptr});
    redirection_scope scope;
    EXPECT_FALSE(scope.disable());
    EXPECT_TRUE(evaluate_file_condition(4, 1, L"[System64Folder]", L"kernel32.dll", L""));
  }
  // The real functions refuse in a 64-bit process; the test still runs.
  EXPECT_TRUE(evaluate_file_condition(4, 1, L"[System64Folder]", L"kernel32.dll", L""));
}

}  // namespace
}  // namespace kx::prereq
