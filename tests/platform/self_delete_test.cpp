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

TEST(SelfDeleteCommandTest, TriesUntilTheTargetIsGone) {
  EXPECT_EQ(self_delete_command(kCmd, L"C:\\users\\u\\Temp\\{run}\\setup.exe", true,
                                L"C:\\Users\\U\\temp\\{RUN}\\", kUserTemp)
                .str(),
            L"\"C:\\windows\\system32\\cmd.exe\" /c for /l %i in (1,1,30) do (rmdir /s /q "
            L"\"C:\\Users\\U\\temp\\{RUN}\" & if exist \"C:\\Users\\U\\temp\\{RUN}\" "
            L"(\"C:\\windows\\system32\\ping.exe\" -n 2 127.0.0.1 >nul) else (exit))");
  EXPECT_EQ(self_delete_command(kCmd, L"C:\\users\\u\\Temp\\{run}\\setup.exe", false,
                                L"C:\\users\\u\\Temp\\{run}", kUserTemp)
                .str(),
            L"\"C:\\windows\\system32\\cmd.exe\" /c for /l %i in (1,1,30) do (del "
            L"\"C:\\users\\u\\Temp\\{run}\\setup.exe\" & if exist "
            L"\"C:\\users\\u\\Temp\\{run}\\setup.exe\" "
            L"(\"C:\\windows\\system32\\ping.exe\" -n 2 127.0.0.1 >nul) else (exit))");
}

// What a command removes: the quoted path after "rmdir /s /q " or "del ",
// or "" for no command.
std::wstring removed(const string& command) {
  const std::wstring text = command.str();
  for (const std::wstring verb : {L"rmdir /s /q \"", L"del \""}) {
    const size_t at = text.find(verb);
    if (at != std::wstring::npos) {
      const size_t from = at + verb.size();
      return text.substr(from, text.find(L'"', from) - from);
    }
  }
  return text;
}

TEST(SelfDeleteCommandTest, OnlyAProgramInsideTheRunsOwnFolderIsRemoved) {
  struct Case {
    const wchar_t* what;
    const wchar_t* program;
    bool remove_folder;
    const wchar_t* run_folder;
    const wchar_t* user_temp;
    const wchar_t* removed;
  };
  const Case cases[] = {
      {L"the run's folder", L"C:\\users\\u\\Temp\\a\\b\\setup.exe", true,
       L"C:\\users\\u\\Temp\\a\\b", kUserTemp, L"C:\\users\\u\\Temp\\a\\b"},
      {L"a program deeper in it", L"C:\\users\\u\\Temp\\{run}\\Disk1\\setup.exe", true,
       L"C:\\users\\u\\Temp\\{run}\\", kUserTemp, L"C:\\users\\u\\Temp\\{run}"},
      {L"the program alone", L"C:\\users\\u\\Temp\\{run}\\setup.exe", false,
       L"C:\\users\\u\\Temp\\{run}\\", kUserTemp, L"C:\\users\\u\\Temp\\{run}\\setup.exe"},
      // Started by hand with "tempdisk1folder:" naming another folder: the
      // medium's own setup.exe stays, whichever removal was asked for.
      {L"started from Downloads", L"C:\\users\\u\\Downloads\\setup.exe", true,
       L"C:\\users\\u\\Temp\\{run}\\", kUserTemp, L""},
      {L"started from Downloads, file only", L"C:\\users\\u\\Downloads\\setup.exe", false,
       L"C:\\users\\u\\Temp\\{run}\\", kUserTemp, L""},
      {L"started from a share", L"\\\\srv\\media\\setup.exe", true, L"\\\\srv\\media", kUserTemp,
       L""},
      // Naming the medium's folder as the temporary folder: not below the
      // user's temporary folder, so not a folder the run made.
      {L"the medium's folder named", L"C:\\users\\u\\Downloads\\setup.exe", false,
       L"C:\\users\\u\\Downloads\\", kUserTemp, L""},
      {L"the user's temporary folder itself", L"C:\\users\\u\\Temp\\setup.exe", true, kUserTemp,
       kUserTemp, L""},
      {L"a folder only named like it", L"C:\\users\\u\\TempX\\setup.exe", true,
       L"C:\\users\\u\\TempX", kUserTemp, L""},
      {L"a run folder only named like the program's", L"C:\\users\\u\\Temp\\{run}X\\setup.exe",
       false, L"C:\\users\\u\\Temp\\{run}", kUserTemp, L""},
      {L"unknown user temporary folder", L"C:\\users\\u\\Temp\\{run}\\setup.exe", true,
       L"C:\\users\\u\\Temp\\{run}", L"", L""},
      {L"no run folder", L"C:\\users\\u\\Temp\\{run}\\setup.exe", false, L"", kUserTemp, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(
        removed(self_delete_command(kCmd, c.program, c.remove_folder, c.run_folder, c.user_temp)),
        c.removed);
  }
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
  // Blanks, parentheses and "&" are plain text inside the command's quotes.
  for (const wchar_t* name : {L"{run}", L"run (x86) & co"}) {
    SCOPED_TRACE(name);
    ScopedTempDir dir;
    const std::wstring run_folder = dir.file(name);
    const std::wstring program = run_folder + L"\\setup.exe";
    ASSERT_TRUE(CreateDirectoryW(run_folder.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(testing::ProbePath().c_str(), program.c_str(), TRUE));
    ASSERT_TRUE(testing::WriteBytes(run_folder + L"\\setup.ini", "ini"));
    ASSERT_TRUE(testing::WriteBytes(dir.file(L"beside.txt"), "stays"));
    ASSERT_TRUE(self_delete_file(string(program), true, string(run_folder + L"\\")));
    EXPECT_TRUE(gone_soon(run_folder));
    EXPECT_TRUE(exists(dir.file(L"beside.txt")));
  }
}

TEST(SelfDeleteTest, WaitsForTheRunningProgramToEnd) {
  ScopedTempDir dir;
  const std::wstring run_folder = dir.file(L"{run}");
  const std::wstring program = run_folder + L"\\setup.exe";
  ASSERT_TRUE(CreateDirectoryW(run_folder.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(testing::ProbePath().c_str(), program.c_str(), TRUE));
  std::wstring line = L"\"" + program + L"\" --sleep=3000";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION running{};
  ASSERT_TRUE(CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &running));
  CloseHandle(running.hThread);
  // Started while the program still runs, as when the interpreter gets the
  // second core before the launcher has ended.
  const bool started = self_delete_file(string(program), true, string(run_folder));
  const DWORD waited = WaitForSingleObject(running.hProcess, 30000);
  CloseHandle(running.hProcess);
  ASSERT_TRUE(started);
  ASSERT_EQ(waited, WAIT_OBJECT_0);
  EXPECT_TRUE(gone_soon(run_folder));
}

TEST(SelfDeleteTest, ElsewhereNothingIsDeleted) {
  ScopedTempDir dir;
  const std::wstring program = dir.file(L"setup.exe");
  ASSERT_TRUE(CopyFileW(testing::ProbePath().c_str(), program.c_str(), TRUE));
  ASSERT_TRUE(testing::WriteBytes(dir.file(L"mine.txt"), "the user's"));
  EXPECT_FALSE(self_delete_file(string(program), true, string(dir.file(L"other\\"))));
  EXPECT_FALSE(self_delete_file(string(program), false, string(dir.file(L"other\\"))));
  EXPECT_TRUE(exists(program));
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
