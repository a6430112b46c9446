#include "platform/self_delete.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/testing/probe_support.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

using testing::ScopedTempDir;

constexpr const wchar_t* kCmd = L"C:\\windows\\system32\\cmd.exe";
constexpr const wchar_t* kUserTemp = L"C:\\users\\u\\Temp\\";

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Waits until `path` is gone; false when it is still there after half a
// minute (the interpreter runs at idle priority, so it may take a moment).
bool gone_soon(const std::wstring& path) {
  for (int i = 0; i < 300; ++i) {
    if (!exists(path)) return true;
    Sleep(100);
  }
  return false;
}

TEST(SelfDeleteCommandTest, TheRunsOwnTemporaryFolderGoesWhole) {
  EXPECT_EQ(self_delete_command(kCmd, L"C:\\users\\u\\Temp\\{run}\\setup.exe", true,
                                L"C:\\Users\\U\\temp\\{RUN}\\", kUserTemp)
                .str(),
            L"\"C:\\windows\\system32\\cmd.exe\" /c rmdir /s /q \"C:\\users\\u\\Temp\\{run}\"");
  EXPECT_EQ(self_delete_command(kCmd, L"C:\\users\\u\\Temp\\a\\b\\setup.exe", true,
                                L"C:\\users\\u\\Temp\\a\\b", kUserTemp)
                .str(),
            L"\"C:\\windows\\system32\\cmd.exe\" /c rmdir /s /q \"C:\\users\\u\\Temp\\a\\b\"");
}

TEST(SelfDeleteCommandTest, AnyOtherFolderKeepsAllButTheProgram) {
  const std::wstring del_only =
      L"\"C:\\windows\\system32\\cmd.exe\" /c del \"C:\\users\\u\\Downloads\\setup.exe\"";
  // Started by hand from Downloads, naming another temporary folder.
  EXPECT_EQ(self_delete_command(kCmd, L"C:\\users\\u\\Downloads\\setup.exe", true,
                                L"C:\\users\\u\\Temp\\{run}\\", kUserTemp)
                .str(),
            del_only);
  // Naming Downloads itself as the temporary folder: not below the user's
  // temporary folder, so not a folder the run made.
  EXPECT_EQ(self_delete_command(kCmd, L"C:\\users\\u\\Downloads\\setup.exe", true,
                                L"C:\\users\\u\\Downloads\\", kUserTemp)
                .str(),
            del_only);
  // The user's temporary folder itself is not the run's either.
  EXPECT_EQ(
      self_delete_command(kCmd, L"C:\\users\\u\\Temp\\setup.exe", true, kUserTemp, kUserTemp).str(),
      L"\"C:\\windows\\system32\\cmd.exe\" /c del \"C:\\users\\u\\Temp\\setup.exe\"");
  // A folder whose name only begins like the temporary folder's.
  EXPECT_EQ(self_delete_command(kCmd, L"C:\\users\\u\\TempX\\setup.exe", true,
                                L"C:\\users\\u\\TempX", kUserTemp)
                .str(),
            L"\"C:\\windows\\system32\\cmd.exe\" /c del \"C:\\users\\u\\TempX\\setup.exe\"");
  // Unknown user temporary folder, or no folder removal asked for.
  EXPECT_EQ(self_delete_command(kCmd, L"C:\\users\\u\\Temp\\{run}\\setup.exe", true,
                                L"C:\\users\\u\\Temp\\{run}", L"")
                .str(),
            L"\"C:\\windows\\system32\\cmd.exe\" /c del \"C:\\users\\u\\Temp\\{run}\\setup.exe\"");
  EXPECT_EQ(self_delete_command(kCmd, L"C:\\users\\u\\Temp\\{run}\\setup.exe", false,
                                L"C:\\users\\u\\Temp\\{run}", kUserTemp)
                .str(),
            L"\"C:\\windows\\system32\\cmd.exe\" /c del \"C:\\users\\u\\Temp\\{run}\\setup.exe\"");
}

TEST(SelfDeleteCommandTest, PathsTheInterpreterWouldRewriteAreRefused) {
  for (const wchar_t* folder :
       {L"C:\\users\\u\\Temp\\%PATH%", L"C:\\users\\u\\Temp\\a^b", L"C:\\users\\u\\Temp\\wow!x!"}) {
    SCOPED_TRACE(folder);
    const std::wstring program = std::wstring(folder) + L"\\setup.exe";
    EXPECT_EQ(self_delete_command(kCmd, string(program), true, folder, kUserTemp).str(), L"");
    EXPECT_EQ(self_delete_command(kCmd, string(program), false, folder, kUserTemp).str(), L"");
  }
}

TEST(SelfDeleteTest, RemovesTheRunsFolderAfterwards) {
  ScopedTempDir dir;
  const std::wstring run_folder = dir.file(L"{run}");
  const std::wstring program = run_folder + L"\\setup.exe";
  ASSERT_TRUE(CreateDirectoryW(run_folder.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(testing::ProbePath().c_str(), program.c_str(), TRUE));
  ASSERT_TRUE(testing::WriteBytes(run_folder + L"\\setup.ini", "ini"));
  ASSERT_TRUE(self_delete_file(string(program), true, string(run_folder + L"\\")));
  EXPECT_TRUE(gone_soon(run_folder));
}

TEST(SelfDeleteTest, ElsewhereOnlyTheProgramGoes) {
  ScopedTempDir dir;
  const std::wstring program = dir.file(L"setup.exe");
  ASSERT_TRUE(CopyFileW(testing::ProbePath().c_str(), program.c_str(), TRUE));
  ASSERT_TRUE(testing::WriteBytes(dir.file(L"mine.txt"), "the user's"));
  ASSERT_TRUE(self_delete_file(string(program), true, string(dir.file(L"other\\"))));
  EXPECT_TRUE(gone_soon(program));
  EXPECT_TRUE(exists(dir.file(L"mine.txt")));
}

TEST(SelfDeleteTest, NothingStartsForARefusedOrMissingProgram) {
  ScopedTempDir dir;
  const std::wstring folder = dir.file(L"100%");
  const std::wstring program = folder + L"\\setup.exe";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(testing::ProbePath().c_str(), program.c_str(), TRUE));
  EXPECT_FALSE(self_delete_file(string(program), true, string(folder)));
  EXPECT_FALSE(self_delete_file(string(program), false, string(folder)));
  EXPECT_FALSE(self_delete_file(string(dir.file(L"missing.exe")), false, string()));
  EXPECT_TRUE(exists(program));
}

}  // namespace
}  // namespace kx
