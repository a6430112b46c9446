#include "platform/files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/error_record.h"
#include "platform/unique_handle.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

using testing::ScopedTempDir;

bool IsFolder(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// The same file operations through the wide functions and, forced, through
// their ANSI fallback.
class FileFunctionsTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { detail::use_ansi_file_functions(GetParam()); }
  void TearDown() override { detail::use_ansi_file_functions(false); }
  ScopedTempDir dir_;
};

TEST_P(FileFunctionsTest, CreateFindAndDelete) {
  const string folder(dir_.file(L"caf\u00e9"));
  ASSERT_TRUE(create_directory(folder));
  EXPECT_FALSE(create_directory(folder));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_NE(get_file_attributes(folder) & FILE_ATTRIBUTE_DIRECTORY, 0u);

  const string file = folder + L"\\n\u00e4me.txt";
  {
    unique_handle h(create_file(file, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0));
    ASSERT_TRUE(h);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h.get(), "12345", 5, &written, nullptr));
  }
  EXPECT_TRUE(IsFolder(folder.str()));
  EXPECT_EQ(testing::ReadBytes(file.str()), "12345");
  EXPECT_EQ(get_file_attributes(file) & FILE_ATTRIBUTE_DIRECTORY, 0u);

  WIN32_FIND_DATAW data{};
  find_handle found = find_first_file(folder + L"\\*.TXT", data);
  ASSERT_TRUE(found);
  EXPECT_STREQ(data.cFileName, L"n\u00e4me.txt");
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_FALSE(find_first_file(folder + L"\\*.none", data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  EXPECT_TRUE(delete_file(file));
  EXPECT_FALSE(delete_file(file));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(get_file_attributes(file), INVALID_FILE_ATTRIBUTES);
}

TEST_P(FileFunctionsTest, NamesOutsideTheCodePageNeverReachAnotherFile) {
  // "a_b.txt" exists; "a\u0416b.txt" would become the wildcard "a?b.txt" in
  // a lossy conversion and find it.
  ASSERT_TRUE(testing::WriteBytes(dir_.file(L"a_b.txt"), "other"));
  const string cyrillic(dir_.file(L"a\u0416b.txt"));
  WIN32_FIND_DATAW data{};
  EXPECT_FALSE(find_first_file(cyrillic, data));
  EXPECT_EQ(get_file_attributes(cyrillic), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(delete_file(cyrillic));
  const DWORD expected = GetParam() ? ERROR_INVALID_NAME : ERROR_FILE_NOT_FOUND;
  EXPECT_EQ(GetLastError(), expected);
  EXPECT_EQ(testing::ReadBytes(dir_.file(L"a_b.txt")), "other");
  if (GetParam()) {
    EXPECT_FALSE(create_directory(cyrillic));
    EXPECT_EQ(create_file(cyrillic, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
  }
}

INSTANTIATE_TEST_SUITE_P(WideAndAnsi, FileFunctionsTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Ansi" : "Wide"; });

TEST(FolderTreeTest, CreatesEveryMissingLevel) {
  ScopedTempDir dir;
  EXPECT_TRUE(create_folder_tree(string(dir.file(L"a\\b\\c"))));
  EXPECT_TRUE(IsFolder(dir.file(L"a\\b\\c")));
  EXPECT_TRUE(create_folder_tree(string(dir.file(L"a\\b\\c"))));
  EXPECT_TRUE(create_folder_tree(string(dir.file(L"a\\d\\"))));
  EXPECT_TRUE(IsFolder(dir.file(L"a\\d")));
  EXPECT_TRUE(create_folder_tree(string(dir.file(L"a\\\\e"))));
  EXPECT_TRUE(IsFolder(dir.file(L"a\\e")));
}

TEST(FolderTreeTest, AFileInTheWayFailsWithItsPathRecorded) {
  ScopedTempDir dir;
  ASSERT_TRUE(testing::WriteBytes(dir.file(L"file"), "x"));
  record_error(0);
  EXPECT_FALSE(create_folder_tree(string(dir.file(L"file\\sub"))));
  EXPECT_EQ(last_error_record().code, static_cast<unsigned long>(ERROR_DIRECTORY));
  EXPECT_EQ(last_error_record().path.str(), dir.file(L"file"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
  // Also when the file is the last level: the folder does not exist.
  record_error(0);
  EXPECT_FALSE(create_folder_tree(string(dir.file(L"file"))));
  EXPECT_EQ(last_error_record().path.str(), dir.file(L"file"));
}

TEST(FolderTreeTest, UncPathsStartBelowTheShare) {
  record_error(0);
  EXPECT_FALSE(create_folder_tree(L"\\\\kx-no-such-server\\share\\a\\b"));
  EXPECT_NE(last_error_record().code, 0u);
  EXPECT_EQ(last_error_record().path, L"\\\\kx-no-such-server\\share\\a");
}

TEST(FolderTreeTest, FolderOfAFile) {
  ScopedTempDir dir;
  EXPECT_TRUE(create_folder_of(string(dir.file(L"x\\y\\file.txt"))));
  EXPECT_TRUE(IsFolder(dir.file(L"x\\y")));
  EXPECT_EQ(GetFileAttributesW(dir.file(L"x\\y\\file.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(create_folder_of(L"file.txt"));
}

}  // namespace
}  // namespace kx
