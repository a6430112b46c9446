// The command that removes files in use once they are free.
#include "engine/late_removal.h"

#include <gtest/gtest.h>

namespace kxe {
namespace {

constexpr wchar_t kCmd[] = L"C:\\windows\\system32\\cmd.exe";

TEST(LateRemovalTest, DeletesWaitsWhileAFileIsLeftThenRemovesTheEmptyFolders) {
  EXPECT_EQ(LateRemovalCommand(kCmd, {L"C:\\P\\_Setup\\{G}\\setup.exe"},
                               {L"C:\\P\\_Setup\\{G}", L"C:\\P\\_Setup"}),
            L"\"C:\\windows\\system32\\cmd.exe\" /d /c for /l %i in (1,1,60) do ("
            L"del /f /q \"C:\\P\\_Setup\\{G}\\setup.exe\" 2>nul & "
            L"if exist \"C:\\P\\_Setup\\{G}\\setup.exe\" "
            L"(\"C:\\windows\\system32\\ping.exe\" -n 2 127.0.0.1 >nul) else "
            L"(rmdir \"C:\\P\\_Setup\\{G}\" 2>nul & rmdir \"C:\\P\\_Setup\" 2>nul & exit))");
}

TEST(LateRemovalTest, RefusesWhatTheInterpreterWouldReadOtherwise) {
  const std::vector<std::wstring> none;
  EXPECT_EQ(LateRemovalCommand(kCmd, none, {L"C:\\P"}), L"") << "nothing to delete";
  for (const wchar_t* path : {L"C:\\%windir%\\x", L"C:\\a^b", L"C:\\a!b!", L"C:\\a\"b", L""}) {
    EXPECT_EQ(LateRemovalCommand(kCmd, {path}, none), L"") << path;
    EXPECT_EQ(LateRemovalCommand(kCmd, {L"C:\\P\\x"}, {path}), L"") << path;
  }
  EXPECT_EQ(LateRemovalCommand(L"C:\\%x%\\cmd.exe", {L"C:\\P\\x"}, none), L"");
}

}  // namespace
}  // namespace kxe
